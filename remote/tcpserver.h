// The listening TCP socket of the control protocol.
#pragma once

#include "core/types.h"

class tcpserver {
public:
    tcpserver() = default;
    ~tcpserver();
    tcpserver(const tcpserver&) = delete;
    tcpserver& operator=(const tcpserver&) = delete;

    // Listens on every address at port (0: a port the system chooses). False, with the
    // reason printed, when the socket cannot be set up.
    bool listen_on(u16 port);
    void close();
    // A connection waiting to be accepted, or -1.
    int accept_client();
    int fd() const { return fd_; }
    // The port listened on (the one the system chose for 0), 0 while closed.
    u16 port() const { return port_; }

private:
    int fd_ = -1;
    u16 port_ = 0;
};
