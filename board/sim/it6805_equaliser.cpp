#include "board/sim/it6805_equaliser.h"

#include <algorithm>

namespace sim {
namespace {

constexpr unsigned kChannelEq = 0x27;  // + channel: bit 7 manual, bits 6..0 value
constexpr uint8_t kManual = 0x80;
constexpr unsigned kRsSelect = 0x36;
constexpr unsigned kChannelSelect = 0x37;
constexpr unsigned kCounter = 0xE9;
constexpr uint8_t kCounting = 0x80;
constexpr uint16_t kValid = 0x8000;
constexpr uint16_t kCountMax = 0x7FFF;
constexpr uint8_t kDfeDefault = 0x40;

int selected(uint8_t bits) {
    return std::min<int>(bits & 0x03, It6805Equaliser::kChannels - 1);
}

}  // namespace

It6805Equaliser::It6805Equaliser() {
    for (auto& channel : dfe_)
        for (auto& readings : channel)
            readings.fill(kDfeDefault);
}

void It6805Equaliser::powerOn() {
    resultValues_.fill(0);
    readings_.fill(0);
    counting_ = false;
}

void It6805Equaliser::setErrors(int channel, Errors errors) {
    defaultErrors_.at(static_cast<size_t>(channel)) = errors;
    errorsByValue_.at(static_cast<size_t>(channel)).clear();
}

void It6805Equaliser::setErrors(int channel, uint8_t eqValue, Errors errors) {
    errorsByValue_.at(static_cast<size_t>(channel))[eqValue & 0x7F] = errors;
}

void It6805Equaliser::setDfe(int channel, int rsIndex, const std::array<uint8_t, 4>& readings) {
    dfe_.at(static_cast<size_t>(channel)).at(static_cast<size_t>(rsIndex)) = readings;
}

void It6805Equaliser::setResultFlags(int channel, uint16_t flags) {
    resultFlags_.at(static_cast<size_t>(channel)) = flags;
}

It6805Equaliser::Errors It6805Equaliser::errorsAt(int channel, uint8_t eqValue) const {
    const auto& byValue = errorsByValue_[static_cast<size_t>(channel)];
    auto it = byValue.find(eqValue);
    return it != byValue.end() ? it->second : defaultErrors_[static_cast<size_t>(channel)];
}

uint8_t It6805Equaliser::value(int channel, const Bank& bank3) const {
    uint8_t reg = bank3[kChannelEq + static_cast<unsigned>(channel)];
    if (reg & kManual)
        return reg & 0x7F;
    return resultValues_[static_cast<size_t>(channel)];
}

uint8_t It6805Equaliser::lockBits(const Bank& bank3) const {
    uint8_t bits = 0;
    for (int c = 0; c < kChannels; ++c)
        if (errorsAt(c, value(c, bank3)))
            bits = static_cast<uint8_t>(bits | (0x08 << c));
    return bits;
}

bool It6805Equaliser::errorsNow(const Bank& bank3) const {
    for (int c = 0; c < kChannels; ++c) {
        Errors e = errorsAt(c, value(c, bank3));
        if (!e || *e > 0)
            return true;
    }
    return false;
}

uint8_t It6805Equaliser::engineStarted(bool tmds) {
    ++engineStarts_;
    if (!tmds)
        return 0;
    resultValues_ = engine_;
    return outcome_;
}

void It6805Equaliser::counterWritten(uint8_t old, uint8_t value, const Bank& bank3, bool counting) {
    bool rose = !(old & kCounting) && (value & kCounting);
    bool fell = (old & kCounting) && !(value & kCounting);
    if (rose)
        counting_ = counting;
    if (!fell)
        return;
    ++measurements_;
    for (int c = 0; c < kChannels; ++c) {
        Errors e = counting_ && !counterDead_ ? errorsAt(c, this->value(c, bank3)) : std::nullopt;
        readings_[static_cast<size_t>(c)] =
            e ? static_cast<uint16_t>(kValid | std::min<uint16_t>(*e, kCountMax)) : 0;
    }
    counting_ = false;
}

std::optional<uint8_t> It6805Equaliser::status(unsigned index, const Bank& bank3) const {
    int channel = selected(static_cast<uint8_t>(bank3[kChannelSelect] >> 6));
    switch (index) {
        case 0x5D:
        case 0x5E:
        case 0x5F:
        case 0x60: {
            unsigned rs = bank3[kRsSelect] & 0x0F;
            if (rs >= kRsIndexes)
                return uint8_t{0};
            return dfe_[static_cast<size_t>(channel)][rs][index - 0x5D];
        }
        case 0x63:
            return static_cast<uint8_t>(resultFlags_[static_cast<size_t>(channel)] & 0xFF);
        case 0x64:
            return static_cast<uint8_t>(resultFlags_[static_cast<size_t>(channel)] >> 8);
        case 0xD5:
        case 0xD6:
        case 0xD7:
            return resultValues_[index - 0xD5];
        case 0xEA:
        case 0xEB: {
            uint16_t reading = readings_[static_cast<size_t>(selected(bank3[kCounter] >> 5))];
            return static_cast<uint8_t>(index == 0xEA ? reading & 0xFF : reading >> 8);
        }
        default:
            return std::nullopt;
    }
}

}  // namespace sim
