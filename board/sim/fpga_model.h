// An output FPGA as its SPI link sees it: a command word, then a data phase.
//
// While the FPGA's command line is high a message must be the 4-byte command word, least
// significant byte first: bit 0 read, bits 1..4 the command (1 RAM, 2 register), bits
// 8..15 the RAM block, bits 16..27 the RAM byte address (register access: bits 16..23
// the register number, bits 24..31 the write mask). The next message, sent with the line
// low, is the data phase of that command: one byte for a register (a write changes only
// the masked bits), any length for a RAM block (4096 bytes per block; the address wraps
// inside the block). A command word of another length, a command that is neither 1 nor
// 2, a command word that replaces one whose data never came, or data without a command
// is a protocol error and changes nothing.
//
// Registers and RAM blocks start zero and read back what was written.
//
// Scene: "fpga": [{"registers": {"31": 37, ...}}, {...}] sets registers of FPGA 0 and 1.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "board/sim/sim.h"

namespace sim {

class FpgaModel : public Part {
public:
    static constexpr uint32_t kBlockSize = 4096;

    struct Access {
        double timeMs;
        std::array<uint8_t, 4> command;  // the command word as it came
        bool read;
        uint8_t op;  // 1 RAM, 2 register
        uint8_t block;
        uint16_t address;  // RAM address or register number
        uint8_t mask;
        std::vector<uint8_t> data;  // written, or returned
    };

    explicit FpgaModel(int index);

    void transfer(bool commandLine, const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx);

    uint8_t reg(uint8_t number) const;
    void setReg(uint8_t number, uint8_t value);
    std::vector<uint8_t> ram(uint8_t block, uint32_t address, uint32_t count) const;
    void setRam(uint8_t block, uint32_t address, const std::vector<uint8_t>& bytes);

    std::vector<Access> log() const;
    std::vector<std::string> protocolErrors() const;
    void clearLog();

private:
    struct Pending {
        std::array<uint8_t, 4> bytes;
        bool read;
        uint8_t op, block, mask;
        uint16_t address;
    };

    void command(const std::vector<uint8_t>& tx);
    void data(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx);
    std::vector<uint8_t>& block(uint8_t number);
    void error(const std::string& what);

    const int index_;
    mutable std::mutex mutex_;
    std::array<uint8_t, 256> regs_{};
    std::map<uint8_t, std::vector<uint8_t>> blocks_;
    bool pending_ = false;
    Pending command_{};
    std::vector<Access> log_;
    std::vector<std::string> errors_;
};

}  // namespace sim
