// The input-source thread on the simulated board: start-up resets, the EEPROM check and
// repair, the 0xD0 set-up that releases FPGA 0, custom EDIDs, remote commands and the
// source-select bits. The pass is called directly with G_timeTicks advanced by the test.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "board/sim/hdmi_sources.h"
#include "board/sim/i2c_bus.h"
#include "board/sim/sim.h"
#include "board/sim/soc_window.h"
#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "inputs/edid_images.h"
#include "inputs/iTE6805_sys.h"
#include "inputs/velmosource.h"
#include "tests/inputs/edid_decode.h"
#include "tests/support/sim_test.h"
#include "video/c331_manage.h"
#include "video/c331_peers.h"

namespace {

// The D0 table as the board documents it.
const std::vector<u8> kD0Table = {
    0x00, 0x00, 0x11, 0x32, 0x7B, 0x53, 0xEC, 0x01, 0x19, 0x52, 0xF2, 0x06, 0x63, 0x24, 0xC7, 0x13,
    0x00, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x24, 0x03, 0x11, 0x33, 0x38, 0x80, 0x04,
    0x00, 0x00, 0x74, 0x74, 0x90, 0x7D, 0x69, 0xE1, 0xA0, 0xEF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xF3, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC3, 0xC2, 0x00, 0x00, 0x00, 0x00, 0x05};

struct Store {
    u32 offset;
    u16 value;
    u32 tick;
};

class Source : public test::SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        // Waits are cut short; the EEPROMs' write cycle with them, so that acknowledge
        // polling still has to wait for it.
        sim::setSleepDivisor(10);
        g_debugSwitch = 0;
        G_timeTicks = 1000;
        sim::setScene(QJsonObject{{"edid", QJsonArray{"valid", "blank", "corrupt", "valid"}}});
        ConfigEngine::pInstance();
        ASSERT_EQ(g_check_edid, "Once");
        store = std::make_unique<KrxRamPara>();
        store->load();
        KrxRamPara::p_krxrampara_config = store.get();
        fpga = std::make_unique<fpga_manage>();
        ASSERT_EQ(fpga->map_gpio_window(), 0);
        fpga_manage::p_fpga_manage = fpga.get();
        soc = sim::get<sim::SocWindow>("/dev/mem");
        soc->addListener([this](uint32_t offset, uint16_t value) {
            std::lock_guard<std::mutex> lock(logMutex);
            gpio.push_back({offset, value, G_timeTicks.load()});
        });
        source = std::make_unique<velmosource>();
        velmosource::p_velmo_source = source.get();
        source->open_bus();
        bus = sim::get<sim::I2cBus>("/dev/i2c-0");
        for (int i = 0; i < 4; ++i)
            bus->eeprom(i).setWriteCycleMs(1);
    }
    void TearDown() override {
        source.reset();
        fpga_manage::p_fpga_manage = nullptr;
        fpga.reset();
        KrxRamPara::p_krxrampara_config = nullptr;
        store.reset();
        delete ConfigEngine::p_config;
        ConfigEngine::p_config = nullptr;
        g_check_source = 255;
        g_debugSwitch = 254;
        SimTest::TearDown();
    }

    void pass(int n = 1) {
        for (int i = 0; i < n; ++i)
            source->checksource_pass();
    }
    // Runs the start-up, one pass per tick, until the thread is in its run state.
    void startUp(int maxPasses = 400) {
        for (int i = 0; i < maxPasses && source->thread_state != SOURCE_RUN; ++i) {
            pass();
            ++G_timeTicks;
        }
        ASSERT_EQ(source->thread_state, SOURCE_RUN);
    }
    std::vector<Store> stores(u32 offset) {
        std::lock_guard<std::mutex> lock(logMutex);
        std::vector<Store> out;
        for (const Store& s : gpio)
            if (s.offset == offset)
                out.push_back(s);
        return out;
    }
    u16 line(u32 offset) { return soc->word(offset); }
    u8 reg(int index) { return store->reg_para[index]; }
    RamParaImage& image() { return store->ram_para; }
    // The input's default image: blocks 1..3 of the IT6602 table for inputs 0..2, the
    // first block of the IT6805 table for input 3.
    std::vector<u8> defaultImage(int input) {
        const u8* p = input == 3 ? velmosource::velmo_default_edid_6805.data()
                                 : velmosource::velmo_default_edid_6602.data() + 256 * (input + 1);
        return std::vector<u8>(p, p + 256);
    }
    // An EEPROM holds the default image of its input: that very image, and as a source
    // reads it, a sound EDID named for the input.
    void expectDefaultEdid(int input) {
        SCOPED_TRACE("input " + std::to_string(input));
        const char* names[4] = {"KRX-DVI", "KRX-HD1", "KRX-HD2", "KRX_T47HD3"};
        const std::vector<u8> contents = bus->eeprom(input).contents();
        EXPECT_EQ(contents, defaultImage(input));
        test::EdidReport r = test::edidDecode(contents.data());
        EXPECT_TRUE(r.passed) << r.output;
        EXPECT_EQ(r.name, names[input]);
    }
    // edid_para entry of an input: width, height, refresh at 896 + 6 x input.
    void setEdidPara(int input, u16 w, u16 h, u16 r) {
        const size_t at = 896 + 6 * static_cast<size_t>(input);
        image().setU16(at, w);
        image().setU16(at + 2, h);
        image().setU16(at + 4, r);
    }

    std::unique_ptr<KrxRamPara> store;
    std::unique_ptr<fpga_manage> fpga;
    std::unique_ptr<velmosource> source;
    std::shared_ptr<sim::SocWindow> soc;
    std::shared_ptr<sim::I2cBus> bus;
    std::mutex logMutex;
    std::vector<Store> gpio;
};

