#include "inputs/velmosource.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "board/board.h"
#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/logMsg.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "inputs/drv_i2c.h"
#include "inputs/edid_images.h"
#include "inputs/iTE6805_sys.h"
#include "inputs/it66121_sys.h"
#include "inputs/velmo_it6602.h"
#include "video/c331_manage.h"

velmosource* velmosource::p_velmo_source = nullptr;
Wakeup velmosource::wakeup;

namespace {

// The 0xD0 device's set-up, registers 0..62 in order.
constexpr u8 kD0Table[63] = {
    0x00, 0x00, 0x11, 0x32, 0x7B, 0x53, 0xEC, 0x01, 0x19, 0x52, 0xF2, 0x06, 0x63, 0x24, 0xC7, 0x13,
    0x00, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x24, 0x03, 0x11, 0x33, 0x38, 0x80, 0x04,
    0x00, 0x00, 0x74, 0x74, 0x90, 0x7D, 0x69, 0xE1, 0xA0, 0xEF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xF3, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC3, 0xC2, 0x00, 0x00, 0x00, 0x00, 0x05};

// The CDCE913's 10.8 MHz set-up, from register 0.
constexpr u8 kCdce913Table[33] = {0xCA, 0x81, 0x00, 0xB4, 0x07, 0x02, 0x50, 0x40, 0x00, 0x00, 0x00,
                                  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0D,
                                  0x02, 0x00, 0x00, 0xE4, 0x61, 0x23, 0xCB, 0xE4, 0x61, 0x23, 0xCB};

// Source-select bit of device 0x40 for each input.
constexpr u8 kSourceSelect[4] = {0x40, 0x20, 0x10, 0x04};

constexpr u16 kHigh = 16;
constexpr u16 kLow = 0;
constexpr int kEepromSize = 256;
constexpr int kEepromPage = 8;
// Acknowledge polls after a page write: the write cycle of a 24C02 is at most 5 ms.
constexpr int kAckPolls = 100;
constexpr unsigned kAckPollUs = 200;

// reg_para bytes are shared with the remote-control threads byte by byte.
KrxRamPara* store() {
    return KrxRamPara::p_krxrampara_config;
}
u8 regLoad(int index) {
    return __atomic_load_n(&store()->reg_para[index], __ATOMIC_SEQ_CST);
}
u8 regTake(int index) {
    return __atomic_exchange_n(&store()->reg_para[index], u8{0}, __ATOMIC_SEQ_CST);
}
void regSetBits(int index, u8 bits, bool on) {
    if (on)
        __atomic_fetch_or(&store()->reg_para[index], bits, __ATOMIC_SEQ_CST);
    else
        __atomic_fetch_and(&store()->reg_para[index], static_cast<u8>(~bits), __ATOMIC_SEQ_CST);
}

enum class Line { rx_reset, hdmi20_reset, fpga0_reset, fpga1_reset, sdi_reset };

volatile u16* lineWord(Line line) {
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    if (!fpga)
        return nullptr;
    switch (line) {
        case Line::rx_reset:
            return fpga->rx_reset_gpio;
        case Line::hdmi20_reset:
            return fpga->hdmi20_reset_gpio;
        case Line::fpga0_reset:
            return fpga->fpga_rst_gpio[0];
        case Line::fpga1_reset:
            return fpga->fpga_rst_gpio[1];
        case Line::sdi_reset:
            return fpga->sdi_reset_gpio;
    }
    return nullptr;
}

void drive(Line line, u16 value) {
    volatile u16* word = lineWord(line);
    if (!word) {
        if (debugOn())
            std::printf("\n source: GPIO window not mapped, line %d not driven\n",
                        static_cast<int>(line));
        return;
    }
    board::mmio_write16(word, value);
}

void printImage(const u8* image) {
    if (!debugOn())
        return;
    for (int i = 0; i < 128; ++i)
        std::printf(i % 16 == 15 ? " %02x \n" : " %02x ", image[i]);
}

}  // namespace

velmosource* velmosource::pInstance() {
    if (!p_velmo_source)
        p_velmo_source = new velmosource();
    return p_velmo_source;
}

