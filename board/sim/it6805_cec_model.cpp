#include "board/sim/it6805_cec_model.h"

#include <algorithm>
#include <cstdio>

#include "board/sim/bounded_log.h"

namespace sim {

struct It6805CecModel::Row {
    uint8_t first;
    uint8_t last;
    bool readOnly;
};

namespace {

Registration registration("it6805-cec", [] { return std::make_shared<It6805CecModel>(); });

constexpr unsigned kControl = 0x08;
constexpr uint8_t kEngineOn = 0x01;
constexpr uint8_t kFireArm = 0x08;
constexpr uint8_t kFire = 0x80;
constexpr unsigned kTimingUnit = 0x0C;
constexpr unsigned kTxBuffer = 0x10;
constexpr unsigned kTxLength = 0x23;
constexpr unsigned kMaxFrame = 16;
constexpr unsigned kInterrupts = 0x4C;
constexpr unsigned kFifoHeader = 0x4D;
constexpr unsigned kFifoOpcode = 0x4E;
constexpr unsigned kFifoLength = 0x4F;
constexpr unsigned kOperandPort = 0x50;
constexpr unsigned kRxErrors = 0x51;
constexpr unsigned kRxWaiting = 0x52;
constexpr uint8_t kFifoReset = 0x40;
constexpr unsigned kTxStatus = 0x54;

constexpr uint8_t kIntReceived = 0x04;
constexpr uint8_t kIntSent = 0x08;
constexpr uint8_t kIntFailed = 0x20;
constexpr uint8_t kIntFifoError = 0x40;
constexpr uint8_t kFifoOverflow = 0x04;
constexpr uint8_t kNotAcknowledged = 0x02;

std::string hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// clang-format off
constexpr It6805CecModel::Row kRows[] = {
    {0x06, 0x06, false},
    {0x08, 0x0C, false},
    {0x10, 0x1F, false},
    {0x22, 0x23, false},
    {0x44, 0x44, true},
    {0x4C, 0x4C, false},
    {0x4D, 0x51, true},
    {0x52, 0x52, false},
    {0x53, 0x54, true},
};
// clang-format on

}  // namespace

It6805CecModel::It6805CecModel() {
    std::lock_guard<std::mutex> lock(mutex_);
    powerOn();
}

const It6805CecModel::Row* It6805CecModel::rowOf(unsigned index) {
    for (const Row& row : kRows)
        if (index >= row.first && index <= row.last)
            return &row;
    return nullptr;
}

// Called with the lock held.
void It6805CecModel::powerOn() {
    std::fill(std::begin(regs_), std::end(regs_), 0);
    interrupts_ = fifoError_ = txStatus_ = 0;
    fifo_.clear();
    taken_ = {};
    operandsRead_ = 0;
    pointer_ = 0;
}

void It6805CecModel::setInReset(bool inReset) {
    std::lock_guard<std::mutex> lock(mutex_);
    I2cDevice::setInReset(inReset);
}

bool It6805CecModel::receive(const std::vector<uint8_t>& frame, uint8_t errorFlags) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (inReset() || !(regs_[kControl] & kEngineOn) || frame.empty() || frame.size() > 31)
        return false;
    if (fifo_.size() >= kFifoFrames) {
        fifoError_ |= kFifoOverflow;
        interrupts_ |= kIntFifoError;
        return false;
    }
    fifo_.push_back({frame, static_cast<uint8_t>(errorFlags & 0x60)});
    interrupts_ |= kIntReceived;
    return true;
}

std::vector<std::vector<uint8_t>> It6805CecModel::transmitted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return transmitted_;
}

void It6805CecModel::clearTransmitted() {
    std::lock_guard<std::mutex> lock(mutex_);
    transmitted_.clear();
}

void It6805CecModel::setAcknowledged(bool acknowledged) {
    std::lock_guard<std::mutex> lock(mutex_);
    acknowledged_ = acknowledged;
}

void It6805CecModel::setFifoError(uint8_t bits) {
    std::lock_guard<std::mutex> lock(mutex_);
    fifoError_ |= bits & 0xCC;
    interrupts_ |= kIntFifoError;
}

