// The picture-quality, colour-temperature and test-pattern screens as far as the c331: keys
// on the screen, the change applied by the video processor's cycle, and the registers read
// back from the chip model.
//
// The c331 runs on the simulated board with the default image (window 0 on HDMI1, a 1080p
// source, over the whole screen). Pages: 5 Setting menu, 11 Image quality, 16 test
// pattern, 19 picture quality, 20 colour temperature.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <mutex>
#include <vector>

#include "board/sim/c331_model.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/sim.h"
#include "core/utils.h"
#include "screens/maintenance/test_chart.h"
#include "screens/settings/imagequality.h"
#include "screens/settings/quality.h"
#include "screens/settings/temperature.h"
#include "tests/ui/panel_script.h"
#include "tests/ui/settings_test.h"
#include "ui/menuscreen.h"
#include "ui/option.h"
#include "video/c331_manage.h"

namespace {

using test::PanelScript;

class ScreenToChip : public test::SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        startFpga();
        g_debugSwitch = 0;
        g_force_bkcolor = 2;
        sim::get<sim::HdmiSources>("hdmi-sources")->plug(1, *sim::VideoTiming::cta861(16));
        {
            std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
            source->hdminfo[1] =
                HDMI_INFO{1920, 44, 148, 1, 2200, 1080, 5, 36, 1, 1125, 148.5f, 0, 0, 0, 0, 0, 1};
        }
        video = std::make_unique<c331_manage>();
        video->open_device();
        video->c331_bringup();
        video->manage_state = c331_manage::kStateRun;
        applyEdit([](RamParaImage&) {});
        cycle();
        cycle();
    }
    void TearDown() override {
        video.reset();
        c331_manage::para_update = 0;
        SettingsTest::TearDown();
    }
    // One pass of the video processor's thread, and the refresh it raises.
    void cycle() {
        c331_manage::c331managerdeal(video.get());
        QCoreApplication::processEvents();
    }
    std::function<void()> chipCycle() {
        return [this] { cycle(); };
    }
    std::shared_ptr<sim::C331Model> c331() { return sim::get<sim::C331Model>("c331"); }
    uint32_t at(int bank, int channel, int address, int count = 1) {
        return c331()->field(static_cast<uint8_t>(bank + 16 * channel),
                             static_cast<uint8_t>(address), count);
    }
    static PanelScript fromImageQuality(int item) {
        PanelScript script;
        script.run([] { ::openScreen(g_imagequality, 11); }).waitPage(11);
        if (item == 1)
            script.key('R');
        script.key('Q').waitPage(item == 0 ? 19 : 20);
        return script;
    }

    std::unique_ptr<c331_manage> video;
};

// Defaults of the image: brightness 100, contrast 50, sharpness 10, saturation 50.
TEST_F(ScreenToChip, PictureQualityStepsReachTheChipsPictureStages) {
    openWindows();
    const int ich = video->ich_list[0][0];
    ASSERT_GE(ich, 0);
    PanelScript script = fromImageQuality(0);
    script
        .keys({'R', 'R', 'Q', 'R'})  // contrast 51
        .run(chipCycle())
        .run([this] {
            for (int c : {0, 7})
                for (int a : {0x28, 0x2A, 0x2C})
                    EXPECT_EQ(at(0x0C, c, a, 2), 521u) << "51 x 1023 / 100";
        })
        .key('Q')  // kept: written once more
        .run(chipCycle())
        .keys({'S', 'Q', 'R'})  // sharpness 11
        .run(chipCycle())
        .run([this, ich] {
            EXPECT_EQ(at(0x0B, ich, 0x08), 6u);
            EXPECT_EQ(at(0x0B, ich, 0x09), 12u);
            EXPECT_EQ(at(0x0B, ich, 0x12), 12u);
        })
        .key('Q')
        .run(chipCycle())
        .keys({'R', 'R', 'Q', 'S'})  // saturation 49
        .run(chipCycle())
        .run([this] {
            for (int a : {0x1B, 0x1D, 0x1F})
                EXPECT_EQ(at(0x0C, 3, a, 2), 501u) << "49 x 1023 / 100";
        })
        .key('O')  // restored to 50
        .run(chipCycle())
        .run([this] { EXPECT_EQ(at(0x0C, 3, 0x1B, 2), 511u); });
    EXPECT_TRUE(script.play());
}

// The default type is nature (unity gains); custom takes the gains as 1/128 of unity.
TEST_F(ScreenToChip, ColourTemperatureTypesAndGainsReachTheColourMatrix) {
    openWindows();
    auto diagonal = [this](uint32_t r, uint32_t g, uint32_t b) {
        for (int c : {0, 5}) {
            EXPECT_EQ(at(0x0C, c, 0x5B, 2), r);
            EXPECT_EQ(at(0x0C, c, 0x63, 2), g);
            EXPECT_EQ(at(0x0C, c, 0x6B, 2), b);
            EXPECT_EQ(at(0x0C, c, 0x5D, 2), 0u);
        }
    };
    PanelScript script = fromImageQuality(1);
    script
        .keys({'Q', 'S', 'Q'})  // warm
        .run(chipCycle())
        .run([=] { diagonal(8845, 8113, 7056); })
        .keys({'Q', 'R', 'R', 'Q'})  // cool
        .run(chipCycle())
        .run([=] { diagonal(6944, 8282, 10978); })
        .keys({'Q', 'R', 'Q'})  // custom, gains 64
        .run(chipCycle())
        .run([=] { diagonal(4096, 4096, 4096); })
        .keys({'R', 'Q', 'R'})  // red 65
        .run(chipCycle())
        .run([=] { diagonal(4160, 4096, 4096); });
    EXPECT_TRUE(script.play());
}

TEST_F(ScreenToChip, TestPatternsOneToEightAndCloseReachTheChip) {
    openWindows();
    g_page_focus = 1;
    const int ich = video->ich_list[0][0];
    ASSERT_GE(ich, 0);
    // Pattern generator type and red, green, blue of each code.
    const uint32_t type[8] = {4, 4, 4, 4, 4, 1, 14, 15};
    const uint32_t colour[8][3] = {{255, 0, 0}, {0, 255, 0},     {0, 0, 255},     {255, 255, 255},
                                   {0, 0, 0},   {255, 255, 255}, {255, 255, 255}, {255, 255, 255}};
    PanelScript script;
    script.run([] { ::openScreen(g_option, 5); }).waitPage(5).keys({'S', 'S', 'Q'}).waitPage(16);
    for (int code = 1; code <= 8; ++code) {
        script.key('Q').run(chipCycle()).run([=] {
            SCOPED_TRACE(code);
            EXPECT_EQ(at(0x08, ich, 0x57), type[code - 1]);
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(at(0x08, ich, 0x63 + k), colour[code - 1][k]);
            EXPECT_EQ(at(0x08, ich, 0x66), 3u);
            EXPECT_EQ(video->krxApi_IsPatternGen(), 1);
        });
        script.key('R');
    }
    script.key('Q').waitPage(5).run(chipCycle()).run([=] {
        for (int a = 0x57; a <= 0x68; ++a)
            EXPECT_EQ(at(0x08, ich, a), 0u) << std::hex << a;
        EXPECT_EQ(video->krxApi_IsPatternGen(), 0);
    });
    EXPECT_TRUE(script.play());
}

}  // namespace
