// The input-source manager: owns the input board's I2C bus and receiver drivers, and runs
// the input-source thread that resets and releases the receivers, keeps every input's
// EDID EEPROM valid, writes custom EDIDs, sets up the 0xD0 device that lets FPGA 0 leave
// reset, and polls the receivers.
//
// The thread is a loop around checksource_pass(); tests call the pass directly with
// G_timeTicks set as they need. Bytes other threads write here (the request bytes) are
// atomics; the rest belongs to the thread.
#pragma once

#include <pthread.h>

#include <array>
#include <atomic>

#include "core/types.h"
#include "core/wakeup.h"
#include "inputs/hdmi_info.h"

class Drv_I2C0;
class ite6805_sys;
class velmo_it6602;
class it66121_sys;

enum SOURCE_THREAD_STATE : u8 {
    SOURCE_RESET = 0,
    SOURCE_RESET_WAIT = 1,
    SOURCE_RELEASE = 2,
    SOURCE_RELEASE_WAIT = 3,
    SOURCE_EDID_CHECK = 4,
    SOURCE_RUN = 5,
};

class velmosource {
public:
    // Bit of each input (DSP_INPUT_PORT 0..3) on the receiver switch, on the EEPROM switch
    // and in g_check_source.
    static constexpr u8 SOURCE_CHECK_BIT[4] = {0x02, 0x04, 0x08, 0x20};

    // Bus devices (8-bit addresses).
    static constexpr u8 kReceiverSwitch = 0xEE;
    static constexpr u8 kEdidSwitch = 0xE0;
    static constexpr u8 kPortExpander = 0x40;
    static constexpr u8 kEdidEeprom = 0xA0;
    static constexpr u8 kD0Device = 0xD0;
    static constexpr u8 kCdce913 = 0xCA;
    static constexpr u8 kEdidSwitchD0Channel = 0x80;
    static constexpr u8 kWriteProtect = 0x01;  // port expander bit 0

    // Status bits of reg_para[0x26].
    static constexpr int kStatusReg = 0x26;
    static constexpr u8 kSwitchAnswered = 0x20;
    static constexpr u8 kEdidSwitchAnswered = 0x40;
    static constexpr u8 kD0Ready = 0x80;
    // Bit of reg_para[0x25]: the SDI card answered.
    static constexpr int kInputStatusReg = 0x25;
    static constexpr u8 kSdiCardPresent = 0x02;

    // Bounds the input thread keeps to (see the .cpp for why).
    static constexpr int kEepromAttempts = 3;
    static constexpr int kEdidWriteTries = 3;
    static constexpr u32 kResetTicks = 10;    // a reset wait ends after more than this
    static constexpr u32 kHotPlugTicks = 10;  // hot-plug low for more than this after a rewrite
    // The low edge falls anywhere inside a tick: more than 16 ticks hold the SDI receiver
    // in reset for at least 160 ms.
    static constexpr u32 kSdiResetTicks = 16;

    // Waits of the run state between polling cycles (see the .cpp for why).
    static constexpr unsigned kRunCycleUs = 5000;
    static constexpr unsigned kSteadyCycleUs = 60000;

    static velmosource* p_velmo_source;
    static velmosource* pInstance();
    // What the input thread waits on between polling cycles. Another thread that raises a
    // request for it (an EDID rewrite, the source selection, the SDI reset, the receiver
    // and hot-plug command registers) calls wake(), and the request is served at once.
    static Wakeup wakeup;
    static void wake() { wakeup.notify(); }

    // Default images: four for the IT6602 inputs (image 0 unused, 1..3 for inputs 0..2) and
    // two for the IT6805 (image 0 for input 3).
    static std::array<u8, 1024> velmo_default_edid_6602;
    static std::array<u8, 512> velmo_default_edid_6805;

    ite6805_sys* ite6805;
    velmo_it6602* it6602;
    it66121_sys* it66121;
    std::atomic<u8> edid_request[4];
    std::atomic<u8> edid_done[4];
    std::atomic<u8> source_changed;
    std::atomic<u8> sdi_reset_request;
    u8 sdi_reset_step;
    u32 sdi_reset_stamp;
    u8 source_select_bits;
    u8 write_protect;
    u8 channel_mask;
    HDMI_INFO hdminfo[4];
    Drv_I2C0* i2c;
    u8 it6602_step[3];
    u8 sdi_step;
    u8 cdce913_done;
    std::atomic<u8> d0_step[2];
    u8 cdce913_step;
    u8 d0_done[2];
    pthread_t thread;
    u32 tick_stamp;
    u8 thread_state;
    u8 reset_request[4];
    // Failed verifications of each EEPROM during the start-up check.
    u8 eeprom_attempts[4];
    // Failed writes of the pending custom EDID of each input.
    u8 edid_write_tries[4];
    // An input whose hot-plug line is held low after an EDID rewrite, and since when.
    u8 hotplug_low[4];
    u32 hotplug_stamp[4];

    velmosource();
    ~velmosource();
    velmosource(const velmosource&) = delete;
    velmosource& operator=(const velmosource&) = delete;

    // Opens the bus, hands its descriptor to the drivers and starts the thread. 0, or 255
    // when the thread cannot be created.
    int initialize();
    // The part of initialize before the thread: the bus descriptor and the polled inputs.
    void open_bus();
    static void* checksourceThread(void* arg);
    // Ends the thread after its current turn and waits for it.
    void stop_thread();
    // One turn of the thread.
    void checksource_pass();

    // Asks for input's EDID to be rewritten from edid_para (the request/done handshake in
    // the order that cannot lose a request).
    void request_edid_rewrite(int input);
    // The bus descriptor, negative before initialize.
    int bus() const;

    // Chooses and patches the image for a custom size of an input and points edidTable at
    // it. False (nothing changed) for an input above 3 or a size no EDID can carry.
    static bool Set_Custom_HDMI_EDID(int width, int height, int refresh, int input);
    static unsigned char CalcSum4LCD(unsigned char start, unsigned char* data, unsigned long n);

    void s5p210_setup(int index);
    void cdce913_setup(int index);
    // The SDI card's bring-up, one step of sdi_step per call (nothing in this system calls
    // it; a trigger added later must call it from the input-source thread).
    void it66121_sdi_enable();
    void sourcecheck();
    // True when no polled receiver is on its way anywhere: each shows a picture or waits
    // for a source, and nothing is pending for this thread.
    bool steady() const;

private:
    void state_reset();
    void state_wait(u8 next);
    void state_release();
    void state_edid_check();
    void enter_run(bool checked);
    void run_cycle();
    void set_state(u8 state);
    u8 state();

    // Start-up EEPROM check; returns false when it sent the thread back to reset.
    bool eeprom_check();
    bool check_input_eeprom(int input);
    void serve_edid_request(int input);
    void serve_receiver_commands();
    void serve_hotplug_commands();
    void update_source_select();
    void serve_sdi_reset();
    void poll_input(int input);
    // Wakes the video-processor thread when a receiver published a new timing record.
    void tell_video_of_new_timing();

    bool write_expander(u8 value);
    bool select_eeprom(int input);
    bool read_eeprom(u8* image);
    bool write_eeprom(const u8* image);
    bool wait_eeprom_ready();
    u8 current_source_bits();

    // The timing records as the video-processor thread was last told of them.
    HDMI_INFO told_[4] = {};
    std::atomic<bool> stop_{false};
    bool thread_started_ = false;
};
