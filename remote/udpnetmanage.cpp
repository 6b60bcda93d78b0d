#include "remote/udpnetmanage.h"

#include <cstdio>

#include "board/board.h"
#include "core/global.h"
#include "remote/t47_wifi_config.h"

namespace {

// The largest datagram UDP carries.
constexpr size_t kMaxDatagram = 65536;

}  // namespace

udpnetManage* udpnetManage::p_udpnetManage = nullptr;

udpnetManage* udpnetManage::pInstance() {
    if (!p_udpnetManage) {
        p_udpnetManage = new udpnetManage(board::udpPort(kControlPort), board::udpPort(kWifiPort));
        p_udpnetManage->initialize();
    }
    return p_udpnetManage;
}

udpnetManage::udpnetManage(u16 control_port, u16 wifi_port)
    : control_port_wanted_(control_port),
      wifi_port_wanted_(wifi_port),
      deal_(RemoteTransport::Udp),
      rx_(kMaxDatagram) {}

udpnetManage::~udpnetManage() {
    stop();
    card_passby_forget(this);
}

int udpnetManage::initialize() {
    if (!g_udpnetmode)
        return 0;
    if (!control_.open(control_port_wanted_) || !wifi_.open(wifi_port_wanted_))
        return 255;
    bool started = control_thread_.start("pc-udp", [this] { receive_step(100); }) &&
                   wifi_thread_.start("wifi-at-udp", [this] { wifi_step(100); });
    if (!started) {
        printf("create udp thread failed\n");
        return 255;
    }
    return 0;
}

void udpnetManage::stop() {
    control_thread_.stop();
    wifi_thread_.stop();
}

void udpnetManage::receive_step(int timeout_ms) {
    udpserver::Datagram d;
    if (control_.receive(rx_.data(), rx_.size(), timeout_ms, &d, replies_.wake_fd()) &&
        d.length <= rx_.size()) {
        {
            std::lock_guard<std::mutex> lock(peer_mutex_);
            last_peer_ = d.peer;
        }
        // A frame lies inside one datagram.
        phy.reset();
        phy.receive(rx_.data(), d.length,
                    [this, &d](u8* frame, unsigned length) { answer(d, frame, length); });
    }
    send_passby_replies();
}

void udpnetManage::answer(const udpserver::Datagram& request, u8* frame, unsigned length) {
    deal_.set_passby_peer(PassbyPeer::of_udp(this, request.peer, request.broadcast));
    unsigned n = deal_.message_group_deal(frame, length, reply_);
    if (n == 0)
        return;
    control_.answer(request, escaped_, phy.data_re_transf_meaning(escaped_, reply_, n));
    deal_.after_reply();
}

void udpnetManage::wifi_step(int timeout_ms) {
    udpserver::Datagram d;
    if (!wifi_.receive(at_rx_, sizeof at_rx_, timeout_ms, &d))
        return;
    char reply[64];
    size_t n = T47_WIFI_CONFIG::wifi_AT_cmd_manage(reinterpret_cast<const char*>(at_rx_), d.length,
                                                   reply, sizeof reply);
    wifi_.send_to(d.peer, reinterpret_cast<const u8*>(reply), n);
}

sockaddr_in udpnetManage::last_peer() const {
    std::lock_guard<std::mutex> lock(peer_mutex_);
    return last_peer_;
}

void udpnetManage::queue_passby_reply(const u8* frame, unsigned length, const PassbyPeer& to) {
    Udp_Rec_Send_Data record;
    record.peer = to.address;
    record.broadcast = to.broadcast;
    if (escape_into(phy, record, frame, length))
        replies_.replace(record);
}

void udpnetManage::send_passby_replies() {
    for (const Udp_Rec_Send_Data& r : replies_.take()) {
        control_.answer({r.length, r.peer, r.broadcast}, r.data, r.length);
        card_passby_sent();
    }
}
