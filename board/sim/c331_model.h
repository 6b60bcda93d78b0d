// The c331 video processor as its SPI port sees it.
//
// 256 banks of 128 byte registers. Every access is one 2-byte message: byte 0 is the
// register address with bit 7 set for a write, byte 1 the data (a read returns the
// register in the second byte). Address 0 of every bank is the bank register: a write
// there selects the bank of the following accesses, a read returns it. The identity
// register (bank 0xB2, address 0x08) is read-only; every other register reads back what
// was written. A message of another length is a protocol error and changes nothing.
//
// Scene: "c331": {"id": 36} sets the identity register (default 0x24).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "board/sim/sim.h"

namespace sim {

class C331Model : public Part {
public:
    static constexpr uint8_t kIdBank = 0xB2;
    static constexpr uint8_t kIdAddress = 0x08;

    struct Access {
        uint64_t order;
        bool write;
        uint8_t bank;  // the bank in effect; for a bank select, the bank selected
        uint8_t address;
        uint8_t value;  // written, or returned
    };

    C331Model();

    void transfer(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx);

    uint8_t reg(uint8_t bank, uint8_t address) const;
    void setReg(uint8_t bank, uint8_t address, uint8_t value);
    uint8_t bank() const;

    std::vector<Access> log() const;
    std::vector<Access> writes() const;  // the log without reads
    std::vector<std::string> protocolErrors() const;
    void clearLog();

private:
    mutable std::mutex mutex_;
    std::vector<uint8_t> regs_;
    uint8_t bank_ = 0;
    uint64_t order_ = 0;
    std::vector<Access> log_;
    std::vector<std::string> errors_;
};

}  // namespace sim
