// The scaler kernels that nothing in the running system loads: the horizontal zoom kernel
// and the vertical shrink kernel, as the chip's kernel class (bank 0 0x79) and slot loads
// (0x7A) receive them.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/video/video_fixture.h"

namespace videotest {
namespace {

using Loads = std::vector<std::pair<int, int>>;  // (address, value) in order

class ScalerKernelTest : public VideoTest {
protected:
    Loads kernels(const std::function<void()>& call) {
        c331()->clearLog();
        call();
        Loads out;
        for (const auto& a : c331()->writes())
            if (a.bank == 0x00 && (a.address == 0x79 || a.address == 0x7A))
                out.emplace_back(a.address, a.value);
        return out;
    }
    int fd() const { return manager->c331_fd; }
};

TEST_F(ScalerKernelTest, TheZoomKernelIsClass46InSlot4PathPlus129) {
    EXPECT_EQ(kernels([&] { manager->set_lut_hzoom(fd(), 30000, 0); }),
              (Loads{{0x79, 46}, {0x7A, 129}}));
    EXPECT_EQ(kernels([&] { manager->set_lut_hzoom(fd(), 100, 7); }),
              (Loads{{0x79, 46}, {0x7A, 157}}));
    EXPECT_TRUE(kernels([&] { manager->set_lut_hzoom(fd(), 100, 8); }).empty());
}

TEST_F(ScalerKernelTest, TheShrinkKernelGoesToOneSlotOrAPairByThePathsState) {
    // The V-by-One paths always load a pair; 1:2 is class 4.
    EXPECT_EQ(kernels([&] { manager->set_lut_vshrnk(fd(), 32768, 4); }),
              (Loads{{0x79, 4}, {0x7A, 146}, {0x7A, 150}}));
    EXPECT_EQ(kernels([&] { manager->set_lut_vshrnk(fd(), 32768, 5); }),
              (Loads{{0x79, 4}, {0x7A, 154}, {0x7A, 158}}));
    // A parallel path below state 4 loads its own slot, from state 4 on its pair's two.
    manager->PI_PORT_INFO[1].STATE = 3;
    EXPECT_EQ(kernels([&] { manager->set_lut_vshrnk(fd(), 13107, 1); }),
              (Loads{{0x79, 1}, {0x7A, 134}}));
    manager->PI_PORT_INFO[1].STATE = 4;
    EXPECT_EQ(kernels([&] { manager->set_lut_vshrnk(fd(), 13108, 1); }),
              (Loads{{0x79, 2}, {0x7A, 130}, {0x7A, 134}}));
    manager->PI_PORT_INFO[2].STATE = 6;  // interlaced
    EXPECT_EQ(kernels([&] { manager->set_lut_vshrnk(fd(), 65000, 2); }),
              (Loads{{0x79, 38}, {0x7A, 138}, {0x7A, 142}}));
    manager->PI_PORT_INFO[3].STATE = 0;
    EXPECT_EQ(kernels([&] { manager->set_lut_vshrnk(fd(), 65001, 3); }),
              (Loads{{0x79, 44}, {0x7A, 142}}));
    EXPECT_TRUE(kernels([&] { manager->set_lut_vshrnk(fd(), 32768, 6); }).empty());
}

}  // namespace
}  // namespace videotest
