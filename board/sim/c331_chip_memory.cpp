#include "board/sim/c331_chip_memory.h"

#include <algorithm>
#include <cstring>

namespace sim {

uint8_t* C331ChipMemory::page(uint32_t address) {
    auto& slot = pages_[address / kPage];
    // calloc hands out fresh zero pages: a page the OSD only partly draws costs what it
    // draws.
    if (!slot)
        slot.reset(static_cast<uint8_t*>(std::calloc(kPage, 1)));
    return slot.get();
}

uint8_t C331ChipMemory::read(uint32_t address) const {
    auto it = pages_.find(address / kPage);
    return it == pages_.end() ? 0 : it->second.get()[address % kPage];
}

std::vector<uint8_t> C331ChipMemory::read(uint32_t address, uint32_t count) const {
    std::vector<uint8_t> out(count);
    uint32_t done = 0;
    while (done < count) {
        const uint32_t at = address + done;
        const uint32_t n = std::min(count - done, kPage - at % kPage);
        auto it = pages_.find(at / kPage);
        if (it != pages_.end())
            std::memcpy(out.data() + done, it->second.get() + at % kPage, n);
        done += n;
    }
    return out;
}

void C331ChipMemory::write(uint32_t address, const uint8_t* bytes, uint32_t count) {
    uint32_t done = 0;
    while (done < count) {
        const uint32_t at = address + done;
        const uint32_t n = std::min(count - done, kPage - at % kPage);
        std::memcpy(page(at) + at % kPage, bytes + done, n);
        done += n;
    }
}

void C331ChipMemory::fill(uint32_t address, uint32_t count, uint8_t value) {
    uint32_t done = 0;
    while (done < count) {
        const uint32_t at = address + done;
        const uint32_t n = std::min(count - done, kPage - at % kPage);
        std::memset(page(at) + at % kPage, value, n);
        done += n;
    }
}

void C331ChipMemory::copy(uint32_t dst, uint32_t src, uint32_t count) {
    scratch_.resize(count);
    uint32_t done = 0;
    while (done < count) {
        const uint32_t at = src + done;
        const uint32_t n = std::min(count - done, kPage - at % kPage);
        auto it = pages_.find(at / kPage);
        if (it != pages_.end())
            std::memcpy(scratch_.data() + done, it->second.get() + at % kPage, n);
        else
            std::memset(scratch_.data() + done, 0, n);
        done += n;
    }
    write(dst, scratch_.data(), count);
}

}  // namespace sim
