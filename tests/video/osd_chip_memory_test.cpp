// The simulated chip memory behind the OSD keeps runs instead of bytes: it must read back
// exactly what a plain byte array would after any mix of fills, writes and copies,
// overlapping ones included.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "board/sim/c331_chip_memory.h"

namespace {

TEST(OsdChipMemory, FillsWritesAndCopiesReadBackAsBytes) {
    sim::C331ChipMemory m;
    EXPECT_EQ(m.read(0x7FFFFFF0, 4), std::vector<uint8_t>(4, 0));
    m.fill(100, 10, 7);
    m.write(104, std::vector<uint8_t>{1, 2, 3});
    EXPECT_EQ(m.read(98, 14), (std::vector<uint8_t>{0, 0, 7, 7, 7, 7, 1, 2, 3, 7, 7, 7, 0, 0}));
    m.copy(200, 103, 5);  // 7 1 2 3 7
    m.copy(101, 100, 6);  // overlapping, forwards
    EXPECT_EQ(m.read(200, 5), (std::vector<uint8_t>{7, 1, 2, 3, 7}));
    EXPECT_EQ(m.read(100, 10), (std::vector<uint8_t>{7, 7, 7, 7, 7, 1, 2, 7, 7, 7}));
    // Fills that meet are one run.
    m.fill(1000, 10, 5);
    m.fill(1010, 10, 5);
    m.fill(990, 10, 5);
    const size_t runs = m.runs();
    m.fill(995, 20, 5);
    EXPECT_EQ(m.runs(), runs);
    EXPECT_EQ(m.read(1019, 2), (std::vector<uint8_t>{5, 0}));
}

TEST(OsdChipMemory, AMegabyteOfErasedFlashWrittenByDmaIsOneRun) {
    sim::C331ChipMemory m;
    m.write(0x1000, std::vector<uint8_t>(1u << 20, 0xFF));
    EXPECT_EQ(m.runs(), 1u);
    EXPECT_EQ(m.read(0xFFF, 3), (std::vector<uint8_t>{0, 0xFF, 0xFF}));
    EXPECT_EQ(m.read(0x1000 + (1u << 20) - 1, 2), (std::vector<uint8_t>{0xFF, 0}));
}

TEST(OsdChipMemory, AnyMixOfOperationsMatchesAPlainByteArray) {
    constexpr uint32_t kBase = 0x725C0000;
    constexpr uint32_t kSpan = 4096;
    std::mt19937 random(331);
    std::uniform_int_distribution<uint32_t> at(0, kSpan - 1);
    std::uniform_int_distribution<int> kind(0, 2);
    std::uniform_int_distribution<int> byte(0, 255);
    sim::C331ChipMemory m;
    std::vector<uint8_t> reference(kSpan, 0);
    for (int step = 0; step < 3000; ++step) {
        const uint32_t a = at(random);
        const uint32_t n = std::min<uint32_t>(kSpan - a, at(random) % 300 + 1);
        switch (kind(random)) {
            case 0: {
                const uint8_t v = static_cast<uint8_t>(byte(random));
                m.fill(kBase + a, n, v);
                std::fill(reference.begin() + a, reference.begin() + a + n, v);
                break;
            }
            case 1: {
                std::vector<uint8_t> bytes(n);
                for (auto& b : bytes)
                    b = static_cast<uint8_t>(byte(random));
                m.write(kBase + a, bytes.data(), n);
                std::copy(bytes.begin(), bytes.end(), reference.begin() + a);
                break;
            }
            default: {
                const uint32_t from = at(random) % (kSpan - n + 1);
                m.copy(kBase + a, kBase + from, n);
                std::vector<uint8_t> moved(reference.begin() + from, reference.begin() + from + n);
                std::copy(moved.begin(), moved.end(), reference.begin() + a);
                break;
            }
        }
        ASSERT_EQ(m.read(kBase, kSpan), reference) << "after step " << step;
    }
}

}  // namespace
