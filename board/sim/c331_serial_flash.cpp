#include "board/sim/c331_serial_flash.h"

#include <algorithm>
#include <cstring>

namespace sim {

C331SerialFlash::C331SerialFlash(uint32_t size) : size_(size) {}

bool C331SerialFlash::holds(uint32_t address, uint32_t count) const {
    return static_cast<uint64_t>(address) + count <= size_;
}

uint8_t* C331SerialFlash::block(uint32_t address) {
    auto& slot = blocks_[address / kBlock];
    if (!slot) {
        slot.reset(new uint8_t[kBlock]);
        std::memset(slot.get(), kErased, kBlock);
    }
    return slot.get();
}

uint8_t C331SerialFlash::read(uint32_t address) const {
    auto it = blocks_.find(address / kBlock);
    return it == blocks_.end() ? kErased : it->second[address % kBlock];
}

std::vector<uint8_t> C331SerialFlash::read(uint32_t address, uint32_t count) const {
    std::vector<uint8_t> out(count, kErased);
    uint32_t done = 0;
    while (done < count) {
        const uint32_t at = address + done;
        const uint32_t n = std::min(count - done, kBlock - at % kBlock);
        auto it = blocks_.find(at / kBlock);
        if (it != blocks_.end())
            std::memcpy(out.data() + done, it->second.get() + at % kBlock, n);
        done += n;
    }
    return out;
}

void C331SerialFlash::program(uint32_t address, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint32_t at = address + static_cast<uint32_t>(i);
        block(at)[at % kBlock] &= bytes[i];
    }
}

void C331SerialFlash::erase(uint32_t address, uint32_t blockSize) {
    const uint32_t first = address & ~(blockSize - 1);
    if (blockSize >= kBlock) {
        for (uint32_t b = first; b < first + blockSize; b += kBlock)
            blocks_.erase(b / kBlock);
        return;
    }
    auto it = blocks_.find(first / kBlock);
    if (it != blocks_.end())
        std::memset(it->second.get() + first % kBlock, kErased, blockSize);
}

void C331SerialFlash::load(uint32_t address, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint32_t at = address + static_cast<uint32_t>(i);
        block(at)[at % kBlock] = bytes[i];
    }
}

}  // namespace sim
