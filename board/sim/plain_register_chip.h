// A chip on the I2C bus that only holds registers: a first written byte sets the register
// pointer, which advances with every data byte read or written. It knows its register map:
// an access outside it is a protocol error (and still acknowledged, as an undocumented
// register would be); read-only registers (identification) ignore writes.
//
// The board has three: the SDI card's IT66121 transmitter (0x98, identity 0x54 0x49 at
// registers 0 and 1), the SiI9022 transmitter (0x76, TPI registers) and the CDCE913 clock
// synthesizer (0xCA). The program carries drivers for them but starts none.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "board/sim/i2c_device.h"

namespace sim {

class PlainRegisterChip : public I2cDevice {
public:
    struct Range {
        uint8_t first;
        uint8_t last;
        bool readOnly;
    };

    PlainRegisterChip(std::string name, std::vector<Range> map,
                      std::vector<std::pair<uint8_t, uint8_t>> powerOnValues = {});

    static std::shared_ptr<PlainRegisterChip> it66121();
    static std::shared_ptr<PlainRegisterChip> sii9022();
    static std::shared_ptr<PlainRegisterChip> cdce913();

    const std::string& name() const { return name_; }
    uint8_t reg(unsigned index) const;
    void setReg(unsigned index, uint8_t value);
    // Every data byte written, as (register, value), in order.
    std::vector<std::pair<uint8_t, uint8_t>> writes() const;
    void clearWrites();
    std::vector<std::string> protocolErrors() const;
    void clearProtocolErrors();

protected:
    void powerOn() override;
    bool received(uint8_t value, bool first, double nowMs) override;
    uint8_t sent() override;

private:
    const Range* rangeOf(unsigned index) const;
    void errorLocked(const std::string& text);

    std::string name_;
    std::vector<Range> map_;
    std::vector<std::pair<uint8_t, uint8_t>> powerOn_;
    mutable std::mutex mutex_;
    uint8_t regs_[256] = {};
    unsigned pointer_ = 0;
    std::vector<std::pair<uint8_t, uint8_t>> writes_;
    std::vector<std::string> errors_;
};

}  // namespace sim
