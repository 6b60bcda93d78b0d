// Frames addressed to a receiving card go on to the FPGA manager, which puts them on the
// net ports (fpga_manage::Dealwith1_PC_to_eth); a card's answer comes back through the FPGA
// manager's receive path, whose forward step hands it to card_passby_answer through the
// route that install_card_answer_route puts into the FPGA side's hooks.
//
// The answer goes to the transport and the peer that sent the request, as they were when
// the request was handed over: the serial port's descriptor, the TCP client socket, the
// UDP sender. It waits in that transport's reply list until the transport's thread sends
// it. One request is pending at a time (g_passby_trans_port names its transport); a newer
// request of any transport replaces it, and only the first answer to it goes back.
//
// Locks: the FPGA manager's passby_mutex around the hand-over and around the receive path,
// then this file's route lock, then the transport's reply-list lock. A transport that goes
// away forgets its pending request first, under the route lock.
#pragma once

#include <netinet/in.h>

#include "core/types.h"

class serial_transport;
class networkManage;
class udpnetManage;

// Where an answer goes back to: the transport (exactly one of the three) and its peer.
struct PassbyPeer {
    serial_transport* serial = nullptr;
    networkManage* tcp = nullptr;
    udpnetManage* udp = nullptr;
    int fd = -1;               // the serial descriptor or the TCP client socket
    u64 connection = 0;        // the TCP connection, which a reused socket number does not name
    sockaddr_in address = {};  // the UDP sender
    bool broadcast = false;    // the UDP request went to a broadcast address

    static PassbyPeer of_serial(serial_transport* transport, int fd);
    static PassbyPeer of_tcp(networkManage* transport, int client, u64 connection);
    static PassbyPeer of_udp(udpnetManage* transport, const sockaddr_in& sender, bool broadcast);
};

// Hands the frame (unescaped, check byte last; modified in place) to the cards on behalf of
// transport (1 serial, 2 TCP, 3 UDP) and its peer, under the FPGA manager's passby_mutex.
// False when nothing went to the cards (no FPGA manager, another link, a frame the
// pass-through refuses, no port to put it on): the frame is then answered with an error
// status, and no answer is awaited.
bool card_passby(u8 transport, const PassbyPeer& from, u8* frame, unsigned length);

// The forward step's hand-over of a card's answer (unescaped, check byte last) for the
// request of transport: queued for the transport and peer recorded with that request.
// False (dropped) when the pending request is not that transport's, or the transport has
// gone. The caller holds passby_mutex.
bool card_passby_answer(u8 transport, const u8* frame, unsigned length);

// Makes card_passby_answer the FPGA side's route for card answers. Once, at start-up,
// before the threads run.
void install_card_answer_route();

// A transport that sent a card answer from its reply list.
void card_passby_sent();

// A transport going away, or the TCP transport's connection closing: a pending request of
// it is forgotten.
void card_passby_forget(const void* transport);
