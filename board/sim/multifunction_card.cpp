#include "board/sim/multifunction_card.h"

#include "board/sim/bounded_log.h"
#include "board/sim/receiving_card.h"

namespace sim {
namespace {

constexpr size_t kOpcode = 9;
constexpr size_t kPayload = 10;
constexpr uint8_t kReadRam = 0x61;
constexpr uint8_t kWriteRegister = 0xA0;
// A read: address, count, two zero bytes and the check byte.
constexpr size_t kReadFrame = 19;
// A register write: register, mask, 0, value and the check byte.
constexpr size_t kRegisterFrame = 15;
constexpr uint8_t kFirstOutputs = 2;  // register 2: outputs 1..4, register 3: 5..8
constexpr uint8_t kOn = 3;
constexpr uint8_t kOff = 1;

constexpr uint32_t kSensorBase = 0x02000000;
constexpr size_t kSensorValid = 49;
constexpr size_t kSensorLevel = 52;
constexpr size_t kPowerAt = 44;

uint32_t u32At(const std::vector<uint8_t>& f, size_t at) {
    return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<uint32_t>(f[at + 3]) << 24;
}

}  // namespace

MultifunctionCard::Frame MultifunctionCard::take(const Frame& request, double nowMs,
                                                 std::string& objection) {
    appendBounded(frames_, request);
    Frame out(request.begin(), request.begin() + kPayload);
    out[0] = request[2];
    out[1] = request[3];
    out[2] = request[0];
    out[3] = request[1];
    out[8] = 0;
    out.push_back(0);  // status
    switch (request[kOpcode]) {
        case kReadRam:
            objection = readRam(request, out);
            break;
        case kWriteRegister:
            objection = writeRegister(request, nowMs);
            break;
        default:
            objection = "multifunction card: opcode " + std::to_string(request[kOpcode]);
            return {};
    }
    if (!objection.empty() || faults.silent)
        return {};
    out.push_back(xorOf(out.data(), out.size()));
    if (faults.badCheck)
        out.back() ^= 0x5A;
    return out;
}

std::string MultifunctionCard::readRam(const Frame& request, Frame& out) const {
    if (request.size() != kReadFrame)
        return "multifunction card: read frame of " + std::to_string(request.size()) + " bytes";
    const uint32_t at = u32At(request, 10);
    const uint32_t n = static_cast<uint32_t>(request[14] | request[15] << 8);
    const std::vector<uint8_t> ram = ram0();
    if (at >= kSensorBase && at - kSensorBase + n <= sensor_.size()) {
        out.insert(out.end(), sensor_.begin() + (at - kSensorBase),
                   sensor_.begin() + (at - kSensorBase + n));
        return {};
    }
    if (at + n <= ram.size()) {
        out.insert(out.end(), ram.begin() + at, ram.begin() + at + n);
        return {};
    }
    return "multifunction card: read of " + std::to_string(n) + " bytes at " + std::to_string(at);
}

std::string MultifunctionCard::writeRegister(const Frame& request, double nowMs) {
    if (request.size() != kRegisterFrame)
        return "multifunction card: register frame of " + std::to_string(request.size()) + " bytes";
    const uint8_t reg = request[10];
    const uint8_t mask = request[11];
    const uint8_t value = request[13];
    if (reg != kFirstOutputs && reg != kFirstOutputs + 1)
        return "multifunction card: write to register " + std::to_string(reg);
    for (int k = 0; k < 4; ++k) {
        if (((mask >> (2 * k)) & 3) != 3)
            continue;
        const int output = (reg - kFirstOutputs) * 4 + k + 1;
        const uint8_t field = (value >> (2 * k)) & 3;
        if (field != kOn && field != kOff)
            return "multifunction card: output " + std::to_string(output) + " given " +
                   std::to_string(field);
        outputs_[output - 1] = field == kOn;
        appendBounded(switches_, Switch{nowMs, output, field == kOn});
    }
    return {};
}

void MultifunctionCard::setLight(bool reading, uint8_t level) {
    sensor_[kSensorValid] = reading ? 0xFF : 0x00;
    sensor_[kSensorLevel] = level;
}

std::vector<uint8_t> MultifunctionCard::ram0() const {
    std::vector<uint8_t> ram(ram0_.begin(), ram0_.end());
    bool on = false;
    for (bool output : outputs_)
        on = on || output;
    ram[kPowerAt] = on ? 1 : 0;
    return ram;
}

void MultifunctionCard::setRam0(size_t at, uint8_t value) {
    if (at < ram0_.size())
        ram0_[at] = value;
}

bool MultifunctionCard::output(int n) const {
    return n >= 1 && n <= kOutputs && outputs_[n - 1];
}

void MultifunctionCard::setOutputs(bool on) {
    outputs_.fill(on);
}

}  // namespace sim
