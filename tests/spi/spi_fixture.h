// A board with the FPGA manager's register window mapped, its links open and a c331
// driver: what the program has once the FPGA manager and the video processor started.
#pragma once

#include <memory>
#include <vector>

#include "board/sim/c331_model.h"
#include "board/sim/fpga_model.h"
#include "board/sim/sim.h"
#include "board/sim/soc_window.h"
#include "board/sim/spi_bus.h"
#include "board/sim/spi_nor_flash.h"
#include "board/sim/spidev_node.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_manage.h"
#include "tests/support/sim_test.h"
#include "video/c331_drv.h"

namespace test {

class SpiTest : public SimTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the FPGA manager as the program does (links, then the window) and makes it
    // the singleton; false when the window could not be mapped.
    bool startManager();

    std::shared_ptr<sim::SpiBus> bus() { return sim::get<sim::SpiBus>("spi-bus"); }
    std::shared_ptr<sim::SocWindow> window() { return sim::get<sim::SocWindow>("/dev/mem"); }
    std::shared_ptr<sim::C331Model> c331() { return sim::get<sim::C331Model>("c331"); }
    std::shared_ptr<sim::FpgaModel> fpga(int f) {
        return sim::get<sim::FpgaModel>(f == 0 ? "fpga0" : "fpga1");
    }
    std::shared_ptr<sim::SpiNorFlash> flash(int f) {
        return sim::get<sim::SpiNorFlash>(f == 0 ? "fpga0-flash" : "fpga1-flash");
    }
    std::shared_ptr<sim::SpidevNode> node(int n);

    // The bus is idle: both routing lines high (the c331), FPGA 0's command line low, no
    // flash selected.
    void expectBusIdle();

    std::unique_ptr<fpga_manage> manager;
    fpga_drv* drv = nullptr;
};

// The c331 driver on a started board.
class C331Test : public SpiTest {
protected:
    void SetUp() override;
    void TearDown() override;

    c331_drv chip;
    int fd = -1;
};

std::vector<uint8_t> pattern(size_t n, uint32_t seed);

}  // namespace test
