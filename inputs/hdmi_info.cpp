#include "inputs/hdmi_info.h"

#include <cstdio>

#include "core/global.h"

void print_hdmi_info(const HDMI_INFO& info) {
    if (!debugOn())
        return;
    std::printf("\t Hact   :%d\n", static_cast<int>(info.Hact));
    std::printf("\t Hsync  :%d\n", static_cast<int>(info.Hsync));
    std::printf("\t Hback  :%d\n", static_cast<int>(info.Hback));
    std::printf("\t Htotal :%d\n", static_cast<int>(info.Htotal));
    std::printf("\t Hpol   :%d\n", static_cast<int>(info.Hpol));
    std::printf("\t Vact   :%d\n", static_cast<int>(info.Vact));
    std::printf("\t Vsync  :%d\n", static_cast<int>(info.Vsync));
    std::printf("\t Vback  :%d\n", static_cast<int>(info.Vback));
    std::printf("\t Vtotal :%d\n", static_cast<int>(info.Vtotal));
    std::printf("\t PCLK   :%f\n", static_cast<double>(info.pfreq));
    std::printf("\t TYPE   :%s\n", info.type ? "IT6807" : "IT6602");
    std::printf("\t Lanes  :%d\n", static_cast<int>(info.lane));
    std::printf("\t IP     :%s\n", info.ip ? "Interlaced" : "Progressive");
    std::printf("\t signal :%s\n", info.nosignal ? "No signal" : "Normal");
}
