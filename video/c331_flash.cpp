// The chip's serial flash (behind the flash controller of bank 0x04) and the OSD fonts it
// holds.
//
// Programming and reading move one byte per register access. The controller programs
// the bytes queued in its data port when the address register is rewritten, so the
// program loop rewrites the address at every 256-byte page boundary and after the last
// byte, and waits for the page each time. DMA moves whole font sets and the bitmap from
// the flash into chip memory.
//
// Every wait on the controller is bounded: a controller that never reports done makes the
// operation fail (255) instead of blocking its thread. bank4_mutex covers each whole
// operation, so that a remote flash write never lands in the middle of another thread's
// DMA or OSD drawing.
#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "video/c331_log.h"
#include "video/c331_manage.h"
#include "video/c331_regs.h"

using c331reg::reg;

namespace {

// Flash controller, bank 0x04.
constexpr u32 kEngineCommand = reg(0x04, 0x08);
constexpr u32 kBlitDestination = reg(0x04, 0x11, 4);
constexpr u32 kFifoAddress = reg(0x04, 0x27, 2);
constexpr u32 kMode = reg(0x04, 0x47);
constexpr u32 kTrigger = reg(0x04, 0x48);
constexpr u32 kProgramOpcode = reg(0x04, 0x49);
constexpr u32 kReadOpcode = reg(0x04, 0x4A);
constexpr u32 kCommandOpcode = reg(0x04, 0x4B);
constexpr u32 kWriteEnableOpcode = reg(0x04, 0x4C);
constexpr u32 kStatusOpcode = reg(0x04, 0x4D);
constexpr u32 kAddress = reg(0x04, 0x4E, 4);
constexpr u32 kData = reg(0x04, 0x52);
constexpr u32 kDataControl = reg(0x04, 0x53);  // B4_SFLDTCTL
constexpr u32 kStatus = reg(0x04, 0x54);       // B4_SFLSTAT
constexpr u32 kFlashStatus = reg(0x04, 0x55);  // B4_SFLRDSR
constexpr u32 kDmaLength = reg(0x04, 0x56, 4);
constexpr u32 kDmaTarget = reg(0x04, 0x5A);
constexpr u32 kAccess = reg(0x04, 0x5F);
constexpr u32 kDirectClear = reg(0x04, 0x60);
constexpr u32 kPaletteIndex = reg(0x09, 0x1F);

constexpr u8 kReadPending = 0x80;  // B4_SFLDTCTL
constexpr u8 kWriteEmpty = 0x20;   // B4_SFLDTCTL WEMPTY
constexpr u8 kDmaBusy = 0x01;      // B4_SFLSTAT
constexpr u8 kWriteBusy = 0x02;    // B4_SFLSTAT WBUSY
constexpr u8 kEraseBusy = 0x08;    // B4_SFLSTAT EBUSY
constexpr u8 kWip = 0x01;          // B4_SFLRDSR
constexpr u8 kWel = 0x02;          // B4_SFLRDSR

constexpr u8 kTriggerIdle = 0;
constexpr u8 kTriggerDma = 2;
constexpr u8 kTriggerErase = 4;
constexpr u8 kTriggerCommand = 5;
constexpr u8 kWriteDisable = 0x04;
constexpr u32 kDmaGo = 0x80000000u;
constexpr u32 kPage = 256;
constexpr u32 kSector = 4096;

struct RegRow {
    u32 desc;
    u32 value;
};

// The flash pins, before every flash operation and, in another order, before a DMA.
constexpr RegRow kPins[] = {{reg(0x05, 0x42, 3), 0x55},
                            {reg(0x05, 0x3C, 2), 0x300},
                            {reg(0x05, 0x3E, 2), 0x300},
                            {reg(0x05, 0x45, 2), 0x3FF}};
constexpr RegRow kDmaPins[] = {{reg(0x05, 0x42, 3), 0x55},
                               {reg(0x05, 0x45, 2), 0x3FF},
                               {reg(0x05, 0x3C, 2), 0x300},
                               {reg(0x05, 0x3E, 2), 0x300}};

// Direct access: a reset pulse, then the opcodes the controller sends the flash.
constexpr RegRow kProgramSetup[] = {
    {kMode, 0x80},         {kTrigger, 0},          {kMode, 0x31}, {kWriteEnableOpcode, 0x06},
    {kStatusOpcode, 0x05}, {kProgramOpcode, 0x12}, {kAccess, 1},  {kTrigger, 0},
    {kDirectClear, 0},
};
constexpr RegRow kReadSetup[] = {
    {kTrigger, 0}, {kMode, 0x80}, {kMode, 0x31},     {kReadOpcode, 0x0C},
    {kAccess, 1},  {kTrigger, 0}, {kDirectClear, 0},
};

// Erase units by type: 4 KiB, 32 KiB, and 64 KiB for every other type.
struct EraseUnit {
    u8 opcode;
    u32 size;
};
constexpr EraseUnit kEraseUnits[] = {{0x20, 4096}, {0x52, 32768}, {0xD8, 65536}};

// Bounds of the waits. Each wait polls back to back kFastPolls times, then once a
// millisecond for at most its budget: a 256-byte page programs in a few milliseconds, a
// 64 KiB block erases within 2 s on the slowest parts, a DMA moves at least 2 MB/s.
constexpr int kFastPolls = 100;
constexpr unsigned kPollSleepUs = 1000;
constexpr int kStatusBudgetMs = 100;
constexpr int kEraseBudgetMs = 3000;
constexpr int kDmaBaseBudgetMs = 2000;
constexpr u32 kDmaBytesPerMs = 2048;
constexpr int kErasePrintEvery = 40;

constexpr const char* kTimeoutTail =
    " Timeout Error!!. Please check the circumestance of Serial Flash.";

// The font sets in the order of the presence check, with their header address, their
// font_status bit and their bits of register byte 43.
struct FontCheck {
    u32 header;
    u32 statusBit;
    u8 registerBits;
    const char* trace;
};
constexpr FontCheck kFontChecks[] = {
    {0x010000, 0x1, 0x02, "\n addr=0x10000[32CN], type= %#x ,width=%d,height=%d \n"},
    {0x000000, 0x2, 0x01, "\n addr=0x00[32EN], type= %#x ,width=%d,height=%d \n"},
    {0x450000, 0x4, 0x28, "\n addr=0x430000[64CN], type= %#x ,width=%d,height=%d \n"},
    {0x410000, 0x8, 0x14, "\n addr=0x410000[64EN], type= %#x ,width=%d,height=%d \n"},
};
constexpr int kFontHeaderBytes = 35;
constexpr u8 kFontPresent = 'P';

}  // namespace

