#include "board/sim/c331_flash_controller.h"

namespace sim {
namespace {

C331BehaviourRegistration registration([] { return std::make_unique<C331FlashController>(); });

constexpr uint8_t kFlashBank = 0x04;
constexpr uint8_t kBlitBusy = 0x17;
constexpr uint8_t kDataControl = 0x53;
constexpr uint8_t kStatus = 0x54;
constexpr uint8_t kReadStatus = 0x55;

}  // namespace

bool C331FlashController::read(const C331Chip& chip, uint8_t bank, uint8_t address,
                               uint8_t& value) {
    if (bank != kFlashBank)
        return false;
    const uint8_t stored = chip.stored(bank, address);
    switch (address) {
        case kBlitBusy:
            value = busy_ ? (stored | 0x01) : (stored & ~0x01);
            return true;
        case kDataControl:
            value = busy_ ? (stored & ~0x20) | 0x80 : (stored | 0x20) & ~0x80;
            return true;
        case kStatus:
            value = busy_ ? 0x0B : 0x00;
            return true;
        case kReadStatus:
            value = busy_ ? 0x01 : 0x00;
            return true;
        default:
            return false;
    }
}

}  // namespace sim
