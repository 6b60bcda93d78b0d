#include "video/c331_peers.h"

#include <QMutexLocker>

#include "core/utils.h"
#include "inputs/velmosource.h"

namespace c331_peers {

std::atomic<u8> bri_resend{0};
std::atomic<u8> output_resend{0};

void raise_bri_resend() {
    QMutexLocker lock(&Utils::_bri_set_mutex);
    bri_resend = 1;
}

void raise_output_resend() {
    output_resend = 1;
}

void raise_source_changed() {
    if (velmosource* inputs = velmosource::p_velmo_source)
        inputs->source_changed = 1;
}

bool raise_edid_request(int input) {
    velmosource* inputs = velmosource::p_velmo_source;
    if (input < 0 || input > 3 || !inputs)
        return false;
    inputs->request_edid_rewrite(input);
    return true;
}

}  // namespace c331_peers