bool c331_manage::flash_debug() const {
    return debugOn() && prnEn.flash != 0;
}

// ---- controller steps

void c331_manage::flash_pins(bool dma) {
    for (const RegRow& row : dma ? kDmaPins : kPins)
        wr(row.desc, row.value);
    if (!dma && flash_debug())
        std::printf("GIO setting OK.\n");
}

void c331_manage::flash_direct_setup(bool program) {
    if (program) {
        for (const RegRow& row : kProgramSetup)
            wr(row.desc, row.value);
    } else {
        for (const RegRow& row : kReadSetup)
            wr(row.desc, row.value);
    }
}

// Polls desc until (value & mask) is set (or clear); the number of polls, or -1 when the
// budget ran out.
int c331_manage::bank4_wait(u32 desc, u8 mask, bool set, int budgetMs, bool report) {
    int slept = 0;
    for (int polls = 1;; ++polls) {
        const u32 value = rd(desc);
        if (((value & mask) != 0) == set)
            return polls;
        if (report && polls % kErasePrintEvery == 0 && flash_debug())
            std::printf("B4_SFLSTAT = %02x.Wait Please.\n", value);
        if (polls < kFastPolls)
            continue;
        if (slept >= budgetMs)
            return -1;
        board::usleep(kPollSleepUs);
        ++slept;
    }
}

// The flash's write disable, for a write enable latch the flash left set.
int c331_manage::flash_write_disable(bool reportFinish) {
    wr(kCommandOpcode, kWriteDisable);
    wr(kTrigger, kTriggerCommand);
    if (flash_debug())
        std::printf("Serial Flash WRDI command process start.\n");
    const int polls = bank4_wait(kFlashStatus, kWel, false, kStatusBudgetMs);
    wr(kTrigger, kTriggerIdle);
    if (polls < 0) {
        if (flash_debug())
            std::printf("B4_SFLRDSR WRDI%s\n", kTimeoutTail);
        return 255;
    }
    if (reportFinish && flash_debug())
        std::printf("B4_SFLRDSR WRDI finish\n");
    return 0;
}

