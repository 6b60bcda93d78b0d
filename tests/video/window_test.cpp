// Window composition on the simulated c331: windows written into the image and applied
// end up as the picture the chip's registers describe.
#include <gtest/gtest.h>

#include <QMutexLocker>

#include "board/sim/c331_picture.h"
#include "board/sim/hdmi_sources.h"
#include "core/global.h"
#include "core/utils.h"
#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

class WindowTest : public VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        g_debugSwitch = 0;
        store->load();
        g_force_bkcolor = 2;
        sources = sim::get<sim::HdmiSources>("hdmi-sources");
        sim::VideoTiming t = *sim::VideoTiming::cta861(16);
        sources->plug(1, t);
        {
            QMutexLocker lock(&Utils::_source_hdminfo_mutex);
            inputs->hdminfo[1] = HDMI_INFO{1920, 44, 148, 1, 2200, 1080, 5, 36, 1, 1125,
                                           148.5f, 0, 0, 0, 0, 0, 1};
        }
        bringUp();
        cycle();
    }
    sim::C331Picture picture() { return sim::C331Picture::of(*c331()); }
    std::shared_ptr<sim::HdmiSources> sources;
};

TEST_F(WindowTest, Smoke) {
    std::printf("%s", picture().describe().c_str());
}

}  // namespace
}  // namespace videotest
