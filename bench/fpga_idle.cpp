// What the FPGA thread costs while nothing is due: the manager started as the program
// starts it, FPGA 0 brought to output running on the simulated board with the 10 ms tick
// running in real time, then the thread's CPU time and its share of the shared SPI bus
// measured over a quiet period.
//
// Usage: bench_fpga_idle [seconds]   (default 10)
#include <pthread.h>
#include <stdlib.h>
#include <time.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "board/board.h"
#include "board/sim/sim.h"
#include "board/sim/spi_bus.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"

namespace {

double threadCpuSeconds(pthread_t thread) {
    clockid_t clock;
    timespec t{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &t) != 0)
        return -1;
    return t.tv_sec + t.tv_nsec / 1e9;
}

double busSeconds() {
    auto bus = sim::get<sim::SpiBus>("spi-bus");
    double ns = 0;
    for (sim::SpiTarget target : {sim::SpiTarget::Fpga0, sim::SpiTarget::Fpga1,
                                  sim::SpiTarget::Flash0, sim::SpiTarget::None})
        ns += bus->counters(target).busNs;
    return ns / 1e9;
}

uint64_t fpgaMessages() {
    return sim::get<sim::SpiBus>("spi-bus")->counters(sim::SpiTarget::Fpga0).messages;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    g_debugSwitch = 0;
    std::string root = (std::filesystem::temp_directory_path() / "krx-bench-XXXXXX").string();
    if (!mkdtemp(root.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    sim::setRoot(root);
    sim::reset();

    KrxRamPara::pInstance();
    // The input manager's part: its 0xD0 device is set up.
    velmosource::pInstance()->d0_step[0] = 2;
    fpga_manage* manager = fpga_manage::pInstance();
    if (!manager->gpio_mapped()) {
        std::fprintf(stderr, "the FPGA manager did not start\n");
        return 1;
    }
    board::mmio_write16(manager->fpga_rst_gpio[0], 16);

    std::atomic<bool> ticking{true};
    std::thread tick([&] {
        auto next = std::chrono::steady_clock::now();
        while (ticking) {
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
            ++G_timeTicks;
        }
    });
    g_fpga_c331_start = 1;
    const auto start = std::chrono::steady_clock::now();
    while (!manager->get_fpga_status()) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(60)) {
            std::fprintf(stderr, "FPGA 0 did not reach output running\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double upSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::seconds(1));

    const double cpu0 = threadCpuSeconds(manager->thread);
    const double bus0 = busSeconds();
    const uint64_t messages0 = fpgaMessages();
    const auto wall0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double cpu = threadCpuSeconds(manager->thread) - cpu0;
    const double bus = busSeconds() - bus0;
    const uint64_t messages = fpgaMessages() - messages0;

    std::printf("FPGA 0 output running after %.2f s (start-up pauses of 2 s and 3 s included)\n",
                upSeconds);
    std::printf("idle period                 %8.2f s\n", wall);
    std::printf("FPGA thread CPU             %8.3f %% of one core\n", 100 * cpu / wall);
    std::printf("FPGA thread bus occupancy   %8.4f %% of the SPI bus (%.1f us/s)\n",
                100 * bus / wall, 1e6 * bus / wall);
    std::printf("FPGA 0 messages             %8.1f per second\n", messages / wall);

    ticking = false;
    tick.join();
    manager->stop_thread();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