TEST_F(Source, StartUpResetsTheReceiversAndRepairsOnlyInvalidEeproms) {
    std::vector<u8> valid0 = bus->eeprom(0).contents();
    std::vector<u8> valid3 = bus->eeprom(3).contents();
    u32 checkTick = 0;
    for (int i = 0; i < 400 && source->thread_state != SOURCE_RUN; ++i) {
        if (source->thread_state == SOURCE_EDID_CHECK && !checkTick)
            checkTick = G_timeTicks;
        pass();
        ++G_timeTicks;
    }
    ASSERT_EQ(source->thread_state, SOURCE_RUN);

    // Each reset line: low for at least 11 ticks (110 ms), then high, and the EEPROMs are
    // not looked at before another 11 ticks.
    for (u32 offset : {0x207940u, 0x207944u}) {  // the IT6602's and the IT6805's
        auto s = stores(offset);
        ASSERT_EQ(s.size(), 2u);
        EXPECT_EQ(s[0].value, 0);
        EXPECT_EQ(s[1].value, 16);
        EXPECT_GE(s[1].tick - s[0].tick, 11u);
        EXPECT_GE(checkTick - s[1].tick, 11u);
    }
    EXPECT_EQ(line(0x207940), 16);

    EXPECT_EQ(bus->eeprom(0).contents(), valid0);
    EXPECT_EQ(bus->eeprom(3).contents(), valid3);
    EXPECT_EQ(bus->eeprom(0).pagesProgrammed(), 0u);
    EXPECT_EQ(bus->eeprom(3).pagesProgrammed(), 0u);
    expectDefaultEdid(1);
    expectDefaultEdid(2);
    EXPECT_EQ(bus->eeprom(1).pagesProgrammed(), 32u);
    // The page writes waited for each write cycle instead of running into it.
    EXPECT_EQ(bus->eeprom(1).protectedWrites(), 0u);
    EXPECT_TRUE(bus->expander().reg(0) & 0x01) << "write protect is back on";
    EXPECT_EQ(reg(0x26) & 0x0F, 0x0F);

    // "Once" is consumed: the file says "Never" and the file system was synced.
    QFile ini(QString::fromStdString(rooted("/data/configs/tcpip.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("EDIDCheck=Never"));
    bool synced = false;
    for (const auto& c : sim::commands())
        synced = synced || c.text == "sync";
    EXPECT_TRUE(synced);
}

TEST_F(Source, NeverLeavesTheEepromsAloneAndReportsThemGood) {
    g_check_edid = "Never";
    store->reg_para[0x26] = 0x00;
    store->reg_para[0x25] = 0x00;
    startUp();
    g_check_edid = "Once";
    EXPECT_TRUE(bus->messagesTo(0xA0).empty());
    EXPECT_EQ(reg(0x26) & 0x5F, 0x5F);
    EXPECT_EQ(reg(0x25) & 0x80, 0x80);
}

TEST_F(Source, AFailedReadIsNotTakenForAValidEeprom) {
    // EEPROM 0 holds a valid EDID, but the read phase of its last 8-byte read is not
    // acknowledged: what the buffer holds then proves nothing.
    bus->eeprom(0).nackNext(1, 63);
    startUp();
    EXPECT_EQ(bus->eeprom(0).pagesProgrammed(), 32u);
    expectDefaultEdid(0);
    EXPECT_EQ(reg(0x26) & 0x01, 0x01);
}

TEST_F(Source, AnEepromThatCannotBeRepairedIsSkippedAfterBoundedTries) {
    bus->eeprom(2).setStuck(true);
    startUp(2000);
    auto resets = stores(0x207940);
    ASSERT_EQ(resets.size(), 2u * 3) << "three attempts, each a low and a high";
    for (size_t i = 0; i + 1 < resets.size(); i += 2)
        EXPECT_GE(resets[i + 1].tick - resets[i].tick, 11u);
    EXPECT_EQ(reg(0x26) & 0x0F, 0x0B) << "input 2 reported bad, the others good";
    expectDefaultEdid(1);

    // Start-up carried on: the 0xD0 device is set up and FPGA 0 leaves reset.
    pass(2);
    EXPECT_EQ(source->d0_step[0], 2);
    EXPECT_EQ(line(0x207858), 16);
}

TEST_F(Source, D0TableIsWrittenWholeAndFpga0ReleasedOneCallLater) {
    startUp();
    bus->d0().clearWrites();
    bus->d0().nackNext(1, 20);  // the 21st register write goes unanswered
    pass();
    EXPECT_EQ(source->d0_step[0], 0);
    EXPECT_EQ(bus->d0().writes().size(), 20u);
    EXPECT_EQ(line(0x207858), 0) << "FPGA 0 held in reset";

    bus->d0().clearWrites();
    pass();
    EXPECT_EQ(source->d0_step[0], 1);
    ASSERT_EQ(bus->d0().writes().size(), 63u);
    for (u8 r = 0; r < 63; ++r) {
        EXPECT_EQ(bus->d0().writes()[r].first, r);
        EXPECT_EQ(bus->d0().reg(r), kD0Table[r]) << "register " << int(r);
    }
    EXPECT_EQ(line(0x207858), 0) << "released one call later";
    EXPECT_EQ(reg(0x26) & 0x80, 0);

    pass();
    EXPECT_EQ(source->d0_step[0], 2);
    EXPECT_EQ(line(0x207858), 16);
    EXPECT_EQ(reg(0x26) & 0x80, 0x80);
    bus->d0().clearWrites();
    pass(3);
    EXPECT_TRUE(bus->d0().writes().empty()) << "set up once per run";
}

TEST_F(Source, CustomEdidTravelsFromTheImageToTheEepromAndTheHotPlugLine) {
    startUp();
    pass(2);
    setEdidPara(1, 1920, 1080, 50);
    source->request_edid_rewrite(1);
    pass();
    std::vector<u8> written = bus->eeprom(1).contents();
    EXPECT_TRUE(std::equal(written.begin(), written.end(), edidTable));
    test::EdidReport r = test::edidDecode(written.data());
    EXPECT_TRUE(r.passed) << r.output;
    EXPECT_EQ(r.width, 1920);
    EXPECT_EQ(r.height, 1080);
    EXPECT_NEAR(r.refresh, 50, 0.5);
    EXPECT_EQ(r.name, "KRX-HD1");
    EXPECT_GT(bus->eeprom(1).busyRefusals(), 0u) << "acknowledge polling waited";
    EXPECT_TRUE(bus->expander().reg(0) & 0x01);

    // The same pass polled input 1: the request is taken and its hot-plug held low.
    EXPECT_EQ(source->edid_done[1], 1);
    EXPECT_EQ(source->edid_request[1], 0);
    EXPECT_EQ(source->hotplug_low[1], 1);
    EXPECT_EQ(source->it6602_step[1], 0);
    // A source must see the line low for at least 100 ms (10 ticks); it is released on
    // the first pass after that.
    u32 low = G_timeTicks;
    for (u32 t = 1; t <= 10; ++t) {
        G_timeTicks = low + t;
        pass();
        EXPECT_EQ(source->hotplug_low[1], 1) << "tick " << t;
    }
    G_timeTicks = low + 11;
    pass();
    EXPECT_EQ(source->hotplug_low[1], 0);

    // Input 3 takes the IT6805's image and restarts that driver.
    setEdidPara(3, 1024, 768, 60);
    source->ite6805->fsm_step[0] = 1;
    source->request_edid_rewrite(3);
    pass();
    EXPECT_EQ(bus->eeprom(3).contents(), defaultImage(3)) << "the IT6805's image, patched";
    EXPECT_EQ(source->ite6805->fsm_step[0], 0);
    EXPECT_EQ(source->hotplug_low[3], 1);
}

TEST_F(Source, ACustomEdidThatDoesNotVerifyStaysPendingABoundedTime) {
    startUp();
    pass(2);
    bus->eeprom(2).setStuck(true);
    setEdidPara(2, 1280, 1024, 60);
    source->request_edid_rewrite(2);
    for (int i = 1; i < 3; ++i) {  // three tries
        pass();
        EXPECT_EQ(source->edid_request[2], 1);
        EXPECT_EQ(source->edid_done[2], 0);
        EXPECT_EQ(reg(0x26) & 0x04, 0);
        EXPECT_EQ(source->hotplug_low[2], 0);
    }
    pass();
    EXPECT_EQ(source->edid_request[2], 0) << "given up";
    EXPECT_EQ(source->edid_done[2], 0);
    EXPECT_EQ(source->hotplug_low[2], 0);
    EXPECT_TRUE(bus->expander().reg(0) & 0x01);
}

TEST_F(Source, AnEdidSizeNoEdidCanCarryKeepsTheEeprom) {
    startUp();
    pass(2);
    std::vector<u8> before = bus->eeprom(0).contents();
    unsigned pages = bus->eeprom(0).pagesProgrammed();
    setEdidPara(0, 0, 1080, 60);
    source->request_edid_rewrite(0);
    pass();
    EXPECT_EQ(source->edid_request[0], 0);
    EXPECT_EQ(bus->eeprom(0).pagesProgrammed(), pages);
    EXPECT_EQ(bus->eeprom(0).contents(), before);
    EXPECT_EQ(source->hotplug_low[0], 0);
}

TEST_F(Source, SourceSelectFollowsTheCurrentWindowItsCropAndItsAudio) {
    startUp();
    // current_window at 2112; window w's source word at 2272 + 26 w + 8, audio at + 20.
    auto select = [&](u8 window, u16 sourceWord, u16 audio) {
        image()[2112] = window;
        if (window < 6) {
            image().setU16(2272 + 26 * window + 8, sourceWord);
            image().setU16(2272 + 26 * window + 20, audio);
        }
        source->source_changed = 1;
        pass();
        EXPECT_EQ(source->source_changed, 0);
        return static_cast<u8>(bus->expander().reg(0));
    };
    EXPECT_EQ(select(1, 2, 0x8000), 0x10 | 0x01);
    EXPECT_EQ(select(1, 0, 0x8064), 0x40 | 0x01);
    EXPECT_EQ(select(1, 3, 0x0064), 0x01) << "audio flag clear";
    image()[1472 + 10 * 5] = 0x13;  // crop entry 5 shows input 3
    EXPECT_EQ(select(2, 0x8005, 0x8000), 0x04 | 0x01);
    EXPECT_EQ(select(2, 0x8000 | 40, 0x8000), 0x01) << "no crop entry 40";
    EXPECT_EQ(select(2, 0x80FF, 0x8000), 0x01);
    EXPECT_EQ(select(6, 0, 0), 0x01) << "no window 6";
    EXPECT_EQ(select(255, 0, 0), 0x01);

    // While the expander does not answer the change stays pending and is retried.
    bus->expander().setPresent(false);
    image().setU16(2272 + 8, 1);
    image().setU16(2272 + 20, 0x8000);
    image()[2112] = 0;
    source->source_changed = 1;
    pass(2);
    EXPECT_EQ(source->source_changed, 1);
    bus->expander().setPresent(true);
    pass();
    EXPECT_EQ(source->source_changed, 0);
    EXPECT_EQ(bus->expander().reg(0), 0x20 | 0x01);
}

TEST_F(Source, HotPlugCommandsWaitForTheIt6805Channel) {
    startUp();
    source->channel_mask = 0x02;  // HDMI3 not polled
    store->reg_para[0] = 0x01;
    pass(2);
    EXPECT_EQ(reg(0), 0x01) << "kept until the switch is on the IT6805";
    EXPECT_EQ(line(0x207944), 16);

    source->channel_mask = 0x22;
    bus->receiverSwitch().setPresent(false);
    pass();
    EXPECT_EQ(reg(0), 0x01);
    bus->receiverSwitch().setPresent(true);
    source->ite6805->fsm_step[0] = source->ite6805->fsm_step[1] = 1;
    bus->receiverSwitch().clearHistory();
    pass();
    EXPECT_EQ(reg(0), 0x00);
    EXPECT_EQ(line(0x207944), 0);
    EXPECT_EQ(source->ite6805->fsm_step[0], 0);
    EXPECT_EQ(source->ite6805->fsm_step[1], 0);
    // 0x22 polls inputs 0 and 3, input 3 last.
    EXPECT_EQ(bus->receiverSwitch().history(), (std::vector<u8>{0x02, 0x20}));

    store->reg_para[0] = 0x02;
    pass();
    EXPECT_EQ(line(0x207944), 16);
}

TEST_F(Source, ReceiverCommandsOfRegister0x20) {
    startUp();
    source->channel_mask = 0x02;  // else the same pass identifies the chip again
    source->ite6805->fsm_step[0] = 1;
    gpio.clear();
    store->reg_para[0x20] = 0x1E;  // restart, then high, low, high: the last one wins
    pass();
    EXPECT_EQ(reg(0x20), 0);
    EXPECT_EQ(source->ite6805->fsm_step[0], 0);
    auto s = stores(0x207944);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].value, 16);
    EXPECT_EQ(s[1].value, 0);
    EXPECT_EQ(s[2].value, 16);

    // Bit 1 releases the IT6805, bit 2 holds it in reset: with both, the hold wins.
    gpio.clear();
    store->reg_para[0x20] = 0x06;
    pass();
    s = stores(0x207944);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].value, 16);
    EXPECT_EQ(s[1].value, 0);
    EXPECT_EQ(line(0x207944), 0);
}

