#include "board/sim/c331_vbo_receivers.h"

#include <QJsonArray>

namespace sim {
namespace {

C331BehaviourRegistration registration([] { return std::make_unique<C331VboReceivers>(); });

constexpr uint8_t kMeasureBank = 0xAE;
constexpr uint8_t kLockBank = 0xB2;
constexpr uint8_t kLockAddress = 0x63;

}  // namespace

C331VboReceivers::C331VboReceivers() {
    QJsonArray lock = scene().value("c331").toObject().value("vbyoneLock").toArray();
    for (int rx = 0; rx < 2 && rx < lock.size(); ++rx)
        lock_[rx] = lock.at(rx).toBool();
}

bool C331VboReceivers::unlockedMeasure(uint8_t address) const {
    for (int rx = 0; rx < 2; ++rx) {
        if (lock_[rx])
            continue;
        int fhm = 0x40 + 8 * rx;
        int fvm = 0x5C + 0x0C * rx;
        if ((address >= fhm && address < fhm + 8) || (address >= fvm && address < fvm + 12))
            return true;
    }
    return false;
}

bool C331VboReceivers::read(const C331Chip&, uint8_t bank, uint8_t address, uint8_t& value) {
    if (bank == kLockBank && address == kLockAddress) {
        value = static_cast<uint8_t>((lock_[0] ? 0x20 : 0) | (lock_[1] ? 0x80 : 0));
        return true;
    }
    if (bank == kMeasureBank && unlockedMeasure(address)) {
        value = 0xFF;
        return true;
    }
    return false;
}

void C331VboReceivers::setLock(int rx, bool locked) {
    if (rx == 0 || rx == 1)
        lock_[rx] = locked;
}

}  // namespace sim
