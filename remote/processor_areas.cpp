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
    memcpy(out, s->ram_para.data() + offset, count);
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

// The controller areas exist once the FPGA manager does.
u8* controller_area(u8* area) {
    return fpga_manage::p_fpga_manage ? area : nullptr;
}

bool copy_out(const u8* area, u32 offset, u16 count, u8* out) {
    if (!area)
        return false;
    memcpy(out, area + offset, count);
    return true;
}

bool command_read(u32 offset, u16 count, u8* out) {
    return copy_out(controller_area(fpga_manage::MCU_RAM_CMD), offset, count, out);
}

// The PC then sets register 2 bit 2 to have the command carried out.
bool command_write(u32 offset, const u8* data, u16 count) {
    u8* area = controller_area(fpga_manage::MCU_RAM_CMD);
    if (!area)
        return false;
    memcpy(area + offset, data, count);
    return true;
}

bool extend_read(u32 offset, u16 count, u8* out) {
    return copy_out(controller_area(fpga_manage::MCU_RAM_EXTEND), offset, count, out);
}

template <u8 F>
bool para_ram_read(u32 offset, u16 count, u8* out) {
    return copy_out(controller_area(fpga_manage::MCU_RAM_PARA_func[F]), offset, count, out);
}

// The manager's image changes only once the FPGA's RAM block 1 took the bytes.
template <u8 F>
bool para_ram_write(u32 offset, const u8* data, u16 count) {
    u8* image = controller_area(fpga_manage::MCU_RAM_PARA_func[F]);
    if (!image)
        return false;
    if (count > 0 && fpga_manage::p_fpga_manage->write_fpga_ram(data, offset, count, 1, F) != 1)
        return false;
    memcpy(image + offset, data, count);
    return true;
}

template <u8 F>
bool back_para_read(u32 offset, u16 count, u8* out) {
    return copy_out(controller_area(fpga_manage::MCU_RAM_ETH_BACK_PARA_func[F]), offset, count,
                    out);
}

constexpr Area kAreas[] = {
    {kImage, kImageSize, image_read, image_write},
    {kUserModes, kUserModesEnd - kUserModes, user_mode_read, user_mode_write},
    {kCommandArea, sizeof fpga_manage::MCU_RAM_CMD, command_read, command_write},
    {kExtendArea, sizeof fpga_manage::MCU_RAM_EXTEND, extend_read, nullptr},
    {kParaRam, fpga_manage::kRamImageSize, para_ram_read<0>, para_ram_write<0>},
    {kParaRam + kFpgaStride, fpga_manage::kRamImageSize, para_ram_read<1>, para_ram_write<1>},
    {kBackPara, fpga_manage::kEthParaSize, back_para_read<0>, nullptr},
    {kBackPara + kFpgaStride, fpga_manage::kEthParaSize, back_para_read<1>, nullptr},
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
