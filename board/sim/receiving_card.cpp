#include "board/sim/receiving_card.h"

#include <algorithm>
#include <string>

#include "board/sim/bounded_log.h"

namespace sim {
namespace {

constexpr size_t kOpcode = 9;
constexpr size_t kPayload = 10;
constexpr uint8_t kWriteRam = 0x60;
constexpr uint8_t kReadRam = 0x61;
constexpr uint8_t kSave = 0x81;
constexpr uint8_t kWriteRegister = 0xA0;
constexpr uint8_t kMapping[3] = {0x03, 0x0F, 0x01};
// A RAM write: address, length, two zero bytes, then the data.
constexpr size_t kRamData = 18;

uint16_t u16At(const std::vector<uint8_t>& f, size_t at) {
    return static_cast<uint16_t>(f[at] | f[at + 1] << 8);
}

uint32_t u32At(const std::vector<uint8_t>& f, size_t at) {
    return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<uint32_t>(f[at + 3]) << 24;
}

}  // namespace

uint8_t xorOf(const uint8_t* bytes, size_t n) {
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i)
        x ^= bytes[i];
    return x;
}

ReceivingCard::ReceivingCard(int port, int index) : port_(port), index_(index) {}

uint16_t ReceivingCard::address() const {
    return static_cast<uint16_t>((port_ & 3) << 12 | index_);
}

std::string ReceivingCard::take(const Frame& frame) {
    appendBounded(frames_, frame);
    const uint8_t opcode = frame[kOpcode];
    const Frame payload(frame.begin() + kPayload, frame.end() - 1);
    switch (opcode) {
        case kWriteRam: {
            if (frame.size() < kRamData + 1)
                return "RAM write of " + std::to_string(frame.size()) + " bytes";
            const uint32_t at = u32At(frame, 10);
            const uint16_t n = u16At(frame, 14);
            if (kRamData + n + 1 != frame.size())
                return "RAM write of " + std::to_string(n) + " bytes in a frame of " +
                       std::to_string(frame.size());
            ram_.write(at, frame.data() + kRamData, n);
            return {};
        }
        case kReadRam:
            return {};
        case kSave:
            flash_ = ram_;
            ++saves_;
            return {};
        case kWriteRegister:
            appendBounded(registers_, payload);
            if (payload.size() >= 4 && std::equal(kMapping, kMapping + 3, payload.begin()))
                mapping_ = payload[3];
            return {};
        default:
            appendBounded(operations_, Frame(frame.begin() + kOpcode, frame.end() - 1));
            return {};
    }
}

ReceivingCard::Frame ReceivingCard::answer(const Frame& request) const {
    Frame out(request.begin(), request.begin() + kPayload);
    out[0] = request[2];
    out[1] = request[3];
    out[8] = 0;
    out.push_back(0);  // status
    if (request[kOpcode] == kReadRam && request.size() >= 17) {
        const uint32_t at = u32At(request, 10);
        for (uint8_t b : ram(at, u16At(request, 14)))
            out.push_back(b);
    }
    out.push_back(0);  // check byte
    seal(out);
    return out;
}

void ReceivingCard::seal(Frame& answer) const {
    answer[2] = static_cast<uint8_t>(address());
    answer[3] = static_cast<uint8_t>(address() >> 8);
    const size_t last = answer.size() - 1;
    answer[last] = xorOf(answer.data(), last);
    if (faults.badCheck)
        answer[last] ^= 0x5A;
}

std::vector<uint8_t> ReceivingCard::ram(uint32_t address, uint32_t count) const {
    return ram_.read(address, count);
}

std::vector<uint8_t> ReceivingCard::flash(uint32_t address, uint32_t count) const {
    if (!saves_)
        return {};
    return flash_.read(address, count);
}

}  // namespace sim
