// Input ports on the simulated board: sources plugged into the device's inputs reach the
// c331's ports through their receivers (inputs 0, 1, 2 on parallel ports 2, 1, 0; input 3
// on V-by-One receiver 1, port 5). The test publishes each receiver's timing record as
// the receiver drivers do; the chip measures what arrives. Timings are CTA-861's, as
// edid-decode --vic lists them.
//
// In the built-in window set, windows 0..5 show ports 4, 5, 1, 2, 3, 0 and output
// channels 0..7 show windows 0, 0, 1, 1, 2, 3, 4, 5.
#include <gtest/gtest.h>

#include <cmath>
#include <mutex>

#include "board/sim/c331_input_measure.h"
#include "board/sim/hdmi_sources.h"
#include "core/global.h"
#include "core/utils.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

sim::VideoTiming timing(uint16_t ha, uint16_t hf, uint16_t hs, uint16_t hb, uint16_t va,
                        uint16_t vf, uint16_t vs, uint16_t vb, bool interlaced, uint32_t khz) {
    sim::VideoTiming t;
    t.hActive = ha;
    t.hFront = hf;
    t.hSync = hs;
    t.hBack = hb;
    t.vActive = va;
    t.vFront = vf;
    t.vSync = vs;
    t.vBack = vb;
    t.interlaced = interlaced;
    t.pixelClockKHz = khz;
    return t;
}

// CTA-861 timings (lines of a field for the interlaced ones).
const sim::VideoTiming kVic16 = timing(1920, 88, 44, 148, 1080, 4, 5, 36, false, 148500);
const sim::VideoTiming kVic97 = timing(3840, 176, 88, 296, 2160, 8, 10, 72, false, 594000);
const sim::VideoTiming kVic20 = timing(1920, 528, 44, 148, 540, 2, 5, 15, true, 74250);
const sim::VideoTiming kVic5At5994 = timing(1920, 88, 44, 148, 540, 2, 5, 15, true, 74176);
const sim::VideoTiming kVic21 = timing(1440, 24, 126, 138, 288, 2, 3, 19, true, 27000);
const sim::VideoTiming kVic6 = timing(1440, 38, 124, 114, 240, 4, 3, 15, true, 27000);

// A receiver's record: Hact, Hsync, Hback, Hpol, Htotal, Vact, Vsync, Vback, Vpol, Vtotal,
// pfreq, type, datamode, lane, ip, nosignal, updated.
HDMI_INFO it6602(uint32_t ha, uint32_t hs, uint32_t hb, uint32_t ht, uint32_t va, uint32_t vs,
                 uint32_t vb, uint32_t vt, float mhz, uint32_t ip) {
    return HDMI_INFO{ha, hs, hb, 1, ht, va, vs, vb, 1, vt, mhz, 0, 0, 0, ip, 0, 1};
}
HDMI_INFO it6805(uint32_t ha, uint32_t hs, uint32_t hb, uint32_t ht, uint32_t va, uint32_t vs,
                 uint32_t vb, uint32_t vt, float mhz, uint32_t lanes) {
    return HDMI_INFO{ha, hs, hb, 1, ht, va, vs, vb, 1, vt, mhz, 1, 1, lanes, 0, 0, 1};
}
const HDMI_INFO kRecord16 = it6602(1920, 44, 148, 2200, 1080, 5, 36, 1125, 148.5f, 0);
const HDMI_INFO kRecord97 = it6805(3840, 88, 296, 4400, 2160, 10, 72, 2250, 594.0f, 8);
const HDMI_INFO kRecord16Vbo = it6805(1920, 44, 148, 2200, 1080, 5, 36, 1125, 148.5f, 2);

