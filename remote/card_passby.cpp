#include "remote/card_passby.h"

#include <pthread.h>

#include <mutex>

#include "core/global.h"
#include "fpga/fpga_hooks.h"
#include "fpga/fpga_manage.h"
#include "remote/networkmanage.h"
#include "remote/serial_transport.h"
#include "remote/udpnetmanage.h"

namespace {

// A card packet is at most this long; the FPGA cannot send a longer one.
constexpr unsigned kMaxCardFrame = 1023;
constexpr u8 kNoRequest = 0xFF;

enum : u8 { kSerial = 1, kTcp = 2, kUdp = 3 };

std::mutex route_mutex;
u8 route_transport = kNoRequest;
PassbyPeer route;

bool peer_matches(u8 transport, const PassbyPeer& peer) {
    switch (transport) {
        case kSerial:
            return peer.serial != nullptr;
        case kTcp:
            return peer.tcp != nullptr;
        case kUdp:
            return peer.udp != nullptr;
        default:
            return false;
    }
}

void set_route(u8 transport, const PassbyPeer& peer) {
    std::lock_guard<std::mutex> lock(route_mutex);
    route_transport = transport;
    route = peer;
}

}  // namespace

PassbyPeer PassbyPeer::of_serial(serial_transport* transport, int fd) {
    PassbyPeer p;
    p.serial = transport;
    p.fd = fd;
    return p;
}

PassbyPeer PassbyPeer::of_tcp(networkManage* transport, int client, u64 connection) {
    PassbyPeer p;
    p.tcp = transport;
    p.fd = client;
    p.connection = connection;
    return p;
}

PassbyPeer PassbyPeer::of_udp(udpnetManage* transport, const sockaddr_in& sender, bool broadcast) {
    PassbyPeer p;
    p.udp = transport;
    p.address = sender;
    p.broadcast = broadcast;
    return p;
}

bool card_passby(u8 transport, const PassbyPeer& from, u8* frame, unsigned length) {
    fpga_manage* m = fpga_manage::p_fpga_manage;
    // Only the serial, TCP and UDP links have a reply list for the cards' answer.
    if (!m || !frame || !peer_matches(transport, from) || length > kMaxCardFrame)
        return false;
    pthread_mutex_lock(&m->passby_mutex);
    set_route(transport, from);
    g_passby_trans_port = transport;
    const bool sent = m->Dealwith1_PC_to_eth(length, frame) != 0;
    if (!sent) {
        g_passby_trans_port = kNoRequest;
        set_route(kNoRequest, PassbyPeer());
    }
    pthread_mutex_unlock(&m->passby_mutex);
    // The cards answer within a few milliseconds: the FPGA thread starts watching now.
    if (sent)
        fpga_manage::wake();
    return sent;
}

bool card_passby_answer(u8 transport, const u8* frame, unsigned length) {
    std::lock_guard<std::mutex> lock(route_mutex);
    if (transport != route_transport || !peer_matches(transport, route))
        return false;
    switch (transport) {
        case kSerial:
            route.serial->queue_passby_reply(frame, length, route);
            break;
        case kTcp:
            route.tcp->queue_passby_reply(frame, length, route);
            break;
        default:
            route.udp->queue_passby_reply(frame, length, route);
            break;
    }
    // Only the first answer to a request goes back.
    route_transport = kNoRequest;
    route = PassbyPeer();
    return true;
}

void install_card_answer_route() {
    fpga_hooks().card_answer = card_passby_answer;
}

void card_passby_sent() {
    if (fpga_manage* m = fpga_manage::p_fpga_manage)
        m->passby_reply_ready = 0;
}

void card_passby_forget(const void* transport) {
    std::lock_guard<std::mutex> lock(route_mutex);
    const void* link = route.serial ? static_cast<const void*>(route.serial)
                       : route.tcp  ? static_cast<const void*>(route.tcp)
                                    : static_cast<const void*>(route.udp);
    if (link != transport)
        return;
    route_transport = kNoRequest;
    route = PassbyPeer();
}
