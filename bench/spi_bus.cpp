// Bus cost of the two commonest transfers on the shared SPI bus, on the simulated board:
// a 1024-byte FPGA RAM write (a whole parameter-RAM image) and a 4-byte c331 field write.
//
// For each it prints the bus time the simulated bus clocked (every byte of every message
// at its transfer's clock), the physical minimum (the payload alone at the bus clock) and
// the host time one operation took here, driver, locks, pad stores and simulation
// included.
#include <stdlib.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/sim/sim.h"
#include "board/sim/spi_bus.h"
#include "core/global.h"
#include "fpga/fpga_manage.h"
#include "video/c331_drv.h"

namespace {

struct Result {
    const char* name;
    double payloadBytes;
    double clockHz;
    double busUs;
    double bytes;
    double messages;
    double hostUs;
};

Result measure(const char* name, double payloadBytes, double clockHz, sim::SpiTarget target,
               int iterations, const std::function<void(int)>& op) {
    auto bus = sim::get<sim::SpiBus>("spi-bus");
    op(-1);  // warm up: first bank select, first use of the models
    bus->clearLog();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i)
        op(i);
    auto stop = std::chrono::steady_clock::now();
    sim::SpiBus::Counters c = bus->counters(target);
    double host = std::chrono::duration<double, std::micro>(stop - start).count();
    bus->clearLog();
    return Result{name,
                  payloadBytes,
                  clockHz,
                  c.busNs / 1000 / iterations,
                  double(c.bytes) / iterations,
                  double(c.messages) / iterations,
                  host / iterations};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    g_debugSwitch = 0;
    std::string root = (std::filesystem::temp_directory_path() / "krx-bench-XXXXXX").string();
    if (!mkdtemp(root.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    sim::setRoot(root);
    sim::reset();

    auto* manager = new fpga_manage;
    fpga_manage::p_fpga_manage = manager;
    if (manager->initialize() != 0) {
        std::fprintf(stderr, "the FPGA manager did not start\n");
        return 1;
    }
    c331_drv chip;
    int fd = chip.initialize();

    std::vector<unsigned char> image(fpga_manage::kRamImageSize);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<unsigned char>(i * 7);

    std::vector<Result> results;
    results.push_back(measure("FPGA RAM write, 1024 bytes", 1024, 10e6, sim::SpiTarget::Fpga0, 2000,
                              [&](int) { manager->write_fpga_ram(image.data(), 0, 1024, 1, 0); }));
    results.push_back(
        measure("c331 field write, 4 bytes", 4, 10e6, sim::SpiTarget::C331, 20000,
                [&](int i) { chip.write_C331(fd, c331_drv::descriptor(0x08, 0x40, 4), i, 0); }));
    results.push_back(measure(
        "c331 field write, 4 bytes, new bank", 4, 10e6, sim::SpiTarget::C331, 20000,
        [&](int i) { chip.write_C331(fd, c331_drv::descriptor(0x08, 0x40, 4), i, (i & 1) * 16); }));

    std::printf("%-38s %9s %9s %8s %6s %9s %9s\n", "operation", "bus us", "min us", "bus/min",
                "msgs", "bytes", "host us");
    for (const Result& r : results) {
        double minimum = r.payloadBytes * 8 / r.clockHz * 1e6;
        std::printf("%-38s %9.2f %9.2f %8.2f %6.1f %9.1f %9.2f\n", r.name, r.busUs, minimum,
                    r.busUs / minimum, r.messages, r.bytes, r.hostUs);
    }

    board::close(fd);
    delete manager;
    sim::reset();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