velmosource::velmosource()
    : sdi_reset_step(0),
      sdi_reset_stamp(0),
      source_select_bits(0),
      write_protect(0),
      channel_mask(0),
      hdminfo{},
      it6602_step{},
      sdi_step(0),
      cdce913_done(0),
      cdce913_step(0),
      d0_done{},
      thread{},
      tick_stamp(0),
      thread_state(SOURCE_RESET),
      reset_request{1, 1, 1, 1},
      eeprom_attempts{},
      edid_write_tries{},
      hotplug_low{},
      hotplug_stamp{} {
    writeLogMsg(3, "====velmosource::velmosource()=====");
    it6602 = new velmo_it6602(hdminfo);
    ite6805 = new ite6805_sys();
    it66121 = new it66121_sys();
    i2c = new Drv_I2C0();
    Drv_I2C0::p_drv_i2c0 = i2c;
    for (int i = 0; i < 4; ++i) {
        edid_request[i] = 0;
        edid_done[i] = 0;
        hdminfo[i].nosignal = 1;
        hdminfo[i].updated = 0;
    }
    source_changed = 1;
    sdi_reset_request = 0;
    d0_step[0] = d0_step[1] = 0;
}

velmosource::~velmosource() {
    stop_thread();
    if (Drv_I2C0::p_drv_i2c0 == i2c)
        Drv_I2C0::p_drv_i2c0 = nullptr;
    if (it6602 && it6602->fd >= 0)
        board::close(it6602->fd);
    delete i2c;
    i2c = nullptr;
    delete it6602;
    it6602 = nullptr;
    delete ite6805;
    ite6805 = nullptr;
    delete it66121;
    it66121 = nullptr;
    if (p_velmo_source == this)
        p_velmo_source = nullptr;
}

void velmosource::open_bus() {
    int fd = i2c->initialize();
    it6602->fd = fd;
    ite6805->fd = fd;
    channel_mask = g_check_source;
}

int velmosource::initialize() {
    open_bus();
    if (pthread_create(&thread, nullptr, checksourceThread, this) != 0) {
        if (debugOn())
            std::printf("create manage thread failed\n");
        writeLogMsg(1, "create check source thread failed");
        return 255;
    }
    thread_started_ = true;
    return 0;
}

void velmosource::stop_thread() {
    if (!thread_started_)
        return;
    stop_ = true;
    wakeup.notify();
    pthread_join(thread, nullptr);
    thread_started_ = false;
}

// In the run state the thread waits between polling cycles on its wakeup. While a receiver
// is on its way somewhere (a source plugged, its sync, equaliser and audio being found, a
// hot-plug pulse) it polls every kRunCycleUs, so that a picture is found within a few
// frames. Once every receiver is steady it polls every kSteadyCycleUs: the receivers latch
// every change in their interrupt registers, so nothing is missed, and a plug is still
// noticed well within 200 ms. Requests of other threads end the wait at once. Within a
// cycle the only pause is the one the receiver switch needs after it is routed: the wait
// between cycles is where the other threads get the processor, and more sleeps would only
// add task switches.
void* velmosource::checksourceThread(void* arg) {
    name_this_thread("input-poll");
    velmosource* self = static_cast<velmosource*>(arg);
    while (!self->stop_) {
        self->checksource_pass();
        if (self->state() == SOURCE_RUN)
            wakeup.wait(self->steady() ? kSteadyCycleUs : kRunCycleUs);
    }
    return nullptr;
}

bool velmosource::steady() const {
    for (int input = 0; input < 4; ++input) {
        if (edid_request[input] || hotplug_low[input])
            return false;
    }
    if (sdi_reset_request || source_changed)
        return false;
    for (int ch = 0; ch < 3; ++ch) {
        if ((channel_mask & SOURCE_CHECK_BIT[ch]) && !it6602->steady(ch, it6602_step[ch]))
            return false;
    }
    return !(channel_mask & SOURCE_CHECK_BIT[3]) || ite6805->steady();
}

void velmosource::tell_video_of_new_timing() {
    {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        if (std::memcmp(told_, hdminfo, sizeof told_) == 0)
            return;
        std::memcpy(told_, hdminfo, sizeof told_);
    }
    c331_manage::wakeup.notify();
}

int velmosource::bus() const {
    return it6602 ? it6602->fd : -1;
}

