// Picture quality, test patterns, the window output word and input processing on the
// simulated c331: values written into the image and applied by the apply cycle, read back
// from the chip model's registers.
//
// The default image shows window 0 on HDMI1 over the whole 1920 x 1080 screen; HDMI1 comes
// in on the chip's parallel port 1. Channel c's register block lies 16 * c banks after
// channel 0's.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "board/sim/c331_picture.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/utils.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

constexpr int kDvi = 0, kHdmi1 = 1, kHdmi2 = 2;
constexpr int kPortHdmi1 = 1;

class PictureTest : public VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        g_debugSwitch = 0;
        g_force_bkcolor = 2;
        store->load();
        sources = sim::get<sim::HdmiSources>("hdmi-sources");
    }
    // HDMI1 plugged with a CTA-861 timing, the chip brought up and the image applied.
    void start(int vic = 16) {
        plug(kHdmi1, vic);
        bringUp();
        cycle();
        cycle();
        c331()->clearLog();
    }
    void plug(int input, int vic) {
        sources->plug(input, *sim::VideoTiming::cta861(vic));
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        inputs->hdminfo[input] = cta861Record(vic);  // receiver channel i feeds input i
    }
    void apply(const std::function<void(RamParaImage&)>& edit) {
        raise(edit);
        cycle();
        cycle();
    }
    static void place(RamParaImage& p, int w, int source, int x, int y, int width, int height) {
        p.setU16(win(w, 0), 1);
        p.setU16(win(w, 8), static_cast<u16>(source));
        p.setU16(win(w, 10), static_cast<u16>(x));
        p.setU16(win(w, 12), static_cast<u16>(y));
        p.setU16(win(w, 14), static_cast<u16>(width));
        p.setU16(win(w, 16), static_cast<u16>(height));
    }
    // The input channels of the window slot (where the allocation put them).
    std::vector<int> channels(int slot) {
        std::vector<int> out;
        for (int i = 0; i < 8 && manager->ich_list[slot][i] >= 0; ++i)
            out.push_back(manager->ich_list[slot][i]);
        return out;
    }
    uint32_t at(int bank, int channel, int address, int count = 1) {
        return chip(static_cast<uint8_t>(bank + 16 * channel), static_cast<uint8_t>(address),
                    count);
    }
    // Every write of a register of the bank (any channel's copy) in the log.
    static std::vector<sim::C331Model::Access> writesTo(
        const std::vector<sim::C331Model::Access>& log, int bank) {
        std::vector<sim::C331Model::Access> out;
        for (const auto& a : log)
            if (a.write && a.address != 0 && a.bank >= bank && (a.bank - bank) % 16 == 0)
                out.push_back(a);
        return out;
    }
    // True when every write of addresses first..last of the bank (any channel's copy) lies
    // inside the register-update hold: after timing 0xFF was set and before the running
    // timing 0x99 came back.
    static bool heldAround(const std::vector<sim::C331Model::Access>& log, int bank, int first,
                           int last) {
        int timing = -1;
        bool any = false;
        for (const auto& a : log) {
            if (a.write && a.bank == 0x00 && a.address == 0x22)
                timing = a.value;
            const bool ours = a.address >= first && a.address <= last;
            if (a.write && ours && a.bank >= bank && (a.bank - bank) % 16 == 0) {
                any = true;
                if (timing != 0xFF)
                    return false;
            }
        }
        return any && timing == 0x99;
    }

    std::shared_ptr<sim::HdmiSources> sources;
};

// ---- output colour

