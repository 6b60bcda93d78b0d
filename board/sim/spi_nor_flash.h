// A 25-series serial NOR flash of 8 MiB: the configuration flash of one FPGA.
//
// One spidev message is one command (the chip select frames it):
//   06 write enable, 04 write disable
//   05 status: every byte after the opcode returns the status (bit 0 busy, bit 1 WEL)
//   20 / 52 / D8 A2 A1 A0: erase the 4 / 32 / 64 KiB block that holds the address
//   02 A2 A1 A0 data: page program; only clears bits, wraps inside its 256-byte page
//   0B A2 A1 A0 dummy: fast read from byte 5 on; 03 A2 A1 A0: read from byte 4 on
//   4B and four dummy bytes: the 8-byte unique id
// Erase and program need the write enable latch, clear it, and leave the chip busy for
// a number of status reads; while busy, every command but the status read is ignored.
// Ignored and unknown commands are recorded as errors.
//
// The contents are kept in "<root>/sim/fpga<N>-flash.bin", so they survive a restart of
// the board. Faults: a busy bit that never clears; a power cut, after which no program or
// erase reaches the array (nor the file) any more, as if the power had gone just before
// it, so that a restart finds what was written up to the cut.
//
// Scene: "fpgaFlash": [{"uid": "0123456789abcdef", "busyPolls": 2}, {...}] (FPGA 0's
// flash first): the unique id in hexadecimal and the status reads a program or erase
// stays busy for.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "board/sim/flash_bytes.h"
#include "board/sim/sim.h"

namespace sim {

class SpiNorFlash : public Part {
public:
    static constexpr uint32_t kSize = 8u << 20;
    static constexpr uint32_t kPage = 256;

    enum class Op { WriteEnable, Erase, Program, Read, UniqueId };
    struct Operation {
        Op op;
        uint32_t address;  // erase: the block's first byte
        uint32_t length;   // erase: block size; program: data bytes; read: bytes clocked
    };

    explicit SpiNorFlash(int index);
    ~SpiNorFlash() override;

    void transfer(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx);

    std::vector<uint8_t> contents(uint32_t address, uint32_t count) const;
    void setContents(uint32_t address, const std::vector<uint8_t>& bytes);
    std::array<uint8_t, 8> uniqueId() const;

    void stickBusy(bool stuck);
    bool busy() const;
    // The k-th program or erase from now on (k >= 1) and every one after it are lost; 0
    // takes the cut back.
    void cutPowerAt(uint64_t k);
    bool powerCut() const;
    uint64_t lostOperations() const;

    std::vector<Operation> operations() const;
    std::vector<Operation> operations(Op op) const;
    uint64_t statusReads() const;
    std::vector<std::string> errors() const;
    void clearLog();  // operations and status reads; the errors stay

    std::vector<std::string> protocolErrors() const override { return errors(); }
    void clearProtocolErrors() override;

private:
    void status(std::vector<uint8_t>& rx);
    void erase(uint8_t opcode, const std::vector<uint8_t>& tx);
    void program(const std::vector<uint8_t>& tx);
    void read(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx, size_t dataAt);
    void uid(std::vector<uint8_t>& rx);
    bool writable(const char* what);
    // Counts a program or erase against the power cut; true when it is lost.
    bool lostToPowerCut();
    void persist(uint32_t address, uint32_t count);
    void error(const std::string& what);

    const int index_;
    const std::string file_;
    mutable std::mutex mutex_;
    FlashBytes data_;
    std::array<uint8_t, 8> uid_{};
    int busyPolls_ = 2;
    int busyLeft_ = 0;
    bool stuck_ = false;
    bool wel_ = false;
    uint64_t untilCut_ = 0;  // operations until the cut, 0 none armed
    bool cut_ = false;
    uint64_t lost_ = 0;
    int fd_ = -1;
    std::vector<Operation> ops_;
    uint64_t statusReads_ = 0;
    std::vector<std::string> errors_;
};

}  // namespace sim
