#include "board/sim/sparse_bytes.h"

#include <algorithm>
#include <cstring>

namespace sim {

SparseBytes::Page& SparseBytes::page(uint32_t number) {
    return pages_.try_emplace(number, Page{}).first->second;
}

void SparseBytes::write(uint32_t address, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        const uint32_t offset = address % kPage;
        const size_t n = std::min<size_t>(count, kPage - offset);
        std::memcpy(page(address / kPage).data() + offset, bytes, n);
        address += static_cast<uint32_t>(n);
        bytes += n;
        count -= n;
    }
}

std::vector<uint8_t> SparseBytes::read(uint32_t address, size_t count) const {
    std::vector<uint8_t> out(count, 0);
    size_t done = 0;
    while (done < count) {
        const uint32_t offset = address % kPage;
        const size_t n = std::min<size_t>(count - done, kPage - offset);
        auto found = pages_.find(address / kPage);
        if (found != pages_.end())
            std::memcpy(out.data() + done, found->second.data() + offset, n);
        address += static_cast<uint32_t>(n);
        done += n;
    }
    return out;
}

}  // namespace sim
