// The input window of a slot (the part of its port's picture it shows) where the port's
// picture is not one progressive frame a pixel a clock: interlaced ports, whose fields the
// de-interlacers of input channels 0..3 join into frames, and ports in state 1, whose
// horizontal figures the chip halves; and a demand of exactly eight input channels.
#include <gtest/gtest.h>

#include "video/c331_window_plan.h"

namespace {

using namespace c331plan;

// A slot of one output channel on port 1.
IwinInput slotOnPort1(int firstIch) {
    IwinInput in;
    in.hcnt = in.vcnt = 1;
    in.port = 1;
    in.firstIch = firstIch;
    for (PortArea& p : in.ports) {
        p.act = p.dbd = {192, 1920, 41, 1080};
        p.state = 4;
    }
    return in;
}

// 1080i: a field of 540 lines from line 20.
void interlaced(IwinInput& in) {
    in.ports[1].act = in.ports[1].dbd = {192, 1920, 20, 540};
    in.ports[1].state = 5;
    in.ports[1].interlaced = 1;
}

TEST(InputWindow, AnInterlacedPortIsAFrameOfTwiceItsFieldOnTheLowChannelsOnly) {
    for (int ich : {0, 3}) {
        IwinInput in = slotOnPort1(ich);
        interlaced(in);
        const _ImageWindowDef_st w = calc_iwin(in);
        EXPECT_EQ(w.HW, 1920) << ich;
        EXPECT_EQ(w.VW, 1080) << ich;
    }
    // Received on a high channel the fields stay fields.
    IwinInput in = slotOnPort1(4);
    interlaced(in);
    EXPECT_EQ(calc_iwin(in).VW, 540);
    // Dot by dot, single input: the same.
    in.dbdMode = 1;
    EXPECT_EQ(calc_iwin(in).VW, 540);
    in.firstIch = 2;
    EXPECT_EQ(calc_iwin(in).VW, 1080);
}

// A crop of an interlaced port counts in frame lines whatever channel takes it: top 100,
// bottom 80 of 1080 leave 900 lines from line 100.
TEST(InputWindow, ACropOfAnInterlacedPortCountsFrameLines) {
    IwinInput in = slotOnPort1(5);
    interlaced(in);
    in.cropEnabled = 1;
    const int crop[4] = {0, 0, 100, 80};
    std::copy(crop, crop + 4, in.crop);
    const _ImageWindowDef_st w = calc_iwin(in);
    EXPECT_EQ(w.VST, 100);
    EXPECT_EQ(w.VW, 900);
    // A top offset past the frame's 1080 lines starts at 0.
    in.crop[2] = 1080;
    in.crop[3] = 0;
    EXPECT_EQ(calc_iwin(in).VST, 0);
}

// In state 1 the chip's width is half the picture's: the input window counts it double,
// crops included (left 200, right 40 of 3840: 3600 from 200).
TEST(InputWindow, AStateOnePortCountsItsWidthDouble) {
    IwinInput in = slotOnPort1(4);
    in.port = 5;
    in.ports[5].act = {192, 1920, 82, 2160};
    in.ports[5].dbd = {384, 3840, 82, 2160};
    in.ports[5].state = 1;
    _ImageWindowDef_st w = calc_iwin(in);
    EXPECT_EQ(w.HW, 3840);
    EXPECT_EQ(w.VW, 2160);
    in.cropEnabled = 1;
    in.crop[0] = 200;
    in.crop[1] = 40;
    w = calc_iwin(in);
    EXPECT_EQ(w.HST, 200);
    EXPECT_EQ(w.HW, 3600);
    // In state 4 the width is the port's own.
    in.ports[5].state = 4;
    in.cropEnabled = 0;
    EXPECT_EQ(calc_iwin(in).HW, 1920);
}

// Four windows on V-by-One ports need a pair each: eight channels, which the eight serve.
TEST(InputWindow, EightChannelsOfDemandAreServed) {
    IchTables t;
    init_ich_tables(t);
    for (int j = 0; j < 4; ++j) {
        t.shape[j][0] = t.shape[j][1] = 1;
        t.input[j] = 5;
    }
    t.port[5].wide = true;
    EXPECT_EQ(check_ich_all(t, 0), 8);
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(set_input(t, j, 5), 0) << j;
    // The pairs in the order (4, 5), (6, 7), (2, 3), (0, 1).
    const int first[4] = {4, 6, 2, 0};
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(t.list[j][0], first[j]) << j;
        EXPECT_EQ(t.list[j][1], first[j] + 1) << j;
    }
}

}  // namespace
