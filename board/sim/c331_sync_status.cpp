#include "board/sim/c331_sync_status.h"

namespace sim {
namespace {

C331BehaviourRegistration registration([] { return std::make_unique<C331SyncStatus>(); });

constexpr uint8_t kSyncBank = 0x05;
constexpr uint8_t kInputArm = 0x08;
constexpr uint8_t kOutputArm = 0x09;
constexpr uint8_t kInputSync = 0x22;
constexpr uint8_t kOutputSync = 0x23;
constexpr uint8_t kInputStatusBank = 0xA8;
constexpr uint8_t kInputStatusFirst = 0x3E;
constexpr int kInputStatusStep = 5;
constexpr uint8_t kFieldBank = 0xAB;
constexpr uint8_t kFieldFirst = 0x47;
constexpr uint8_t kFieldLast = 0x4E;

}  // namespace

uint8_t C331SyncStatus::syncBits(const C331Chip& chip, int which) const {
    if (which == 1 && outputLost_)
        return 0;
    uint64_t now = chip.frame();
    uint8_t bits = 0;
    for (int ch = 0; ch < 8; ++ch)
        if (armed_[which][ch] && now > armFrame_[which][ch])
            bits |= static_cast<uint8_t>(1u << ch);
    return bits;
}

bool C331SyncStatus::read(const C331Chip& chip, uint8_t bank, uint8_t address, uint8_t& value) {
    if (bank == kSyncBank && (address == kInputSync || address == kOutputSync)) {
        value = syncBits(chip, address == kInputSync ? 0 : 1);
        return true;
    }
    if (bank == kInputStatusBank && address >= kInputStatusFirst &&
        (address - kInputStatusFirst) % kInputStatusStep == 0) {
        int ch = (address - kInputStatusFirst) / kInputStatusStep;
        if (ch < 8 && (syncBits(chip, 0) >> ch & 1)) {
            value = 0xFF;
            return true;
        }
        return false;
    }
    if (bank == kFieldBank && address >= kFieldFirst && address <= kFieldLast) {
        const int ch = address - kFieldFirst;
        const uint64_t frame = chip.frame();
        int skew = 0;
        if (skewReads_[ch] != 0) {
            skew = skew_[ch];
            if (skewReads_[ch] > 0)
                --skewReads_[ch];
        }
        if (outputLost_ && !lostFrameKnown_) {
            outputLostFrame_ = frame;
            lostFrameKnown_ = true;
        }
        const uint8_t output = (outputLost_ ? outputLostFrame_ : frame) & 3;
        const uint8_t input = (frame + static_cast<uint64_t>(skew & 3)) & 3;
        value = static_cast<uint8_t>(output | input << 2);
        return true;
    }
    return false;
}

void C331SyncStatus::skewInputField(int ich, int fields, int reads) {
    if (ich < 0 || ich >= kChannels)
        return;
    skew_[ich] = fields;
    skewReads_[ich] = reads;
}

void C331SyncStatus::loseOutputSync(bool lost) {
    outputLost_ = lost;
    lostFrameKnown_ = false;
}

void C331SyncStatus::written(C331Chip& chip, uint8_t bank, uint8_t address, uint8_t value) {
    if (bank != kSyncBank || (address != kInputArm && address != kOutputArm))
        return;
    int which = address == kInputArm ? 0 : 1;
    uint64_t now = chip.frame();
    for (int ch = 0; ch < 8; ++ch) {
        bool on = value >> ch & 1;
        if (on && !armed_[which][ch]) {
            armFrame_[which][ch] = now;
            if (which == 1)
                ++outputArms_;
        }
        armed_[which][ch] = on;
    }
}

}  // namespace sim
