// Bytes at 32-bit addresses of which few are ever written, such as a receiving card's RAM
// and flash: kept in small pages made at the first write into them, so that what they
// cost, and what a copy of them costs, follows the bytes written, not the address space.
// Bytes never written read 0. Addresses wrap at 2^32.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace sim {

class SparseBytes {
public:
    static constexpr uint32_t kPage = 256;

    void write(uint32_t address, const uint8_t* bytes, size_t count);
    std::vector<uint8_t> read(uint32_t address, size_t count) const;
    // Pages that hold written bytes.
    size_t pages() const { return pages_.size(); }

private:
    using Page = std::array<uint8_t, kPage>;
    Page& page(uint32_t number);

    std::map<uint32_t, Page> pages_;  // by address / kPage
};

}  // namespace sim
