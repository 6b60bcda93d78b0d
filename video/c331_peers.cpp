#include "video/c331_peers.h"

#include <mutex>

#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"

namespace c331_peers {

void raise_bri_resend() {
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if (!fpga)
        return;
    {
        std::lock_guard<std::mutex> lock(Utils::_bri_set_mutex);
        fpga->bri_resend = 1;
    }
    fpga_manage::wake();
}

void raise_output_resend() {
    if (fpga_manage* fpga = fpga_manage::p_fpga_manage) {
        fpga->output_resend = 1;
        fpga_manage::wake();
    }
}

void raise_source_changed() {
    if (velmosource* inputs = velmosource::p_velmo_source) {
        inputs->source_changed = 1;
        velmosource::wake();
    }
}

bool raise_edid_request(int input) {
    velmosource* inputs = velmosource::p_velmo_source;
    if (input < 0 || input > 3 || !inputs)
        return false;
    inputs->request_edid_rewrite(input);
    return true;
}

void wake_fpga() {
    fpga_manage::wake();
}

}  // namespace c331_peers