int c331_manage::flash_page_commit() {
    struct Step {
        u32 desc;
        u8 mask;
        bool set;
        const char* name;
    };
    static constexpr Step kSteps[] = {{kDataControl, kWriteEmpty, true, "B4_SFLDTCTL WEMPTY"},
                                      {kStatus, kWriteBusy, false, "B4_SFLSTAT WBUSY"},
                                      {kFlashStatus, kWip, false, "B4_SFLRDSR WIP"}};
    for (const Step& step : kSteps) {
        if (bank4_wait(step.desc, step.mask, step.set, kStatusBudgetMs) < 0) {
            if (flash_debug())
                std::printf("%s%s\n", step.name, kTimeoutTail);
            return 255;
        }
    }
    if (!(rd(kFlashStatus) & kWel))
        return 0;
    if (flash_debug())
        std::printf("B4_SFLRDSR WEL is 1, and have to clear WEL bit.\n");
    return flash_write_disable(false);
}

// ---- the operations

int c331_manage::write_flash(int, int address, int length, const u8* data) {
    if (address < 0 || length < 0 || (length > 0 && !data)) {
        std::printf("c331 flash: write of %d bytes at %d refused\n", length, address);
        return 255;
    }
    if (length == 0)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
    flash_pins(false);
    flash_direct_setup(true);
    const u32 first = static_cast<u32>(address);
    wr(kAddress, first);
    wr(kAddress, first);
    for (int i = 0; i < length; ++i) {
        wr(kData, data[i]);
        const u32 next = first + static_cast<u32>(i) + 1;
        if (next % kPage == 0) {
            wr(kAddress, next);
            if (flash_page_commit() != 0) {
                std::printf("c331 flash: page before %#x not programmed, write stopped\n", next);
                return 255;
            }
        }
        if ((i + 1) % 8192 == 0 && flash_debug())
            std::printf("#### %8d byte of %8d byte write finish. ###\n", i + 1, length);
    }
    const u32 end = first + static_cast<u32>(length);
    if (end % kPage == 0)
        return 0;
    wr(kAddress, end);
    if (flash_page_commit() != 0) {
        std::printf("c331 flash: last page before %#x not programmed\n", end);
        return 255;
    }
    return 0;
}

int c331_manage::read_flash(int, int address, int length, u8* data) {
    if (address < 0 || length < 0 || (length > 0 && !data)) {
        std::printf("c331 flash: read of %d bytes at %d refused\n", length, address);
        return 255;
    }
    std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
    flash_pins(false);
    flash_direct_setup(false);
    const u32 first = static_cast<u32>(address);
    wr(kAddress, first);
    wr(kDataControl, 1);
    const int polls = bank4_wait(kDataControl, kReadPending, false, kStatusBudgetMs);
    wr(kDataControl, 0);
    if (polls < 0) {
        std::memset(data, 0, static_cast<size_t>(length));
        std::printf("c331 flash: read at %#x did not start\n", first);
        return 255;
    }
    for (int i = 0; i < length; ++i) {
        data[i] = static_cast<u8>(rd(kData));
        if ((i + 1) % 1024 == 0 && flash_debug())
            std::printf("#### %8d byte of %8d byte read finish. ###\n", i + 1, length);
    }
    if (flash_debug())
        std::printf("#### %8d byte of %8d byte read finish. ###\n", length, length);
    wr(kAddress, first);
    return 0;
}

int c331_manage::erase_flash(int, int sector, int count, int type) {
    const EraseUnit& unit = kEraseUnits[type == 0 ? 0 : type == 1 ? 1 : 2];
    const u64 start = static_cast<u64>(sector) * kSector;
    // A 32 or 64 KiB erase acts on the whole block that holds its address: an unaligned
    // start would erase what lies before it.
    const bool refused = sector < 0 || count < 0 || start % unit.size != 0 ||
                         start + static_cast<u64>(count) * unit.size > 0x100000000ull;
    if (refused) {
        std::printf("c331 flash: erase of %d units of %u bytes from sector %d refused\n", count,
                    unit.size, sector);
        return 255;
    }
    std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
    flash_pins(false);
    const RegRow setup[] = {{kTrigger, 0},
                            {kMode, 0x80},
                            {kMode, 0x01},
                            {kCommandOpcode, unit.opcode},
                            {kWriteEnableOpcode, 0x06},
                            {kStatusOpcode, 0x05},
                            {kAccess, 1}};
    for (const RegRow& row : setup)
        wr(row.desc, row.value);
    for (int i = 0; i < count; ++i) {
        wr(kAddress, static_cast<u32>(start + static_cast<u64>(i) * unit.size));
        wr(kTrigger, kTriggerErase);
        int result = 0;
        if (bank4_wait(kStatus, kEraseBusy, false, kEraseBudgetMs, true) < 0) {
            if (flash_debug())
                std::printf("B4_SFLSTAT EBUSY%s\n", kTimeoutTail);
            result = 255;
        } else if (flash_debug()) {
            std::printf("B4_SFLSTAT EBUSY finish\n");
        }
        if (result == 0 && bank4_wait(kFlashStatus, kWip, false, kStatusBudgetMs) < 0) {
            if (flash_debug())
                std::printf("B4_SFLRDSR WIP%s\n", kTimeoutTail);
            result = 255;
        } else if (result == 0 && flash_debug()) {
            std::printf("B4_SFLRDSR WIP finish\n");
        }
        if (result == 0 && (rd(kFlashStatus) & kWel)) {
            result = flash_write_disable(true);
            // The write disable went through the command opcode: the next unit needs the
            // erase opcode back.
            wr(kCommandOpcode, unit.opcode);
        }
        wr(kTrigger, kTriggerIdle);
        if (result != 0) {
            std::printf("c331 flash: erase at %#x did not finish, %d of %d units erased\n",
                        static_cast<u32>(start + static_cast<u64>(i) * unit.size), i, count);
            return 255;
        }
    }
    return 0;
}