class InputPortTest : public VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        bringUp();
        g_force_bkcolor = 2;  // the FPGA is up: backgrounds follow the signal
        sources = sim::get<sim::HdmiSources>("hdmi-sources");
    }

    void publish(int input, const HDMI_INFO& record) {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        inputs->hdminfo[input] = record;
    }
    void plug(int input, const sim::VideoTiming& t, const HDMI_INFO& record) {
        sources->plug(input, t);
        publish(input, record);
    }
    template <class Fn>
    void measure(Fn fn) {
        c331()->with<sim::C331InputMeasure>(fn);
    }
    const PiPortInfo& port(int p) { return manager->PI_PORT_INFO[p]; }
    void expectActive(int p, _ImageWindowDef_st a) {
        EXPECT_EQ(manager->PI_ACT[p].HST, a.HST) << "port " << p;
        EXPECT_EQ(manager->PI_ACT[p].HW, a.HW) << "port " << p;
        EXPECT_EQ(manager->PI_ACT[p].VST, a.VST) << "port " << p;
        EXPECT_EQ(manager->PI_ACT[p].VW, a.VW) << "port " << p;
    }
    // Cycles; returns how many of them rebuilt the windows (ran the output pass).
    int cyclesRebuilding(int cycles) {
        int rebuilds = 0;
        for (int i = 0; i < cycles; ++i) {
            const u32 before = manager->output_passes;
            cycle();
            rebuilds += manager->output_passes != before;
        }
        return rebuilds;
    }

    std::shared_ptr<sim::HdmiSources> sources;
};

TEST_F(InputPortTest, PortAndRecordMapsAndTheirRanges) {
    const int chipPort[] = {2, 1, 0, 5, 255, 255, 255};
    for (int id = 0; id < 7; ++id)
        EXPECT_EQ(c331_manage::krxApi_inputCvtC331(id), chipPort[id]) << id;
    EXPECT_EQ(c331_manage::krxApi_inputCvtC331(-1), 255);
    const int record[] = {2, 1, 0, 255, 255, 3, 255};
    for (int p = 0; p < 7; ++p)
        EXPECT_EQ(c331_manage::krxApi_GetPortDevId(p), record[p]) << p;
    EXPECT_EQ(c331_manage::krxApi_GetPortDevId(-1), 255);

    struct Dbd {
        int mode;
        std::vector<int> ports;
    };
    const Dbd modes[] = {{20, {0, 1}}, {23, {2, 3}}, {30, {0, 1, 2}}, {41, {0, 1, 2, 3}},
                         {50, {5, 4}}, {1, {}},      {0, {}}};
    for (const Dbd& d : modes) {
        manager->pm.PM_WIN_DBD_MODE[3] = d.mode;
        int ports[6];
        EXPECT_EQ(manager->krxApi_GetWinDbdMultiPort(3, ports), d.ports.empty() ? 0 : 1) << d.mode;
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(ports[i], i < static_cast<int>(d.ports.size()) ? d.ports[i] : 6) << d.mode;
    }
    int ports[6];
    EXPECT_EQ(manager->krxApi_GetWinDbdMultiPort(6, ports), 0);
}

// Input 0 (DVI) reaches parallel port 2: measured, classified (data mode 0: STATE 4),
// programmed (sync polarity: positive both ways, 3 | 4), its active area taken from the
// record: start 44 + 148 = 192 across and 5 + 36 = 41 down. The window showing it (window
// 3) is rebuilt.
TEST_F(InputPortTest, APluggedSourceBecomesAProgrammedPortWithItsActiveArea) {
    plug(0, kVic16, kRecord16);
    EXPECT_EQ(cyclesRebuilding(1), 1) << "window 3 is rebuilt";
    EXPECT_EQ(port(2).STATE, 4);
    EXPECT_EQ(port(2).NOSIG, 0);
    EXPECT_EQ(port(2).IP, 0);
    EXPECT_EQ(port(2).HTOTAL, 2200);
    EXPECT_EQ(port(2).VTOTAL, 1125);
    EXPECT_EQ(port(2).ACTHW, 1920);
    expectActive(2, {192, 1920, 41, 1080});
    EXPECT_NEAR(manager->PI_FV[2], 60.0, 0.001);
    EXPECT_NEAR(manager->PI_FPICLK[2], 148.5e6, 1e3);
    EXPECT_EQ(manager->PI_HDMI_INFO[2].Hact, 1920);
    EXPECT_EQ(manager->PI_HDMI_INFO[2].pfreq, 148.5f);
    EXPECT_EQ(chip(0x06, 0x38, 4) >> 16 & 0xFF, 7u);
    EXPECT_EQ(chip(0x00, 0x18, 2) & 0x100, 0u) << "data mode 0";
    EXPECT_EQ(manager->PI_UPDATE[2], 0) << "consumed by the cycle";
}

