// Register access, identification, reset and the entry points of the IT6602 driver.
#include "inputs/velmo_it6602.h"

#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "core/global.h"
#include "core/krxrampara.h"

const IT6602RegRow velmo_it6602::IT6602_HDMI_INIT_TABLE[] = {
    {0x0F, 0x03, 0x00}, {0x10, 0xFF, 0x08}, {0x0F, 0x03, 0x00}, {0x10, 0xFF, 0x17},
    {0x11, 0xFF, 0x1F}, {0x18, 0xFF, 0x1F}, {0x12, 0xFF, 0xF8}, {0x10, 0xFF, 0x10},
    {0x11, 0xFF, 0xA0}, {0x18, 0xFF, 0xA0}, {0x12, 0xFF, 0x00}, {0x0F, 0x03, 0x01},
    {0xB0, 0x03, 0x00}, {0x0F, 0x03, 0x00}, {0x17, 0xC0, 0x80}, {0x1E, 0xC0, 0x00},
    {0x16, 0x08, 0x08}, {0x1D, 0x08, 0x08}, {0x2B, 0xFF, 0x07}, {0x31, 0xFF, 0x09},
    {0x49, 0xFF, 0x09}, {0x35, 0x1E, 0x14}, {0x4B, 0x1E, 0x14}, {0x54, 0xFF, 0x11},
    {0x6A, 0xFF, 0x81}, {0x74, 0xFF, 0xA0}, {0x50, 0x1F, 0x12}, {0x65, 0x0C, 0x00},
    {0x7A, 0x80, 0x80}, {0x85, 0x02, 0x02}, {0xC0, 0x03, 0x03}, {0x87, 0xFF, 0x00},
    {0x71, 0x08, 0x00}, {0x37, 0xFF, 0xA6}, {0x4D, 0xFF, 0xA6}, {0x67, 0x80, 0x00},
    {0x7A, 0x50, 0x50}, {0x77, 0x80, 0x80}, {0x0F, 0x03, 0x01}, {0xC0, 0x8C, 0x88},
    {0x0F, 0x03, 0x00}, {0x7E, 0x40, 0x40}, {0x52, 0x20, 0x20}, {0x53, 0xCF, 0x4F},
    {0x58, 0xFF, 0x33}, {0x59, 0xFF, 0xAA}, {0x25, 0xFF, 0x1F}, {0x3D, 0xFF, 0x1F},
    {0x27, 0xFF, 0x1F}, {0x28, 0xFF, 0x1F}, {0x29, 0xFF, 0x1F}, {0x3F, 0xFF, 0x1F},
    {0x40, 0xFF, 0x1F}, {0x41, 0xFF, 0x1F}, {0x0F, 0x03, 0x01}, {0xBC, 0xFF, 0x06},
    {0xCC, 0xFF, 0x00}, {0xC6, 0x07, 0x03}, {0xB5, 0x03, 0x03}, {0xB8, 0x80, 0x00},
    {0xB6, 0x07, 0x03}, {0x10, 0xFF, 0x00}, {0x11, 0xFF, 0x00}, {0x12, 0xFF, 0x00},
    {0x13, 0xFF, 0x00}, {0x28, 0xFF, 0x00}, {0x29, 0xFF, 0x00}, {0x2A, 0xFF, 0x00},
    {0x2B, 0xFF, 0x00}, {0x2C, 0xFF, 0x00}, {0x0F, 0x03, 0x00}, {0x22, 0xFF, 0x00},
    {0x3A, 0xFF, 0x00}, {0x26, 0xFF, 0x00}, {0x3E, 0xFF, 0x00}, {0x63, 0xFF, 0x3F},
    {0x73, 0x08, 0x00}, {0x60, 0x40, 0x00}, {0x2A, 0x01, 0x00}, {0x42, 0x01, 0x00},
    {0x77, 0x0C, 0x08}, {0xFF, 0xFF, 0xFF},
};

const char* const velmo_it6602::VStateStr[] = {
    "VSTATE_Off",        "VSTATE_TerminationOff", "VSTATE_TerminationOn", "VSTATE_5VOff",
    "VSTATE_SyncWait",   "VSTATE_SWReset",        "VSTATE_SyncChecking",  "VSTATE_HDCPSet",
    "VSTATE_HDCP_Reset", "VSTATE_ModeDetecting",  "VSTATE_VideoOn",       "VSTATE_ColorDetectReset",
    "VSTATE_HDMI_OFF",   "VSTATE_Reserved",
};

const char* const velmo_it6602::AStateStr[] = {
    "ASTATE_AudioOff",     "ASTATE_RequestAudio", "ASTATE_ResetAudio",
    "ASTATE_WaitForReady", "ASTATE_AudioOn",      "ASTATE_Reserved",
};

