// What a panel change and a source switch cost on the simulated SPI bus, against the
// registers whose value they actually changed; and what one apply cycle costs while the
// inputs are stable, and while a V-by-One receiver waits for a signal.
//
// The video manager runs without its thread (one apply cycle at a time, as the tests
// drive it). Sources: 1920 x 1080 at 60 Hz on inputs 0 and 1, 3840 x 2160 at 60 Hz on
// input 3, each with the timing record its receiver publishes. Plain executable.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "board/sim/c331_input_measure.h"
#include "board/sim/c331_model.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/sim.h"
#include "board/sim/spi_bus.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"
#include "video/c331_manage.h"

namespace {

std::vector<uint8_t> snapshot(const sim::C331Model& chip) {
    std::vector<uint8_t> regs;
    regs.reserve(256 * 128);
    for (int bank = 0; bank < 256; ++bank)
        for (int address = 1; address < 128; ++address)
            regs.push_back(chip.reg(static_cast<uint8_t>(bank), static_cast<uint8_t>(address)));
    return regs;
}

int changed(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
    int n = 0;
    for (size_t i = 0; i < before.size(); ++i)
        n += before[i] != after[i];
    return n;
}

// Runs fn and prints the c331's SPI messages, bytes and bus time, and the registers whose
// stored value changed.
void measure(const char* what, sim::SpiBus& bus, sim::C331Model& chip,
             const std::function<void()>& fn) {
    const std::vector<uint8_t> before = snapshot(chip);
    bus.clearLog();
    chip.clearLog();
    fn();
    const sim::SpiBus::Counters c = bus.counters(sim::SpiTarget::C331);
    int writes = 0;
    int selects = 0;
    for (const auto& a : chip.writes())
        (a.address == 0 ? selects : writes) += 1;
    std::printf(
        "%-40s %6llu messages (%5d register writes, %4d bank selects, %5llu reads), "
        "bus %8.1f us; %4d registers changed\n",
        what, static_cast<unsigned long long>(c.messages), writes, selects,
        static_cast<unsigned long long>(c.messages) - writes - selects, c.busNs / 1000.0,
        changed(before, snapshot(chip)));
}

HDMI_INFO record(uint32_t ha, uint32_t hs, uint32_t hb, uint32_t ht, uint32_t va, uint32_t vs,
                 uint32_t vb, uint32_t vt, float mhz, uint32_t type, uint32_t lanes) {
    return HDMI_INFO{ha, hs, hb, 1, ht, va, vs, vb, 1, vt, mhz, type, type, lanes, 0, 0, 1};
}

}  // namespace

int main() {
    const std::string root = (std::filesystem::temp_directory_path() / "krx-bench-panel").string();
    std::filesystem::remove_all(root);
    sim::setRoot(root);
    sim::reset();
    g_debugSwitch = 0;
    g_force_bkcolor = 2;

    auto store = std::make_unique<KrxRamPara>();
    store->load();
    KrxRamPara::p_krxrampara_config = store.get();
    auto fpga = std::make_unique<fpga_manage>();
    fpga_manage::p_fpga_manage = fpga.get();
    fpga->open_spi_links();
    fpga->map_gpio_window();
    auto inputs = std::make_unique<velmosource>();
    velmosource::p_velmo_source = inputs.get();
    auto manager = std::make_unique<c331_manage>();
    manager->open_device();

    auto bus = sim::get<sim::SpiBus>("spi-bus");
    auto chip = sim::get<sim::C331Model>("c331");
    auto sources = sim::get<sim::HdmiSources>("hdmi-sources");
    auto cycle = [&] { c331_manage::c331managerdeal(manager.get()); };
    auto raise = [&](const std::function<void(RamParaImage&)>& edit) {
        ParaLock lock;
        edit(store->ram_para);
        c331_manage::para_update = 1;
    };

    measure("bring-up (1920 x 1080 panel)", *bus, *chip, [&] {
        manager->c331_bringup();
        manager->manage_state = c331_manage::kStateRun;
    });
    // Three windows on the screen, as the window code would leave them.
    manager->wincnt = 3;

    sources->plug(0, *sim::VideoTiming::cta861(16));
    sources->plug(1, *sim::VideoTiming::cta861(16));
    sources->plug(3, *sim::VideoTiming::cta861(97));
    {
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        inputs->hdminfo[0] = record(1920, 44, 148, 2200, 1080, 5, 36, 1125, 148.5f, 0, 0);
        inputs->hdminfo[1] = inputs->hdminfo[0];
        inputs->hdminfo[3] = record(3840, 88, 296, 4400, 2160, 10, 72, 2250, 594.0f, 1, 8);
    }
    measure("first cycle with three sources", *bus, *chip, cycle);
    for (int i = 0; i < 10; ++i) {
        cycle();
        for (int& flag : manager->g_chg_input)
            flag = 0;  // consumed by the output pass
    }
    measure("idle cycle, three stable sources", *bus, *chip, cycle);

    raise([](RamParaImage& p) {
        p.setU16(para::led_width, 3840);
        p.setU16(para::out1_width, 1920);
        p.setU16(para::splice_mode, 3);
    });
    measure("splice NONE -> H, 3840 x 1080", *bus, *chip, cycle);
    raise([](RamParaImage& p) { p.setU16(para::splice_mode, 0); });
    measure("splice H -> NONE, 3840 x 1080", *bus, *chip, cycle);
    raise([](RamParaImage& p) { p.setU16(para::led_width, 7680); });
    measure("LED width 3840 -> 7680 (two channels)", *bus, *chip, cycle);

    for (int& flag : manager->g_chg_input)
        flag = 0;
    raise([](RamParaImage& p) { p.setU16(para::window_at(2) + para::win_source, 0); });
    measure("window 2 source HDMI1 -> DVI", *bus, *chip, cycle);
    for (int& flag : manager->g_chg_input)
        flag = 0;
    raise([](RamParaImage& p) { p.setU16(para::window_at(2) + para::win_source, 3); });
    measure("window 2 source DVI -> HDMI3 (V-by-One)", *bus, *chip, cycle);

    chip->with<sim::C331InputMeasure>([](sim::C331InputMeasure& m) { m.dropSignal(5, true); });
    cycle();
    measure("cycle, V-by-One receiver without signal", *bus, *chip, cycle);

    manager.reset();
    velmosource::p_velmo_source = nullptr;
    inputs.reset();
    fpga_manage::p_fpga_manage = nullptr;
    fpga.reset();
    KrxRamPara::p_krxrampara_config = nullptr;
    store.reset();
    sim::reset();
    std::filesystem::remove_all(root);
    return 0;
}