int c331_manage::osd_write_dma_sfl(int, u32 flashAddress, u32 destination, int target, u32 length) {
    if (length == 0 || (length & kDmaGo)) {
        std::printf("c331 flash: DMA of %u bytes refused\n", length);
        return 255;
    }
    std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
    flash_pins(true);
    const RegRow setup[] = {
        {kEngineCommand, 0},
        {kTrigger, 0},
        {kMode, 0x80},
        {kMode, target == 1 ? 0x37u : 0x33u},
        {kAccess, 2},
        {kProgramOpcode, 0x12},
        {kReadOpcode, 0x0C},
        {kCommandOpcode, 0xC7},
        {kWriteEnableOpcode, 0x06},
        {kStatusOpcode, 0x05},
        {kAddress, flashAddress},
        {kDmaLength, length | kDmaGo},
        {kDmaTarget, static_cast<u32>(target) & 0x0F},
    };
    for (const RegRow& row : setup)
        wr(row.desc, row.value);
    if (target == 0)
        wr(kBlitDestination, destination);
    else if (target == 1)
        wr(kFifoAddress, destination & 0xFFFF);
    else if (target == 4)
        wr(kPaletteIndex, destination & 0xFF);
    wr(kTrigger, kTriggerDma);
    const int budget = kDmaBaseBudgetMs + static_cast<int>(length / kDmaBytesPerMs);
    const int polls = bank4_wait(kStatus, kDmaBusy, false, budget);
    wr(kTrigger, kTriggerIdle);
    if (polls < 0) {
        std::printf("c331 flash: DMA of %u bytes from %#x did not finish\n", length, flashAddress);
        return 255;
    }
    return 0;
}

// ---- fonts

void c331_manage::read_c331_font(int fd) {
    std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    u8* presence = store ? &store->reg_para[KrxRamPara::kRegFontStatus] : nullptr;
    u32 status = 0;
    for (const FontCheck& font : kFontChecks) {
        u8 header[kFontHeaderBytes] = {};
        // A header that cannot be read counts as missing.
        if (read_flash(fd, static_cast<int>(font.header), kFontHeaderBytes, header) != 0)
            header[0] = 0;
        const bool present = header[0] == kFontPresent;
        if (present)
            status |= font.statusBit;
        if (presence && present)
            __atomic_fetch_or(presence, font.registerBits, __ATOMIC_SEQ_CST);
        else if (presence)
            __atomic_fetch_and(presence, static_cast<u8>(~font.registerBits), __ATOMIC_SEQ_CST);
        if (debugOn())
            std::printf(font.trace, header[0], header[17], header[18]);
    }
    font_status = status;
}

void c331_manage::update_font(int fd) {
    std::lock_guard<std::recursive_mutex> lock(bank4_mutex);
    const u32 start[4] = {osd.PS_CHAR_ADDR_32ASCII, osd.PS_CHAR_ADDR_32CHN,
                          osd.PS_CHAR_ADDR_64ASCII, osd.PS_CHAR_ADDR_64CHN};
    const u32 length[4] = {osd.PS_CHAR_SIZE_32ASCII, osd.PS_CHAR_SIZE_32CHN,
                           osd.PS_CHAR_SIZE_64ASCII, osd.PS_CHAR_SIZE_64CHN};
    // The sets lie back to back from the font area, whether the flash holds them or not.
    u32 destination = PS_OSD_MEM[kOsdFontArea];
    for (int i = 0; i < 4; ++i) {
        osd.font_load[i] = destination;
        osd_write_dma_sfl(fd, start[i], destination, 0, length[i]);
        destination += length[i];
    }
}