void velmosource::request_edid_rewrite(int input) {
    if (input < 0 || input > 3)
        return;
    // done first: the thread takes a request whose done byte is 1 as already written.
    edid_done[input] = 0;
    edid_request[input] = 1;
    wake();
}

u8 velmosource::state() {
    std::lock_guard<std::mutex> lock(Utils::_source_init_mutex);
    return thread_state;
}

void velmosource::set_state(u8 next) {
    std::lock_guard<std::mutex> lock(Utils::_source_init_mutex);
    thread_state = next;
    tick_stamp = G_timeTicks;
}

void velmosource::checksource_pass() {
    if (!store()) {
        board::msleep(1);
        return;
    }
    switch (state()) {
        case SOURCE_RESET:
            state_reset();
            break;
        case SOURCE_RESET_WAIT:
            state_wait(SOURCE_RELEASE);
            break;
        case SOURCE_RELEASE:
            state_release();
            break;
        case SOURCE_RELEASE_WAIT:
            state_wait(SOURCE_EDID_CHECK);
            break;
        case SOURCE_EDID_CHECK:
            state_edid_check();
            break;
        default:
            run_cycle();
            break;
    }
}

void velmosource::state_reset() {
    if (reset_request[0] || reset_request[1] || reset_request[2])
        drive(Line::rx_reset, kLow);
    if (reset_request[3]) {
        drive(Line::hdmi20_reset, kLow);
        ite6805->ite6805_sys_reset_init();
    }
    set_state(SOURCE_RESET_WAIT);
    board::msleep(1);
}

void velmosource::state_wait(u8 next) {
    {
        std::lock_guard<std::mutex> lock(Utils::_source_init_mutex);
        if (Utils::getTimeSpace(tick_stamp) > kResetTicks) {
            thread_state = next;
            tick_stamp = G_timeTicks;
        }
    }
    board::msleep(1);
}

void velmosource::state_release() {
    if (reset_request[0] || reset_request[1] || reset_request[2])
        drive(Line::rx_reset, kHigh);
    if (reset_request[3])
        drive(Line::hdmi20_reset, kHigh);
    std::lock_guard<std::mutex> lock(Utils::_source_init_mutex);
    thread_state = SOURCE_RELEASE_WAIT;
    std::memset(reset_request, 0, sizeof reset_request);
    tick_stamp = G_timeTicks;
}

void velmosource::state_edid_check() {
    bool once = g_check_edid == "Once";
    if (once && !eeprom_check()) {
        board::msleep(1);
        return;
    }
    if (!once)
        set_state(SOURCE_RUN);
    enter_run(once);
    board::msleep(1);
}

void velmosource::enter_run(bool checked) {
    if (checked) {
        if (ConfigEngine::p_config)
            ConfigEngine::p_config->write_config_variant(ConfigItem::EDIDCheck, "Never");
        board::msleep(1);
        Utils::system_mutex("sync");
        return;
    }
    if (g_check_edid == "Never") {
        regSetBits(kStatusReg, 0x5F, true);
        regSetBits(0x25, 0x80, true);
    }
}

// The start-up check of the four EEPROMs. An EEPROM that fails its verification sends the
// thread through the reset sequence again, but only a bounded number of times: after that
// the input is left with its status bit clear, so that the 0xD0 set-up (and with it FPGA 0)
// never waits behind one broken memory.
bool velmosource::eeprom_check() {
    for (int input = 0; input < 4; ++input) {
        write_expander(kWriteProtect);
        write_protect = kWriteProtect;
        bool enabled = regLoad(kStatusReg) & (1u << input);
        bool retrying = eeprom_attempts[input] > 0;
        if ((!enabled && !retrying) || eeprom_attempts[input] >= kEepromAttempts)
            continue;
        if (check_input_eeprom(input))
            continue;
        regSetBits(kStatusReg, static_cast<u8>(1u << input), false);
        write_expander(kWriteProtect);
        write_protect = kWriteProtect;
        if (++eeprom_attempts[input] >= kEepromAttempts) {
            if (debugOn())
                std::printf("\n eeprom %d cannot be made valid, input skipped\n", input);
            continue;
        }
        std::lock_guard<std::mutex> lock(Utils::_source_init_mutex);
        reset_request[0] = 1;
        reset_request[3] = 1;
        thread_state = SOURCE_RESET;
        return false;
    }
    write_expander(kWriteProtect);
    write_protect = kWriteProtect;
    set_state(SOURCE_RUN);
    return true;
}

