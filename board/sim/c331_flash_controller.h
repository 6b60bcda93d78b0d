// The c331's bank 0x04 engines: the serial-flash controller with its DMA, and the OSD
// engine's blitter (c331_blitter.h), which share the chip's video memory
// (c331_chip_memory.h); plus the OSD palette port (bank 0x09).
//
// Flash controller (bank 0x04), from its registers:
//   0x47  mode: 0x80 a reset pulse (drops what was queued), 0x31 direct read and program,
//         0x01 erase, 0x33 DMA, 0x37 DMA into the character FIFO
//   0x5F  access: 1 direct (read, program, erase), 2 DMA
//   0x49, 0x4A, 0x4B, 0x4C, 0x4D  the opcodes the controller sends the flash: page program
//         0x12, read 0x0C, erase 0x20 / 0x52 / 0xD8 (4 / 32 / 64 KiB) or a command (0x04
//         write disable), write enable 0x06, read status 0x05
//   0x4E (4)  flash address
//   0x52  data port. A write queues one byte to program (direct program mode); rewriting
//         the address register programs the queued bytes, which must lie in one 256-byte
//         page, from the address the queue started at. A read returns the next byte of a
//         read started with 0x53 (0xFF while none is).
//   0x53  B4_SFLDTCTL: writing bit 0 starts a read at the address register; bit 7 reads
//         set while the read starts; bit 5 (WEMPTY) reads set while nothing waits to be
//         programmed
//   0x54  B4_SFLSTAT: bit 0 DMA busy, bit 1 WBUSY (page program), bit 3 EBUSY (erase)
//   0x55  B4_SFLRDSR, the flash's status: bit 0 WIP, bit 1 WEL. The controller sets the
//         write enable latch for each program and erase; the flash clears it when done.
//   0x48  trigger: 2 DMA, 4 erase the block that holds the address, 5 send the command
//         opcode of 0x4B, 0 idle
//   0x56 (4)  DMA length OR 0x80000000; 0x5A DMA target: 0 chip memory at the blitter's
//         destination (0x11), 1 the character FIFO at 0x27, 4 the palette from the index
//         in bank 0x09 0x1F
// Every flash access needs the flash pins set up: bank 0x05 0x42 (3 bytes) = 0x55, 0x3C and
// 0x3E (2 bytes each) = 0x300, 0x45 (2 bytes) = 0x3FF.
// A program, erase, read start or DMA keeps its status bits set for a number of status
// reads (0x53, 0x54, 0x55).
//
// Palette (bank 0x09): 0x1F sets the index of the next entry, each write of 0x20 one colour
// byte (red, green, blue, then the next entry); the palette takes writes only while bank
// 0xFF 0x01 bit 0 is set.
//
// Refused, as protocol errors (the operation then does nothing): a flash access in the
// wrong mode or without the pin set-up, a trigger or data while the controller is busy, a
// queued page that crosses its page, queued bytes dropped by a reset, addresses outside
// the flash or the chip's memory, a palette write while the palette is closed.
//
// Scene: "c331": {"flashMiB": 32, "flashBusyReads": 2, "blitBusyReads": 2,
//                 "fonts": ["32EN", "32CN", "64EN", "64CN"]}: the flash size, the status
// reads an operation stays busy for, and the font sets whose headers the flash holds
// (their glyphs stay erased).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/sim/c331_blitter.h"
#include "board/sim/c331_chip_memory.h"
#include "board/sim/c331_model.h"
#include "board/sim/c331_serial_flash.h"

namespace sim {

class C331FlashController : public C331Behaviour {
public:
    // Status bits a test can make stick (a fault): they then never clear.
    enum class Stuck {
        ReadPending,      // 0x53 bit 7
        ProgramPending,   // 0x53 bit 5 (WEMPTY) never sets
        DmaBusy,          // 0x54 bit 0
        WriteBusy,        // 0x54 bit 1
        EraseBusy,        // 0x54 bit 3
        WriteInProgress,  // 0x55 bit 0
        WriteEnable,      // 0x55 bit 1
        BlitterBusy,      // 0x17 bit 0, from the next blitter command on
    };
    enum class Op { Program, Erase, Read, Dma, WriteDisable };
    struct Operation {
        Op op;
        uint32_t address;      // flash address; an erase's block start
        uint32_t length;       // bytes programmed, read or moved; an erase's block size
        uint8_t target;        // DMA
        uint32_t destination;  // DMA
    };
    // The font sets and where their 35-byte headers lie in the flash.
    enum class Font { En32, Cn32, En64, Cn64 };
    static uint32_t fontHeaderAddress(Font font);

    C331FlashController();

    bool read(const C331Chip& chip, uint8_t bank, uint8_t address, uint8_t& value) override;
    void written(C331Chip& chip, uint8_t bank, uint8_t address, uint8_t value) override;
    std::vector<std::string> protocolErrors() const override;
    void clearProtocolErrors() override;

    C331SerialFlash& flash() { return flash_; }
    C331ChipMemory& memory() { return memory_; }
    C331Blitter& blitter() { return blitter_; }
    const C331Palette& palette() const { return palette_; }
    // Writes a font set's header ('P', encoding, glyph width and height) into the flash.
    void loadFontHeader(Font font);

    void stick(Stuck bit, bool stuck);
    // Programs and erases leave the write enable latch set until a write disable (a flash
    // that does not clear it by itself).
    void keepWriteEnable(bool keep) { keepWel_ = keep; }
    void setBusyReads(int reads) { busyReads_ = reads; }

    const std::vector<Operation>& operations() const { return ops_; }
    std::vector<Operation> operations(Op op) const;
    void clearLog();

private:
    enum class Busy { None, Program, Erase, Read, Dma };

    bool stuck(Stuck bit) const { return stuck_ & (1u << static_cast<unsigned>(bit)); }
    bool busy(Busy kind) const { return busy_ == kind && busyLeft_ > 0; }
    bool idle(const std::string& what);
    void startBusy(Busy kind);
    uint8_t status(const C331Chip& chip, uint8_t address);
    void statusRead();

    bool pinsReady(const C331Chip& chip, const std::string& what);
    bool mode(const C331Chip& chip, uint8_t access, uint8_t controllerMode,
              const std::string& what);
    void queueByte(const C331Chip& chip, uint8_t value);
    void commit();
    void startRead(const C331Chip& chip);
    uint8_t readData();
    void trigger(const C331Chip& chip, uint8_t value);
    void erase(const C331Chip& chip);
    void command(const C331Chip& chip);
    void dma(const C331Chip& chip);
    void paletteWrite(const C331Chip& chip, uint8_t address, uint8_t value);
    void error(const std::string& what);

    C331SerialFlash flash_;
    C331ChipMemory memory_;
    C331Blitter blitter_;
    C331Palette palette_;

    std::vector<uint8_t> queue_;  // the first page of what is queued
    uint32_t queued_ = 0;         // bytes queued
    uint32_t queueStart_ = 0;
    bool reading_ = false;
    uint32_t readAt_ = 0;
    bool wel_ = false;
    bool keepWel_ = false;
    Busy busy_ = Busy::None;
    int busyLeft_ = 0;
    int busyReads_ = 2;
    unsigned stuck_ = 0;

    std::vector<Operation> ops_;
    std::vector<std::string> errors_;
};

}  // namespace sim
