#include "remote/networkmanage.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "board/board.h"
#include "core/global.h"

networkManage* networkManage::p_networkManage = nullptr;

networkManage* networkManage::pInstance() {
    if (!p_networkManage) {
        p_networkManage = new networkManage;
        p_networkManage->initialize();
    }
    return p_networkManage;
}

networkManage::networkManage(int port) : fixed_port_(port), deal_(RemoteTransport::Tcp) {}

networkManage::~networkManage() {
    stop();
    card_passby_forget(this);
    drop_client();
}

u16 networkManage::wanted_port() const {
    if (fixed_port_ != kFollowSetting)
        return static_cast<u16>(fixed_port_);
    int port = g_port;
    return board::tcpPort(port > 0 && port <= 0xFFFF ? static_cast<u16>(port) : 5005);
}

bool networkManage::listen() {
    tried_port_ = wanted_port();
    if (!server_.listen_on(tried_port_))
        return false;
    if (debugOn())
        printf("\n tcp server on port %u\n", server_.port());
    return true;
}

int networkManage::initialize() {
    if (!g_networkMode)
        return 0;
    // A port that cannot be listened on now is tried again when the PC changes it.
    bool listening = listen();
    if (!thread_.start("pc-tcp", [this] { serve_step(100); })) {
        printf("create tcp thread failed\n");
        return 255;
    }
    return listening ? 0 : 255;
}

void networkManage::stop() {
    thread_.stop();
}

void networkManage::drop_client() {
    int fd = client_.exchange(-1);
    if (fd >= 0)
        ::close(fd);
    // The PC that asked the cards has gone: its answer is nobody's. The next connection may
    // get the same socket number, and must not receive it.
    card_passby_forget(this);
    replies_.clear();
    phy.reset();
}

void networkManage::serve_step(int timeout_ms) {
    // A port changed by the PC takes effect here, after its reply went out.
    if (fixed_port_ == kFollowSetting && tried_port_ != wanted_port()) {
        drop_client();
        listen();
    }
    pollfd fds[3] = {
        {server_.fd(), POLLIN, 0}, {client_.load(), POLLIN, 0}, {replies_.wake_fd(), POLLIN, 0}};
    int n = ::poll(fds, 3, timeout_ms);
    if (n > 0 && (fds[0].revents & POLLIN)) {
        int fd = server_.accept_client();
        if (fd >= 0) {
            drop_client();
            ++connection_;
            client_ = fd;
            if (debugOn())
                printf("\n tcp client connected\n");
        }
    }
    if (n > 0 && fds[1].fd >= 0 && fds[1].fd == client_.load() && fds[1].revents)
        read_client();
    send_passby_replies();
}

void networkManage::read_client() {
    ssize_t got = ::recv(client_.load(), rx_, sizeof rx_, 0);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
        drop_client();
        return;
    }
    if (got > 0)
        phy.receive(rx_, static_cast<size_t>(got),
                    [this](u8* frame, unsigned length) { answer(frame, length); });
}

void networkManage::answer(u8* frame, unsigned length) {
    deal_.set_passby_peer(PassbyPeer::of_tcp(this, client_.load(), connection_.load()));
    unsigned n = deal_.message_group_deal(frame, length, reply_);
    if (n == 0)
        return;
    send_all(escaped_, phy.data_re_transf_meaning(escaped_, reply_, n));
    deal_.after_reply();
}

bool networkManage::send_all(const u8* data, unsigned length) {
    unsigned sent = 0;
    while (sent < length) {
        int fd = client_.load();
        if (fd < 0)
            return false;
        ssize_t n = ::send(fd, data + sent, length - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<unsigned>(n);
            continue;
        }
        pollfd p = {fd, POLLOUT, 0};
        if ((n < 0 && errno != EAGAIN && errno != EINTR) || ::poll(&p, 1, 1000) <= 0) {
            drop_client();
            return false;
        }
    }
    return true;
}

void networkManage::queue_passby_reply(const u8* frame, unsigned length, const PassbyPeer& to) {
    Tcp_Rec_Send_Data record;
    record.fd = to.fd;
    record.connection = to.connection;
    if (escape_into(phy, record, frame, length))
        replies_.replace(record);
}

void networkManage::send_passby_replies() {
    // An answer queued for a PC that has gone since is not sent to the next one, even on
    // the same socket number.
    for (const Tcp_Rec_Send_Data& r : replies_.take()) {
        if (r.connection == connection_.load() && r.fd == client_.load())
            send_all(r.data, r.length);
        card_passby_sent();
    }
}
