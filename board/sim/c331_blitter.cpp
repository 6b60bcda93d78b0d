#include "board/sim/c331_blitter.h"

#include <algorithm>
#include <cstdio>

#include "board/sim/bounded_log.h"

namespace sim {
namespace {

constexpr uint8_t kBank = 0x04;
constexpr uint8_t kCommand = 0x08;
constexpr uint8_t kFillValue = 0x0B;
constexpr uint8_t kSource = 0x0D;
constexpr uint8_t kDestination = 0x11;
constexpr uint8_t kBusy = 0x17;
constexpr uint8_t kDestinationStride = 0x1B;
constexpr uint8_t kSourceStride = 0x1C;
constexpr uint8_t kWidth = 0x1E;
constexpr uint8_t kHeight = 0x20;
constexpr uint8_t kFlags = 0x22;
constexpr uint8_t kFirstEntry = 0x23;
constexpr uint8_t kLastEntry = 0x24;
constexpr uint8_t kFifoAddress = 0x27;
constexpr uint8_t kFifoData = 0x29;
constexpr uint8_t kCell = 0x2A;

constexpr uint8_t kWideDestination = 0x10;
constexpr uint8_t kWideSource = 0x20;
constexpr uint8_t kLargeCell = 0x40;
constexpr uint32_t kStrideUnit = 128;
constexpr uint32_t kWideStrideUnit = 512;
constexpr uint32_t kEntryBytes = 5;

uint32_t pitch(const C331Chip& chip, uint8_t strideRegister, uint8_t wideFlag) {
    const bool wide = chip.stored(kBank, kFlags) & wideFlag;
    return chip.stored(kBank, strideRegister) * (wide ? kWideStrideUnit : kStrideUnit);
}

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

bool C331Blitter::owns(uint8_t address) {
    return address >= kCommand && address <= kCell;
}

void C331Blitter::error(const std::string& what) {
    appendBounded(errors_, "blitter: " + what);
}

bool C331Blitter::read(const C331Chip& chip, uint8_t address, uint8_t& value) {
    if (address != kBusy)
        return false;
    const bool set = busy();
    if (busyLeft_ > 0)
        --busyLeft_;
    const uint8_t stored = chip.stored(kBank, address);
    value = set ? (stored | 0x01) : (stored & ~0x01);
    return true;
}

void C331Blitter::fifoPut(uint32_t address, uint8_t byte) {
    if (address >= kFifoSize) {
        error("FIFO address " + hex(address) + " past the FIFO");
        return;
    }
    fifo_[address] = byte;
}

std::vector<uint8_t> C331Blitter::fifo(uint32_t address, uint32_t count) const {
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < count && address + i < kFifoSize; ++i)
        out.push_back(fifo_[address + i]);
    return out;
}

void C331Blitter::written(const C331Chip& chip, uint8_t address, uint8_t value,
                          C331ChipMemory& memory) {
    switch (address) {
        case kCommand:
            command(chip, value, memory);
            return;
        case kFifoAddress:
        case kFifoAddress + 1:
            fifoAddress_ = chip.storedField(kBank, kFifoAddress, 2);
            return;
        case kFifoData:
            fifoPut(fifoAddress_++, value);
            return;
        default:
            return;
    }
}

void C331Blitter::command(const C331Chip& chip, uint8_t value, C331ChipMemory& memory) {
    if (value == kIdle)
        return;
    if (busy()) {
        error("command " + std::to_string(value) + " while busy");
        return;
    }
    Blit blit{value,
              chip.storedField(kBank, kSource, 4),
              chip.storedField(kBank, kDestination, 4),
              chip.storedField(kBank, kWidth, 2) + 1,
              chip.storedField(kBank, kHeight, 2) + 1,
              pitch(chip, kSourceStride, kWideSource),
              pitch(chip, kDestinationStride, kWideDestination),
              static_cast<uint8_t>(chip.storedField(kBank, kFillValue, 2)),
              0};
    bool done = false;
    switch (value) {
        case kFill:
            done = fill(chip, memory, blit);
            break;
        case kCopy:
            done = copy(chip, memory, blit);
            break;
        case kText:
            done = text(chip, memory, blit);
            break;
        default:
            error("unknown command " + std::to_string(value));
            return;
    }
    busyLeft_ = busyReads_;
    stuckSeen_ = stuck_;
    if (done)
        appendBounded(blits_, blit);
}

bool C331Blitter::inMemory(uint64_t first, uint32_t rows, uint32_t rowPitch, uint32_t width,
                           const char* what) {
    const uint64_t end = first + static_cast<uint64_t>(rows - 1) * rowPitch + width;
    if (end <= C331ChipMemory::kSize)
        return true;
    error(std::string(what) + " from " + hex(first) + " reaches " + hex(end) +
          ", past the chip's memory");
    return false;
}

bool C331Blitter::fill(const C331Chip&, C331ChipMemory& memory, Blit& b) {
    if (!inMemory(b.destination, b.height, b.destinationPitch, b.width, "fill"))
        return false;
    for (uint32_t row = 0; row < b.height; ++row)
        memory.fill(b.destination + row * b.destinationPitch, b.width, b.fill);
    return true;
}

bool C331Blitter::copy(const C331Chip&, C331ChipMemory& memory, Blit& b) {
    if (!inMemory(b.source, b.height, b.sourcePitch, b.width, "copy source") ||
        !inMemory(b.destination, b.height, b.destinationPitch, b.width, "copy destination"))
        return false;
    for (uint32_t row = 0; row < b.height; ++row)
        memory.copy(b.destination + row * b.destinationPitch, b.source + row * b.sourcePitch,
                    b.width);
    return true;
}

bool C331Blitter::text(const C331Chip& chip, C331ChipMemory& memory, Blit& b) {
    const uint32_t cell = (chip.stored(kBank, kCell) & kLargeCell) ? 64 : 32;
    const uint32_t rowBytes = cell / 8;
    const uint32_t glyphBytes = cell * rowBytes;
    const uint32_t first = chip.stored(kBank, kFirstEntry);
    const uint32_t last = chip.stored(kBank, kLastEntry);
    b.height = cell;
    b.width = 0;
    for (uint32_t e = first; e <= last; ++e) {
        const uint32_t at = e * kEntryBytes;
        if (at + kEntryBytes > kFifoSize) {
            error("text entry " + std::to_string(e) + " past the FIFO");
            return false;
        }
        const uint32_t index = fifo_[at] | fifo_[at + 1] << 8;
        const uint8_t fg = fifo_[at + 2];
        const uint8_t bg = fifo_[at + 3];
        const uint32_t advance = fifo_[at + 4];
        const uint32_t columns = std::min(advance, cell);
        const uint64_t glyph = b.source + static_cast<uint64_t>(index) * glyphBytes;
        const uint64_t to = static_cast<uint64_t>(b.destination) + b.width;
        if (!inMemory(glyph, 1, 0, glyphBytes, "glyph") ||
            !inMemory(to, cell, b.destinationPitch, columns, "text")) {
            return false;
        }
        const std::vector<uint8_t> bits = memory.read(static_cast<uint32_t>(glyph), glyphBytes);
        std::vector<uint8_t> pixels(columns);
        for (uint32_t row = 0; row < cell; ++row) {
            for (uint32_t x = 0; x < columns; ++x) {
                const bool set = bits[row * rowBytes + x / 8] >> (x % 8) & 1;
                pixels[x] = set ? fg : bg;
            }
            memory.write(static_cast<uint32_t>(to + row * b.destinationPitch), pixels.data(),
                         columns);
        }
        b.width += advance;
        ++b.characters;
    }
    return true;
}

}  // namespace sim
