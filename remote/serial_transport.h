// A control-protocol transport on a serial port: the thread reads what arrives, decodes
// frames, answers each one on the same port, and sends the card answers that wait.
// Yq_uart_inout (RS-485 control port) and Yq_uart_inout_4G (4G module) are two of them.
#pragma once

#include <atomic>
#include <vector>

#include "remote/card_passby.h"
#include "remote/message_deal.h"
#include "remote/protocol_phy.h"
#include "remote/reply_list.h"
#include "remote/serial_modules.h"
#include "remote/worker_thread.h"

class serial_transport {
public:
    // The flags the ports are opened with: read-write, no controlling terminal, non-blocking.
    static constexpr int kOpenFlags = 2306;

    explicit serial_transport(RemoteTransport transport);
    virtual ~serial_transport();
    serial_transport(const serial_transport&) = delete;
    serial_transport& operator=(const serial_transport&) = delete;

    // Opens "/dev/ttyS<port>"; the descriptor or -1.
    int usart1_init(int port, int bps, int flags);
    // Starts the receive thread; 0, or 255 when the port is not open or the thread cannot
    // be created.
    int start();
    void stop();

    // One turn of the thread: waits up to timeout_ms for bytes, answers every frame they
    // complete, then sends the card answers that wait.
    void receive_step(int timeout_ms);

    // The forward step of the card pass-through hands a card answer (unescaped, check byte
    // last) for the peer of its request to this transport: it is escaped and replaces any
    // answer not yet sent.
    void queue_passby_reply(const u8* frame, unsigned length, const PassbyPeer& to);

    int fd() const { return fd_.load(); }
    protocol_phy phy;

private:
    void answer(u8* frame, unsigned length);
    void send_passby_replies();

    serial_modules port_;
    std::atomic<int> fd_{-1};
    message_deal deal_;
    ReplyList<Uart_Rec_Send_Data> replies_;
    std::vector<u8> rx_;
    u8 reply_[message_deal::kMaxReply];
    u8 escaped_[protocol_phy::escaped_size(message_deal::kMaxReply)];
    WorkerThread thread_;
};
