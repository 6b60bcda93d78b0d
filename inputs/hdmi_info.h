// The per-input timing record that the receiver drivers publish and the video-processor
// manager reads, one per input, guarded by Utils::_source_hdminfo_mutex.
#pragma once

#include "core/types.h"

struct HDMI_INFO {
    u32 Hact;
    u32 Hsync;
    u32 Hback;
    u32 Hpol;
    u32 Htotal;
    u32 Vact;
    u32 Vsync;
    u32 Vback;
    u32 Vpol;
    u32 Vtotal;
    float pfreq;   // MHz
    u32 type;      // 0 IT6602, 1 IT6807 (the IT6805 path)
    u32 datamode;  // the receiver's data mode code (0 for the IT6602)
    u32 lane;      // lane count (0 for the IT6602)
    u32 ip;        // 1 interlaced
    u32 nosignal;  // 1 no signal on this input
    u32 updated;   // 1 once a timing has been published
};
static_assert(sizeof(HDMI_INFO) == 17 * 4, "HDMI_INFO is 17 words");

// The record on the debug console, one field per line.
void print_hdmi_info(const HDMI_INFO& info);