TEST_F(PictureTest, ContrastSaturationAndColourTemperatureReachEveryOutputChannel) {
    start();
    apply([](RamParaImage& p) {
        p.setU16(2178, 100);  // contrast
        p.setU16(2182, 100);  // saturation
        p.setU16(2184, 0);    // colour temperature custom, R G B 128
        p.setU16(2186, 128);
        p.setU16(2188, 128);
        p.setU16(2190, 128);
    });
    const auto log = c331()->log();
    for (int c = 0; c < 8; ++c) {
        for (int a : {0x28, 0x2A, 0x2C})
            EXPECT_EQ(at(0x0C, c, a, 2), 1023u) << "contrast, channel " << c;
        for (int a : {0x1B, 0x1D, 0x1F})
            EXPECT_EQ(at(0x0C, c, a, 2), 1023u) << "saturation, channel " << c;
        EXPECT_EQ(at(0x0C, c, 0x21) & 1, 1u);
        EXPECT_EQ(at(0x0C, c, 0x14) & 1, 1u);
        const uint32_t diagonal[9] = {8192, 0, 0, 0, 8192, 0, 0, 0, 8192};
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(at(0x0C, c, 0x5B + 2 * i, 2), diagonal[i]) << "matrix " << i;
        EXPECT_EQ(chip(0x00, static_cast<uint8_t>(0x59 + c)) & 0x20, 0x20u);
    }
    EXPECT_EQ(chip(0x00, 0x59) & 0x1F, 0x11u) << "only bit 5 of the output control";
    EXPECT_TRUE(heldAround(log, 0x0C, 0x01, 0x7F));

    apply([](RamParaImage& p) {
        p.setU16(2178, 50);
        p.setU16(2184, 1);  // warm
    });
    EXPECT_EQ(at(0x0C, 3, 0x2A, 2), 511u);
    EXPECT_EQ(at(0x0C, 7, 0x5B, 2), 8845u);
    EXPECT_EQ(at(0x0C, 7, 0x63, 2), 8113u);
    EXPECT_EQ(at(0x0C, 7, 0x6B, 2), 7056u);
    apply([](RamParaImage& p) { p.setU16(2184, 3); });  // cool
    EXPECT_EQ(at(0x0C, 0, 0x5B, 2), 6944u);
    EXPECT_EQ(at(0x0C, 0, 0x63, 2), 8282u);
    EXPECT_EQ(at(0x0C, 0, 0x6B, 2), 10978u);
    apply([](RamParaImage& p) {
        p.setU16(2184, 2);  // nature: the gains do not count
        p.setU16(2186, 10);
    });
    EXPECT_EQ(at(0x0C, 5, 0x5B, 2), 8192u);
    EXPECT_EQ(at(0x0C, 5, 0x6B, 2), 8192u);
}

TEST_F(PictureTest, BrightnessStaysAtTheMiddleOnTheChipAndGoesToTheLedOutput) {
    start();
    // The converter itself: 25 is (-512) in 12 bits, 0 and 100 the ends.
    manager->c331_SetBrightness(25);
    EXPECT_EQ(at(0x0C, 0, 0x3A, 2), 0xE00u);
    EXPECT_EQ(at(0x0C, 7, 0x3E, 2), 0xE00u);
    manager->c331_SetBrightness(0);
    EXPECT_EQ(at(0x0C, 2, 0x3C, 2), 0xC00u);
    manager->c331_SetBrightness(100);
    EXPECT_EQ(at(0x0C, 4, 0x3A, 2), 0x400u);

    fpga->bri_resend = 0;
    apply([](RamParaImage& p) { p.setU16(2176, 37); });
    EXPECT_EQ(fpga->bri_resend, 1);
    for (int c = 0; c < 8; ++c)
        for (int a : {0x3A, 0x3C, 0x3E})
            EXPECT_EQ(at(0x0C, c, a, 2), 0u) << "channel " << c;
    // A further step finds the chip at the middle already: neither the brightness nor the
    // update hold is written again.
    c331()->clearLog();
    fpga->bri_resend = 0;
    apply([](RamParaImage& p) { p.setU16(2176, 38); });
    EXPECT_EQ(fpga->bri_resend, 1);
    EXPECT_TRUE(writesTo(c331()->log(), 0x0C).empty());
    for (const auto& a : c331()->writes())
        EXPECT_FALSE(a.bank == 0x00 && a.address == 0x22) << "update hold";
}

