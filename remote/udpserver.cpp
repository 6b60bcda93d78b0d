#include "remote/udpserver.h"

#include <arpa/inet.h>
#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

udpserver::~udpserver() {
    close();
}

bool udpserver::open(u16 port) {
    close();
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        printf("\n udp socket error: %s\n", strerror(errno));
        return false;
    }
    // No SO_REUSEADDR: on Linux it lets a second program bind the same UDP port and take
    // part of the first one's datagrams. A port in use must fail loudly instead.
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(port);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        printf("\n udp port %u error: %s\n", port, strerror(errno));
        ::close(fd);
        return false;
    }
    fd_ = fd;
    port_ = ntohs(addr.sin_port);
    return true;
}

void udpserver::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    port_ = 0;
}

bool udpserver::receive(u8* buf, size_t n, int timeout_ms, Datagram* d, int wake_fd) {
    pollfd p[2] = {{fd_, POLLIN, 0}, {wake_fd, POLLIN, 0}};
    if (fd_ < 0 || ::poll(p, 2, timeout_ms) <= 0 || !(p[0].revents & POLLIN))
        return false;
    iovec iov = {buf, n};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr msg = {};
    msg.msg_name = &d->peer;
    msg.msg_namelen = sizeof d->peer;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t got = ::recvmsg(fd_, &msg, MSG_TRUNC);
    if (got < 0)
        return false;
    d->length = static_cast<size_t>(got);
    d->broadcast = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO)
            continue;
        in_pktinfo info;
        memcpy(&info, CMSG_DATA(c), sizeof info);
        // For a datagram sent to this device both addresses are the device's; for a
        // broadcast the header's destination is the broadcast address.
        d->broadcast = info.ipi_addr.s_addr != info.ipi_spec_dst.s_addr;
    }
    return true;
}

bool udpserver::send_to(const sockaddr_in& peer, const u8* data, size_t n) {
    return ::sendto(fd_, data, n, 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) ==
           static_cast<ssize_t>(n);
}

bool udpserver::answer(const Datagram& request, const u8* data, size_t n) {
    if (request.broadcast) {
        sockaddr_in all = request.peer;
        all.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        if (send_to(all, data, n))
            return true;
    }
    return send_to(request.peer, data, n);
}