// The cable goes before the receiver notices: the chip measures nothing and the port is
// handled as no signal (background on its window's channel 5), once.
TEST_F(InputPortTest, UnpluggingIsHandledAsNoSignal) {
    plug(0, kVic16, kRecord16);
    cycle();
    sources->unplug(0);
    c331()->setReg(0x58, 0x48, 0);
    EXPECT_EQ(cyclesRebuilding(1), 1) << "the window is rebuilt without its picture";
    EXPECT_EQ(port(2).STATE, 0);
    EXPECT_EQ(port(2).NOSIG, 1);
    expectActive(2, {16, 0, 16, 0});
    EXPECT_EQ(manager->PI_FV[2], 0.0);
    EXPECT_EQ(chip(0x58, 0x48), 1u) << "background shown on window 3's channel";
    // The receiver reports it too: the port stays without picture, nothing is rebuilt.
    HDMI_INFO gone = kRecord16;
    gone.nosignal = 1;
    publish(0, gone);
    c331()->clearLog();
    EXPECT_EQ(cyclesRebuilding(1), 0);
    for (const auto& a : c331()->writes())
        EXPECT_TRUE(a.address == 0x29 || a.address == 0) << "only the status latch is written";
    // Plugged again, the port comes back.
    plug(0, kVic16, kRecord16);
    cycle();
    EXPECT_EQ(port(2).STATE, 4);
    expectActive(2, {192, 1920, 41, 1080});
}

// 148.5 and 74.25 MHz are not whole numbers of MHz: they must compare equal to themselves,
// or every cycle would see a new timing and rebuild the windows.
TEST_F(InputPortTest, AStableInputCausesNoRebuild) {
    manager->wincnt = 6;
    for (int w = 0; w < 6; ++w)  // image windows 0..5 shown in slots 0..5
        manager->window_slot[w] = w;
    plug(1, kVic16, kRecord16);
    plug(2, kVic20, it6602(1920, 44, 148, 2640, 540, 5, 15, 562, 74.25f, 1));
    plug(3, kVic97, kRecord97);
    EXPECT_EQ(cyclesRebuilding(1), 1);
    EXPECT_EQ(port(1).STATE, 4);
    EXPECT_EQ(port(0).STATE, 6);
    EXPECT_EQ(port(5).STATE, 1);
    c331()->clearLog();
    EXPECT_EQ(cyclesRebuilding(500), 0);
    // Nothing but measuring: no register of a port's set-up is written again.
    for (const auto& a : c331()->writes())
        EXPECT_TRUE(a.address == 0x29 || a.address == 0)
            << std::hex << int(a.bank) << "/" << int(a.address);
    EXPECT_EQ(manager->vbo_rearm_count[1], 0);
}

TEST_F(InputPortTest, TheTimingRecordIsTakenOnceAndOnlyWhenItChanges) {
    publish(1, kRecord16);
    std::string first = printed([&] { manager->load_hdmi(); });
    EXPECT_NE(first.find("[load_hdmi] chg_input[PI_HDMI_INFO], port:1, dev_id:1"),
              std::string::npos);
    EXPECT_EQ(manager->g_chg_input[2], 1) << "window 2 shows port 1";
    manager->g_chg_input[2] = 0;
    std::string again = printed([&] { manager->load_hdmi(); });
    EXPECT_EQ(again.find("[load_hdmi]"), std::string::npos) << again;
    EXPECT_EQ(manager->g_chg_input[2], 0);
    HDMI_INFO other = kRecord16;
    other.pfreq = 148.4f;
    publish(1, other);
    std::string changed = printed([&] { manager->load_hdmi(); });
    EXPECT_NE(changed.find("[load_hdmi]pfreq=148.500000,148.399994,chaned!"), std::string::npos)
        << changed;
    // A record not yet published is not taken.
    HDMI_INFO unpublished = kRecord97;
    unpublished.updated = 0;
    publish(3, unpublished);
    manager->load_hdmi();
    EXPECT_EQ(manager->PI_HDMI_INFO[5].Hact, 0);
}

