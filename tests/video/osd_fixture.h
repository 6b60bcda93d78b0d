// The video fixture with the manager published as the singleton (the overlay file reaches
// it so) and the chip's bank-4 engines at hand: the serial flash, the chip memory, the
// blitter and the palette of the simulated c331.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "board/sim/c331_flash_controller.h"
#include "tests/video/video_fixture.h"

namespace videotest {

class OsdTest : public VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        c331_manage::p_c331_manage = manager.get();
    }

    // Runs fn on the chip's flash controller under the model's lock.
    template <class Fn>
    void engines(Fn fn) {
        ASSERT_TRUE(c331()->with<sim::C331FlashController>(fn));
    }
    std::vector<uint8_t> memory(uint32_t address, uint32_t count) {
        std::vector<uint8_t> out;
        engines([&](sim::C331FlashController& c) { out = c.memory().read(address, count); });
        return out;
    }
    std::vector<uint8_t> flash(uint32_t address, uint32_t count) {
        std::vector<uint8_t> out;
        engines([&](sim::C331FlashController& c) { out = c.flash().read(address, count); });
        return out;
    }
    void loadFlash(uint32_t address, const std::vector<uint8_t>& bytes) {
        engines([&](sim::C331FlashController& c) { c.flash().load(address, bytes); });
    }
    std::vector<sim::C331FlashController::Operation> operations(sim::C331FlashController::Op op) {
        std::vector<sim::C331FlashController::Operation> out;
        engines([&](sim::C331FlashController& c) { out = c.operations(op); });
        return out;
    }
    std::vector<sim::C331Blitter::Blit> blits() {
        std::vector<sim::C331Blitter::Blit> out;
        engines([&](sim::C331FlashController& c) { out = c.blitter().blits(); });
        return out;
    }
    void clearEngineLog() {
        engines([](sim::C331FlashController& c) { c.clearLog(); });
    }

    // A small output for quick drawing: cols x rows tiles of width x height, the active
    // area from 176, 82 (the chip's default timing), and the text defaults loaded for it.
    void smallOutput(int width, int height, int cols, int rows) {
        manager->load_system_param();
        manager->define_param();
        manager->PS_ACTHW = width;
        manager->PS_ACTVW = height;
        manager->PS_PANEL_HSHAPE = cols;
        manager->PS_PANEL_VSHAPE = rows;
        manager->load_char();
    }

    // The values of a multi-byte register field as the driver wrote it, in order: each
    // complete write of addresses address .. address + bytes - 1 of bank.
    std::vector<uint32_t> fieldWrites(uint8_t bank, uint8_t address, int bytes) {
        std::vector<uint32_t> out;
        uint32_t value = 0;
        int next = 0;
        for (const auto& a : c331()->writes()) {
            if (a.bank != bank || a.address < address || a.address >= address + bytes)
                continue;
            if (a.address - address != next) {
                next = 0;
                continue;
            }
            value = next == 0 ? a.value : value | static_cast<uint32_t>(a.value) << (8 * next);
            if (++next == bytes) {
                out.push_back(value);
                next = 0;
            }
        }
        return out;
    }
};

}  // namespace videotest