const char* const velmo_it6602::VModeStateStr[] = {
    "0 eRGB444_SDR",
    "1 eYUV444_SDR",
    "2 eRGB444_DDR",
    "3 eYUV444_DDR",
    "4 eYUV422_Emb_Sync_SDR",
    "5 eYUV422_Emb_Sync_DDR",
    "6 eYUV422_Sep_Sync_SDR",
    "7 eYUV422_Sep_Sync_DDR",
    "8 eCCIR656_Emb_Sync_SDR",
    "9 eCCIR656_Emb_Sync_DDR",
    "10 eCCIR656_Sep_Sync_SDR",
    "11 eCCIR656_Sep_Sync_DDR",
    "12 eRGB444_Half_Bus",
    "13 eYUV444_Half_Bus",
    "14 eBTA1004_SDR",
    "15 eBTA1004_DDR",
};

namespace {

// Output colour mode, signal type and colour depth of each _Video_Output_Configure.
constexpr u8 kOutputConfigure[16][3] = {
    {0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {2, 1, 0}, {1, 0, 1}, {1, 1, 1}, {1, 0, 0}, {1, 1, 0},
    {1, 0, 3}, {1, 1, 3}, {1, 0, 2}, {1, 1, 2}, {0, 2, 0}, {2, 2, 0}, {1, 3, 1}, {1, 4, 1},
};

}  // namespace

velmo_it6602::velmo_it6602(HDMI_INFO* records)
    : fd(-1),
      identify_failures{},
      dev{},
      timing{},
      pixel_clock{},
      tmds_clock{},
      input_colour_mode{},
      output_colour_mode{},
      colour_depth_code{},
      pll_check_count{},
      eq_result{},
      chip_address(kChipAddresses[1]),
      records_(records),
      oclk_count_{},
      pixel_period_{} {
    std::memset(eq_result, 0xFF, sizeof eq_result);
}

void velmo_it6602::delay1ms(unsigned n) {
    board::msleep(n);
}

IT6602_dev_data* velmo_it6602::get_IT6602_dev_data(int ch) {
    return ch >= 0 && ch < kChannels ? &dev[ch] : nullptr;
}

// A read that fails returns 0: every status bit reads "nothing happened".
u8 velmo_it6602::hdmirxrd_it6602(int fd, u8 reg) {
    u8 value = 0;
    i2c_.i2c_read(fd, chip_address, reg, &value, 1);
    return value;
}

bool velmo_it6602::rd_block(u8 reg, u8* data, int n) {
    return i2c_.i2c_read(bus_, chip_address, reg, data, n) == 1;
}

void velmo_it6602::hdmirxwr_it6602(int fd, u8 reg, u8 value) {
    i2c_.i2c_write(fd, chip_address, reg, &value, 1);
}

// Nothing is written when the read failed: the other bits of the register are unknown.
void velmo_it6602::hdmirxset_it6602(int fd, u8 reg, u8 mask, u8 value) {
    u8 old = 0;
    if (!i2c_.i2c_read(fd, chip_address, reg, &old, 1))
        return;
    u8 next = static_cast<u8>((old & ~mask) | (value & mask));
    i2c_.i2c_write(fd, chip_address, reg, &next, 1);
}

void velmo_it6602::hdmirxbwr_it6602(int fd, u8 reg, u8 n, const u8* data) {
    u8 copy[255];
    std::memcpy(copy, data, n);
    i2c_.i2c_write(fd, chip_address, reg, copy, n);
}

void velmo_it6602::chgbank_it6602(int fd, u8 bank) {
    hdmirxset_it6602(fd, REG_BANK, 0x03, bank);
}

void velmo_it6602::hdimrx_write_init_it6602(int fd, const IT6602RegRow* table) {
    for (; table->reg != 0xFF; ++table)
        hdmirxset_it6602(fd, table->reg, table->mask, table->value);
}

bool velmo_it6602::five_volt(int port) {
    return rd(port ? REG_PORT1_STATUS : REG_PORT0_STATUS) & 0x01;
}

bool velmo_it6602::clock_present(int port) {
    return rd(port ? REG_PORT1_STATUS : REG_PORT0_STATUS) & 0x08;
}

// reg_para bytes are shared with the remote-control threads byte by byte.
void velmo_it6602::set_status_bits(int index, u8 bits, bool on) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    if (on)
        __atomic_fetch_or(&store->reg_para[index], bits, __ATOMIC_SEQ_CST);
    else
        __atomic_fetch_and(&store->reg_para[index], static_cast<u8>(~bits), __ATOMIC_SEQ_CST);
}

u8 velmo_it6602::active_port() {
    return rd(REG_PORT_SELECT) & 0x01;
}

int velmo_it6602::IT6602_fsm_init(int fd, int ch) {
    if (ch < 0 || ch >= kChannels)
        return 0;
    bus_ = fd;
    if (debugOn())
        std::printf("IT6602_fsm_init(%d )\n", ch);
    // A chip that did not answer is not reset: the table would go nowhere, and the "no
    // signal" it publishes is already there. The next call identifies it again.
    if (!IT6602_Identify_Chip(ch))
        return 0;
    IT6602_Rst(ch);
    return 1;
}