// A measure whose counter reads 0 or runs out (0xFFFF, 0xFFFE) means no signal; 1 and
// 65533 are signals. The frame period has three bytes: 16,777,213 is the last signal.
TEST_F(InputPortTest, NoSignalAtTheMeasuresLimits) {
    plug(1, kVic16, kRecord16);
    struct Limit {
        uint8_t address;
        int bytes;
        uint32_t value;
        bool signal;
    };
    const Limit limits[] = {
        {0x0A, 2, 0, false},       {0x0A, 2, 1, true},         {0x0A, 2, 65533, true},
        {0x0A, 2, 65534, false},   {0x0A, 2, 0xFFFF, false},   {0x3A, 2, 0, false},
        {0x3A, 2, 1, true},        {0x3A, 2, 65533, true},     {0x3A, 2, 65534, false},
        {0x3A, 2, 0xFFFF, false},  {0x53, 3, 0, false},        {0x53, 3, 1, true},
        {0x53, 3, 16777213, true}, {0x53, 3, 16777214, false}, {0x53, 3, 0xFFFFFF, false},
    };
    manager->port_status[1] = 0x80;  // watched
    for (const Limit& l : limits) {
        measure([&](sim::C331InputMeasure& m) { m.pin(0xAE, l.address, l.bytes, l.value); });
        manager->check_input_port(manager->c331_fd);
        EXPECT_EQ(port(1).NOSIG, l.signal ? 0 : 1) << std::hex << int(l.address) << " " << l.value;
        manager->check_port_valid(manager->c331_fd);
        EXPECT_EQ(manager->port_status[1], l.signal ? 0x80 : 0x81)
            << std::hex << int(l.address) << " " << l.value;
        measure([&](sim::C331InputMeasure& m) { m.unpin(0xAE, l.address, l.bytes); });
    }
}

// Interlaced parallel inputs by the lines of a field: 1080i (562) at 50 Hz is STATE 6, at
// 59.94 Hz STATE 5; 576i (312) STATE 8; 480i (262) STATE 7.
TEST_F(InputPortTest, InterlacedInputsByFieldLinesAndFieldRate) {
    struct Case {
        sim::VideoTiming t;
        HDMI_INFO record;
        int state;
        double fieldHz;
    };
    const Case cases[] = {
        {kVic20, it6602(1920, 44, 148, 2640, 540, 5, 15, 562, 74.25f, 1), 6, 50.0},
        {kVic5At5994, it6602(1920, 44, 148, 2200, 540, 5, 15, 562, 74.176f, 1), 5, 59.94},
        {kVic21, it6602(1440, 126, 138, 1728, 288, 3, 19, 312, 27.0f, 1), 8, 50.0},
        {kVic6, it6602(1440, 124, 114, 1716, 240, 3, 15, 262, 27.0f, 1), 7, 59.94},
    };
    for (const Case& c : cases) {
        plug(1, c.t, c.record);
        cycle();
        EXPECT_EQ(port(1).STATE, c.state) << c.record.Vtotal;
        EXPECT_EQ(port(1).IP, 1) << c.record.Vtotal;
        EXPECT_NEAR(manager->PI_FV[1], c.fieldHz, 0.01) << c.record.Vtotal;
        expectActive(
            1,
            {static_cast<int>(c.record.Hsync + c.record.Hback), static_cast<int>(c.record.Hact),
             static_cast<int>(c.record.Vsync + c.record.Vback), static_cast<int>(c.record.Vact)});
    }
    // An interlaced record of other field lines keeps the progressive state.
    plug(1, kVic16, it6602(1920, 44, 148, 2200, 1080, 5, 36, 1125, 148.5f, 1));
    cycle();
    EXPECT_EQ(port(1).STATE, 4);
    EXPECT_EQ(port(1).IP, 0);
}

