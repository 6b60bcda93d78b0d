// What the input thread costs with a picture on every IT6602 channel and nothing changing:
// 1080p60 sources on inputs 0, 1 and 2 of the simulated board, each channel brought to a
// stable picture, then
// - the I2C transfers of one polling cycle (passes called directly), by device;
// - the thread's CPU time while it runs as the program runs it, with the 10 ms tick.
//
// Usage: bench_inputs_idle [seconds]   (default 10)
#include <pthread.h>
#include <stdlib.h>
#include <time.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "board/sim/hdmi_sources.h"
#include "board/sim/i2c_bus.h"
#include "board/sim/sim.h"
#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmo_it6602.h"
#include "inputs/velmosource.h"

namespace {

double threadCpuSeconds(pthread_t thread) {
    clockid_t clock;
    timespec t{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &t) != 0)
        return -1;
    return t.tv_sec + t.tv_nsec / 1e9;
}

bool allPictures(velmosource& source) {
    for (int ch = 0; ch < 3; ++ch) {
        const IT6602_dev_data& d = source.it6602->dev[ch];
        if (d.video_state != VSTATE_VideoOn || d.audio_state != ASTATE_AudioOn || d.eq[0].busy)
            return false;
    }
    return true;
}

// Transfers of one idle polling cycle, from passes called one after the other.
void transfersPerCycle(velmosource& source, sim::I2cBus& bus) {
    for (int i = 0; i < 2000 && !allPictures(source); ++i) {
        source.checksource_pass();
        ++G_timeTicks;
    }
    if (!allPictures(source)) {
        std::fprintf(stderr, "the channels did not reach a stable picture\n");
        std::exit(1);
    }
    const int cycles = 3000;
    bus.clearLog();
    for (int i = 0; i < cycles; ++i) {
        source.checksource_pass();
        ++G_timeTicks;
    }
    std::map<int, size_t> byDevice;
    size_t transfers = 0;
    for (const sim::I2cBus::Transfer& t : bus.log()) {
        ++transfers;
        ++byDevice[t.messages.front().address];
    }
    std::printf("I2C transfers per idle polling cycle: %.2f\n",
                static_cast<double>(transfers) / cycles);
    for (const auto& [address, n] : byDevice)
        std::printf("    device 0x%02X: %.2f\n", address, static_cast<double>(n) / cycles);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    std::string root = (std::filesystem::temp_directory_path() / "krx-bench-XXXXXX").string();
    if (!mkdtemp(root.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    sim::setRoot(root);
    sim::reset();
    g_debugSwitch = 0;
    ConfigEngine::pInstance();
    g_check_edid = "Never";
    auto store = std::make_unique<KrxRamPara>();
    store->load();
    KrxRamPara::p_krxrampara_config = store.get();
    auto fpga = std::make_unique<fpga_manage>();
    fpga->map_gpio_window();
    fpga_manage::p_fpga_manage = fpga.get();
    auto sources = sim::get<sim::HdmiSources>("hdmi-sources");
    for (int input = 0; input < 3; ++input)
        sources->plug(input, *sim::VideoTiming::cta861(16));

    {
        velmosource source;
        source.open_bus();
        transfersPerCycle(source, *sim::get<sim::I2cBus>("/dev/i2c-0"));
    }

    std::atomic<bool> ticking{true};
    std::thread tick([&] {
        auto next = std::chrono::steady_clock::now();
        while (ticking) {
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
            ++G_timeTicks;
        }
    });
    auto source = std::make_unique<velmosource>();
    velmosource::p_velmo_source = source.get();
    if (source->initialize() != 0) {
        std::fprintf(stderr, "the input thread did not start\n");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    while (!allPictures(*source)) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(30)) {
            std::fprintf(stderr, "the channels did not reach a stable picture\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double upSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::seconds(1));

    auto bus = sim::get<sim::I2cBus>("/dev/i2c-0");
    bus->clearLog();
    const double cpu0 = threadCpuSeconds(source->thread);
    const auto wall0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double cpu = threadCpuSeconds(source->thread) - cpu0;
    const size_t transfers = bus->log().size();

    std::printf("three pictures on after  %8.2f s (reset and release waits included)\n", upSeconds);
    std::printf("idle period              %8.2f s\n", wall);
    std::printf("input thread CPU         %8.3f %% of one core\n", 100 * cpu / wall);
    std::printf("I2C transfers            %8.1f per second\n", transfers / wall);

    source.reset();
    ticking = false;
    tick.join();
    fpga_manage::p_fpga_manage = nullptr;
    fpga.reset();
    KrxRamPara::p_krxrampara_config = nullptr;
    store.reset();
    delete ConfigEngine::p_config;
    ConfigEngine::p_config = nullptr;
    sim::reset();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
