// The register writes the c331 model received, and expected programmes written out as
// literals, for tests that pin what the manager writes and in which order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "board/sim/c331_model.h"

namespace videotest {

struct ChipWrite {
    uint8_t bank, address, value;
    bool operator==(const ChipWrite& o) const {
        return bank == o.bank && address == o.address && value == o.value;
    }
};

// The writes of registers (bank selects left out) in the order the chip took them.
inline std::vector<ChipWrite> registerWritesOf(const std::vector<sim::C331Model::Access>& log) {
    std::vector<ChipWrite> out;
    for (const auto& a : log)
        if (a.write && a.address != 0)
            out.push_back({a.bank, a.address, a.value});
    return out;
}

class ChipProgramme {
public:
    // A field of `bytes` one-byte registers from address on, least significant byte first.
    ChipProgramme& set(int bank, int address, uint32_t value, int bytes = 1) {
        for (int i = 0; i < bytes; ++i)
            writes_.push_back({static_cast<uint8_t>(bank), static_cast<uint8_t>(address + i),
                               static_cast<uint8_t>(value >> (8 * i))});
        return *this;
    }
    // One-byte registers first..last, each := value.
    ChipProgramme& fill(int bank, int first, int last, uint8_t value) {
        for (int a = first; a <= last; ++a)
            set(bank, a, value);
        return *this;
    }
    // One-byte registers from first on := the values in turn.
    ChipProgramme& bytes(int bank, int first, std::initializer_list<int> values) {
        int a = first;
        for (int v : values)
            set(bank, a++, static_cast<uint32_t>(v));
        return *this;
    }
    const std::vector<ChipWrite>& writes() const { return writes_; }

private:
    std::vector<ChipWrite> writes_;
};

inline std::string describe(const ChipWrite& w) {
    char s[32];
    std::snprintf(s, sizeof s, "%02X/%02X := %02X", w.bank, w.address, w.value);
    return s;
}

// Where the two sequences part; empty when they are equal.
inline std::string firstDifference(const std::vector<ChipWrite>& expected,
                                   const std::vector<ChipWrite>& actual) {
    size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i])
        ++i;
    if (i == expected.size() && i == actual.size())
        return "";
    std::ostringstream s;
    s << "first difference at write " << i << " of " << expected.size() << " expected, "
      << actual.size() << " received\n";
    for (size_t k = i < 3 ? 0 : i - 3; k < i + 4; ++k)
        s << "  " << k << ": expected " << (k < expected.size() ? describe(expected[k]) : "-")
          << ", received " << (k < actual.size() ? describe(actual[k]) : "-") << "\n";
    return s.str();
}

}  // namespace videotest
