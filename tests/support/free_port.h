// A port for the program under test to listen on, that no other test process picks too.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdint>
#include <random>
#include <string>

#include "tests/support/loopback.h"

namespace test {

inline bool canBind(int type, uint16_t port) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in addr = loopback(port);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// Holds a lock file per port for the rest of the process, so that test processes started
// side by side never hand the same port to their programs between the probe and the
// program's own bind.
inline bool claim(uint16_t port) {
    const std::string path = "/tmp/krx-test-port-" + std::to_string(port) + ".lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    ::close(fd);
    return false;
}

// Below the range the system hands out for sockets bound to port 0, so that no client
// socket of this or another test can be given the port before the program binds it.
inline uint16_t freePort(int type) {
    static std::mt19937 pick(std::random_device{}());
    std::uniform_int_distribution<int> below(20000, 32000);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const uint16_t port = static_cast<uint16_t>(below(pick));
        if (canBind(type, port) && claim(port))
            return port;
    }
    return 0;
}

}  // namespace test