// ---- sharpness

TEST_F(PictureTest, SharpnessLevelsAndGains) {
    start();
    const std::vector<int> ichs = channels(0);
    ASSERT_FALSE(ichs.empty());
    struct Case {
        int value;
        uint32_t mode, gain;
        uint32_t h0, v0;  // first coefficient of each set
    };
    // 1:1 scaling: the sets for ratios up to 1.25.
    const Case cases[] = {{11, 6, 12, 44, 44}, {9, 0, 0, 0, 0},      {29, 6, 243, 44, 44},
                          {10, 0, 0, 0, 0},    {30, 6, 255, 44, 44}, {100, 6, 255, 44, 44}};
    for (const Case& k : cases) {
        apply([&](RamParaImage& p) { p.setU16(2180, static_cast<u16>(k.value)); });
        for (int ich : ichs) {
            SCOPED_TRACE(::testing::Message() << "sharpness " << k.value << ", ich " << ich);
            EXPECT_EQ(at(0x0B, ich, 0x08), k.mode);
            EXPECT_EQ(at(0x0B, ich, 0x11), k.mode);
            EXPECT_EQ(at(0x0B, ich, 0x09), k.gain);
            EXPECT_EQ(at(0x0B, ich, 0x12), k.gain);
            EXPECT_EQ(at(0x0B, ich, 0x0C), k.h0);
            EXPECT_EQ(at(0x0B, ich, 0x15), k.v0);
            EXPECT_EQ(at(0x0B, ich, 0x5E), 1u);
        }
        EXPECT_EQ(chip(0x0C, 0x21) & 1, 1u);
    }
    apply([](RamParaImage& p) { p.setU16(2180, 11); });
    const uint8_t h[5] = {44, 49, 56, 63, 2}, v[5] = {44, 50, 56, 0, 0};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(at(0x0B, ichs[0], 0x0C + k), h[k]);
        EXPECT_EQ(at(0x0B, ichs[0], 0x15 + k), v[k]);
    }
    EXPECT_TRUE(heldAround(c331()->log(), 0x0B, 0x09, 0x5E));
}

TEST_F(PictureTest, SharpnessSetsFollowTheScaleOfTheWindow) {
    start(4);  // 1280 x 720 over the 1920 x 1080 screen: 1.5 each way
    apply([](RamParaImage& p) { p.setU16(2180, 20); });
    const int ich = channels(0).at(0);
    const uint8_t h[5] = {28, 46, 5, 3, 60}, v[5] = {28, 45, 5, 0, 0};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(at(0x0B, ich, 0x0C + k), h[k]) << k;
        EXPECT_EQ(at(0x0B, ich, 0x15 + k), v[k]) << k;
    }
    EXPECT_EQ(at(0x0B, ich, 0x09), 128u);  // level 10
}

// Each window's own channels are sharpened, up to the end of its list; a window without
// signal is left as it is.
TEST_F(PictureTest, SharpnessWalksEachWindowsOwnChannels) {
    start();
    plug(kHdmi2, 16);
    apply([](RamParaImage& p) {
        place(p, 1, kHdmi2, 480, 270, 960, 540);
        place(p, 2, kDvi, 0, 0, 320, 200);  // nothing plugged
    });
    const std::vector<int> first = channels(0), second = channels(1), third = channels(2);
    ASSERT_FALSE(second.empty());
    c331()->clearLog();
    apply([](RamParaImage& p) { p.setU16(2180, 12); });
    std::vector<int> sharpened;
    for (const auto& a : writesTo(c331()->log(), 0x0B))
        if (a.address == 0x09)
            sharpened.push_back((a.bank - 0x0B) / 16);
    std::vector<int> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(sharpened, expected);
    for (int ich : second)
        EXPECT_EQ(at(0x0B, ich, 0x09), 25u);  // level 2
    for (int ich : third)
        EXPECT_EQ(at(0x0B, ich, 0x09), 0u);
    EXPECT_TRUE(c331()->protocolErrors().empty());
}