void velmo_it6602::IT6602_fsm_init_1(int fd, int ch) {
    if (ch < 0 || ch >= kChannels)
        return;
    bus_ = fd;
    set(0xC0, 0x03, 0x03);
    IT6602PortSelect(ch, 0);
}

void velmo_it6602::IT6602_fsm(int fd, int ch) {
    if (ch < 0 || ch >= kChannels)
        return;
    bus_ = fd;
    IT6602HDMIInterruptHandler(ch);
    IT6602VideoHandler(ch);
    IT6602AudioHandler(ch);
    for (int port = 0; port < 2; ++port)
        if (dev[ch].eq[port].busy == 1)
            HDMIAdjustEQ(ch, port);
    IT6602HDMIEventManager(ch);
}

bool velmo_it6602::steady(int ch, u8 step) const {
    if (ch < 0 || ch >= kChannels)
        return true;
    if (step != 2)
        return step == 0;
    const IT6602_dev_data& d = dev[ch];
    if (d.eq[0].busy || d.eq[1].busy || d.event_flags)
        return false;
    if (d.video_state == VSTATE_SWReset)
        return true;
    return d.video_state == VSTATE_VideoOn &&
           (d.audio_state == ASTATE_AudioOn || d.audio_state == ASTATE_AudioOff);
}

void velmo_it6602::IT6602HPDCtrl(int fd, int port, int level) {
    if (port != 0)
        return;
    bus_ = fd;
    u8 value = 0;
    if (five_volt(0))
        value = level ? 0x03 : 0x01;
    bank(1);
    set(REG_HPD, 0x03, value);
    bank(0);
}

int velmo_it6602::IT6602_Identify_Chip(int ch) {
    for (u8 address : kChipAddresses) {
        chip_address = address;
        u8 id[4] = {};
        if (rd_block(0x00, id, 4) && std::memcmp(id, kChipId, sizeof id) == 0) {
            if (debugOn()) {
                std::printf("I2C Addr %X ok: Can  find IT6602 Chip !!!\n", address);
                std::printf("OK , Find IT6602 Chip I2C Addr %X !!!\n", address);
            }
            set_status_bits(kStatusReg, kFoundBit[ch], true);
            return 1;
        }
        if (debugOn())
            std::printf("I2C Addr %X Error: Can not find IT6602 Chip !!!\n", address);
        set_status_bits(kStatusReg, kFoundBit[ch], false);
        if (identify_failures[ch] < 255)
            ++identify_failures[ch];
    }
    return 0;
}

void velmo_it6602::IT6602_Rst(int ch) {
    hdmirx_Var_init(ch);
    hdimrx_write_init_it6602(bus_, IT6602_HDMI_INIT_TABLE);
    Cal_oclk(ch);
    IT6602SwitchVideoState(ch, VSTATE_SWReset);
    IT6602SwitchAudioState(ch, ASTATE_AudioOff);
}

void velmo_it6602::hdmirx_Var_init(int ch) {
    IT6602_dev_data& d = dev[ch];
    d = IT6602_dev_data{};
    d.video_state = VSTATE_Reserved;
    d.audio_state = ASTATE_Reserved;
    for (int port = 0; port < 2; ++port) {
        d.eq[port].eq_state = IT6602_EQ_DATA::kIdle;
        d.eq[port].port = static_cast<u8>(port);
    }
    IT6602_VideoOutputConfigure_Init(ch, eRGB444_SDR);
    pll_check_count[ch] = 0;
}

void velmo_it6602::IT6602_VideoOutputConfigure_Init(int ch, u8 config) {
    IT6602_dev_data& d = dev[ch];
    d.output_config = static_cast<u8>(config & 0x0F);
    d.output_colour_mode = kOutputConfigure[d.output_config][0];
    d.output_signal_type = kOutputConfigure[d.output_config][1];
    d.output_colour_depth = kOutputConfigure[d.output_config][2];
    if (debugOn())
        std::printf("it6602[%d] output %s\n", ch, VModeStateStr[d.output_config]);
}

void velmo_it6602::IT6602PortSelect(int ch, u8 port) {
    set(REG_PORT_SELECT, 0x01, port);
    dev[ch].selected_port = port;
}

void velmo_it6602::IT6602_AFE_Rst(int ch) {
    int port = dev[ch].selected_port;
    set(REG_PORT_RESET[port], 0x01, 0x01);
    delay1ms(1);
    set(REG_PORT_RESET[port], 0x01, 0x00);
    DisableOverWriteRS(ch, port);
    dev[ch].sync_wait_counter = 0;
}

void velmo_it6602::Cal_oclk(int ch) {
    oclk_count_[ch] = CP_OCLK();
}

u32 velmo_it6602::CP_OCLK() {
    set(0x73, 0x08, 0x08);
    u8 count[3] = {};
    rd_block(0x61, count, 3);
    set(0x73, 0x08, 0x00);
    return static_cast<u32>(count[0]) | static_cast<u32>(count[1]) << 8 |
           static_cast<u32>(count[2]) << 16;
}
