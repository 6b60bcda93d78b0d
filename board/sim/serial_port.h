// The serial ports "/dev/ttyS1" (4G module) and "/dev/ttyS2" (RS-485 control port) as
// pseudo-terminals.
//
// The program holds the master side; the line settings it makes there apply to the
// terminal as a whole. The other side, the PC's, is reached through a symlink under the
// root ("<root>/dev/ttyS2"), so that a tool such as socat can connect, or through pcFd().
// The modem lines are kept here: RTS changes and writes are logged with their time (the
// newest of a long run).
//
// The port shifts its bytes out one after another at the speed the program set (start bit,
// data bits, parity, stop bits each take a bit time): a write is logged with the time its
// last byte has left the port, byte i of n having left (n - 1 - i) byte times before that.
// A drain (tcdrain, ioctl TCSBRK with a non-zero argument) returns once the last byte
// written has left. On the RS-485 port the program turns the direction line with RTS.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "board/sim/sim.h"

namespace sim {

class SerialPort : public Node {
public:
    struct Event {
        enum Kind { RtsOn, RtsOff, Write } kind;
        double ms;      // board time of the event
        size_t bytes;   // for a write
        double leftMs;  // for a write: when its last byte has left the port
    };

    explicit SerialPort(std::string node);
    ~SerialPort() override;

    int open(const std::string& path, int flags) override;
    void closed(int fd) override;
    int ioctl(int fd, unsigned long request, void* arg) override;
    ssize_t read(int fd, void* buf, size_t count) override;
    ssize_t write(int fd, const void* buf, size_t count) override;

    // The PC's end: a descriptor on the terminal's other side (raw, non-blocking), valid
    // while the program holds the port open; -1 otherwise.
    int pcFd() const;
    // The path a PC-side tool opens ("<root>/dev/ttyS2"), a symlink to the terminal.
    std::string pcPath() const;
    bool rts() const;
    std::vector<Event> events() const;
    void clearEvents();

private:
    void closeLocked();
    // The time one byte takes on the line, as the terminal is set.
    static double byteMs(int fd);

    std::string node_;
    mutable std::mutex mutex_;
    int master_ = -1;
    int pc_ = -1;
    bool rts_ = false;
    double lineFreeMs_ = 0;  // when the last byte written leaves the port
    std::vector<Event> events_;
};

}  // namespace sim
