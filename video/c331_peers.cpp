#include "video/c331_peers.h"

#include <QMutexLocker>

#include "core/utils.h"

namespace c331_peers {

std::atomic<u8> bri_resend{0};
std::atomic<u8> output_resend{0};
std::atomic<u8> source_changed{1};
std::atomic<u8> edid_request[4] = {};
std::atomic<u8> edid_done[4] = {};

void raise_bri_resend() {
    QMutexLocker lock(&Utils::_bri_set_mutex);
    bri_resend = 1;
}

void raise_output_resend() {
    output_resend = 1;
}

void raise_source_changed() {
    source_changed = 1;
}

bool raise_edid_request(int input) {
    if (input < 0 || input > 3)
        return false;
    // done first: the input thread takes a request whose done byte is 1 as written already.
    edid_done[input] = 0;
    edid_request[input] = 1;
    return true;
}

}  // namespace c331_peers
