// Link events of the IT6805 input: sync loss, 5 V loss, persistent ECC errors and the
// hot-plug pulse that makes the source read a new EDID.
#include <algorithm>

#include "inputs/edid_images.h"
#include "tests/inputs/it6805_fixture.h"

namespace {

using test::It6805Test;
using test::RegWrite;
using test::wroteInOrder;

// 1920x1080 at 60 Hz, 148.5 MHz: an HDMI 1.x link; 3840x2160 at 60 Hz RGB, 594 MHz: an
// HDMI 2.0 link.
sim::VideoTiming hdmi1Link() {
    return *sim::VideoTiming::cta861(16);
}
sim::VideoTiming hdmi2Link() {
    return *sim::VideoTiming::cta861(97);
}

void expectNoSignalRecord(const HDMI_INFO& r) {
    EXPECT_EQ(r.nosignal, 1u);
    EXPECT_EQ(r.updated, 1u) << "the video processor takes only an updated record";
    for (u32 field : {r.Hact, r.Hsync, r.Hback, r.Hpol, r.Htotal, r.Vact, r.Vsync, r.Vback, r.Vpol,
                      r.Vtotal, r.ip})
        EXPECT_EQ(field, 0u);
    EXPECT_EQ(r.pfreq, 0.0f);
    EXPECT_EQ(r.type, 1u);
    EXPECT_EQ(r.datamode, 1u);
    EXPECT_EQ(r.lane, 1u);
}

TEST_F(It6805Test, SyncLossPublishesNoSignalAndTheReturnOfSyncRepublishes) {
    plugAndWait(*sim::VideoTiming::cta861(16));
    reasons.clear();
    chip->setSyncLost(true);
    ASSERT_TRUE(runUntil([&] { return record().nosignal == 1; }, 5));
    expectNoSignalRecord(record());
    VideoSizePara size = inputSize();
    EXPECT_EQ(size.width, 0);
    EXPECT_EQ(size.height, 0);
    EXPECT_EQ(size.refresh, 0);
    EXPECT_NE(std::find(reasons.begin(), reasons.end(), 1), reasons.end());
    EXPECT_FALSE(vboLocked());
    EXPECT_EQ(driver().data.VidState, STATEV_WaitSync) << "initialised again, 5 V still there";
    pass(5);
    EXPECT_EQ(record().nosignal, 1u) << "nothing to publish while the sync is away";

    chip->setSyncLost(false);
    ASSERT_TRUE(runUntil([&] { return published(); }));
    EXPECT_EQ(record().Hact, 1920u);
    EXPECT_EQ(inputSize().refresh, 60);
    EXPECT_TRUE(vboLocked());
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Test, FiveVoltLossPublishesNoSignalAndReleasesTheHotPlugLine) {
    plugAndWait(*sim::VideoTiming::cta861(4));
    reasons.clear();
    sources->unplug(3);
    ASSERT_TRUE(runUntil([&] { return record().nosignal == 1; }, 5));
    expectNoSignalRecord(record());
    EXPECT_EQ(inputSize().width, 0);
    EXPECT_EQ(inputSize().refresh, 0);
    EXPECT_NE(std::find(reasons.begin(), reasons.end(), 1), reasons.end());
    EXPECT_EQ(driver().data.VidState, STATEV_Unplug);
    EXPECT_FALSE(sources->hotPlug(3));
    EXPECT_FALSE(vboLocked());
    pass(3);
    EXPECT_EQ(driver().data.VidState, STATEV_Unplug);

    sources->plug(3, *sim::VideoTiming::cta861(16));
    ASSERT_TRUE(runUntil([&] { return published(); }));
    EXPECT_EQ(record().Hact, 1920u);
    EXPECT_TRUE(sources->hotPlug(3));
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// Eleven ECC interrupts in a row are one timeout. The first two freeze the equaliser and
// make the source retrain with a hot-plug pulse; the third resets the port logic.
TEST_F(It6805Test, PersistentEccErrorsPulseTheHotPlugThenResetThePort) {
    plugAndWait(*sim::VideoTiming::cta861(16));
    auto eccInterrupts = [&](int n) {
        for (int i = 0; i < n; ++i) {
            chip->raiseInterrupt(0x05, 0x20);
            pass();
        }
    };
    for (int timeout = 1; timeout <= 2; ++timeout) {
        size_t edges = sources->hotPlugEdges(3).size();
        chip->clearWrites();
        eccInterrupts(10);
        EXPECT_EQ(sources->hotPlugEdges(3).size(), edges) << "timeout " << timeout;
        eccInterrupts(1);
        EXPECT_EQ(driver().data.EQState, STATEEQ_KeepEQStateUntil5VOff);
        auto after = sources->hotPlugEdges(3);
        ASSERT_EQ(after.size(), edges + 2);
        EXPECT_FALSE(after[edges].high);
        EXPECT_TRUE(after[edges + 1].high);
        // Port 0's reset register 0x23 bit 1 is pulsed while the line is low.
        std::vector<uint8_t> resets;
        for (const auto& w : chip->writes())
            if (w.bank == 0 && w.reg == 0x23)
                resets.push_back(w.value & 0x02);
        EXPECT_EQ(resets, (std::vector<uint8_t>{0x02, 0x00}));
        EXPECT_TRUE(published()) << "the picture stays";
        pass();  // the source comes back after the pulse: a clock-on, which clears the count
    }
    size_t edges = sources->hotPlugEdges(3).size();
    eccInterrupts(11);
    EXPECT_EQ(driver().data.EQState, STATEEQ_Off);
    EXPECT_NE(driver().data.VidState, STATEV_VidStable) << "the picture is set up again";
    EXPECT_GT(sources->hotPlugEdges(3).size(), edges);
    EXPECT_TRUE(sources->hotPlug(3));
    ASSERT_TRUE(runUntil([&] { return driver().data.AudState == STATEA_AudioOn; }));
    EXPECT_TRUE(published());
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(It6805Test, ACustomEdidOnInput3PullsTheHotPlugLowUntilItIsWritten) {
    plugAndWait(*sim::VideoTiming::cta861(16));
    size_t at = 896 + 6 * 3;  // input 3's EDID size (the sizes start at image offset 896)
    store->ram_para.setU16(at, 1280);
    store->ram_para.setU16(at + 2, 720);
    store->ram_para.setU16(at + 4, 60);
    size_t edgesBefore = sources->hotPlugEdges(3).size();
    bus->clearLog();
    source->request_edid_rewrite(3);
    pass();
    std::vector<uint8_t> written = bus->eeprom(3).contents();
    EXPECT_TRUE(std::equal(written.begin(), written.end(), edidTable));
    EXPECT_FALSE(sources->hotPlug(3));
    double lastPage = 0;
    for (const auto& t : bus->log())
        for (const auto& m : t.messages)
            if (m.address == 0xA0 && !m.read && m.bytes.size() == 9)
                lastPage = t.timeMs;
    auto edges = sources->hotPlugEdges(3);
    ASSERT_EQ(edges.size(), edgesBefore + 1);
    EXPECT_FALSE(edges.back().high);

    // Low for more than 10 ticks (100 ms), then the driver starts again and raises it.
    // (A pass runs at G_timeTicks and then advances it.)
    u32 lowTick = G_timeTicks - 1;
    ASSERT_TRUE(runUntil([&] { return sources->hotPlug(3); }, 40));
    EXPECT_GT(G_timeTicks - 1 - lowTick, 10u);
    edges = sources->hotPlugEdges(3);
    ASSERT_GT(edges.size(), edgesBefore + 1);
    EXPECT_TRUE(edges[edgesBefore + 1].high);
    EXPECT_GT(edges[edgesBefore + 1].timeMs, lastPage) << "raised after the new EDID is in";
    ASSERT_TRUE(runUntil([&] { return published(); }));
    EXPECT_EQ(record().Hact, 1920u);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

// From the sixth ECC error on, every third one (the 7th and the 10th interrupt of a run)
// sets bit 2 of 0xD9.
TEST_F(It6805Test, EccErrorsFromTheSixthOnSetTheD9BitEveryThirdTime) {
    plugAndWait(hdmi1Link());
    std::vector<int> setAt;
    for (int interrupt = 1; interrupt <= 11; ++interrupt) {
        chip->clearWrites();
        chip->raiseInterrupt(0x05, 0x20);
        pass();
        for (const auto& w : chip->writes())
            if (w.bank == 0 && w.reg == 0xD9 && (w.value & 0x04)) {
                setAt.push_back(interrupt);
                break;
            }
    }
    EXPECT_EQ(setAt, (std::vector<int>{7, 10}));
    EXPECT_EQ(driver().data.ECCTimeout_Count, 1) << "the eleventh is a timeout";
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

struct DeskewCase {
    const char* name;
    bool hdmi2;
    std::vector<int> restartsAt;  // interrupts whose pass restarted the equaliser
    std::vector<int> resetAt;     // interrupts whose pass reset the port logic
};

void PrintTo(const DeskewCase& c, std::ostream* os) {
    *os << c.name;
}

class It6805Deskew : public It6805Test, public testing::WithParamInterface<DeskewCase> {};

// Reset_ALL_Logic: hot-plug low, then the port's resets with 0xAC on 0x23.
const std::vector<RegWrite> kResetAllLogic = {
    {3, 0xAB, 0xC0, 0x40}, {3, 0xAC, 0x7C, 0x40}, {0, 0x08, 0xFF, 0x04}, {0, 0x22, 0xFF, 0x12},
    {0, 0x22, 0xFF, 0x10}, {0, 0x23, 0xFD, 0xAC}, {0, 0x23, 0xFD, 0xA0},
};

TEST_P(It6805Deskew, EverySeventhDeskewErrorRestartsTheEqualiserAndTheThirdRestartResets) {
    const DeskewCase& c = GetParam();
    plugAndWait(c.hdmi2 ? hdmi2Link() : hdmi1Link());
    std::vector<int> restarts, resets;
    std::vector<size_t> lowEdges;
    for (int interrupt = 1; interrupt <= 21; ++interrupt) {
        chip->clearWrites();
        size_t edges = sources->hotPlugEdges(3).size();
        chip->raiseInterrupt(0x05, 0x40);
        pass();
        auto writes = chip->writes();
        // The restart's entry action sets the front end's speed bit (bank 3 0xA7).
        for (const auto& w : writes)
            if (w.bank == 3 && w.reg == 0xA7) {
                restarts.push_back(interrupt);
                break;
            }
        if (wroteInOrder(writes, kResetAllLogic)) {
            resets.push_back(interrupt);
            auto after = sources->hotPlugEdges(3);
            ASSERT_GT(after.size(), edges);
            EXPECT_FALSE(after[edges].high) << "the source is told to wait first";
        }
    }
    EXPECT_EQ(restarts, c.restartsAt);
    EXPECT_EQ(resets, c.resetAt);
    ASSERT_TRUE(runUntil([&] { return published(); }));
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

INSTANTIATE_TEST_SUITE_P(Links, It6805Deskew,
                         testing::Values(DeskewCase{"hdmi1", false, {7, 14, 21}, {21}},
                                         DeskewCase{"hdmi2OnlyCounts", true, {}, {}}),
                         [](const testing::TestParamInfo<DeskewCase>& info) {
                             return std::string(info.param.name);
                         });

class It6805SymbolLock : public It6805Test, public testing::WithParamInterface<bool> {};

// 21 symbol-lock resets on every channel while the equaliser is off force the SCDC clock
// ratio 1/40 (bank 3 0xE5 bits 4..2 = 111); not on an HDMI 2.0 link.
TEST_P(It6805SymbolLock, TwentyOneResetsOnEveryChannelForceTheSlowClockRatio) {
    bool hdmi2 = GetParam();
    plugAndWait(hdmi2 ? hdmi2Link() : hdmi1Link());
    driver().data.EQState = STATEEQ_Off;
    int forcedAt = 0;
    for (int interrupt = 1; interrupt <= 25 && !forcedAt; ++interrupt) {
        chip->raiseInterrupt(0x06, 0x70);
        pass();
        if ((chip->reg(3, 0xE5) & 0x1C) == 0x1C)
            forcedAt = interrupt;
    }
    EXPECT_EQ(forcedAt, hdmi2 ? 0 : 21);
    EXPECT_EQ(driver().data.VidState, STATEV_VidStable) << "no clock change came with them";
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

INSTANTIATE_TEST_SUITE_P(Links, It6805SymbolLock, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "hdmi2Never" : "hdmi1";
                         });

}  // namespace
