// The SoC register window behind "/dev/mem": the chip-id registers and the GPIO pads.
//
// The window covers physical addresses 0x1F000000 .. 0x1F2AFFFF. Every register store the
// program makes through board::mmio_write16 is logged with its time, so tests can see how
// long a reset line was held, and parts that follow a pad (a chip held in reset) listen.
// A chip that drives an input pad can bring the pad up to date when the program reads it.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "board/sim/sim.h"

namespace sim {

class SocWindow : public Node {
public:
    static constexpr uint64_t kBase = 0x1F000000;
    static constexpr uint32_t kSize = 0x2B0000;
    static constexpr uint32_t kChipIdX = 0x4058;
    static constexpr uint32_t kChipIdY = 0x405C;
    static constexpr uint32_t kChipIdZ = 0x4060;
    // The SDI receiver's reset word: the boot leaves the receiver running.
    static constexpr uint32_t kSdiReset = 0x002848;
    static constexpr uint16_t kSdiResetPowerOn = 1;

    struct Change {
        double timeMs;
        uint32_t offset;
        uint16_t value;
    };
    using Listener = std::function<void(uint32_t offset, uint16_t value)>;

    SocWindow();
    ~SocWindow() override;

    void* mmap(size_t length, off_t offset) override;

    // Makes the next mmap fail (a window that cannot be mapped).
    void failMapping(bool fail);

    void setChipId(uint16_t x, uint16_t y, uint16_t z);
    uint16_t word(uint32_t offset) const;
    // Sets a word as the hardware would (an input pad), without logging a program store.
    void setWord(uint32_t offset, uint16_t value);

    std::vector<Change> changes() const;
    std::vector<Change> changes(uint32_t offset) const;
    void addListener(Listener listener);
    // Called before each program read of the word at `offset`, outside the window's lock.
    void addReadListener(uint32_t offset, std::function<void()> listener);

    // Called for every mapped register store of the program.
    static void stored(volatile uint16_t* reg, uint16_t value);
    static bool owns(const void* address);
    // Called for every mapped register read of the program, before the read.
    static void loading(const volatile uint16_t* reg);

private:
    bool contains(const void* address) const;
    void record(uint32_t offset, uint16_t value);

    std::vector<uint16_t> words_;
    mutable std::mutex mutex_;
    std::vector<Change> log_;
    std::vector<Listener> listeners_;
    std::vector<std::pair<uint32_t, std::function<void()>>> readListeners_;
    bool failMapping_ = false;
};

}  // namespace sim
