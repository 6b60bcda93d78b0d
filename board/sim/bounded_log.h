// Logs of the simulated board keep the most recent entries only, so that a simulated
// program left running for hours does not grow without end; tests read far fewer.
#pragma once

#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

namespace sim {

// Tests and benchmarks read up to this many of the latest entries; the running program
// keeps a short trace only.
constexpr size_t kLogLimit = 1u << 16;
constexpr size_t kProgramLogLimit = 1u << 10;

inline std::atomic<size_t>& logLimit() {
    static std::atomic<size_t> limit{kLogLimit};
    return limit;
}

template <class T>
void appendBounded(std::vector<T>& log, T entry, size_t limit = logLimit()) {
    if (log.size() >= limit)
        log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(limit / 2));
    log.push_back(std::move(entry));
}

}  // namespace sim