// ---- test patterns

TEST_F(PictureTest, TestPatternsOnTheChannelsOfTheOnlyWindow) {
    start();
    const std::vector<int> ichs = channels(0);
    ASSERT_FALSE(ichs.empty());
    auto pattern = [&](int code) {
        apply([&](RamParaImage& p) { p[864] = static_cast<u8>(code); });
    };

    pattern(1);  // red
    for (size_t i = 0; i < ichs.size(); ++i) {
        const int ich = ichs[i];
        EXPECT_EQ(at(0x08, ich, 0x57), 4u);
        EXPECT_EQ(at(0x08, ich, 0x5B, 2), i == 0 ? 0u : 3u) << "1920 is not wide";
        EXPECT_EQ(at(0x08, ich, 0x63), 255u);
        EXPECT_EQ(at(0x08, ich, 0x64), 0u);
        EXPECT_EQ(at(0x08, ich, 0x65), 0u);
        for (int a : {0x66, 0x67, 0x68})
            EXPECT_EQ(at(0x08, ich, a), 3u);
    }
    EXPECT_EQ(manager->krxApi_IsPatternGen(), 1);
    EXPECT_TRUE(heldAround(c331()->log(), 0x08, 0x57, 0x68));

    const int ich = ichs[0];
    pattern(6);  // colour bar
    EXPECT_EQ(at(0x08, ich, 0x57), 1u);
    EXPECT_EQ(at(0x08, ich, 0x5B, 2), 0x8000u);
    EXPECT_EQ(at(0x08, ich, 0x5F, 2), 480u);
    EXPECT_EQ(at(0x08, ich, 0x64), 255u);
    pattern(7);  // vertical lines
    EXPECT_EQ(at(0x08, ich, 0x57), 14u);
    EXPECT_EQ(at(0x08, ich, 0x5B, 2), 14u);
    EXPECT_EQ(at(0x08, ich, 0x5F, 2), 1u);
    EXPECT_EQ(at(0x08, ich, 0x61, 2), 0u);
    pattern(8);  // horizontal lines: what the vertical lines set is cleared
    EXPECT_EQ(at(0x08, ich, 0x57), 15u);
    EXPECT_EQ(at(0x08, ich, 0x5B, 2), 15u);
    EXPECT_EQ(at(0x08, ich, 0x5F, 2), 0u);
    EXPECT_EQ(at(0x08, ich, 0x61, 2), 1u);
    pattern(22);  // index 1 again: green
    EXPECT_EQ(at(0x08, ich, 0x57), 4u);
    EXPECT_EQ(at(0x08, ich, 0x63), 0u);
    EXPECT_EQ(at(0x08, ich, 0x64), 255u);
    pattern(9);  // no generator settings, but the pattern state is on
    for (int a = 0x57; a <= 0x68; ++a) {
        if (a != 0x5C && a != 0x5E && a != 0x60 && a != 0x62) {
            EXPECT_EQ(at(0x08, ich, a), 0u) << std::hex << a;
        }
    }
    EXPECT_EQ(manager->krxApi_IsPatternGen(), 1);
    pattern(4);
    pattern(0);
    for (int i : ichs) {
        for (int a = 0x57; a <= 0x68; ++a) {
            if (a != 0x5C && a != 0x5E && a != 0x60 && a != 0x62) {
                EXPECT_EQ(at(0x08, i, a), 0u) << std::hex << a;
            }
        }
    }
    EXPECT_EQ(manager->krxApi_IsPatternGen(), 0);
}

