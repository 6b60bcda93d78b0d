// Logs of the simulated board keep the most recent entries only, so that a simulated
// program left running for hours does not grow without end; tests read far fewer.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace sim {

constexpr size_t kLogLimit = 1u << 16;

template <class T>
void appendBounded(std::vector<T>& log, T entry, size_t limit = kLogLimit) {
    if (log.size() >= limit)
        log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(limit / 2));
    log.push_back(std::move(entry));
}

}  // namespace sim
