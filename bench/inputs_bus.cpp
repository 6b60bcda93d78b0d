// Figures of the input thread on the simulated board: how long a custom EDID takes to
// reach an EEPROM with a 5 ms write cycle, and what one idle polling cycle costs in time
// and bus transfers. Plain executable: prints its figures.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "board/sim/i2c_bus.h"
#include "board/sim/sim.h"
#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
    std::string root = (std::filesystem::temp_directory_path() / "krx-bench-inputs").string();
    std::filesystem::remove_all(root);
    sim::setRoot(root);
    g_debugSwitch = 0;
    ConfigEngine::pInstance();
    auto store = std::make_unique<KrxRamPara>();
    store->load();
    KrxRamPara::p_krxrampara_config = store.get();
    auto fpga = std::make_unique<fpga_manage>();
    fpga->map_gpio_window();
    fpga_manage::p_fpga_manage = fpga.get();
    auto source = std::make_unique<velmosource>();
    source->open_bus();
    auto bus = sim::get<sim::I2cBus>("/dev/i2c-0");

    G_timeTicks = 1;
    auto start = Clock::now();
    for (int i = 0; i < 1000 && source->thread_state != SOURCE_RUN; ++i) {
        source->checksource_pass();
        ++G_timeTicks;
    }
    std::printf("start-up to the run state (ticks advanced per pass): %.1f ms\n", msSince(start));
    source->checksource_pass();
    source->checksource_pass();

    const int cycles = 2000;
    bus->clearLog();
    start = Clock::now();
    for (int i = 0; i < cycles; ++i)
        source->checksource_pass();
    double idle = msSince(start);
    std::printf("idle run cycle: %.1f us, %.1f bus transfers\n", idle * 1000 / cycles,
                static_cast<double>(bus->log().size()) / cycles);

    const int rewrites = 5;
    double total = 0;
    for (int i = 0; i < rewrites; ++i) {
        source->request_edid_rewrite(1);
        start = Clock::now();
        source->checksource_pass();
        total += msSince(start);
    }
    std::printf("custom EDID written and verified (5 ms write cycle): %.1f ms, %u busy polls\n",
                total / rewrites, bus->eeprom(1).busyRefusals() / rewrites);

    source.reset();
    fpga_manage::p_fpga_manage = nullptr;
    fpga.reset();
    KrxRamPara::p_krxrampara_config = nullptr;
    store.reset();
    delete ConfigEngine::p_config;
    sim::reset();
    std::filesystem::remove_all(root);
    return 0;
}
