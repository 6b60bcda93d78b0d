// Bus cost of the IT6805 at idle: I2C transfers of one polling cycle of the input thread
// once a source on input 3 is published, against the same cycle with input 3 empty.
// Plain executable: prints its figures. Waits are cut short to reach the idle state; the
// figures are transfers, which do not depend on them.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "board/sim/hdmi_sources.h"
#include "board/sim/i2c_bus.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "inputs/iTE6805_sys.h"
#include "inputs/velmosource.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Cost {
    double transfers;
    double toIt6805;
    double microseconds;
};

Cost measure(velmosource& source, sim::I2cBus& bus, int cycles) {
    bus.clearLog();
    auto start = Clock::now();
    for (int i = 0; i < cycles; ++i) {
        source.checksource_pass();
        ++G_timeTicks;
    }
    double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    auto log = bus.log();
    size_t toChip = 0;
    for (const auto& t : log)
        if (!t.messages.empty() && t.messages.front().address == 0x90)
            ++toChip;
    return {static_cast<double>(log.size()) / cycles, static_cast<double>(toChip) / cycles,
            us / cycles};
}

bool published(velmosource& source) {
    std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
    return source.hdminfo[3].updated && !source.hdminfo[3].nosignal;
}

// One board with the given IT6805 revision, from power-on to idle with and without a source.
int run(uint8_t chipId) {
    std::string root = (std::filesystem::temp_directory_path() / "krx-bench-it6805").string();
    std::filesystem::remove_all(root);
    sim::setRoot(root);
    sim::setSleepDivisor(1000);
    auto store = std::make_unique<KrxRamPara>();
    store->load();
    KrxRamPara::p_krxrampara_config = store.get();
    auto fpga = std::make_unique<fpga_manage>();
    fpga->map_gpio_window();
    fpga_manage::p_fpga_manage = fpga.get();
    auto sources = sim::get<sim::HdmiSources>("hdmi-sources");
    sources->plug(3, *sim::VideoTiming::cta861(16));
    auto source = std::make_unique<velmosource>();
    velmosource::p_velmo_source = source.get();
    source->open_bus();
    auto bus = sim::get<sim::I2cBus>("/dev/i2c-0");
    bus->it6805().setChipId(chipId);

    G_timeTicks = 1;
    for (int i = 0; i < 2000 && !published(*source); ++i) {
        source->checksource_pass();
        ++G_timeTicks;
    }
    if (!published(*source)) {
        std::printf("input 3 was never published\n");
        return 1;
    }
    const int cycles = 4000;
    Cost plugged = measure(*source, *bus, cycles);
    std::printf(
        "ChipID 0x%02X, idle cycle, 1080p60 on input 3 published: %.2f transfers "
        "(%.2f to the IT6805), %.1f us\n",
        chipId, plugged.transfers, plugged.toIt6805, plugged.microseconds);

    sources->unplug(3);
    for (int i = 0; i < 20; ++i) {
        source->checksource_pass();
        ++G_timeTicks;
    }
    Cost empty = measure(*source, *bus, cycles);
    std::printf(
        "ChipID 0x%02X, idle cycle, input 3 empty: %.2f transfers (%.2f to the IT6805), "
        "%.1f us\n",
        chipId, empty.transfers, empty.toIt6805, empty.microseconds);

    source.reset();
    velmosource::p_velmo_source = nullptr;
    fpga_manage::p_fpga_manage = nullptr;
    fpga.reset();
    KrxRamPara::p_krxrampara_config = nullptr;
    store.reset();
    sim::reset();
    std::filesystem::remove_all(root);
    return 0;
}

}  // namespace

int main() {
    g_debugSwitch = 0;
    g_check_edid = "Never";
    // A late revision, and an earlier one whose V-by-One output the driver watches.
    return run(0x10) || run(0x00);
}
