// The TCP transport: a server on the TCP port of the settings (g_port) that serves one PC
// at a time; a new connection takes over from the previous one.
#pragma once

#include <atomic>

#include "remote/card_passby.h"
#include "remote/message_deal.h"
#include "remote/protocol_phy.h"
#include "remote/reply_list.h"
#include "remote/tcpserver.h"
#include "remote/worker_thread.h"

class networkManage {
public:
    // The port follows g_port (the settings), and moves when the PC changes it. The board
    // layer may move the default port (board::tcpPort).
    static constexpr int kFollowSetting = -1;

    static networkManage* p_networkManage;
    // Creates the transport on the first call and runs initialize().
    static networkManage* pInstance();

    // port: kFollowSetting, or a fixed port (0: one the system chooses).
    explicit networkManage(int port = kFollowSetting);
    ~networkManage();
    networkManage(const networkManage&) = delete;
    networkManage& operator=(const networkManage&) = delete;

    // Listens and starts the thread while g_networkMode is set. 0, or 255 when the port
    // cannot be listened on or the thread cannot be created.
    int initialize();
    void stop();

    // One turn of the thread: accepts a new PC, answers the frames that arrived (waiting
    // up to timeout_ms), then sends the card answers that wait.
    void serve_step(int timeout_ms);

    // The forward step of the card pass-through hands a card answer for the client that
    // sent the request to this transport.
    void queue_passby_reply(const u8* frame, unsigned length, const PassbyPeer& to);

    int client_socket() const { return client_.load(); }
    // The current connection's number: every accepted connection gets the next one.
    u64 connection() const { return connection_.load(); }
    u16 port() const { return server_.port(); }
    protocol_phy phy;

private:
    u16 wanted_port() const;
    bool listen();
    void drop_client();
    void read_client();
    void answer(u8* frame, unsigned length);
    bool send_all(const u8* data, unsigned length);
    void send_passby_replies();

    int fixed_port_;
    u16 tried_port_ = 0;  // the port last listened on, or tried
    tcpserver server_;
    std::atomic<int> client_{-1};
    std::atomic<u64> connection_{0};
    message_deal deal_;
    ReplyList<Tcp_Rec_Send_Data> replies_;
    u8 rx_[8192];
    u8 reply_[message_deal::kMaxReply];
    u8 escaped_[protocol_phy::escaped_size(message_deal::kMaxReply)];
    WorkerThread thread_;
};
