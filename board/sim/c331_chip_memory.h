// The c331's video memory as its OSD engine and its flash DMA reach it, and the OSD
// palette.
//
// Memory: byte addresses 0x00000000..0x7FFFFFFF (the frame buffers, the OSD pages, the
// bitmap load area and the font area all lie below 0x80000000). Bytes never written read
// 0. The memory is kept as runs: a run of one value (what a fill leaves) or a slice of
// bytes written or moved in by DMA; a copy moves runs without touching their bytes. So a
// canvas filled and copied across hundreds of MiB costs a few thousand runs, and drawing
// it costs what the blitter's commands are, not what the pixels are.
//
// Palette: 256 entries of red, green and blue, written one colour byte at a time from a
// start index; an OSD pixel is an index into it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace sim {

class C331ChipMemory {
public:
    static constexpr uint64_t kSize = 0x80000000ull;

    bool holds(uint64_t address, uint64_t count) const { return address + count <= kSize; }

    uint8_t read(uint32_t address) const;
    std::vector<uint8_t> read(uint32_t address, uint32_t count) const;
    void write(uint32_t address, const uint8_t* bytes, uint32_t count);
    void write(uint32_t address, std::vector<uint8_t> bytes);
    void fill(uint32_t address, uint32_t count, uint8_t value);
    // Moves count bytes from src to dst (the ranges may overlap).
    void copy(uint32_t dst, uint32_t src, uint32_t count);

    size_t runs() const { return runs_.size(); }

private:
    struct Run {
        uint64_t length;
        uint8_t value;                                      // without bytes
        std::shared_ptr<const std::vector<uint8_t>> bytes;  // shared by the runs cut from it
        uint64_t offset;                                    // of the run's first byte in bytes
    };
    using Runs = std::map<uint64_t, Run>;  // by first address; runs never overlap

    void cut(uint64_t address);
    void clear(uint64_t address, uint64_t count);
    void put(uint64_t address, Run run);
    // The runs of address .. address + count - 1, each cut to the range, keyed by their
    // distance from address.
    std::vector<std::pair<uint64_t, Run>> slices(uint64_t address, uint64_t count) const;

    Runs runs_;
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