// Reads the input's EEPROM and rewrites it with the input's default image when it does not
// hold a valid EDID. True when the EEPROM ends up valid.
bool velmosource::check_input_eeprom(int input) {
    regSetBits(kStatusReg, kEdidSwitchAnswered, select_eeprom(input));
    board::msleep(10);
    u8 image[kEepromSize] = {};
    bool answered = read_eeprom(image);
    regSetBits(kStatusReg, static_cast<u8>(1u << input), answered);
    // A read that failed proves nothing about the contents, whatever the buffer holds.
    if (answered && edid::looksValid(image))
        return true;
    const u8* fresh = input == 3 ? velmo_default_edid_6805.data()
                                 : velmo_default_edid_6602.data() + kEepromSize * (input + 1);
    write_expander(0);
    write_protect = 0;
    bool written = write_eeprom(fresh);
    board::msleep(10);
    std::memset(image, 0, sizeof image);
    bool verified = written && read_eeprom(image) && std::memcmp(image, fresh, kEepromSize) == 0;
    printImage(image);
    if (verified)
        regSetBits(kStatusReg, static_cast<u8>(1u << input), true);
    return verified;
}

void velmosource::run_cycle() {
    u8 channel = kEdidSwitchD0Channel;
    bool answered = i2c->i2c_write(bus(), kEdidSwitch, 0, &channel, 1);
    regSetBits(kStatusReg, kSwitchAnswered, answered);
    if (answered && !d0_done[0]) {
        board::usleep(100);
        s5p210_setup(0);
    }
    for (int input = 0; input < 4; ++input)
        if (edid_request[input] == 1)
            serve_edid_request(input);
    serve_receiver_commands();
    if (source_changed == 1)
        update_source_select();
    serve_sdi_reset();
    sourcecheck();
    tell_video_of_new_timing();
}

// Writes the custom EDID of an input and verifies it. A write that cannot be verified
// stays pending for a few more cycles with the input's status bit clear, then is dropped;
// edid_done is only set for an EEPROM that reads back what was written.
void velmosource::serve_edid_request(int input) {
    if (edid_done[input] == 1)
        return;
    VideoSizePara size{};
    {
        ParaLock para;
        const RamParaImage& image = store()->ram_para;
        size_t at = para::edid_para_at(input);
        size = VideoSizePara{image.u16At(at), image.u16At(at + 2), image.u16At(at + 4)};
    }
    bool verified = false;
    {
        std::lock_guard<std::mutex> lock(Utils::_system_mutex);
        if (!Set_Custom_HDMI_EDID(size.width, size.height, size.refresh, input)) {
            // A size no EDID can carry: the EEPROM keeps what it holds.
            edid_request[input] = 0;
            edid_write_tries[input] = 0;
            return;
        }
        write_protect = 0;
        bool unprotected = write_expander(source_select_bits);
        if (debugOn())
            std::printf(unprotected ? "\n edid set ok ,%d\n" : "\n edid set error ,%d\n", input);
        u8 readBack[kEepromSize] = {};
        verified = select_eeprom(input) && write_eeprom(edidTable) && read_eeprom(readBack) &&
                   std::memcmp(readBack, edidTable, kEepromSize) == 0;
        if (debugOn())
            std::printf(verified ? "\n over to compare edid" : "\n compare error %d,%d,%d!!!\n",
                        input, size.width, size.height);
        if (verified) {
            edid_done[input] = 1;
            edid_write_tries[input] = 0;
        } else if (++edid_write_tries[input] >= kEdidWriteTries) {
            edid_request[input] = 0;
            edid_write_tries[input] = 0;
        }
    }
    regSetBits(kStatusReg, static_cast<u8>(1u << input), verified);
    write_protect = kWriteProtect;
    write_expander(source_select_bits | kWriteProtect);
}

