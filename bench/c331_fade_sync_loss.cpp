// How long the video-processor thread stands still in a fade when the c331's output timing
// has lost its sync, on the simulated board.
//
// Window 1 (HDMI2, 960 x 540 over HDMI1's full-screen window 0) fades when its source is
// switched, over the longest fade there is (255 frames out and 255 in, or the frames given).
// The output sync is lost (sim::C331SyncStatus::loseOutputSync) and the source is switched
// to DVI through the image; one apply cycle, run here as the thread runs it, carries out the
// switch. Nothing else runs on the board, so every wait of the cycle is the video thread's.
//
// It prints, for that cycle: the device time it stood still (the sum of the waits it asked
// the board for, at their full length), the number of those waits, the output-sync waits it
// armed, and the host time here (the board's waits shortened by a divisor).
//
// Usage: bench_c331_fade_sync_loss [fade frames (default 255)]
#include <stdlib.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "board/sim/c331_model.h"
#include "board/sim/c331_sync_status.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/para_apply.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"
#include "video/c331_manage.h"

namespace {

constexpr size_t kWindow1 = 2272 + 26;  // window records are 26 bytes from 2272

void apply(c331_manage& m, KrxRamPara& store, const std::function<void(RamParaImage&)>& edit) {
    {
        ParaLock lock;
        edit(store.ram_para);
        c331_manage::para_update = 1;
    }
    c331_manage::c331managerdeal(&m);
    c331_manage::c331managerdeal(&m);
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::clamp(std::atoi(argv[1]), 0, 60000) : 255;
    QCoreApplication app(argc, argv);
    std::string root = std::filesystem::temp_directory_path() / "krx-bench-fade-XXXXXX";
    if (!mkdtemp(root.data()))
        return 1;
    sim::setRoot(root);
    sim::reset();
    sim::setSleepDivisor(1000000);
    g_debugSwitch = 0;
    g_force_bkcolor = 2;

    auto* fpga = new fpga_manage;
    fpga_manage::p_fpga_manage = fpga;
    fpga->open_spi_links();
    if (fpga->map_gpio_window() != 0) {
        std::fprintf(stderr, "the SoC window is not mapped\n");
        return 1;
    }
    auto* inputs = new velmosource;
    velmosource::p_velmo_source = inputs;
    auto sources = sim::get<sim::HdmiSources>("hdmi-sources");
    for (int input : {0, 1, 2}) {
        sources->plug(input, *sim::VideoTiming::cta861(16));
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        inputs->hdminfo[input] =
            HDMI_INFO{1920, 44, 148, 1, 2200, 1080, 5, 36, 1, 1125, 148.5f, 0, 0, 0, 0, 0, 1};
    }
    auto* store = new KrxRamPara;
    KrxRamPara::p_krxrampara_config = store;
    store->load();
    auto* m = new c331_manage;
    m->open_device();
    auto chip = sim::get<sim::C331Model>("c331");
    chip->setFrameRate(20000);  // quick frames while the windows are set up
    m->c331_bringup();
    m->manage_state = c331_manage::kStateRun;
    c331_manage::c331managerdeal(m);
    apply(*m, *store, [&](RamParaImage& p) {
        p.setU16(kWindow1 + 0, 1);
        p.setU16(kWindow1 + 8, 2);  // HDMI2
        p.setU16(kWindow1 + 10, 480);
        p.setU16(kWindow1 + 12, 270);
        p.setU16(kWindow1 + 14, 960);
        p.setU16(kWindow1 + 16, 540);
        p.setU16(kWindow1 + 18, 0x0004);  // a source switch fades
        p.setU16(2208, 1);                // window 0 below window 1
        p.setU16(2208 + 2, 0);
        p.setU16(2816 + 4, static_cast<u16>(frames));  // window 1 fades in
        p.setU16(2818 + 4, static_cast<u16>(frames));  // and out
    });

    uint64_t armsBefore = 0;
    chip->with<sim::C331SyncStatus>([&](sim::C331SyncStatus& s) {
        s.loseOutputSync(true);
        armsBefore = s.outputArms();
    });
    const sim::SleepStats before = sim::sleepStats();
    const u32 passes = m->output_passes;
    const auto start = std::chrono::steady_clock::now();
    apply(*m, *store, [](RamParaImage& p) { p.setU16(kWindow1 + 8, 0); });  // DVI
    const auto stop = std::chrono::steady_clock::now();
    const sim::SleepStats after = sim::sleepStats();
    uint64_t syncWaits = 0;
    chip->with<sim::C331SyncStatus>(
        [&](sim::C331SyncStatus& s) { syncWaits = s.outputArms() - armsBefore; });

    std::printf("fade of %d frames out and %d in, output sync lost, %u output pass(es):\n", frames,
                frames, m->output_passes - passes);
    std::printf(
        "  stood still %.1f s of device time in %llu waits (%llu output-sync waits)\n",
        static_cast<double>(after.requestedMicroseconds - before.requestedMicroseconds) / 1e6,
        static_cast<unsigned long long>(after.calls - before.calls),
        static_cast<unsigned long long>(syncWaits));
    std::printf("  host time here %.2f s\n", std::chrono::duration<double>(stop - start).count());

    delete m;
    KrxRamPara::p_krxrampara_config = nullptr;
    delete store;
    velmosource::p_velmo_source = nullptr;
    delete inputs;
    delete fpga;
    sim::reset();
    std::filesystem::remove_all(root);
    return 0;
}
