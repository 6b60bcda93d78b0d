// A board with the FPGA manager's register window mapped, a parameter store and a video
// manager on the c331 model, without the manager's thread: tests drive its passes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/sim/c331_model.h"
#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"
#include "tests/support/sim_test.h"
#include "video/c331_manage.h"

namespace videotest {

class VideoTest : public test::SimTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::shared_ptr<sim::C331Model> c331() { return sim::get<sim::C331Model>("c331"); }

    // The chip brought up as the thread does it, the manager in its applying state and
    // the model's log cleared.
    void bringUp();
    // Edits the live image under the apply lock and raises the request.
    void raise(const std::function<void(RamParaImage&)>& edit, u8 request = 1);
    void cycle() { c331_manage::c331managerdeal(manager.get()); }
    // The LED screen before bring-up: splice mode (image 1376), LED width and height
    // (1378, 1380) and output 1's width and height (1412, 1414).
    void setPanel(u16 splice, u16 width, u16 height, u16 out1Width, u16 out1Height) {
        ParaLock lock;
        RamParaImage& p = store->ram_para;
        p.setU16(1376, splice);
        p.setU16(1378, width);
        p.setU16(1380, height);
        p.setU16(1412, out1Width);
        p.setU16(1414, out1Height);
    }
    // A field of the chip as the model stores it.
    uint32_t chip(uint8_t bank, uint8_t address, int count = 1) {
        return c331()->field(bank, address, count);
    }
    // The reasons the store's update signal carried.
    std::vector<int> reasons;

    std::unique_ptr<fpga_manage> fpga;
    std::unique_ptr<velmosource> inputs;  // not started: its request bytes only
    std::unique_ptr<KrxRamPara> store;
    std::unique_ptr<c331_manage> manager;
};

// Byte field of window w's record: six 26-byte records from image offset 2272.
inline size_t win(int w, size_t field) {
    return 2272 + 26 * static_cast<size_t>(w) + field;
}

// The record a receiver publishes for a CTA-861 timing (interlaced ones count the lines of a
// field): VIC 2, 4, 5, 6, 17, 20; any other VIC gives 1920 x 1080 at 60 Hz (VIC 16).
HDMI_INFO cta861Record(int vic);

// Everything printed to standard output while fn runs.
std::string printed(const std::function<void()>& fn);

}  // namespace videotest
