#include "remote/serial_transport.h"

#include <algorithm>
#include <cstdio>

#include "board/board.h"
#include "core/global.h"

namespace {

// Each read asks for (g_dataLen << 10) | 28 bytes.
size_t read_size() {
    int factor = std::clamp(g_dataLen.load(), 1, 64);
    return (static_cast<size_t>(factor) << 10) | 28;
}

}  // namespace

serial_transport::serial_transport(RemoteTransport transport) : deal_(transport) {}

serial_transport::~serial_transport() {
    stop();
    card_passby_forget(this);
}

int serial_transport::usart1_init(int port, int bps, int flags) {
    int fd = port_.usart1_init(port, bps, flags);
    fd_ = fd;
    return fd;
}

int serial_transport::start() {
    if (fd_ < 0)
        return 255;
    const char* name = deal_.transport() == RemoteTransport::Modem4G ? "4g-modem" : "pc-serial";
    if (!thread_.start(name, [this] { receive_step(100); })) {
        printf("create serial thread failed\n");
        return 255;
    }
    return 0;
}

void serial_transport::stop() {
    thread_.stop();
}

void serial_transport::receive_step(int timeout_ms) {
    rx_.resize(read_size());
    int n = port_.usart_recv(rx_.data(), rx_.size(), timeout_ms, replies_.wake_fd());
    if (n < 0) {
        board::msleep(static_cast<unsigned>(timeout_ms));
    } else if (n > 0) {
        phy.receive(rx_.data(), static_cast<size_t>(n),
                    [this](u8* frame, unsigned length) { answer(frame, length); });
    }
    send_passby_replies();
}

void serial_transport::answer(u8* frame, unsigned length) {
    deal_.set_passby_peer(PassbyPeer::of_serial(this, fd_));
    unsigned n = deal_.message_group_deal(frame, length, reply_);
    if (n == 0)
        return;
    unsigned escaped = phy.data_re_transf_meaning(escaped_, reply_, n);
    port_.usart_send(escaped_, escaped);
    deal_.after_reply();
}

void serial_transport::queue_passby_reply(const u8* frame, unsigned length, const PassbyPeer& to) {
    Uart_Rec_Send_Data record;
    record.fd = to.fd;
    if (escape_into(phy, record, frame, length))
        replies_.replace(record);
}

void serial_transport::send_passby_replies() {
    for (const Uart_Rec_Send_Data& r : replies_.take()) {
        // The port may have been opened again since the request came.
        if (r.fd == fd_.load())
            port_.usart_send(r.data, r.length);
        card_passby_sent();
    }
}
