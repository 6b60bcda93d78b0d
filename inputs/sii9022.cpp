#include "inputs/sii9022.h"

#include <cstdio>

#include "core/global.h"
#include "core/krxrampara.h"
#include "core/le.h"
#include "inputs/drv_i2c.h"
#include "inputs/velmosource.h"

SiI9022* SiI9022::p_9022 = nullptr;

namespace {

constexpr u8 TPI_VIDEO_MODE = 0x00;  // pixel clock /10 kHz, vertical rate /0.01 Hz, totals
constexpr u8 TPI_PIXEL_REPETITION = 0x08;
constexpr u8 TPI_INPUT_FORMAT = 0x09;  // 0x09..0x0B: input and output RGB
constexpr u8 TPI_AVI = 0x0C;           // checksum, then data bytes 1..13
constexpr u8 TPI_SYSTEM_CONTROL = 0x1A;
constexpr u8 TPI_POWER_STATE = 0x1E;
constexpr u8 TPI_SYNC_GENERATION = 0x60;
constexpr u8 TPI_DE_GENERATOR = 0x62;
constexpr u8 TPI_INTERNAL_PAGE = 0xBC;
constexpr u8 TPI_INTERNAL_OFFSET = 0xBD;
constexpr u8 TPI_INTERNAL_VALUE = 0xBE;
constexpr u8 TPI_MODE_SELECT = 0xC7;
// The AVI InfoFrame's header (type 0x82, version 2, length 13) adds up to this.
constexpr u8 kAviHeaderSum = 0x82 + 0x02 + 0x0D;
constexpr u8 kAviBytes = 14;

int busDescriptor() {
    velmosource* source = velmosource::p_velmo_source;
    return source ? source->bus() : -1;
}

}  // namespace

SiI9022* SiI9022::pInstance() {
    if (!p_9022)
        p_9022 = new SiI9022();
    return p_9022;
}

SiI9022::SiI9022() {
    SiI9022_para_init();
}

void SiI9022::SiI9022_para_init() {
    static constexpr u8 kPara[9] = {60, 80, 60, 20, 43, 20, 0, 0, 83};
    for (int i = 0; i < 9; ++i)
        para[i] = kPara[i];
}

u8 SiI9022::I2C_SiI9022A2_Write(u8 reg, u8* data, u8 n) {
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    if (!bus || !data)
        return 0;
    u8 written = bus->i2c_write(busDescriptor(), kAddress, reg, data, n);
    u8 back[Drv_I2C0::kMaxRead] = {};
    if (n == 0 || n > Drv_I2C0::kMaxRead || !bus->i2c_read(busDescriptor(), kAddress, reg, back, n))
        return written;
    if (debugOn())
        for (u8 i = 0; i < n; ++i)
            std::printf("=====num:%d SiI9022A I2C Read Reg0x%X=0x%X data:0x%x=====\n", i, reg + i,
                        back[i], data[i]);
    return written;
}

u8 SiI9022::SiI9022_ByteWrite(u8 reg, u8 value) {
    u8 ok = I2C_SiI9022A2_Write(reg, &value, 1);
    if (!ok && debugOn())
        std::printf("===== SiI9022A I2C ERROR Write Reg0x%X=%X Error=====\n", reg, value);
    return ok;
}

u8 SiI9022::WriteBlockTPI(u8 first, u8 n, const u8* data) {
    u8 ok = 1;
    for (u8 i = 0; i < n; ++i)
        ok &= SiI9022_ByteWrite(static_cast<u8>(first + i), data[i]);
    return ok;
}

u8 SiI9022::I2C_set_SiI9022(int width, int height, int refresh) {
    return siHdmiTx_UserDefineSet(width, height, refresh);
}

