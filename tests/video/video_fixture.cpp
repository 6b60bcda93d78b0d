#include "tests/video/video_fixture.h"

#include "board/sim/sim.h"
#include "core/global.h"

namespace videotest {

namespace {

void resetSharedState() {
    g_force_bkcolor = 1;
    g_set_led_para = 0;
    g_fpga_c331_start = 0;
    g_osd_update = 0;
    g_debugSwitch = 254;
    c331_manage::para_update = 0;
}

}  // namespace

void VideoTest::SetUp() {
    SimTest::SetUp();
    sim::setSleepDivisor(100000);
    resetSharedState();
    fpga = std::make_unique<fpga_manage>();
    fpga_manage::p_fpga_manage = fpga.get();
    fpga->open_spi_links();
    ASSERT_EQ(fpga->map_gpio_window(), 0);
    inputs = std::make_unique<velmosource>();
    velmosource::p_velmo_source = inputs.get();
    inputs->source_changed = 0;
    for (int i = 0; i < 4; ++i)
        inputs->edid_done[i] = 1;
    store = std::make_unique<KrxRamPara>();
    KrxRamPara::p_krxrampara_config = store.get();
    // Queued to this thread when the manager's own thread reports.
    QObject::connect(store.get(), &KrxRamPara::sig_update_para, store.get(),
                     [this](int reason) { reasons.push_back(reason); });
    manager = std::make_unique<c331_manage>();
    manager->open_device();
    ASSERT_GE(manager->c331_fd, 0);
}

void VideoTest::TearDown() {
    manager.reset();
    KrxRamPara::p_krxrampara_config = nullptr;
    store.reset();
    inputs.reset();
    fpga.reset();
    resetSharedState();
    SimTest::TearDown();
}

void VideoTest::bringUp() {
    manager->c331_bringup();
    // The bring-up's window set asks for a redraw of the empty OSD canvas and its windows;
    // the OSD tests draw themselves, the others start without it.
    manager->g_chg_osd_update = 0;
    manager->g_chg_osd_set = 0;
    manager->manage_state = c331_manage::kStateRun;
    c331()->clearLog();
}

void VideoTest::raise(const std::function<void(RamParaImage&)>& edit, u8 request) {
    ParaLock lock;
    edit(store->ram_para);
    c331_manage::para_update = request;
}

// Hact, Hsync, Hback, Hpol, Htotal, Vact, Vsync, Vback, Vpol, Vtotal, pfreq, type, datamode,
// lane, ip, nosignal, updated.
HDMI_INFO cta861Record(int vic) {
    switch (vic) {
        case 2:
            return HDMI_INFO{720, 62, 60, 0, 858, 480, 6, 30, 0, 525, 27.0f, 0, 0, 0, 0, 0, 1};
        case 4:
            return HDMI_INFO{1280, 40, 220, 1, 1650, 720, 5, 20, 1, 750, 74.25f, 0, 0, 0, 0, 0, 1};
        case 5:
            return HDMI_INFO{1920, 44, 148, 1, 2200, 540, 5, 15, 1, 562, 74.25f, 0, 0, 0, 1, 0, 1};
        case 6:
            return HDMI_INFO{1440, 124, 114, 0, 1716, 240, 3, 15, 0, 262, 27.0f, 0, 0, 0, 1, 0, 1};
        case 17:
            return HDMI_INFO{720, 64, 68, 0, 864, 576, 5, 39, 0, 625, 27.0f, 0, 0, 0, 0, 0, 1};
        case 20:
            return HDMI_INFO{1920, 44, 148, 1, 2640, 540, 5, 15, 1, 562, 74.25f, 0, 0, 0, 1, 0, 1};
        default:
            return HDMI_INFO{1920, 44,     148, 1, 2200, 1080, 5, 36, 1,
                             1125, 148.5f, 0,   0, 0,    0,    0, 1};
    }
}

std::string printed(const std::function<void()>& fn) {
    testing::internal::CaptureStdout();
    fn();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

}  // namespace videotest