// V-by-One on port 5: 3840 x 2160 at 594 MHz on 8 lanes is beyond one pixel a clock
// (STATE 1, horizontal figures halved); 1920 x 1080 at 148.5 MHz on 2 lanes is not.
TEST_F(InputPortTest, VbyOneInputsByWidthClockAndLanes) {
    plug(3, kVic97, kRecord97);
    cycle();
    EXPECT_EQ(port(5).STATE, 1);
    EXPECT_NEAR(manager->PI_FPICLK[5], 594e6, 1e4);
    expectActive(5, {192, 1920, 82, 2160});
    EXPECT_EQ(manager->PI_ACT_FULL[5].HST, 384);
    EXPECT_EQ(manager->PI_ACT_FULL[5].HW, 3840);
    EXPECT_EQ(chip(0x02, 0x6B), 0xFFu) << "all eight lanes";
    EXPECT_EQ(chip(0x02, 0x68) & 0x08, 0u) << "74.25 MHz a lane: upper range";
    EXPECT_EQ(chip(0x00, 0x20, 2), 0x0404u);
    EXPECT_EQ(chip(0x00, 0x39, 2) >> 8, 2u);
    EXPECT_EQ(chip(0x06, 0x3C, 4) >> 16, 0x3333u);
    EXPECT_EQ(manager->vbo_rearm_count[1], 0) << "all lanes measure";

    plug(3, kVic16, kRecord16Vbo);
    cycle();
    EXPECT_EQ(port(5).STATE, 4);
    expectActive(5, {192, 1920, 41, 1080});
    EXPECT_EQ(chip(0x02, 0x6B), 0xC0u) << "two lanes";
    EXPECT_EQ(chip(0x00, 0x20, 2), 1u);
    EXPECT_EQ(chip(0x00, 0x39, 2) >> 8, 0x10u);
    EXPECT_EQ(manager->vbo_rearm_count[1], 0);
}

// A bad lane of the eight: the receiver is armed again every cycle, its frequency range
// alternating, and the counter runs 1..29 and back to 0.
TEST_F(InputPortTest, ABadVbyOneLaneReArmsTheReceiverEveryCycle) {
    plug(3, kVic97, kRecord97);
    cycle();
    measure([](sim::C331InputMeasure& m) { m.setBadLane(1, 5, true); });
    std::vector<int> counts;
    std::vector<int> ranges;
    for (int i = 0; i < 31; ++i) {
        cycle();
        counts.push_back(manager->vbo_rearm_count[1]);
        ranges.push_back(chip(0x02, 0x68) & 0x08);
        EXPECT_EQ(chip(0x02, 0x6B), 0xFFu);
    }
    EXPECT_EQ(counts[0], 1);
    EXPECT_EQ(counts[28], 29);
    EXPECT_EQ(counts[29], 0);
    EXPECT_EQ(counts[30], 1);
    EXPECT_NE(ranges[0], ranges[1]);
    EXPECT_EQ(ranges[0], ranges[2]);
    EXPECT_EQ(port(5).STATE, 1) << "the picture itself stays";
    measure([](sim::C331InputMeasure& m) { m.setBadLane(1, 5, false); });
    cycle();
    EXPECT_EQ(manager->vbo_rearm_count[1], 0);
}

// The signal drops while the cable stays: no signal, and the receiver is armed for its
// first lane every cycle until the picture comes back.
TEST_F(InputPortTest, ADroppedVbyOneSignalIsWaitedForAndTakenBack) {
    plug(3, kVic97, kRecord97);
    cycle();
    measure([](sim::C331InputMeasure& m) { m.dropSignal(5, true); });
    cycle();
    EXPECT_EQ(port(5).STATE, 0);
    EXPECT_EQ(chip(0x02, 0x6B), 0x80u);
    cycle();
    EXPECT_EQ(manager->vbo_rearm_count[1], 2);
    measure([](sim::C331InputMeasure& m) { m.dropSignal(5, false); });
    cycle();
    EXPECT_EQ(port(5).STATE, 1);
    EXPECT_EQ(chip(0x02, 0x6B), 0xFFu);
}

// The HDMI 2.0 receiver withdraws its timing when it loses sync (updated 0, nosignal 1):
// the programmed port follows into no signal instead of keeping a picture that is gone.
TEST_F(InputPortTest, AWithdrawnTimingEndsTheProgrammedPort) {
    plug(3, kVic16, kRecord16Vbo);
    cycle();
    ASSERT_EQ(port(5).STATE, 4);
    HDMI_INFO lost = kRecord16Vbo;
    lost.updated = 0;
    lost.nosignal = 1;
    publish(3, lost);
    cycle();
    EXPECT_EQ(port(5).STATE, 0);
    expectActive(5, {16, 0, 16, 0});
}

