#include "remote/processor_areas.h"

#include <cstring>

#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "video/c331_manage.h"

namespace processor_map {
namespace {

struct Area {
    u32 base;
    u32 size;
    // offset inside the area; the range is known to fit
    bool (*read)(u32 offset, u16 count, u8* out);
    bool (*write)(u32 offset, const u8* data, u16 count);
};

KrxRamPara* store() {
    return KrxRamPara::p_krxrampara_config;
}

bool image_read(u32 offset, u16 count, u8* out) {
    KrxRamPara* s = store();
    if (!s)
        return false;
    ParaLock lock;
    s->read_live(offset, out, count);
    return true;
}

bool image_write(u32 offset, const u8* data, u16 count) {
    KrxRamPara* s = store();
    if (!s)
        return false;
    ParaLock lock;
    return s->KrxRamParaDeal(data, count, offset) == 0;
}

// A request may not run from one slot's window into the next.
bool inside_one_slot(u32 offset, u16 count) {
    return (offset % kUserModeWindow) + count <= kUserModeWindow;
}

bool user_mode_read(u32 offset, u16 count, u8* out) {
    KrxRamPara* s = store();
    if (!s || !inside_one_slot(offset, count))
        return false;
    ParaLock lock;
    memcpy(out, s->user_mode[offset / kUserModeWindow].bytes + offset % kUserModeWindow, count);
    return true;
}

bool user_mode_write(u32 offset, const u8* data, u16 count) {
    KrxRamPara* s = store();
    if (!s || !inside_one_slot(offset, count))
        return false;
    ParaLock lock;
    return s->KrxModeUserRamParaDeal(data, count, kUserModes + offset) == 0;
}

// The controller's areas, copied under the FPGA manager's area lock.
template <fpga_manage::Area A, u8 F>
bool controller_read(u32 offset, u16 count, u8* out) {
    fpga_manage* m = fpga_manage::p_fpga_manage;
    return m && m->controller_area_read(A, F, offset, out, count) == 1;
}

// A command written here is carried out when the PC sets bit 2 of register 2.
template <fpga_manage::Area A, u8 F>
bool controller_write(u32 offset, const u8* data, u16 count) {
    fpga_manage* m = fpga_manage::p_fpga_manage;
    return m && m->controller_area_write(A, F, offset, data, count) == 1;
}

using FA = fpga_manage::Area;

constexpr Area kAreas[] = {
    {kImage, kImageSize, image_read, image_write},
    {kUserModes, kUserModesEnd - kUserModes, user_mode_read, user_mode_write},
    {kCommandArea, sizeof fpga_manage::MCU_RAM_CMD, controller_read<FA::Cmd, 0>,
     controller_write<FA::Cmd, 0>},
    {kExtendArea, sizeof fpga_manage::MCU_RAM_EXTEND, controller_read<FA::Extend, 0>, nullptr},
    {kParaRam, fpga_manage::kRamImageSize, controller_read<FA::ParaRam, 0>,
     controller_write<FA::ParaRam, 0>},
    {kParaRam + kFpgaStride, fpga_manage::kRamImageSize, controller_read<FA::ParaRam, 1>,
     controller_write<FA::ParaRam, 1>},
    {kBackPara, fpga_manage::kEthParaSize, controller_read<FA::EthBackPara, 0>, nullptr},
    {kBackPara + kFpgaStride, fpga_manage::kEthParaSize, controller_read<FA::EthBackPara, 1>,
     nullptr},
};

const Area* find(u32 address, u16 count) {
    for (const Area& a : kAreas) {
        if (address >= a.base && address - a.base < a.size && count <= a.size - (address - a.base))
            return &a;
    }
    return nullptr;
}

}  // namespace

bool read(u32 address, u16 count, u8* out) {
    const Area* a = find(address, count);
    return a && a->read && a->read(address - a->base, count, out);
}

bool write(u32 address, const u8* data, u16 count) {
    const Area* a = find(address, count);
    return a && a->write && a->write(address - a->base, data, count);
}

}  // namespace processor_map
