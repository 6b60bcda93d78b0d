// Bus cost of the c331's serial-flash, font and OSD operations on the simulated board:
// - the font check and load of the bring-up (four 35-byte header reads, four DMAs);
// - programming one 16 KiB piece (what the font upgrade writes at a time), and from it
//   the time to program each whole font set, one register write per byte;
// - erasing 64 KiB in 4 KiB and in 32 KiB units;
// - redrawing the empty 7680 x 2160 canvas of the bring-up's default output, and a
//   1920 x 1080 text overlay of three lines.
//
// For each it prints the SPI messages to the c331, the bus time the simulated bus clocked
// (every byte at its transfer's clock) and the host time here. The simulated controller
// reports each operation done after two status reads; a real flash takes longer (page
// programs in about a millisecond, erases in tens to hundreds), so waits add to the bus
// figures on the device. The DMA itself runs inside the chip and costs no bus time.
#include <stdlib.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "board/sim/sim.h"
#include "board/sim/spi_bus.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "video/c331_manage.h"

namespace {

struct Cost {
    double messages;
    double busMs;
    double hostMs;
};

Cost measure(const std::function<void()>& op) {
    auto bus = sim::get<sim::SpiBus>("spi-bus");
    bus->clearLog();
    auto start = std::chrono::steady_clock::now();
    op();
    auto stop = std::chrono::steady_clock::now();
    sim::SpiBus::Counters c = bus->counters(sim::SpiTarget::C331);
    bus->clearLog();
    return Cost{double(c.messages), c.busNs / 1e6,
                std::chrono::duration<double, std::milli>(stop - start).count()};
}

void print(const char* name, const Cost& c) {
    std::printf("%-44s %9.0f %10.2f %9.2f\n", name, c.messages, c.busMs, c.hostMs);
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
    sim::setSleepDivisor(1000);

    auto* fpga = new fpga_manage;
    fpga_manage::p_fpga_manage = fpga;
    fpga->open_spi_links();
    if (fpga->map_gpio_window() != 0) {
        std::fprintf(stderr, "the SoC window is not mapped\n");
        return 1;
    }
    auto* store = new KrxRamPara;
    KrxRamPara::p_krxrampara_config = store;
    auto* m = new c331_manage;
    m->open_device();
    const int fd = m->c331_fd;
    m->load_system_param();
    m->define_param();
    m->load_char();

    std::printf("%-44s %9s %10s %9s\n", "operation", "messages", "bus ms", "host ms");
    print("font check (read_c331_font)", measure([&] { m->read_c331_font(fd); }));
    print("font load (update_font, four DMAs)", measure([&] { m->update_font(fd); }));

    std::vector<u8> piece(16384);
    for (size_t i = 0; i < piece.size(); ++i)
        piece[i] = static_cast<u8>(i * 13);
    m->erase_flash(fd, 0x600, 4, 1);
    const Cost write = measure([&] { m->write_flash(fd, 0x600000, 16384, piece.data()); });
    print("program 16 KiB (write_flash)", write);
    const double busPerByte = write.busMs / 16384;
    const double hostPerByte = write.hostMs / 16384;
    const struct {
        const char* name;
        double bytes;
    } sets[] = {{"  program 32EN (12,323 bytes), estimated", 0x3000 + 35},
                {"  program 32CN (2,687,011 bytes), estimated", 0x290000 + 35},
                {"  program 64EN (49,187 bytes), estimated", 0xC000 + 35},
                {"  program 64CN (10,747,939 bytes), estimated", 0xA40000 + 35}};
    for (const auto& s : sets)
        print(s.name,
              Cost{write.messages / 16384 * s.bytes, busPerByte * s.bytes, hostPerByte * s.bytes});
    print("erase 64 KiB as 16 x 4 KiB", measure([&] { m->erase_flash(fd, 0x700, 16, 0); }));
    print("erase 64 KiB as 2 x 32 KiB", measure([&] { m->erase_flash(fd, 0x700, 2, 1); }));

    // The empty canvas the bring-up asks for, over its default output of 4 x 1 tiles of
    // 1920 x 2160.
    m->krxApi_OsdSet(3, 1);
    print("redraw 7680 x 2160 empty text canvas", measure([&] { m->update_osd(fd); }));

    // A text overlay of three lines over a 1920 x 1080 output.
    m->PS_ACTHW = 1920;
    m->PS_ACTVW = 1080;
    m->PS_PANEL_HSHAPE = 1;
    m->PS_PANEL_VSHAPE = 1;
    m->load_char();
    m->krxApi_OsdSet(3, 1);
    m->krxApi_OsdSet(14, 1);
    m->krxApi_OsdSet(0, 1);
    int lengths[3] = {20, 20, 20};
    static u32 lines[3][128];
    for (auto& line : lines)
        for (int i = 0; i < 20; ++i)
            line[i] = i % 2 ? 0x4E00 + i : 'A' + i;
    m->krxApi_OsdSetUnicode(3, lengths, lines);
    print("redraw 1920 x 1080 text, 3 lines of 20", measure([&] { m->update_osd(fd); }));

    delete m;
    delete store;
    delete fpga;
    sim::reset();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