// Remote receiver commands of reg_para[0x20]. The hot-plug and restart commands talk to the
// IT6805 and only go ahead once the switch is on its channel.
void velmosource::serve_receiver_commands() {
    u8 command = regTake(0x20);
    if (!command)
        return;
    u8 channel = SOURCE_CHECK_BIT[3];
    auto onIt6805 = [&] { return i2c->i2c_write(bus(), kReceiverSwitch, 0, &channel, 1) == 1; };
    if (command & 0x10)
        ite6805->fsm_step[0] = 0;
    if ((command & 0x40) && onIt6805())
        ite6805->iTE6805_Set_HPD_Ctrl(0, 0, 0);
    if ((command & 0x80) && onIt6805())
        ite6805->iTE6805_Set_HPD_Ctrl(0, 1, 0);
    if ((command & 0x01) && onIt6805())
        ite6805->iTE6805_Init_fsm(0);
    if (command & 0x02)
        drive(Line::hdmi20_reset, kHigh);
    if (command & 0x04)
        drive(Line::hdmi20_reset, kLow);
    if (command & 0x08)
        drive(Line::hdmi20_reset, kHigh);
}

// The source-select bits of device 0x40 for the current window: the input feeding it
// (through its crop entry when it shows a crop) while its audio flag is set.
u8 velmosource::current_source_bits() {
    ParaLock para;
    const RamParaImage& image = store()->ram_para;
    u8 window = image[para::current_window];
    if (window >= para::window_count)
        return 0;
    size_t record = para::window_at(window);
    if (!(image.u16At(record + para::win_audio) & 0x8000))
        return 0;
    u16 source = image.u16At(record + para::win_source);
    if (source & 0x8000) {
        int crop = source & 0xFF;
        if (crop >= para::crop_count)
            return 0;
        source = image[para::crop_at(crop)] & 0x0F;
    }
    return source < 4 ? kSourceSelect[source] : 0;
}

void velmosource::update_source_select() {
    source_select_bits = current_source_bits();
    if (!write_expander(source_select_bits | write_protect))
        return;
    std::lock_guard<std::mutex> lock(Utils::_system_mutex);
    source_changed = 0;
}

void velmosource::serve_sdi_reset() {
    if (sdi_reset_request != 1)
        return;
    if (sdi_reset_step == 0) {
        drive(Line::sdi_reset, 0);
        sdi_reset_step = 1;
        sdi_reset_stamp = G_timeTicks;
        return;
    }
    if (Utils::getTimeSpace(sdi_reset_stamp) > kSdiResetTicks) {
        drive(Line::sdi_reset, 1);
        sdi_reset_step = 0;
        sdi_reset_request = 0;
    }
}

void velmosource::s5p210_setup(int index) {
    if (index < 0 || index > 1)
        return;
    if (d0_step[index] == 0) {
        d0_step[index] = 1;
        for (u8 reg = 0; reg < sizeof kD0Table; ++reg) {
            u8 value = kD0Table[reg];
            if (!i2c->i2c_write(bus(), kD0Device, reg, &value, 1)) {
                d0_step[index] = 0;
                return;
            }
        }
        return;
    }
    if (d0_step[index] != 1)
        return;
    d0_done[index] = 1;
    if (index == 0) {
        regSetBits(kStatusReg, kD0Ready, true);
        drive(Line::fpga0_reset, kHigh);
    } else {
        regSetBits(0x27, 0x01, true);
        drive(Line::fpga1_reset, kHigh);
    }
    d0_step[index] = 2;
}

void velmosource::cdce913_setup(int index) {
    if (cdce913_step == 0) {
        cdce913_done = 0;
        u8 table[sizeof kCdce913Table];
        std::memcpy(table, kCdce913Table, sizeof table);
        bool ok = i2c->i2c_write(bus(), kCdce913, 0, table, sizeof table);
        if (ok)
            cdce913_step = 2;
        if (debugOn())
            std::printf(ok ? "\n start to write cdce913 10.8M OK!! ,,index = %#x \n"
                           : "\n start to write cdce913 10.8M error ,index = %#x !! \n",
                        index);
        return;
    }
    if (cdce913_step == 2) {
        cdce913_done = 1;
        if (debugOn())
            std::printf("\n start to cdce913 10.8M ok ");
        return;
    }
    if (debugOn()) {
        std::printf("\n read  cdce913 data ......");
        for (int i = 0; i < 32; ++i)
            std::printf(" %02x", 0);
    }
}

void velmosource::sourcecheck() {
    for (int input = 0; input < 4; ++input)
        if (channel_mask & SOURCE_CHECK_BIT[input])
            poll_input(input);
}