TEST_F(Source, SdiReceiverResetPulseLastsAtLeast160ms) {
    startUp();
    source->sdi_reset_request = 1;
    pass();
    EXPECT_EQ(line(0x002848), 0);
    // Low for more than 16 ticks: the low edge may come late in its tick.
    u32 low = G_timeTicks;
    G_timeTicks = low + 16;
    pass();
    EXPECT_EQ(line(0x002848), 0);
    EXPECT_EQ(source->sdi_reset_request, 1);
    G_timeTicks = low + 17;
    pass();
    EXPECT_EQ(line(0x002848), 1);
    EXPECT_EQ(source->sdi_reset_request, 0);
}

TEST_F(Source, TheThreadBringsTheBoardUpAndStopsCleanly) {
    source.reset();
    std::atomic<bool> ticking{true};
    std::thread ticker([&] {
        while (ticking) {
            ++G_timeTicks;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    source = std::make_unique<velmosource>();
    velmosource::p_velmo_source = source.get();
    ASSERT_EQ(source->initialize(), 0);
    bool up = test::waitFor([&] { return source->d0_step[0] == 2; }, 20000);
    source.reset();  // stops and joins the thread
    ticking = false;
    ticker.join();
    ASSERT_TRUE(up);
    EXPECT_EQ(line(0x207858), 16);
    bus = sim::get<sim::I2cBus>("/dev/i2c-0");
    expectDefaultEdid(1);
}

// The thread waits between its cycles; a request of another thread ends the wait. With
// every wait an hour long, a request served while the test runs was served by its wake-up.
TEST_F(Source, ARequestOfAnotherThreadIsServedWhileTheThreadWaitsAnHour) {
    source.reset();
    std::atomic<bool> ticking{true};
    std::thread ticker([&] {
        while (ticking) {
            ++G_timeTicks;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    source = std::make_unique<velmosource>();
    velmosource::p_velmo_source = source.get();
    ASSERT_EQ(source->initialize(), 0);
    Wakeup& wakeup = velmosource::wakeup;
    const bool up = test::waitFor([&] { return source->d0_step[0] == 2; }, 20000);
    wakeup.override_period(3600u * 1000u * 1000u);
    const u32 begun = wakeup.begun();
    const bool holding =
        test::waitFor([&] { return wakeup.begun() > begun && wakeup.waiting(); }, 10000);
    const u32 woken = wakeup.woken();
    source->source_changed = 0;
    c331_peers::raise_source_changed();
    const bool served = test::waitFor([&] { return source->source_changed == 0; }, 10000);
    const u32 wakeups = wakeup.woken() - woken;
    wakeup.override_period(0);
    source.reset();  // the stop ends the hour-long wait too
    ticking = false;
    ticker.join();
    ASSERT_TRUE(up);
    ASSERT_TRUE(holding);
    EXPECT_TRUE(served);
    EXPECT_EQ(wakeups, 1u);
}

TEST_F(Source, ANewTimingFromAReceiverWakesTheVideoThreadOnce) {
    startUp();
    sim::get<sim::HdmiSources>("hdmi-sources")->plug(1, *sim::VideoTiming::cta861(16));
    auto published = [this] {
        return source->hdminfo[1].updated == 1 && source->hdminfo[1].nosignal == 0;
    };
    for (int i = 0; i < 2000 && !published(); ++i) {
        if (i == 0)
            c331_manage::wakeup.wait(0);  // what the start-up published
        pass();
        ++G_timeTicks;
    }
    ASSERT_TRUE(published());
    EXPECT_TRUE(c331_manage::wakeup.wait(0)) << "the pass that published woke the video thread";
    pass();
    EXPECT_FALSE(c331_manage::wakeup.wait(0)) << "nothing new, no wake-up";
}

}  // namespace
