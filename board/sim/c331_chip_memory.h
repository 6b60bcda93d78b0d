// The c331's video memory as its OSD engine and its flash DMA reach it, and the OSD
// palette.
//
// Memory: byte addresses 0x00000000..0x7FFFFFFF (the frame buffers, the OSD pages, the
// bitmap load area and the font area all lie below 0x80000000). Bytes never written read
// 0. The memory is sparse: 1 MiB pages are taken on first write, so that the hundreds of
// MiB the chip has cost only what the OSD draws.
//
// Palette: 256 entries of red, green and blue, written one colour byte at a time from a
// start index; an OSD pixel is an index into it.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <unordered_map>
#include <vector>

namespace sim {

class C331ChipMemory {
public:
    static constexpr uint64_t kSize = 0x80000000ull;
    static constexpr uint32_t kPage = 1u << 20;

    bool holds(uint64_t address, uint64_t count) const { return address + count <= kSize; }

    uint8_t read(uint32_t address) const;
    std::vector<uint8_t> read(uint32_t address, uint32_t count) const;
    void write(uint32_t address, const uint8_t* bytes, uint32_t count);
    void fill(uint32_t address, uint32_t count, uint8_t value);
    // Moves count bytes from src to dst (the ranges may overlap).
    void copy(uint32_t dst, uint32_t src, uint32_t count);

    size_t pagesInUse() const { return pages_.size(); }

private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    uint8_t* page(uint32_t address);

    std::unordered_map<uint32_t, std::unique_ptr<uint8_t, Free>> pages_;
    std::vector<uint8_t> scratch_;  // a copy's bytes on their way
};

struct C331Palette {
    using Entry = std::array<uint8_t, 3>;  // red, green, blue
    static constexpr int kEntries = 256;

    std::array<Entry, kEntries> entries{};
    // Where the next colour byte goes; bytes past the last entry are dropped.
    int index = 0;
    int component = 0;

    void start(uint8_t first) {
        index = first;
        component = 0;
    }
    void put(uint8_t byte) {
        if (index >= kEntries)
            return;
        entries[index][component] = byte;
        if (++component == 3) {
            component = 0;
            ++index;
        }
    }
};

}  // namespace sim
