#include "remote/card_passby.h"

#include <pthread.h>

#include "core/global.h"
#include "fpga/fpga_manage.h"

namespace {

// A card packet is at most this long; the FPGA cannot send a longer one.
constexpr unsigned kMaxCardFrame = 1023;

}  // namespace

bool card_passby(u8 transport, u8* frame, unsigned length) {
    fpga_manage* m = fpga_manage::p_fpga_manage;
    // Only the serial, TCP and UDP links have a reply list for the cards' answer.
    if (!m || transport < 1 || transport > 3 || length > kMaxCardFrame)
        return false;
    pthread_mutex_lock(&m->passby_mutex);
    g_passby_trans_port = transport;
    bool sent = m->Dealwith1_PC_to_eth(length, frame) != 0;
    if (!sent)
        g_passby_trans_port = 0xFF;
    pthread_mutex_unlock(&m->passby_mutex);
    return sent;
}
