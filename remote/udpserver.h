// A UDP socket of the control protocol or of the WiFi AT channel: every address, one port,
// broadcast allowed, and the destination address of each datagram reported.
#pragma once

#include <netinet/in.h>

#include <cstddef>

#include "core/types.h"

class udpserver {
public:
    struct Datagram {
        size_t length;
        sockaddr_in peer;
        bool broadcast;  // it was sent to a broadcast address rather than to this device
    };

    udpserver() = default;
    ~udpserver();
    udpserver(const udpserver&) = delete;
    udpserver& operator=(const udpserver&) = delete;

    // Binds port on every address (0: a port the system chooses). False, with the reason
    // printed, when the socket cannot be set up.
    bool open(u16 port);
    void close();
    // Waits up to timeout_ms for a datagram and reads it into buf (a longer one is cut to
    // n bytes and marked so through length > n). False when nothing came, or when wake_fd
    // (when not -1) became readable first.
    bool receive(u8* buf, size_t n, int timeout_ms, Datagram* d, int wake_fd = -1);
    bool send_to(const sockaddr_in& peer, const u8* data, size_t n);
    // Answers a datagram: a broadcast request is answered by broadcast to the sender's port
    // (so a PC in another subnet hears it), any other to the sender itself.
    bool answer(const Datagram& request, const u8* data, size_t n);
    int fd() const { return fd_; }
    u16 port() const { return port_; }

private:
    int fd_ = -1;
    u16 port_ = 0;
};