unsigned It6805CecModel::framesWaiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<unsigned>(fifo_.size());
}

uint8_t It6805CecModel::reg(unsigned index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return index < 256 ? regs_[index] : 0;
}

void It6805CecModel::takeFrameLocked() {
    operandsRead_ = 0;
    if (fifo_.empty()) {
        errorLocked("receive FIFO read with no frame waiting");
        taken_ = {};
        return;
    }
    taken_ = fifo_.front();
    fifo_.pop_front();
}

uint8_t It6805CecModel::readLocked(unsigned index) {
    if (!rowOf(index)) {
        errorLocked("read of register " + hex(index) + " outside the map");
        return 0;
    }
    const std::vector<uint8_t>& bytes = taken_.bytes;
    switch (index) {
        case 0x44:
            return 0;
        case kInterrupts:
            return interrupts_;
        case kFifoHeader:
            takeFrameLocked();
            return bytes.empty() ? 0 : bytes[0];
        case kFifoOpcode:
            return bytes.size() > 1 ? bytes[1] : 0;
        case kFifoLength:
            return static_cast<uint8_t>((bytes.size() & 0x1F) | taken_.flags);
        case kOperandPort: {
            size_t at = 2 + operandsRead_;
            if (at >= bytes.size()) {
                errorLocked("operand read past the received frame");
                return 0;
            }
            ++operandsRead_;
            return bytes[at];
        }
        case kRxErrors:
            return fifoError_;
        case kRxWaiting:
            return static_cast<uint8_t>(std::min<size_t>(fifo_.size(), kFifoFrames));
        case kTxStatus:
            return txStatus_;
        default:
            return regs_[index];
    }
}

void It6805CecModel::writeLocked(unsigned index, uint8_t value) {
    const Row* row = rowOf(index);
    if (!row || row->readOnly) {
        errorLocked("write " + hex(value) + " to " + (row ? "read-only " : "") + "register " +
                    hex(index) + (row ? "" : " outside the map"));
        return;
    }
    uint8_t old = regs_[index];
    regs_[index] = value;
    if (index == kInterrupts) {
        interrupts_ &= static_cast<uint8_t>(~value);
    } else if (index == kRxWaiting && (value & kFifoReset)) {
        fifo_.clear();
        taken_ = {};
        operandsRead_ = 0;
        fifoError_ = 0;
    } else if (index == kControl && !(old & kFire) && (value & kFire) && (value & kFireArm)) {
        fireLocked();
    }
}

void It6805CecModel::fireLocked() {
    if (!(regs_[kControl] & kEngineOn)) {
        errorLocked("transmission while the engine is off");
        return;
    }
    if (regs_[kTimingUnit] == 0) {
        errorLocked("transmission without a timing unit");
        return;
    }
    unsigned length = regs_[kTxLength];
    if (length < 1 || length > kMaxFrame) {
        errorLocked("transmission of " + std::to_string(length) + " bytes");
        return;
    }
    appendBounded(transmitted_,
                  std::vector<uint8_t>(regs_ + kTxBuffer, regs_ + kTxBuffer + length));
    txStatus_ = acknowledged_ ? 0 : kNotAcknowledged;
    interrupts_ |= acknowledged_ ? kIntSent : kIntFailed;
}

void It6805CecModel::errorLocked(const std::string& text) {
    appendBounded(errors_, text, 1000);
}

bool It6805CecModel::received(uint8_t value, bool first, double) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (first) {
        pointer_ = value;
        return true;
    }
    writeLocked(pointer_, value);
    pointer_ = (pointer_ + 1) & 0xFF;
    return true;
}

uint8_t It6805CecModel::sent() {
    std::lock_guard<std::mutex> lock(mutex_);
    uint8_t value = readLocked(pointer_);
    if (pointer_ != kOperandPort)
        pointer_ = (pointer_ + 1) & 0xFF;
    return value;
}

std::vector<std::string> It6805CecModel::protocolErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

void It6805CecModel::clearProtocolErrors() {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.clear();
}

}  // namespace sim
