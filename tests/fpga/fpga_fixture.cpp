#include "tests/fpga/fpga_fixture.h"

#include <cstring>

#include "board/board.h"
#include "fpga/send_para.h"
#include "inputs/velmosource.h"
#include "video/c331_manage.h"

namespace fpgatest {

void FpgaTest::SetUp() {
    SimTest::SetUp();
    sim::setSleepDivisor(1000);
    g_debugSwitch = 0;
    G_timeTicks = 10000;
    std::memset(g_change, 0, sizeof g_change);
    g_set_led_para = 0;
    g_set_led_setup = 0;
    g_freeze_out = 0;
    pc_cmd_valid = 0;
    g_usb_grade = 0;
    g_fpga_c331_start = 0;
    c331_manage::para_update = 0;
    g_force_bkcolor = 1;
    ScreenState = 1;
    send_para_clear();
    std::memset(fpga_manage::MCU_RAM_CMD, 0, sizeof fpga_manage::MCU_RAM_CMD);
    std::memset(fpga_manage::MCU_RAM_EXTEND, 0, sizeof fpga_manage::MCU_RAM_EXTEND);

    store = std::make_unique<KrxRamPara>();
    store->load();
    KrxRamPara::p_krxrampara_config = store.get();

    for (int f : {0, 1})
        fpga(f)->setConfigDelayMs(0);
    window()->addListener([this](uint32_t offset, uint16_t value) {
        if (offset != 0x207858)  // FPGA 0's reset pad
            return;
        std::lock_guard<std::mutex> lock(padMutex);
        pads.push_back({value, G_timeTicks.load()});
    });

    startManager();
    inputsReady();
}

void FpgaTest::startManager() {
    manager = std::make_unique<fpga_manage>();
    fpga_manage::p_fpga_manage = manager.get();
    manager->open_spi_links();
    ASSERT_EQ(manager->map_gpio_window(), 0);
    manager->softinit();
}

void FpgaTest::restart() {
    fpga_manage::p_fpga_manage = nullptr;
    manager.reset();
    sim::reset();
    sim::setSleepDivisor(1000);
    for (int f : {0, 1})
        fpga(f)->setConfigDelayMs(0);
    startManager();
    board::mmio_write16(manager->fpga_rst_gpio[0], 16);
}

void FpgaTest::TearDown() {
    fpga_manage::p_fpga_manage = nullptr;
    manager.reset();
    source.reset();
    velmosource::p_velmo_source = nullptr;
    KrxRamPara::p_krxrampara_config = nullptr;
    store.reset();
    SimTest::TearDown();
}

void FpgaTest::inputsReady() {
    source = std::make_unique<velmosource>();
    velmosource::p_velmo_source = source.get();
    source->d0_step[0] = 2;
    board::mmio_write16(manager->fpga_rst_gpio[0], 16);
}

void FpgaTest::pass(int n, u32 step) {
    for (int i = 0; i < n; ++i) {
        G_timeTicks += step;
        manager->fpga_manage_deal();
    }
}

std::vector<FpgaTest::RegWrite> FpgaTest::regWrites(int reg) {
    std::vector<RegWrite> out;
    for (const auto& a : fpga()->log())
        if (a.op == 2 && !a.read && (reg < 0 || a.address == reg))
            out.push_back({static_cast<uint8_t>(a.address), a.mask, a.data[0]});
    return out;
}

std::vector<FpgaTest::PadStore> FpgaTest::resetStores() {
    std::lock_guard<std::mutex> lock(padMutex);
    return pads;
}

}  // namespace fpgatest
