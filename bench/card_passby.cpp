// Round trip of a PC frame for a receiving card on the simulated board: a PC on loopback
// sends a RAM read of card 0 of port 1 over UDP and waits for the card's answer, frame after
// frame, while the FPGA thread serves the port as it does on the device (a pass every
// millisecond, a tick every 10 ms). It prints the median and the 90th percentile.
//
// Usage: bench_card_passby [frames]
#include <arpa/inet.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "board/board.h"
#include "board/sim/fpga_model.h"
#include "board/sim/sim.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"
#include "remote/udpnetmanage.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A RAM read of 4 bytes at 0x180 of card 0 of port 1, framed and escaped (no byte of it
// needs an escape).
Bytes request() {
    Bytes f = {0x00, 0x10, 0x10, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00,
               0x61, 0x80, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00};
    uint8_t x = 0;
    for (uint8_t c : f)
        x ^= c;
    f.push_back(x);
    Bytes out = {0xA5, 0xA5, 0xA5};
    out.insert(out.end(), f.begin(), f.end());
    out.push_back(0x5A);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    g_debugSwitch = 0;
    std::string root = (std::filesystem::temp_directory_path() / "krx-bench-XXXXXX").string();
    if (!mkdtemp(root.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    sim::setRoot(root);
    sim::reset();
    sim::setScene(
        QJsonObject{{"outputs", QJsonArray{QJsonObject{{"port", 2}, {"fpga", 0}, {"cards", 4}}}}});
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
    for (int i = 0; i < 5000 && !manager->get_fpga_status(); ++i) {
        ++G_timeTicks;
        manager->fpga_manage_deal();
    }
    if (!manager->get_fpga_status()) {
        std::fprintf(stderr, "FPGA 0 did not reach output running\n");
        return 1;
    }

    std::atomic<bool> stop{false};
    std::thread fpgaThread([&] {
        auto tick = std::chrono::steady_clock::now();
        while (!stop) {
            if (std::chrono::steady_clock::now() - tick >= std::chrono::milliseconds(10)) {
                ++G_timeTicks;
                tick += std::chrono::milliseconds(10);
            }
            manager->fpga_manage_deal();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    g_udpnetmode = 1;
    udpnetManage udp(0, 0);
    if (udp.initialize() != 0) {
        std::fprintf(stderr, "the UDP transport did not start\n");
        return 1;
    }
    int pc = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(udp.control_port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const Bytes frame = request();
    std::vector<double> ms;
    int lost = 0;
    for (int i = 0; i < frames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ::sendto(pc, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        pollfd p = {pc, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) {
            ++lost;
            continue;
        }
        uint8_t buf[256];
        ::recv(pc, buf, sizeof buf, 0);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    if (!ms.empty())
        std::printf(
            "Card RAM read through the device over UDP, %zu frames: median %.2f ms, "
            "90th percentile %.2f ms, %d without answer\n",
            ms.size(), ms[ms.size() / 2], ms[ms.size() * 9 / 10], lost);

    ::close(pc);
    udp.stop();
    stop = true;
    fpgaThread.join();
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