TEST_F(PictureTest, NoTestPatternWithTwoWindows) {
    start();
    plug(kHdmi2, 16);
    apply([](RamParaImage& p) { place(p, 1, kHdmi2, 480, 270, 960, 540); });
    c331()->clearLog();
    EXPECT_EQ(manager->c331_SetPattern(3), -1);
    apply([](RamParaImage& p) { p[864] = 3; });
    for (const auto& a : writesTo(c331()->log(), 0x08))
        EXPECT_FALSE(a.address >= 0x57 && a.address <= 0x68)
            << "bank " << int(a.bank) << " address " << int(a.address);
    EXPECT_EQ(manager->krxApi_IsPatternGen(), 0);
}

// ---- the window output word

TEST_F(PictureTest, FreezeOfAWindowWithSignalHoldsItsFirstInputChannel) {
    start();
    const int ich = channels(0).at(0);
    apply([](RamParaImage& p) { p.setU16(win(0, 18), 2); });
    EXPECT_EQ(at(0x10, ich, 0x09), 2u);
    apply([](RamParaImage& p) { p.setU16(win(0, 18), 0); });
    EXPECT_EQ(at(0x10, ich, 0x09), 1u);
}

TEST_F(PictureTest, FreezeIsRefusedWithoutSignal) {
    start();
    apply([](RamParaImage& p) {
        p.setU16(win(0, 0), 0);
        place(p, 1, kDvi, 0, 0, 1920, 1080);  // nothing plugged on DVI
    });
    const std::vector<int> ichs = channels(0);
    apply([](RamParaImage& p) { p.setU16(win(1, 18), 2); });
    ASSERT_FALSE(ichs.empty());
    // The window pass that follows holds the channels only while it rebuilds.
    EXPECT_NE(at(0x10, ichs[0], 0x09), 2u) << "frozen";
    EXPECT_EQ(manager->gWininfo[0].output & 2, 0);
}

// Black and freeze in one change: the window shows its background and its input channel
// holds its frame; the freeze ends the change, so the dot-by-dot switch of the same word
// waits for the next change of the word.
TEST_F(PictureTest, BlackAndFreezeInOneChange) {
    start();
    const int ich = channels(0).at(0);
    apply([](RamParaImage& p) { p.setU16(win(0, 18), 0x103); });
    EXPECT_EQ(at(0x10, ich, 0x09), 2u);
    int black = 0;
    for (int c = 0; c < 8; ++c)
        if (chip(0x00, static_cast<uint8_t>(0x08 + c)) & 1)
            black += at(0x08, c, 0x48) == 1 ? 1 : 0;
    EXPECT_GE(black, 1) << "the window's output channels show their background";
    EXPECT_EQ(manager->pm.PM_WIN_DBD_MODE[0], 0);
    apply([](RamParaImage& p) { p.setU16(win(0, 18), 0x107); });
    EXPECT_EQ(manager->pm.PM_WIN_DBD_MODE[0], 1) << "single-input dot-by-dot";
}

// A layer value past the six layers is taken modulo 6: 7 is layer 1, above layer 2.
TEST_F(PictureTest, ALayerPastTheSixLayersIsTakenModuloSix) {
    start();
    plug(kHdmi2, 16);
    apply([](RamParaImage& p) { place(p, 1, kHdmi2, 480, 270, 960, 540); });
    apply([](RamParaImage& p) {
        p.setU16(2208, 2);      // window 0 layer 2
        p.setU16(2208 + 2, 7);  // window 1 layer 7
    });
    const sim::C331Picture picture = sim::C331Picture::of(*c331());
    const std::optional<sim::PixelSource> s = picture.visible(0, 960, 540);
    ASSERT_TRUE(s) << picture.describe();
    EXPECT_EQ(s->input, kHdmi2) << "window 1 on top";
    EXPECT_EQ(manager->pm.PM_WIN_PRIORITY[1], 4);
}

// ---- input processing

struct BlockCase {
    int vic;
    uint32_t mode;    // bank 0x15 0x08 after the NR set-up
    uint32_t g1, g2;  // second block-size group
    uint32_t last;    // 0x6A
};

