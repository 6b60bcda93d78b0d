// The UDP transports: the control protocol on UDP 5008 and the WiFi AT channel on UDP
// 13769, each with its own thread, both running while g_udpnetmode is set.
#pragma once

#include <netinet/in.h>

#include <mutex>
#include <vector>

#include "remote/card_passby.h"
#include "remote/message_deal.h"
#include "remote/protocol_phy.h"
#include "remote/reply_list.h"
#include "remote/udpserver.h"
#include "remote/worker_thread.h"

class udpnetManage {
public:
    static constexpr u16 kControlPort = 5008;
    static constexpr u16 kWifiPort = 13769;
    // The longest AT command taken; a longer datagram is answered with an error too.
    static constexpr size_t kMaxAtCommand = 1024;

    static udpnetManage* p_udpnetManage;
    // Creates the transport on the device's ports (as the board layer maps them,
    // board::udpPort) on the first call and runs initialize().
    static udpnetManage* pInstance();

    // Ports to bind; 0 lets the system choose one (tests).
    explicit udpnetManage(u16 control_port = kControlPort, u16 wifi_port = kWifiPort);
    ~udpnetManage();
    udpnetManage(const udpnetManage&) = delete;
    udpnetManage& operator=(const udpnetManage&) = delete;

    // While g_udpnetmode is set: binds both ports and starts both threads. 0, or 255 when a
    // port cannot be bound or a thread cannot be created.
    int initialize();
    void stop();

    // One turn of the control thread: waits up to timeout_ms for a datagram, answers every
    // frame in it, then sends the card answers that wait.
    void receive_step(int timeout_ms);
    // One turn of the WiFi AT thread: waits up to timeout_ms for a command and answers it.
    void wifi_step(int timeout_ms);

    // The forward step of the card pass-through hands a card answer to this transport; it
    // goes to the sender of the request, as the request's own reply would.
    void queue_passby_reply(const u8* frame, unsigned length, const PassbyPeer& to);

    sockaddr_in last_peer() const;
    u16 control_port() const { return control_.port(); }
    u16 wifi_port() const { return wifi_.port(); }
    protocol_phy phy;

private:
    void answer(const udpserver::Datagram& request, u8* frame, unsigned length);
    void send_passby_replies();

    u16 control_port_wanted_;
    u16 wifi_port_wanted_;
    udpserver control_;
    udpserver wifi_;
    message_deal deal_;
    ReplyList<Udp_Rec_Send_Data> replies_;
    mutable std::mutex peer_mutex_;
    sockaddr_in last_peer_ = {};
    std::vector<u8> rx_;
    u8 at_rx_[kMaxAtCommand];
    u8 reply_[message_deal::kMaxReply];
    u8 escaped_[protocol_phy::escaped_size(message_deal::kMaxReply)];
    WorkerThread control_thread_;
    WorkerThread wifi_thread_;
};
