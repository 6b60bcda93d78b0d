// Frames addressed to a receiving card go on to the FPGA manager, which puts them on the
// net ports; the cards' answer comes back later through the transport's reply list
// (queue_passby_reply of the transport that g_passby_trans_port names).
#pragma once

#include "core/types.h"

// Hands the frame (unescaped, check byte last; modified in place) to the cards on behalf
// of transport (1 serial, 2 TCP, 3 UDP), under the FPGA manager's passby_mutex. False when
// there is no way to the cards for it (no FPGA manager, another link, a frame longer than
// a card packet, or a pass-through that did not take it): the frame is then answered with
// an error status.
bool card_passby(u8 transport, u8* frame, unsigned length);