class BlockNrTest : public PictureTest, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(BlockNrTest, BlockNoiseReductionFollowsTheActiveHeight) {
    const BlockCase k = GetParam();
    manager->PM_BNR[kPortHdmi1] = 2;
    start(k.vic);
    const int ip = channels(0).at(0);
    ASSERT_LT(ip, 4);
    EXPECT_EQ(at(0x15, ip, 0x08), k.mode);
    EXPECT_EQ(at(0x15, ip, 0x39, 2), 8855u);
    EXPECT_EQ(at(0x15, ip, 0x3B), 160u);
    EXPECT_EQ(at(0x15, ip, 0x54, 2), k.g1);
    EXPECT_EQ(at(0x15, ip, 0x56, 2), k.g2);
    EXPECT_EQ(at(0x15, ip, 0x6A), k.last);
}

// Heights of CTA-861: 480i and 1080i count the lines of a field.
INSTANTIATE_TEST_SUITE_P(Heights, BlockNrTest,
                         ::testing::Values(BlockCase{6, 0, 64, 16, 8},     // 240 lines
                                           BlockCase{2, 3, 128, 32, 6},    // 480
                                           BlockCase{5, 0, 384, 96, 48},   // 540
                                           BlockCase{4, 3, 342, 86, 16},   // 720
                                           BlockCase{16, 3, 768, 192, 36}  // 1080
                                           ),
                         [](const ::testing::TestParamInfo<BlockCase>& info) {
                             return "Vic" + std::to_string(info.param.vic);
                         });

TEST_F(PictureTest, A576LinePortGetsNoBlockNoiseReduction) {
    manager->PM_BNR[kPortHdmi1] = 2;
    start(17);
    const int ip = channels(0).at(0);
    EXPECT_EQ(at(0x15, ip, 0x39, 2), 0u);
    EXPECT_EQ(at(0x15, ip, 0x3B), 0u);
    EXPECT_EQ(at(0x15, ip, 0x6A), 0u);
    EXPECT_EQ(at(0x15, ip, 0x08), 3u) << "block NR is the port's mode all the same";
}

TEST_F(PictureTest, NoiseReductionOfEveryKindAndItsEndWhenTheSignalGoes) {
    manager->PM_BNR[kPortHdmi1] = 1;
    manager->PM_TNR[kPortHdmi1] = 2;
    manager->PM_HNR[kPortHdmi1] = 3;
    manager->PM_VNR[kPortHdmi1] = 1;
    manager->PM_MNR[kPortHdmi1] = 3;
    start(16);
    const int ip = channels(0).at(0);
    EXPECT_EQ(at(0x15, ip, 0x39, 2), 8855u);
    EXPECT_EQ(at(0x15, ip, 0x3B), 144u);
    EXPECT_EQ(at(0x12, ip, 0x08), 3u);
    EXPECT_EQ(at(0x12, ip, 0x0D), 17u);
    EXPECT_EQ(at(0x12, ip, 0x13), 28u);
    EXPECT_EQ(at(0x12, ip, 0x14), 31u);
    EXPECT_EQ(at(0x15, ip, 0x6B), 17u);
    EXPECT_EQ(at(0x15, ip, 0x6E), 168u);
    EXPECT_EQ(at(0x15, ip, 0x6F), 252u);
    EXPECT_EQ(at(0x15, ip, 0x6C), 66u);
    EXPECT_EQ(at(0x15, ip, 0x6D), 150u);
    EXPECT_EQ(at(0x15, ip, 0x09), 1u);
    EXPECT_EQ(at(0x15, ip, 0x1D), 255u);
    EXPECT_EQ(at(0x15, ip, 0x1F), 111u);
    EXPECT_EQ(at(0x15, ip, 0x08), 3u);

    sources->unplug(kHdmi1);
    {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        inputs->hdminfo[kHdmi1].nosignal = 1;
    }
    for (int i = 0; i < 4; ++i)
        cycle();
    EXPECT_EQ(at(0x15, ip, 0x39, 2), 0u);
    EXPECT_EQ(at(0x12, ip, 0x08), 0u);
    EXPECT_EQ(at(0x15, ip, 0x6B), 0u);
    EXPECT_EQ(at(0x15, ip, 0x09), 0u);
    EXPECT_EQ(at(0x15, ip, 0x08), 0u);
}