void velmosource::poll_input(int input) {
    u8 channel = SOURCE_CHECK_BIT[input];
    bool routed = i2c->i2c_write(bus(), kReceiverSwitch, 0, &channel, 1);
    regSetBits(kStatusReg, kSwitchAnswered, routed);
    board::usleep(1);
    if (edid_request[input] == 1 && edid_done[input] == 1) {
        {
            std::lock_guard<std::mutex> lock(Utils::_system_mutex);
            edid_request[input] = 0;
        }
        if (input == 3) {
            ite6805->iTE6805_Set_HPD_Ctrl(0, 0, 0);
            ite6805->fsm_step[0] = 0;
        } else {
            it6602->IT6602HPDCtrl(bus(), 0, 0);
            it6602_step[input] = 0;
        }
        // The receiver raises hot-plug again when it is initialised; keeping it away from
        // the driver holds the line low long enough for the source to notice.
        hotplug_low[input] = 1;
        hotplug_stamp[input] = G_timeTicks;
    }
    if (input == 3 && routed)
        serve_hotplug_commands();
    if (hotplug_low[input]) {
        if (Utils::getTimeSpace(hotplug_stamp[input]) <= kHotPlugTicks)
            return;
        hotplug_low[input] = 0;
    }
    if (input == 3) {
        ite6805->iTE6805_FSM(0);
        return;
    }
    switch (it6602_step[input]) {
        case 0:
            if (it6602->IT6602_fsm_init(bus(), input))
                it6602_step[input] = 1;
            break;
        case 1:
            it6602->IT6602_fsm_init_1(bus(), input);
            it6602_step[input] = 2;
            break;
        default:
            it6602->IT6602_fsm(bus(), input);
            break;
    }
}

// Hot-plug and reset commands of reg_para[0] for the IT6805; the caller has routed the
// switch to its channel. Bits 4 and 5 name a second IT6805 that this board does not have.
void velmosource::serve_hotplug_commands() {
    u8 command = regTake(0);
    if (!command)
        return;
    for (int bit = 0; bit < 4; ++bit) {
        if (!(command & (1u << bit)))
            continue;
        drive(Line::hdmi20_reset, bit % 2 ? kHigh : kLow);
        ite6805->fsm_step[0] = ite6805->fsm_step[1] = 0;
    }
    if (command & 0x40)
        ite6805->iTE6805_Set_HPD_Ctrl(0, 0, 0);
    if (command & 0x80)
        ite6805->iTE6805_Set_HPD_Ctrl(0, 1, 0);
}

bool velmosource::write_expander(u8 value) {
    return i2c->i2c_write(bus(), kPortExpander, 0, &value, 1);
}

bool velmosource::select_eeprom(int input) {
    u8 channel = SOURCE_CHECK_BIT[input];
    return i2c->i2c_write(bus(), kEdidSwitch, 0, &channel, 1);
}

bool velmosource::read_eeprom(u8* image) {
    for (int offset = 0; offset < kEepromSize; offset += kEepromPage)
        if (!i2c->i2c_read(bus(), kEdidEeprom, static_cast<u8>(offset), image + offset,
                           kEepromPage))
            return false;
    return true;
}

// Page writes with acknowledge polling: the EEPROM ignores its address while it programs
// a page, so each page waits until the previous one is done.
bool velmosource::write_eeprom(const u8* image) {
    for (int offset = 0; offset < kEepromSize; offset += kEepromPage) {
        u8 page[kEepromPage];
        std::memcpy(page, image + offset, kEepromPage);
        if (!i2c->i2c_write(bus(), kEdidEeprom, static_cast<u8>(offset), page, kEepromPage)) {
            if (debugOn())
                std::printf("write eeprom error02 !!!%d\n", offset);
            return false;
        }
        if (!wait_eeprom_ready())
            return false;
    }
    if (debugOn())
        std::printf("\n write eeprom ok !!! %d\n", kEepromSize);
    return true;
}

bool velmosource::wait_eeprom_ready() {
    for (int poll = 0; poll < kAckPolls; ++poll) {
        if (i2c->i2c_write(bus(), kEdidEeprom, 0, nullptr, 0))
            return true;
        board::usleep(kAckPollUs);
    }
    return false;
}