u8 SiI9022::siHdmiTx_UserDefineSet(int width, int height, int refresh) {
    // The line length follows from the fixed clock: a refresh of 0 has none, and a value
    // wider than its register field would be programmed cut short.
    if (refresh <= 0 || refresh * 100 > 0xFFFF || width <= 0 || width > 0xFFF || height <= 0 ||
        height > 0x7FF)
        return 0;
    u32 vTotal = static_cast<u32>(height) + para[8];
    u32 hTotal = kPixelClockHz / static_cast<u32>(refresh) / vTotal;
    if (hTotal > 0xFFFF)
        return 0;
    u32 hStart = static_cast<u32>(para[1]) + para[2];
    u32 vStart = static_cast<u32>(para[4]) + para[5];

    u8 ok = 1;
    ok &= SiI9022_ByteWrite(TPI_MODE_SELECT, 0x00);
    ok &= SiI9022_ByteWrite(TPI_INTERNAL_PAGE, 0x01);
    ok &= SiI9022_ByteWrite(TPI_INTERNAL_OFFSET, 0x82);
    ok &= SiI9022_ByteWrite(TPI_INTERNAL_VALUE, 0x25);
    ok &= SiI9022_ByteWrite(TPI_POWER_STATE, 0x00);

    u8 mode[8];
    u64 clock10kHz = static_cast<u64>(hTotal) * static_cast<u32>(refresh) * vTotal / 10000;
    put_u16(mode, static_cast<u16>(clock10kHz));
    put_u16(mode + 2, static_cast<u16>(refresh * 100));
    put_u16(mode + 4, static_cast<u16>(hTotal));
    put_u16(mode + 6, static_cast<u16>(vTotal));
    ok &= WriteBlockTPI(TPI_VIDEO_MODE, sizeof mode, mode);

    ok &= SiI9022_ByteWrite(TPI_PIXEL_REPETITION, 0x70);
    for (u8 reg = TPI_INPUT_FORMAT; reg < TPI_INPUT_FORMAT + 3; ++reg)
        ok &= SiI9022_ByteWrite(reg, 0x00);
    ok &= SiI9022_ByteWrite(TPI_SYNC_GENERATION, 0x00);

    u8 de[8] = {static_cast<u8>(hStart & 0xFF), static_cast<u8>(((hStart >> 8) & 0x03) | 0x40),
                static_cast<u8>(vStart & 0x7F), 0x00};
    put_u16(de + 4, static_cast<u16>(width & 0xFFF));
    put_u16(de + 6, static_cast<u16>(height & 0x7FF));
    ok &= WriteBlockTPI(TPI_DE_GENERATOR, sizeof de, de);

    u8 avi[kAviBytes] = {};
    avi[1] = 0x11;
    avi[2] = hStart / vStart < 2 ? 0x18 : 0x28;
    avi[8] = static_cast<u8>(para[1] + 1);
    avi[12] = static_cast<u8>(para[4] + 1);
    u8 sum = kAviHeaderSum;
    for (u8 b : avi)
        sum = static_cast<u8>(sum + b);
    avi[0] = static_cast<u8>(0x100 - sum);
    ok &= WriteBlockTPI(TPI_AVI, kAviBytes, avi);

    ok &= SiI9022_ByteWrite(TPI_SYSTEM_CONTROL, 0x00);
    return ok;
}

u8 SiI9022::check_9022(int fpga) {
    if (fpga != 0 && fpga != 1)
        return 0;
    Drv_I2C0* bus = Drv_I2C0::p_drv_i2c0;
    u8 value = 0;
    u8 answered = bus ? bus->i2c_read(busDescriptor(), kAddress, TPI_DE_GENERATOR, &value, 1) : 0;
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return answered;
    u8 bit = fpga == 0 ? 0x02 : 0x04;
    u8* reg = &store->reg_para[kStatusReg];
    if (answered)
        __atomic_fetch_or(reg, bit, __ATOMIC_SEQ_CST);
    else
        __atomic_fetch_and(reg, static_cast<u8>(~bit), __ATOMIC_SEQ_CST);
    return answered;
}
