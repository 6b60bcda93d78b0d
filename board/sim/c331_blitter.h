// The blitter of the c331's OSD engine (bank 0x04), as its registers describe it:
//
//   0x08        command: 1 fill, 2 copy, 3 draw a line of text; written back to 0 after
//               every command (0 starts nothing)
//   0x0B (2)    fill value (the low byte is the pixel: the OSD has 8-bit pixels)
//   0x0D (4)    source address; for text, the font base (glyph 0)
//   0x11 (4)    destination address
//   0x1B, 0x1C  destination and source stride in units of 128 bytes; flag 0x10 of 0x22
//               counts the destination stride, flag 0x20 the source stride, in units of
//               512 bytes
//   0x1E (2)    width - 1, 0x20 (2) height - 1, in pixels (fill and copy)
//   0x17        bit 0 busy: a command keeps it set for a number of status reads
//   0x2A        character cell: bit 6 set 64 x 64 glyphs, else 32 x 32
//   0x27 (2)    character FIFO address; every write of 0x29 stores a byte there and steps
//               the address. Entry e of a text line is the five bytes from 5e: glyph index
//               low and high byte, foreground, background, advance. Address 0xA00 on is
//               the engine's parameter slot.
//   0x23, 0x24  first and last FIFO entry of the line to draw
//
// A glyph is cell x cell bits from font base + index x cell x cell / 8: rows top to bottom,
// cell / 8 bytes a row, the least significant bit of a byte its leftmost pixel. Drawing a
// line puts each entry's glyph at the cursor (set bits in the foreground, clear bits in the
// background index, as many columns as the advance and at most the cell) and moves the
// cursor right by the advance; the line's first row starts at the destination, each next
// row one destination stride further.
//
// Refused, as protocol errors: a command while the blitter is busy, an unknown command,
// a FIFO address past the FIFO, and any access of a blit outside the chip's memory (the
// blit then does nothing).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/sim/c331_chip_memory.h"
#include "board/sim/c331_model.h"

namespace sim {

class C331Blitter {
public:
    static constexpr size_t kFifoSize = 4096;

    enum Command : uint8_t { kIdle = 0, kFill = 1, kCopy = 2, kText = 3 };

    // One command as the blitter carried it out.
    struct Blit {
        uint8_t command;
        uint32_t source;
        uint32_t destination;
        uint32_t width;  // pixels; for text the line's width (sum of the advances)
        uint32_t height;
        uint32_t sourcePitch;
        uint32_t destinationPitch;
        uint8_t fill;
        uint32_t characters;  // text only
    };

    // Registers of bank 0x04 that belong to the blitter.
    static bool owns(uint8_t address);
    void written(const C331Chip& chip, uint8_t address, uint8_t value, C331ChipMemory& memory);
    // The busy register; false for the other registers (they read as stored).
    bool read(const C331Chip& chip, uint8_t address, uint8_t& value);
    // The flash DMA's path into the character FIFO.
    void fifoPut(uint32_t address, uint8_t byte);

    void setBusyReads(int reads) { busyReads_ = reads; }
    // From the next command on, the busy bit never clears (a fault).
    void stickBusy(bool stuck) {
        stuck_ = stuck;
        stuckSeen_ = false;
    }

    const std::vector<Blit>& blits() const { return blits_; }
    std::vector<uint8_t> fifo(uint32_t address, uint32_t count) const;
    void clearLog() { blits_.clear(); }
    const std::vector<std::string>& errors() const { return errors_; }
    void clearErrors() { errors_.clear(); }

private:
    bool busy() const { return (stuck_ && stuckSeen_) || busyLeft_ > 0; }
    void command(const C331Chip& chip, uint8_t value, C331ChipMemory& memory);
    bool fill(const C331Chip& chip, C331ChipMemory& memory, Blit& blit);
    bool copy(const C331Chip& chip, C331ChipMemory& memory, Blit& blit);
    bool text(const C331Chip& chip, C331ChipMemory& memory, Blit& blit);
    bool inMemory(uint64_t first, uint32_t rows, uint32_t pitch, uint32_t width, const char* what);
    void error(const std::string& what);

    std::vector<uint8_t> fifo_ = std::vector<uint8_t>(kFifoSize, 0);
    uint32_t fifoAddress_ = 0;
    int busyReads_ = 2;
    int busyLeft_ = 0;
    bool stuck_ = false;
    bool stuckSeen_ = false;  // a command came since the fault was set
    std::vector<Blit> blits_;
    std::vector<std::string> errors_;
};

}  // namespace sim
