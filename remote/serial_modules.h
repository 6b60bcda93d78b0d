// The serial layer of the RS-485 control port and the 4G module: "/dev/ttyS<n>" in raw
// 8N1 at the chosen speed. The RS-485 driver direction follows RTS: set while listening,
// cleared around each send.
#pragma once

#include <cstddef>

#include "core/types.h"

class serial_modules {
public:
    serial_modules() = default;
    ~serial_modules();
    serial_modules(const serial_modules&) = delete;
    serial_modules& operator=(const serial_modules&) = delete;

    // Opens "/dev/ttyS<port>" with the open flags given (2306: read-write, no controlling
    // terminal, non-blocking), sets raw 8N1 at bps and raises RTS. Returns the descriptor,
    // or -1 (with the reason printed) when the port cannot be opened or set up.
    int usart1_init(int port, int bps, int flags);
    void usart_close();
    int fd() const { return fd_; }

    // Sends len bytes: RTS cleared, 2 ms for the driver to turn, the bytes, drain, RTS set
    // again. Returns the bytes written (fewer when the line stayed blocked for a second).
    size_t usart_send(const u8* data, size_t len);
    // Waits up to timeout_ms for bytes, then reads at most n. Returns the count, 0 when
    // nothing came, -1 when the port is closed or failed.
    int usart_recv(u8* buf, size_t n, int timeout_ms, int wake_fd = -1);

private:
    void set_rts(bool on);

    int fd_ = -1;
};
