// SPI traffic of picture changes on the simulated c331: for a brightness step, a contrast
// step, a colour-temperature change and test-pattern changes, the messages the c331
// received (each register access or bank select is one 2-byte message) against the
// registers whose value changed.
//
// The changes go through the apply cycle as the panel makes them (image edited under the
// apply lock, one cycle); an idle cycle's messages (the ports' signal checks) are measured
// apart and taken off. The default image: window 0 on HDMI1 (1080p) over the whole
// 1920 x 1080 screen.
//
// Usage: bench_c331_picture
#include <stdlib.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "board/sim/c331_model.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"
#include "video/c331_manage.h"

namespace {

std::vector<uint8_t> registers(const sim::C331Model& chip) {
    std::vector<uint8_t> out;
    for (int bank = 0; bank < 256; ++bank)
        for (int a = 1; a < 128; ++a)
            out.push_back(chip.reg(static_cast<uint8_t>(bank), static_cast<uint8_t>(a)));
    return out;
}

struct Traffic {
    size_t messages = 0;
    size_t writes = 0;
    size_t changed = 0;
};

class Bench {
public:
    Bench() : chip(sim::get<sim::C331Model>("c331")) {}

    // One apply cycle of the edit, with the idle cycle's messages taken off.
    Traffic apply(const std::function<void(RamParaImage&)>& edit) {
        const std::vector<uint8_t> before = registers(*chip);
        chip->clearLog();
        {
            ParaLock lock;
            edit(KrxRamPara::p_krxrampara_config->ram_para);
            c331_manage::para_update = 1;
        }
        c331_manage::c331managerdeal(c331_manage::p_c331_manage);
        Traffic t = measure(before, Traffic{});
        // The same cycle without a request, in the state the change left (a test pattern
        // stops the signal checks).
        const Traffic base = idle();
        t.messages -= std::min(t.messages, base.messages);
        t.writes -= std::min(t.writes, base.writes);
        return t;
    }

    // A direct call of the manager.
    Traffic call(const std::function<void()>& fn) {
        const std::vector<uint8_t> before = registers(*chip);
        chip->clearLog();
        fn();
        return measure(before, Traffic{});
    }

    Traffic idle() {
        chip->clearLog();
        c331_manage::c331managerdeal(c331_manage::p_c331_manage);
        Traffic t;
        t.messages = chip->log().size();
        t.writes = chip->writes().size();
        return t;
    }

private:
    Traffic measure(const std::vector<uint8_t>& before, const Traffic& base) {
        Traffic t;
        const size_t log = chip->log().size();
        const size_t writes = chip->writes().size();
        t.messages = log > base.messages ? log - base.messages : 0;
        t.writes = writes > base.writes ? writes - base.writes : 0;
        const std::vector<uint8_t> after = registers(*chip);
        for (size_t i = 0; i < after.size(); ++i)
            t.changed += after[i] != before[i];
        return t;
    }

    std::shared_ptr<sim::C331Model> chip;
};

void report(const char* what, const Traffic& t) {
    std::printf("%-44s %5zu messages (%4zu writes), %4zu registers changed\n", what, t.messages,
                t.writes, t.changed);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::string root = std::filesystem::temp_directory_path() / "krx-bench-picture-XXXXXX";
    if (!mkdtemp(root.data()))
        return 1;
    sim::setRoot(root);
    sim::reset();
    sim::setSleepDivisor(100000);
    g_debugSwitch = 0;
    g_force_bkcolor = 2;

    auto fpga = std::make_unique<fpga_manage>();
    fpga_manage::p_fpga_manage = fpga.get();
    fpga->open_spi_links();
    if (fpga->map_gpio_window() != 0)
        return 1;
    auto inputs = std::make_unique<velmosource>();
    velmosource::p_velmo_source = inputs.get();
    auto store = std::make_unique<KrxRamPara>();
    KrxRamPara::p_krxrampara_config = store.get();
    store->load();
    auto manager = std::make_unique<c331_manage>();
    c331_manage::p_c331_manage = manager.get();
    manager->open_device();

    sim::get<sim::HdmiSources>("hdmi-sources")->plug(1, *sim::VideoTiming::cta861(16));
    {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        inputs->hdminfo[1] =
            HDMI_INFO{1920, 44, 148, 1, 2200, 1080, 5, 36, 1, 1125, 148.5f, 0, 0, 0, 0, 0, 1};
    }
    manager->c331_bringup();
    manager->manage_state = c331_manage::kStateRun;
    Bench bench;
    {
        ParaLock lock;
        c331_manage::para_update = 1;
    }
    c331_manage::c331managerdeal(manager.get());
    c331_manage::c331managerdeal(manager.get());
    const Traffic idle = bench.idle();
    std::printf("idle cycle (signal checks): %zu messages\n\n", idle.messages);

    // The panel steps the brightness by 1: the LED output takes it, the chip stays at 50.
    for (int step = 0; step < 3; ++step)
        report("brightness step (apply)",
               bench.apply([&](RamParaImage& p) { p.setU16(2176, static_cast<u16>(60 + step)); }));
    report("chip brightness 50 -> 25 (direct)",
           bench.call([&] { manager->c331_SetBrightness(25); }));
    report("chip brightness 25 -> 26 (direct)",
           bench.call([&] { manager->c331_SetBrightness(26); }));
    report("chip brightness 26 -> 26 (direct)",
           bench.call([&] { manager->c331_SetBrightness(26); }));
    report("contrast step 50 -> 51 (apply)",
           bench.apply([](RamParaImage& p) { p.setU16(2178, 51); }));
    report("sharpness step 10 -> 11 (apply)",
           bench.apply([](RamParaImage& p) { p.setU16(2180, 11); }));
    report("sharpness step 11 -> 12 (apply)",
           bench.apply([](RamParaImage& p) { p.setU16(2180, 12); }));
    report("colour temperature nature -> custom (apply)",
           bench.apply([](RamParaImage& p) { p.setU16(2184, 0); }));
    report("custom red gain step (apply)",
           bench.apply([](RamParaImage& p) { p.setU16(2186, 65); }));

    std::printf("\n");
    const int patterns[] = {1, 2, 6, 7, 8, 0};
    int shown = 0;
    for (int code : patterns) {
        char what[64];
        std::snprintf(what, sizeof what, "test pattern %d -> %d (apply)", shown, code);
        report(what, bench.apply([&](RamParaImage& p) { p[864] = static_cast<u8>(code); }));
        shown = code;
    }

    manager.reset();
    store.reset();
    inputs.reset();
    fpga.reset();
    std::filesystem::remove_all(root);
    return 0;
}
