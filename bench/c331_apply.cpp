// The video-processor thread on the simulated board, started as the program starts it:
// - idle CPU: the process's CPU time over a few seconds while the thread runs with
//   nothing to apply (the main thread only sleeps);
// - apply latency: from a request raised under the apply lock to the chip register the
//   request writes, on the chip model's clock. The request is a service sequence (one
//   register of output channel 1), the one kind of change that writes the chip while the
//   picture, window and panel code are not built.
//
// Usage: bench_c331_apply [idle seconds (default 5)] [latency samples (default 200)]
#include <stdlib.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "board/sim/c331_model.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "video/c331_manage.h"

namespace {

double cpuSeconds() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The time of the first write of value to bank/address at or after fromMs, or -1.
double writtenAt(const sim::C331Model& chip, uint8_t bank, uint8_t address, double fromMs) {
    for (const auto& a : chip.writes())
        if (a.bank == bank && a.address == address && a.timeMs >= fromMs)
            return a.timeMs;
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const double idleSeconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int samples = argc > 2 ? std::atoi(argv[2]) : 200;
    QCoreApplication app(argc, argv);
    std::string root = std::filesystem::temp_directory_path() / "krx-bench-c331-XXXXXX";
    if (!mkdtemp(root.data()))
        return 1;
    sim::setRoot(root);
    sim::reset();
    g_debugSwitch = 0;  // the console would dominate the figures

    KrxRamPara* store = KrxRamPara::pInstance();
    fpga_manage::pInstance();
    auto chip = sim::get<sim::C331Model>("c331");
    c331_manage* manager = c331_manage::pInstance();
    double start = wallSeconds();
    while (g_fpga_c331_start == 0 && wallSeconds() - start < 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (g_fpga_c331_start == 0) {
        std::printf("the start gate did not open\n");
        return 1;
    }
    std::printf("start gate open %.1f ms after the manager was created\n",
                (wallSeconds() - start) * 1000);

    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    double cpu0 = cpuSeconds();
    double wall0 = wallSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
    double cpu = cpuSeconds() - cpu0;
    double wall = wallSeconds() - wall0;
    std::printf("idle: %.3f s CPU in %.3f s = %.2f %% of one core (cycle sleep %u us)\n", cpu, wall,
                100 * cpu / wall, c331_manage::kCycleSleepUs);

    std::vector<double> latency;
    std::mt19937 random(1);
    std::uniform_int_distribution<int> phase(0, 3000);
    for (int i = 0; i < samples; ++i) {
        chip->clearLog();
        double raised;
        {
            ParaLock lock;
            store->reg_para[0x22] = 0x04;  // disable_slidebar: bank 0x18 0x57 := 0
            c331_manage::para_update = 1;
            raised = sim::nowMs();
        }
        double written = -1;
        while ((written = writtenAt(*chip, 0x18, 0x57, raised)) < 0)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        latency.push_back(written - raised);
        std::this_thread::sleep_for(std::chrono::microseconds(phase(random)));
    }
    std::sort(latency.begin(), latency.end());
    auto at = [&](double q) { return latency[static_cast<size_t>(q * (latency.size() - 1))]; };
    std::printf(
        "apply latency over %d requests: min %.3f ms, median %.3f ms, p99 %.3f ms, "
        "max %.3f ms\n",
        samples, at(0), at(0.5), at(0.99), at(1));

    delete manager;
    std::filesystem::remove_all(root);
    return 0;
}
