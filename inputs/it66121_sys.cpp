#include "inputs/it66121_sys.h"

#include <cstdio>

#include "board/board.h"
#include "core/global.h"
#include "fpga/fpga_manage.h"
#include "inputs/it66121_hdmitx_drv.h"
#include "inputs/it66121_hdmitx_sys.h"
#include "inputs/sdi_it66121.h"

namespace {

constexpr u16 kPowerOn = 16;
constexpr u16 kResetLow = 0;
constexpr u16 kResetHigh = 1;  // the SDI reset word uses bit 0

// The CEA video code of each input format index.
constexpr u8 kInputVic[18] = {1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 31, 32, 33, 34};

void driveSdiReset(u16 value) {
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if (!fpga || !fpga->sdi_reset_gpio) {
        if (debugOn())
            std::printf("\n SDI: GPIO window not mapped, receiver reset not driven\n");
        return;
    }
    board::mmio_write16(fpga->sdi_reset_gpio, value);
}

}  // namespace

it66121_sys::it66121_sys() {
    bus = new sdi_it66121();
    hdmitx_drv = new it66121_hdmitx_drv(*bus);
    hdmitx_sys = new it66121_hdmitx_sys(*hdmitx_drv);
}

it66121_sys::~it66121_sys() {
    delete hdmitx_sys;
    delete hdmitx_drv;
    delete bus;
}

u8 it66121_sys::IT66121_Test() {
    u8 id[2] = {};
    bool read = bus->I2C2_IT66121_Read(sdi_it66121::kAddress, 0, 2, id);
    ident_result = read && id[0] == kVendorLow && id[1] == kVendorHigh ? 1 : 0;
    return ident_result;
}

void it66121_sys::GS2971_Reset() {
    driveSdiReset(kResetLow);
    board::msleep(kGs2971ResetMs);
    driveSdiReset(kResetHigh);
}

void it66121_sys::sdi_it66121_init() {
    if (sdi_power_gpio)
        board::mmio_write16(sdi_power_gpio, kPowerOn);
    driveSdiReset(kResetHigh);
}

void it66121_sys::IT66121_init() {
    hdmitx_sys->InitHDMITX_Variable();
    hdmitx_sys->InitHDMITX();
    CHANGE_INPUT(7);
    GS2971_Reset();
}

void it66121_sys::CHANGE_INPUT(int n) {
    int index = n % 18;
    if (index < 0)
        index += 18;
    hdmitx_sys->HDMITX_ChangeDisplayOption(kInputVic[index], it66121_hdmitx_sys::kColorRgb);
}
