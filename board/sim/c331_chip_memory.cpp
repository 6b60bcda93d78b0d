#include "board/sim/c331_chip_memory.h"

#include <algorithm>
#include <cstring>

namespace sim {

// Splits the run that holds address so that a run starts there.
void C331ChipMemory::cut(uint64_t address) {
    auto it = runs_.upper_bound(address);
    if (it == runs_.begin())
        return;
    --it;
    const uint64_t start = it->first;
    Run& run = it->second;
    if (address <= start || address >= start + run.length)
        return;
    Run tail = run;
    tail.length = start + run.length - address;
    tail.offset = run.offset + (address - start);
    run.length = address - start;
    runs_.emplace(address, tail);
}

void C331ChipMemory::clear(uint64_t address, uint64_t count) {
    cut(address);
    cut(address + count);
    runs_.erase(runs_.lower_bound(address), runs_.lower_bound(address + count));
}

void C331ChipMemory::put(uint64_t address, Run run) {
    if (run.length == 0)
        return;
    clear(address, run.length);
    if (!run.bytes) {
        // Runs of one value that meet become one.
        auto next = runs_.find(address + run.length);
        if (next != runs_.end() && !next->second.bytes && next->second.value == run.value) {
            run.length += next->second.length;
            runs_.erase(next);
        }
        auto prev = runs_.lower_bound(address);
        if (prev != runs_.begin()) {
            --prev;
            Run& p = prev->second;
            if (!p.bytes && p.value == run.value && prev->first + p.length == address) {
                p.length += run.length;
                return;
            }
        }
    }
    runs_.emplace(address, std::move(run));
}

std::vector<std::pair<uint64_t, C331ChipMemory::Run>> C331ChipMemory::slices(uint64_t address,
                                                                             uint64_t count) const {
    std::vector<std::pair<uint64_t, Run>> out;
    const uint64_t end = address + count;
    auto it = runs_.upper_bound(address);
    if (it != runs_.begin())
        --it;
    for (; it != runs_.end() && it->first < end; ++it) {
        const uint64_t start = std::max(it->first, address);
        const uint64_t stop = std::min(it->first + it->second.length, end);
        if (start >= stop)
            continue;
        Run slice = it->second;
        slice.offset += start - it->first;
        slice.length = stop - start;
        out.emplace_back(start - address, std::move(slice));
    }
    return out;
}

uint8_t C331ChipMemory::read(uint32_t address) const {
    return read(address, 1)[0];
}

std::vector<uint8_t> C331ChipMemory::read(uint32_t address, uint32_t count) const {
    std::vector<uint8_t> out(count, 0);
    for (const auto& [at, run] : slices(address, count)) {
        if (run.bytes)
            std::memcpy(out.data() + at, run.bytes->data() + run.offset, run.length);
        else
            std::memset(out.data() + at, run.value, run.length);
    }
    return out;
}

void C331ChipMemory::write(uint32_t address, const uint8_t* bytes, uint32_t count) {
    write(address, std::vector<uint8_t>(bytes, bytes + count));
}

void C331ChipMemory::write(uint32_t address, std::vector<uint8_t> bytes) {
    const uint64_t n = bytes.size();
    // Erased flash moved in by DMA is megabytes of one value: kept as a fill, not its bytes.
    if (n > 0 &&
        std::all_of(bytes.begin(), bytes.end(), [&](uint8_t b) { return b == bytes[0]; })) {
        fill(address, static_cast<uint32_t>(n), bytes[0]);
        return;
    }
    put(address, Run{n, 0, std::make_shared<const std::vector<uint8_t>>(std::move(bytes)), 0});
}

void C331ChipMemory::fill(uint32_t address, uint32_t count, uint8_t value) {
    put(address, Run{count, value, nullptr, 0});
}

void C331ChipMemory::copy(uint32_t dst, uint32_t src, uint32_t count) {
    const auto moved = slices(src, count);
    clear(dst, count);
    for (const auto& [at, run] : moved)
        put(dst + at, run);
}

}  // namespace sim