TEST_F(InputPortTest, SourceIdsOtherThanTheFourInputsAreNoInput) {
    manager->wincnt = 2;
    for (int w = 0; w < 2; ++w)  // image windows 0..1 shown in slots 0..1
        manager->window_slot[w] = w;
    for (int source : {4, 5, 7, 255, -1}) {
        std::string out = printed([&] { manager->c331_SetInputsource(1, source); });
        EXPECT_NE(out.find("    input:" + std::to_string(source) + " OOR\r\n"), std::string::npos)
            << out;
        EXPECT_EQ(manager->pm.PM_INPUT[1], 5) << source;
    }
    std::string out = printed([&] { manager->c331_SetInputsource(2, 1); });
    EXPECT_NE(out.find("    win:2 OOR, wincnt:2\r\n"), std::string::npos) << out;
    EXPECT_EQ(manager->source_switched, 0);

    plug(2, kVic16, kRecord16);
    manager->c331_SetInputsource(1, 2);
    EXPECT_EQ(manager->pm.PM_INPUT[1], 0);
    EXPECT_EQ(manager->gWininfo[1].input, 2);
    EXPECT_EQ(manager->source_switched, 1);
    EXPECT_EQ(port(0).STATE, 4) << "the new source's port is set up at once";
}

// A crop that does not fit the source is the whole source; offsets are left, right, top,
// bottom within it, never negative.
TEST_F(InputPortTest, CropsWithinTheSourcesActiveArea) {
    plug(1, kVic16, kRecord16);
    cycle();
    std::string out = printed([&] { manager->c331_SetCrop(2, 1, {100, 0, 1900, 1080}); });
    EXPECT_NE(out.find("    x:100 + w:1900 OOR, reset it to C331input\r\n"), std::string::npos);
    const int* offset = manager->pm.PM_INPUT_OFFSET[2];
    EXPECT_EQ(manager->pm.PM_INPUT_OFFSET_EN[2], 1);
    EXPECT_EQ(std::vector<int>(offset, offset + 4), (std::vector<int>{0, 0, 0, 0}));
    manager->c331_SetCrop(2, 1, {100, 50, 800, 600});
    EXPECT_EQ(std::vector<int>(offset, offset + 4), (std::vector<int>{100, 1020, 50, 430}));
    manager->c331_SetCrop(2, 0, {100, 50, 800, 600});
    EXPECT_EQ(manager->pm.PM_INPUT_OFFSET_EN[2], 0);
    EXPECT_EQ(std::vector<int>(offset, offset + 4), (std::vector<int>{0, 0, 0, 0}));

    out = printed([&] { EXPECT_EQ(manager->krxApi_CropGetOffset(1, {0, 0, 2000, 1080}, 1), 0); });
    EXPECT_NE(out.find("offset:-80 < 0, reset to zeruo"), std::string::npos) << out;
    out = printed([&] { EXPECT_EQ(manager->krxApi_CropGetOffset(3, {10, 0, 10, 10}, 0), 0); });
    EXPECT_NE(out.find("\t no signal, return 0\n"), std::string::npos) << out;
    EXPECT_EQ(manager->krxApi_CropGetOffset(1, {10, 20, 30, 40}, 4), 0);
    EXPECT_EQ(manager->krxApi_CropGetOffset(9, {10, 20, 30, 40}, 0), 0);

    // A V-by-One port taken two pixels a clock counts its halved width twice.
    plug(3, kVic97, kRecord97);
    cycle();
    manager->c331_SetCrop(1, 1, {0, 0, 3840, 2160});
    EXPECT_EQ(manager->pm.PM_INPUT_OFFSET[1][1], 0);
    EXPECT_EQ(manager->pm.PM_INPUT_OFFSET[1][3], 0);
}

