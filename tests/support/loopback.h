// Sockets of a test's PC on the loopback interface.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

namespace test {

inline sockaddr_in loopback(uint16_t port) {
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return to;
}

// A UDP socket bound to a port the system picks.
inline int udpClient() {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in me = loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&me), sizeof me);
    return fd;
}

}  // namespace test