// A window's input port of "no port" is no input: its processor is switched off.
TEST_F(PictureTest, AnInputProcessorWithoutPortIsOff) {
    start();
    manager->PM_BNR[kPortHdmi1] = 2;
    const int ip = channels(0).at(0);
    manager->pm.PM_INPUT[0] = 255;
    manager->set_ip(manager->c331_fd, ip);
    EXPECT_EQ(at(0x15, ip, 0x70), 0u);
    EXPECT_EQ(at(0x15, ip, 0x39, 2), 0u);
    manager->set_mct(manager->c331_fd, 0, 0);
    manager->set_ip(manager->c331_fd, 7);  // not an input processor
    EXPECT_TRUE(c331()->protocolErrors().empty());
}

TEST(ScalerKernels, RatioClassBoundaries) {
    const int shrink[][2] = {{0, 44},     {1, 1},      {13107, 1},  {13108, 2},  {26214, 2},
                             {26215, 4},  {32768, 4},  {32769, 6},  {39321, 6},  {39322, 8},
                             {45875, 8},  {45876, 12}, {49152, 12}, {49153, 17}, {52428, 17},
                             {52429, 22}, {55705, 22}, {55706, 27}, {58982, 27}, {58983, 32},
                             {62259, 32}, {62260, 38}, {65000, 38}, {65001, 44}, {65536, 44}};
    for (const auto& k : shrink)
        EXPECT_EQ(c331_manage::shrink_class(k[0]), k[1]) << k[0];
    const int taps[][2] = {{0, 1},     {13107, 1}, {13108, 2}, {26214, 2}, {26215, 3}, {32768, 3},
                           {32769, 4}, {39321, 4}, {39322, 5}, {45875, 5}, {45876, 6}, {52428, 6},
                           {52429, 7}, {58982, 7}, {58983, 8}, {62259, 8}, {62260, 9}, {65536, 9}};
    for (const auto& k : taps)
        EXPECT_EQ(c331_manage::shrink_class_4sym(k[0]), k[1]) << k[0];
}

// A window of a fifth of its source each way: shrink class 1 and the class-1 4-tap kernel;
// a window at half size: class 4.
TEST_F(PictureTest, ScalerKernelsForTheWindowsShrink) {
    start();
    apply([](RamParaImage& p) { place(p, 0, kHdmi1, 0, 0, 384, 216); });
    const int ich = channels(0).at(0);
    EXPECT_EQ(chip(0x00, 0x79), 1u);
    const uint8_t row1[24] = {0,  0,  0,  0,  0,  0,  0,  0,  15, 15, 15, 15,
                              15, 15, 16, 21, 16, 16, 16, 17, 18, 18, 17, 22};
    for (int k = 0; k < 24; ++k)
        EXPECT_EQ(at(0x11, ich, 0x68 + k), row1[k]) << k;
    apply([](RamParaImage& p) { place(p, 0, kHdmi1, 0, 0, 960, 540); });
    EXPECT_EQ(chip(0x00, 0x79), 4u);
    apply([](RamParaImage& p) { place(p, 0, kHdmi1, 0, 0, 1920, 1080); });
    EXPECT_EQ(chip(0x00, 0x79), 44u);
    const uint8_t row9[24] = {0,    0,    0,    0, 0, 0,  0,  0,  0xFC, 0xF7, 0xF3, 0xF1,
                              0xF1, 0xF4, 0xF9, 0, 9, 21, 35, 47, 57,   64,   66,   64};
    for (int k = 0; k < 24; ++k)
        EXPECT_EQ(at(0x11, ich, 0x68 + k), row9[k]) << k;
}

}  // namespace
}  // namespace videotest