// A crop chosen as a window's source is fitted to the crop's own source, and a later new
// timing of that source refits it from the crop table.
TEST_F(InputPortTest, ACropSourceIsFittedToItsOwnSource) {
    manager->wincnt = 6;
    for (int w = 0; w < 6; ++w)  // image windows 0..5 shown in slots 0..5
        manager->window_slot[w] = w;
    manager->pm.PM_INPUT[2] = 2;  // window 2 shows port 2 (no signal) before
    plug(1, kVic16, kRecord16);
    cycle();
    raise([](RamParaImage& p) {
        const size_t crop3 = 1472 + 3 * 10;  // crop entry 3: id, x, y, w, h
        p.setU16(crop3, 0x8001);             // valid, source 1
        p.setU16(crop3 + 2, 100);
        p.setU16(crop3 + 4, 100);
        p.setU16(crop3 + 6, 1280);
        p.setU16(crop3 + 8, 720);
        p.setU16(2272 + 2 * 26 + 8, 0x8003);  // window 2's source: crop entry 3
    });
    manager->pattern_gen = 1;  // the apply alone, without following the inputs after it
    cycle();
    manager->pattern_gen = 0;
    EXPECT_EQ(manager->pm.PM_INPUT[2], 1);
    const int* offset = manager->pm.PM_INPUT_OFFSET[2];
    EXPECT_EQ(std::vector<int>(offset, offset + 4), (std::vector<int>{100, 540, 100, 260}));
    // 1280 x 720 at 60 Hz (VIC 4) on the same input.
    plug(1, timing(1280, 110, 40, 220, 720, 5, 5, 20, false, 74250),
         it6602(1280, 40, 220, 1650, 720, 5, 20, 750, 74.25f, 0));
    cycle();
    EXPECT_EQ(std::vector<int>(offset, offset + 4), (std::vector<int>{100, 0, 100, 0}));
}

TEST_F(InputPortTest, ForcedBackgroundGoesOffWhereAPictureIs) {
    manager->wincnt = 2;
    for (int w = 0; w < 2; ++w)  // image windows 0..1 shown in slots 0..1
        manager->window_slot[w] = w;
    manager->gWininfo[0].och_hcnt = 2;
    manager->gWininfo[0].och_vcnt = 1;
    manager->gWininfo[0].ochLst[0] = 0;
    manager->gWininfo[0].ochLst[1] = 1;
    manager->gWininfo[1].och_hcnt = 1;
    manager->gWininfo[1].och_vcnt = 1;
    manager->gWininfo[1].ochLst[0] = 2;
    manager->pm.PM_INPUT[1] = 1;
    plug(1, kVic16, kRecord16);
    cycle();
    g_force_bkcolor = 0;  // the FPGA thread reports the FPGA ready
    raise([](RamParaImage&) {});
    cycle();
    EXPECT_EQ(g_force_bkcolor, 2);
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(chip(0x08 + 16 * c, 0x49, 3), 0u) << c;
    // Background enable: 1 shows the background in place of the picture.
    EXPECT_EQ(chip(0x08, 0x48), 1u) << "window 0's port 4 has no picture";
    EXPECT_EQ(chip(0x18, 0x48), 1u);
    EXPECT_EQ(chip(0x28, 0x48), 0u) << "window 1 shows port 1";
}

TEST_F(InputPortTest, WindowOffsetsWithinTheChannelGrid) {
    {
        ParaLock lock;
        manager->krxApi_PnlInit2(3840, 1080, 1920, 1080, 3);  // channels of 1920 x 4978
    }
    ST_WIN_INFO win{};
    win.x = 2020;
    win.y = 50;
    win.w = 1000;
    win.h = 500;
    win.och_hcnt = 1;
    win.och_vcnt = 1;
    const int expected[4] = {100, 820, 50, 4428};
    for (int side = 0; side < 4; ++side)
        EXPECT_EQ(manager->krxApi_OchGetWinOffset1(&win, side), expected[side]) << side;
    win.x = 1000;
    win.w = 1920;
    win.och_hcnt = 2;
    EXPECT_EQ(manager->krxApi_OchGetWinOffset1(&win, 1), 920);
    std::string out = printed([&] { EXPECT_EQ(manager->krxApi_OchGetWinOffset1(&win, 7), 0); });
    EXPECT_NE(out.find("\t not found type:7\r\n"), std::string::npos);
    manager->pnl = ST_PANEL{};
    out = printed([&] {
        for (int side = 0; side < 4; ++side)
            EXPECT_EQ(manager->krxApi_OchGetWinOffset1(&win, side), 0);
    });
    EXPECT_NE(out.find("po->width left Error"), std::string::npos);
    EXPECT_NE(out.find("po->height down Error"), std::string::npos);
}

}  // namespace
}  // namespace videotest
