// The IT6805's port-0 equaliser and bit-error counter, as a part of its receiver block
// (It6805Model holds one and passes it its bank-3 registers).
//
// What the chip does:
// - each TMDS data channel decodes with an EQ value: bank 3 0x27 + channel holds a manual
//   value in bits 6..0 when its bit 7 is set; with bit 7 clear the channel uses what the
//   EQ engine last settled on (read back in 0xD5 + channel);
// - a rising bank 3 0x22 bit 2 runs the EQ engine: while the input carries TMDS it
//   settles on its values and reports in bank 0 0x07 (bit 4 done, 5 SAR done, 6 timeout,
//   7 fail); without TMDS it never reports;
// - the bit-error counter counts while bank 3 0xE9 bit 7 is set and bank 0 0x3B bit 3
//   enables it; when bit 7 falls each channel's count is latched. 0xEA/0xEB read the
//   channel selected by 0xE9 bits 6..5: the low byte, and bit 7 valid with the count's
//   bits 14..8. A channel that does not lock at its EQ value gives no valid count;
// - the DFE measurement of the channel selected by bank 3 0x37 bits 7..6 for the RS
//   index in 0x36 bits 3..0 reads in 0x5D..0x60; that channel's SAR result flags in
//   0x63/0x64 (0x3FFF: no result).
//
// Scene side (the script): the engine's report and values, the errors each channel makes
// at each EQ value, the DFE readings and the result flags, and a counter that latches no
// valid count. By default the engine reports done with 0x0F on every channel and every
// channel decodes without errors.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>

namespace sim {

class It6805Equaliser {
public:
    static constexpr int kChannels = 3;
    static constexpr int kRsIndexes = 14;
    using Bank = std::array<uint8_t, 256>;
    // Errors of a channel in one measurement; nullopt when the channel does not lock.
    using Errors = std::optional<uint16_t>;

    It6805Equaliser();

    // Script.
    void setOutcome(uint8_t interruptBits) { outcome_ = interruptBits; }
    void setEngineValues(const std::array<uint8_t, kChannels>& values) { engine_ = values; }
    void setErrors(int channel, Errors errors);
    void setErrors(int channel, uint8_t eqValue, Errors errors);
    void setDfe(int channel, int rsIndex, const std::array<uint8_t, 4>& readings);
    void setResultFlags(int channel, uint16_t flags);
    void setCounterDead(bool dead) { counterDead_ = dead; }

    // Leaving reset: the engine's values and the latched counts are gone.
    void powerOn();

    // The EQ value a channel decodes with now.
    uint8_t value(int channel, const Bank& bank3) const;
    // Bits 5..3 of bank 0 0x14: the channels locked at their EQ values.
    uint8_t lockBits(const Bank& bank3) const;
    // Some channel makes errors (or does not lock) at its EQ value.
    bool errorsNow(const Bank& bank3) const;

    // The engine was started; the interrupt bits it raises.
    uint8_t engineStarted(bool tmds);
    // Bank 3 0xE9 was written.
    void counterWritten(uint8_t old, uint8_t value, const Bank& bank3, bool counting);
    // Bank 3 status registers of this block; nullopt for other registers.
    std::optional<uint8_t> status(unsigned index, const Bank& bank3) const;

    unsigned engineStarts() const { return engineStarts_; }
    unsigned measurements() const { return measurements_; }

private:
    Errors errorsAt(int channel, uint8_t eqValue) const;

    uint8_t outcome_ = 0x10;
    std::array<uint8_t, kChannels> engine_{0x0F, 0x0F, 0x0F};
    std::array<Errors, kChannels> defaultErrors_{uint16_t{0}, uint16_t{0}, uint16_t{0}};
    std::array<std::map<uint8_t, Errors>, kChannels> errorsByValue_;
    std::array<std::array<std::array<uint8_t, 4>, kRsIndexes>, kChannels> dfe_{};
    std::array<uint16_t, kChannels> resultFlags_{};
    std::array<uint8_t, kChannels> resultValues_{};  // what 0xD5.. read
    std::array<uint16_t, kChannels> readings_{};     // latched counts, bit 15 valid
    bool counting_ = false;
    bool counterDead_ = false;
    unsigned engineStarts_ = 0;
    unsigned measurements_ = 0;
};

}  // namespace sim
