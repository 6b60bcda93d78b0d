// A started FPGA manager on a fresh board, as the program has it once the video processor
// opened the start gate and the input manager released FPGA 0: the parameter store
// loaded, the links and the register window open, the controller initialised, the
// 0xD0 device set up. Tests drive the FPGA pass directly with G_timeTicks set by hand.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "board/sim/fpga_model.h"
#include "board/sim/sim.h"
#include "board/sim/soc_window.h"
#include "board/sim/spi_bus.h"
#include "board/sim/spi_nor_flash.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"
#include "tests/support/sim_test.h"

namespace fpgatest {

using Bytes = std::vector<uint8_t>;

class FpgaTest : public test::SimTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The input manager's part: 0xD0 device set up, FPGA 0's reset line released.
    void inputsReady();
    // Power cycle: a new board on the same root (the flashes keep their contents) and a
    // new manager, FPGA 0 released again.
    void restart();
    // The manager as start-up leaves it before its thread: links, window, controller.
    void startManager();
    // n passes, each after `step` ticks.
    void pass(int n = 1, u32 step = 1);
    // Passes one tick apart until pred() holds; false when maxPasses ran out first.
    template <class Pred>
    bool runUntil(Pred pred, int maxPasses = 5000) {
        for (int i = 0; i < maxPasses; ++i) {
            if (pred())
                return true;
            pass();
        }
        return pred();
    }
    // Runs the bring-up and the output start to output running.
    bool bringUp() {
        return runUntil([this] { return manager->get_fpga_status(); });
    }

    std::shared_ptr<sim::FpgaModel> fpga(int f = 0) {
        return sim::get<sim::FpgaModel>(f == 0 ? "fpga0" : "fpga1");
    }
    std::shared_ptr<sim::SpiNorFlash> flash() { return sim::get<sim::SpiNorFlash>("fpga0-flash"); }
    std::shared_ptr<sim::SpiBus> bus() { return sim::get<sim::SpiBus>("spi-bus"); }
    std::shared_ptr<sim::SocWindow> window() { return sim::get<sim::SocWindow>("/dev/mem"); }
    u8 shadow(u8 reg, u8 f = 0) const { return fpga_manage::MCU_REG_func[f][reg].load(); }

    // Register writes the FPGA received, in order: {register, mask, value}.
    struct RegWrite {
        uint8_t reg, mask, value;
        bool operator==(const RegWrite& o) const {
            return reg == o.reg && mask == o.mask && value == o.value;
        }
    };
    std::vector<RegWrite> regWrites(int reg = -1);
    // Messages delivered to FPGA 0 so far.
    uint64_t fpgaMessages() { return bus()->counters(sim::SpiTarget::Fpga0).messages; }

    // Stores to FPGA 0's reset line with the tick they were made at.
    struct PadStore {
        uint16_t value;
        u32 tick;
    };
    std::vector<PadStore> resetStores();

    std::unique_ptr<KrxRamPara> store;
    std::unique_ptr<fpga_manage> manager;
    std::unique_ptr<velmosource> source;

private:
    std::mutex padMutex;
    std::vector<PadStore> pads;
};

}  // namespace fpgatest
