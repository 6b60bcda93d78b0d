// Bus cost of one card search cycle on the simulated board: FPGA 0 at output running with
// chains of receiving cards on all six output ports, the cycle's search packets sent (one
// port of each pair) and the services that take the three answers, counted on the SPI
// bus. It prints both halves and the whole, for the even and the odd cycle.
//
// Usage: bench_card_search
#include <stdlib.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "board/board.h"
#include "board/sim/fpga_model.h"
#include "board/sim/sim.h"
#include "board/sim/spi_bus.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"

namespace {

struct Cost {
    uint64_t messages = 0;
    uint64_t bytes = 0;
    double busNs = 0;
};

Cost fpgaBus() {
    auto counters = sim::get<sim::SpiBus>("spi-bus")->counters(sim::SpiTarget::Fpga0);
    return Cost{counters.messages, counters.bytes, counters.busNs};
}

Cost since(const Cost& before) {
    Cost now = fpgaBus();
    return Cost{now.messages - before.messages, now.bytes - before.bytes, now.busNs - before.busNs};
}

void print(const char* what, const Cost& c) {
    std::printf("  %-28s %6.1f us  %4llu messages  %5llu bytes\n", what, c.busNs / 1000,
                static_cast<unsigned long long>(c.messages),
                static_cast<unsigned long long>(c.bytes));
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
    QJsonArray outputs;
    for (int port = 1; port <= 6; ++port)
        outputs.append(QJsonObject{{"port", port}, {"fpga", 0}, {"cards", 4 * port}});
    sim::setScene(QJsonObject{{"outputs", outputs}});
    sim::setSleepDivisor(1000);

    auto store = std::make_unique<KrxRamPara>();
    store->load();
    KrxRamPara::p_krxrampara_config = store.get();
    sim::get<sim::FpgaModel>("fpga0")->setConfigDelayMs(0);
    auto manager = std::make_unique<fpga_manage>();
    fpga_manage::p_fpga_manage = manager.get();
    manager->open_spi_links();
    if (manager->map_gpio_window() != 0) {
        std::fprintf(stderr, "the FPGA manager did not start\n");
        return 1;
    }
    manager->softinit();
    auto source = std::make_unique<velmosource>();
    velmosource::p_velmo_source = source.get();
    source->d0_step[0] = 2;
    board::mmio_write16(manager->fpga_rst_gpio[0], 16);

    G_timeTicks = 10000;
    auto pass = [&] {
        ++G_timeTicks;
        manager->fpga_manage_deal();
    };
    for (int i = 0; i < 5000 && !manager->get_fpga_status(); ++i)
        pass();
    // Two search cycles count the cards; the passes after the last cycle take its answers.
    const u32 cycles = g_change[8];
    for (int i = 0; i < 1000 && g_change[8] < cycles + 3; ++i)
        pass();
    for (int i = 0; i < 5; ++i)
        pass();
    if (!manager->get_fpga_status() || manager->get_port_card_num(5) != 24) {
        std::fprintf(stderr, "FPGA 0 did not reach output running with its cards counted\n");
        return 1;
    }

    std::printf(
        "One card search cycle, six linked ports with 4..24 cards (FPGA 0 bus at 10 "
        "MHz):\n");
    for (int cycle = 0; cycle < 2; ++cycle) {
        const bool odd = g_change[8] & 1;
        g_change[2] = G_timeTicks - 100;  // the cycle is due
        Cost start = fpgaBus();
        manager->Search_Card_Cmd();
        Cost sent = since(start);
        Cost before = fpgaBus();
        pthread_mutex_lock(&manager->passby_mutex);
        for (int i = 0; i < 10 && sim::get<sim::FpgaModel>("fpga0")->serviceRequested(); ++i)
            manager->reg_IRQ_Dealwith(0, 0);
        pthread_mutex_unlock(&manager->passby_mutex);
        Cost taken = since(before);
        Cost whole = since(start);
        std::printf(" %s cycle (ports %s):\n", odd ? "odd" : "even", odd ? "1, 3, 5" : "0, 2, 4");
        print("three search packets", sent);
        print("service taking the answers", taken);
        print("whole cycle", whole);
        // Less than a search period: the next measured cycle is the other parity.
        for (int i = 0; i < 20; ++i)
            pass();
    }

    manager->stop_thread();
    fpga_manage::p_fpga_manage = nullptr;
    manager.reset();
    velmosource::p_velmo_source = nullptr;
    source.reset();
    KrxRamPara::p_krxrampara_config = nullptr;
    store.reset();
    sim::reset();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
