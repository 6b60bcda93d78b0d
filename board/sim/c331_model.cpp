#include "board/sim/c331_model.h"
#include "board/sim/bounded_log.h"

#include <QJsonArray>
#include <cstdio>

namespace sim {
namespace {

Registration registration("c331", [] { return std::make_shared<C331Model>(); });

constexpr size_t kBankSize = 128;
// A running program polls for ever; the log keeps the most recent accesses.

constexpr uint8_t kSyncBank = 0x05;
constexpr uint8_t kInputArm = 0x08;
constexpr uint8_t kOutputArm = 0x09;
constexpr uint8_t kInputSync = 0x22;
constexpr uint8_t kOutputSync = 0x23;
constexpr uint8_t kInputStatusBank = 0xA8;
constexpr uint8_t kInputStatusFirst = 0x3E;
constexpr uint8_t kFieldBank = 0xAB;
constexpr uint8_t kFieldFirst = 0x47;
constexpr uint8_t kFieldLast = 0x4E;
constexpr uint8_t kMeasureBank = 0xAE;
constexpr uint8_t kLockAddress = 0x63;
constexpr uint8_t kFlashBank = 0x04;
constexpr uint8_t kBlitBusy = 0x17;
constexpr uint8_t kFlashDataCtl = 0x53;
constexpr uint8_t kFlashStatus = 0x54;
constexpr uint8_t kFlashRdsr = 0x55;

size_t at(uint8_t bank, uint8_t address) {
    return bank * kBankSize + (address & 0x7F);
}

}  // namespace

C331Model::C331Model() : regs_(256 * kBankSize, 0), epoch_(Clock::now()) {
    QJsonObject c331 = scene().value("c331").toObject();
    regs_[at(kIdBank, kIdAddress)] = static_cast<uint8_t>(c331.value("id").toInt(0x24));
    frameHz_ = c331.value("frameHz").toDouble(60);
    QJsonArray lock = c331.value("vbyoneLock").toArray();
    for (int rx = 0; rx < 2 && rx < lock.size(); ++rx)
        vboLock_[rx] = lock.at(rx).toBool();
}

uint64_t C331Model::frameLocked() const {
    double seconds = std::chrono::duration<double>(Clock::now() - epoch_).count();
    return frameBase_ + static_cast<uint64_t>(seconds * frameHz_);
}

uint8_t C331Model::syncBits(int which) const {
    uint64_t now = frameLocked();
    uint8_t bits = 0;
    for (int ch = 0; ch < 8; ++ch)
        if (armed_[which][ch] && now > armFrame_[which][ch])
            bits |= static_cast<uint8_t>(1u << ch);
    return bits;
}

// A lane measure of an unlocked V-by-One receiver.
bool C331Model::vboMeasure(uint8_t address) const {
    for (int rx = 0; rx < 2; ++rx) {
        if (vboLock_[rx])
            continue;
        uint8_t fhm = static_cast<uint8_t>(0x40 + 8 * rx);
        uint8_t fvm = static_cast<uint8_t>(0x5C + 0x0C * rx);
        if ((address >= fhm && address < fhm + 8) || (address >= fvm && address < fvm + 12))
            return true;
    }
    return false;
}

uint8_t C331Model::readLocked(uint8_t address) const {
    if (address == 0)
        return bank_;
    uint8_t stored = regs_[at(bank_, address)];
    switch (bank_) {
        case kSyncBank:
            if (address == kInputSync)
                return syncBits(0);
            if (address == kOutputSync)
                return syncBits(1);
            break;
        case kInputStatusBank:
            if (address >= kInputStatusFirst && (address - kInputStatusFirst) % 5 == 0) {
                int ch = (address - kInputStatusFirst) / 5;
                if (ch < 8 && (syncBits(0) >> ch & 1))
                    return 0xFF;
            }
            break;
        case kFieldBank:
            if (address >= kFieldFirst && address <= kFieldLast) {
                uint8_t phase = frameLocked() & 3;
                return static_cast<uint8_t>(phase | phase << 2);
            }
            break;
        case kMeasureBank:
            if (vboMeasure(address))
                return 0xFF;
            break;
        case kIdBank:
            if (address == kLockAddress)
                return static_cast<uint8_t>((vboLock_[0] ? 0x20 : 0) | (vboLock_[1] ? 0x80 : 0));
            break;
        case kFlashBank:
            if (address == kBlitBusy)
                return flashBusy_ ? (stored | 0x01) : (stored & ~0x01);
            if (address == kFlashDataCtl)
                return flashBusy_ ? (stored & ~0x20) | 0x80 : (stored | 0x20) & ~0x80;
            if (address == kFlashStatus)
                return flashBusy_ ? 0x0B : 0x00;
            if (address == kFlashRdsr)
                return flashBusy_ ? 0x01 : 0x00;
            break;
        default:
            break;
    }
    return stored;
}

void C331Model::arm(uint8_t address, uint8_t mask) {
    int which = address == kInputArm ? 0 : 1;
    uint64_t now = frameLocked();
    for (int ch = 0; ch < 8; ++ch) {
        bool on = mask >> ch & 1;
        if (on && !armed_[which][ch])
            armFrame_[which][ch] = now;
        armed_[which][ch] = on;
    }
}

void C331Model::writeLocked(uint8_t address, uint8_t value) {
    if (address == 0) {
        bank_ = value;
        return;
    }
    if (bank_ == kIdBank && address == kIdAddress)
        return;
    regs_[at(bank_, address)] = value;
    if (bank_ == kSyncBank && (address == kInputArm || address == kOutputArm))
        arm(address, value);
}

void C331Model::transfer(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx) {
    // The board clock takes the registry's lock: read it before taking this model's.
    const double time = nowMs();
    std::lock_guard<std::mutex> lock(mutex_);
    if (tx.size() != 2) {
        char what[64];
        std::snprintf(what, sizeof what, "message of %zu bytes", tx.size());
        errors_.push_back(what);
        return;
    }
    bool write = tx[0] & 0x80;
    uint8_t address = tx[0] & 0x7F;
    if (!write) {
        rx[0] = 0x00;
        rx[1] = readLocked(address);
        appendBounded(log_, Access{order_++, false, bank_, address, rx[1], time});
        return;
    }
    writeLocked(address, tx[1]);
    appendBounded(log_, Access{order_++, true, bank_, address, tx[1], time});
}

uint8_t C331Model::reg(uint8_t bank, uint8_t address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return address == 0 ? bank_ : regs_[at(bank, address)];
}

uint32_t C331Model::field(uint8_t bank, uint8_t address, int count) const {
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t value = 0;
    for (int i = 0; i < count && i < 4; ++i)
        value |= static_cast<uint32_t>(regs_[at(bank, static_cast<uint8_t>(address + i))])
                 << (8 * i);
    return value;
}

void C331Model::setReg(uint8_t bank, uint8_t address, uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    regs_[at(bank, address)] = value;
}

uint8_t C331Model::bank() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bank_;
}

void C331Model::setFrameRate(double hz) {
    std::lock_guard<std::mutex> lock(mutex_);
    frameBase_ = frameLocked();
    epoch_ = Clock::now();
    frameHz_ = hz < 0 ? 0 : hz;
}

void C331Model::setVboLock(int rx, bool locked) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (rx == 0 || rx == 1)
        vboLock_[rx] = locked;
}

void C331Model::setFlashBusy(bool busy) {
    std::lock_guard<std::mutex> lock(mutex_);
    flashBusy_ = busy;
}

uint64_t C331Model::frame() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frameLocked();
}

std::vector<C331Model::Access> C331Model::log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

std::vector<C331Model::Access> C331Model::writes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Access> out;
    for (const Access& a : log_)
        if (a.write)
            out.push_back(a);
    return out;
}

std::vector<std::string> C331Model::protocolErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

void C331Model::clearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
    errors_.clear();
}

}  // namespace sim
