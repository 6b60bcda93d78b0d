// Interrupts of the IT6602 beyond plugging: a 3D source's vendor-specific infoframe and a
// link that keeps reporting ECC errors.
#include <vector>

#include "core/le.h"
#include "tests/inputs/it6602_fixture.h"

namespace {

using test::It6602Test;

// HDMI 1.4 frame packing of 1080p at 24 Hz: two 1080-line pictures with 45 lines of active
// space between them, 2205 active lines, 2250 in all, 148.5 MHz.
sim::VideoTiming framePacked1080p24() {
    sim::VideoTiming t{};
    t.hActive = 1920;
    t.hFront = 638;
    t.hSync = 44;
    t.hBack = 148;
    t.vActive = 2205;
    t.vFront = 4;
    t.vSync = 5;
    t.vBack = 36;
    t.pixelClockKHz = 148500;
    return t;
}

// HDMI vendor-specific infoframe: type 0x81, version 1, `length` data bytes (12 is the
// one the receiver takes); OUI 00-0C-03 low byte first; HDMI_Video_Format 010 (3D);
// 3D_Structure in the high nibble; the rest zero.
std::vector<u8> vendorFrame(u8 structure, u8 length = 12) {
    std::vector<u8> f = {
        0x81, 0x01, length, 0x00, 0x03, 0x0C, 0x00, 0x40, static_cast<u8>(structure << 4)};
    f.resize(4u + length);
    u8 sum = 0;
    for (u8 b : f)
        sum = static_cast<u8>(sum + b);
    f[3] = static_cast<u8>(0x100 - sum);
    return f;
}

TEST_F(It6602Test, FramePacking3DGetsTheChipsFrameTiming) {
    chip(0).setVendorInfoFrame(vendorFrame(0));
    sources->plug(0, framePacked1080p24());
    ASSERT_TRUE(pictureOn(0));
    ASSERT_TRUE(passUntil([&] { return driver(0).frame_3d == 1; }));
    EXPECT_EQ(chip(0).reg(0, 0x66) & 0x10, 0x10);
    EXPECT_EQ(chip(0).reg(0, 0x85) & 0x20, 0x20);
    EXPECT_EQ(chip(0).reg(1, 0x8F) & 0x01, 0x01);
    auto field = [&](int i) {
        u8 b[2] = {chip(0).reg(1, static_cast<u8>(0x90 + 2 * i)),
                   chip(0).reg(1, static_cast<u8>(0x91 + 2 * i))};
        return get_u16(b);
    };
    EXPECT_EQ(field(0), 2250) << "V total";
    EXPECT_EQ(field(1), 45) << "active start";
    EXPECT_EQ(field(4), 45) << "left start";
    EXPECT_EQ(field(5), 1125) << "left end";
    EXPECT_EQ(field(6), 1170) << "right start, after 45 lines of active space";
    EXPECT_EQ(field(7), 2250) << "right end";
}

// Top-and-bottom needs no frame timing; frame packing announced in a frame of another length
// is not taken.
TEST_F(It6602Test, OnlyFramePackingInATwelveByteFrameGetsFrameTiming) {
    struct Case {
        int channel;
        std::vector<u8> frame;
        const char* what;
    };
    const Case cases[] = {{1, vendorFrame(6), "top and bottom"},
                          {2, vendorFrame(0, 5), "frame packing, 5 data bytes"}};
    for (const Case& c : cases) {
        chip(c.channel).setVendorInfoFrame(c.frame);
        sources->plug(c.channel, framePacked1080p24());
    }
    for (const Case& c : cases) {
        ASSERT_TRUE(pictureOn(c.channel)) << c.what;
        pass(5);
        EXPECT_EQ(driver(c.channel).frame_3d, 0) << c.what;
        EXPECT_EQ(chip(c.channel).reg(0, 0x66) & 0x10, 0) << c.what;
        EXPECT_EQ(chip(c.channel).reg(0, 0x85) & 0x20, 0) << c.what;
        EXPECT_EQ(chip(c.channel).reg(1, 0x8F), 0) << c.what << ": no 3D frame timing";
    }
}

// The receiver takes the frame timing from a frame of exactly 12 data bytes: one byte more
// is no longer the frame it knows.
TEST_F(It6602Test, FramePackingIn12DataBytesGetsFrameTimingAndIn13None) {
    chip(1).setVendorInfoFrame(vendorFrame(0, 12));
    chip(2).setVendorInfoFrame(vendorFrame(0, 13));
    sources->plug(1, framePacked1080p24());
    sources->plug(2, framePacked1080p24());
    ASSERT_TRUE(pictureOn(1));
    ASSERT_TRUE(pictureOn(2));
    ASSERT_TRUE(passUntil([&] { return driver(1).frame_3d == 1; })) << "12 data bytes";
    EXPECT_EQ(chip(1).reg(0, 0x66) & 0x10, 0x10);
    EXPECT_EQ(chip(1).reg(0, 0x85) & 0x20, 0x20);
    EXPECT_EQ(chip(1).reg(1, 0x8F) & 0x01, 0x01);
    auto vTotal = [&](int channel) {
        u8 b[2] = {chip(channel).reg(1, 0x90), chip(channel).reg(1, 0x91)};
        return get_u16(b);
    };
    EXPECT_EQ(vTotal(1), 2250);
    pass(5);
    EXPECT_EQ(chip(2).reg(2, 0x32), 13) << "the frame arrived";
    EXPECT_EQ(chip(2).reg(0, 0x08) & 0x04, 0) << "and its interrupt was taken";
    EXPECT_EQ(driver(2).frame_3d, 0) << "13 data bytes";
    EXPECT_EQ(chip(2).reg(0, 0x66) & 0x10, 0);
    EXPECT_EQ(chip(2).reg(0, 0x85) & 0x20, 0);
    EXPECT_EQ(chip(2).reg(1, 0x8F), 0);
    EXPECT_EQ(vTotal(2), 0) << "no 3D frame timing";
    EXPECT_TRUE(sim::allProtocolErrors().empty());
}

// From the 23rd ECC error interrupt on, the port is reset for 300 ms with hot-plug low.
TEST_F(It6602Test, PersistentEccErrorsResetTheLinkBehindALowHotPlug) {
    sources->plug(1, cta(16));
    ASSERT_TRUE(pictureOn(1));
    ASSERT_TRUE(passUntil([&] { return !driver(1).eq[0].busy; }));
    size_t edges = sources->hotPlugEdges(1).size();
    for (int i = 0; i < 22; ++i) {
        chip(1).raiseInterrupt(0x05, 0x40);
        pass();
    }
    EXPECT_EQ(sources->hotPlugEdges(1).size(), edges) << "22 errors are tolerated";
    chip(1).clearWrites();
    chip(1).raiseInterrupt(0x05, 0x40);
    pass();
    auto all = sources->hotPlugEdges(1);
    ASSERT_EQ(all.size(), edges + 2);
    EXPECT_FALSE(all[edges].high);
    EXPECT_TRUE(all[edges + 1].high);
    // Slept for 300 ms at a tenth of real time.
    EXPECT_GE(all[edges + 1].timeMs - all[edges].timeMs, 30.0);
    std::vector<u8> resets;
    for (const auto& w : chip(1).writes())
        if (w.bank == 0 && w.reg == 0x11)
            resets.push_back(w.value & 0x0F);
    EXPECT_EQ(resets, (std::vector<u8>{0x0F, 0x00}));
    ASSERT_TRUE(pictureOn(1));
    EXPECT_EQ(inputSize(1).width, 1920);
}

}  // namespace
