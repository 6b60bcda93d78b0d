// The c331's own SPI-NOR serial flash, the array behind the chip's flash controller.
//
// Erased bytes read 0xFF; programming only clears bits (the new byte is the old one AND
// the programmed one); an erase sets a whole aligned 4, 32 or 64 KiB block back to 0xFF.
// The array is sparse: only 64 KiB blocks holding programmed bytes take memory, so a
// flash of tens of MiB costs what is written to it.
//
// Addresses at or past size() are not part of the array: the controller refuses them
// before they reach it.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace sim {

class C331SerialFlash {
public:
    static constexpr uint32_t kBlock = 64 * 1024;
    static constexpr uint8_t kErased = 0xFF;

    explicit C331SerialFlash(uint32_t size);

    uint32_t size() const { return size_; }
    bool holds(uint32_t address, uint32_t count) const;

    uint8_t read(uint32_t address) const;
    std::vector<uint8_t> read(uint32_t address, uint32_t count) const;
    // Page program: each byte is ANDed into the array.
    void program(uint32_t address, const std::vector<uint8_t>& bytes);
    // Erases the block of blockSize bytes (a power of two) that holds address.
    void erase(uint32_t address, uint32_t blockSize);
    // Sets bytes as a flash programmer would before the chip is fitted (no AND).
    void load(uint32_t address, const std::vector<uint8_t>& bytes);

    // 64 KiB blocks that hold anything but erased bytes (an upper bound).
    size_t blocksInUse() const { return blocks_.size(); }

private:
    uint8_t* block(uint32_t address);

    uint32_t size_;
    std::unordered_map<uint32_t, std::unique_ptr<uint8_t[]>> blocks_;
};

}  // namespace sim
