// The picture decoder of the simulated c331 on register images written out by hand: the
// faults it must report (memory that two input channels write, a capture outside its
// line's picture, a line that brings nothing) and the V-by-One lines it follows.
//
// Output channel 0 shows input channel 0's picture over its whole 1920 x 1080 area, alone
// at panel position 0; the input channels store 16/5 units a pixel and 64 x 1024 units a
// line. 1080p (CTA-861 VIC 16) starts its picture 192 pixels and 41 lines after the syncs.
#include <gtest/gtest.h>

#include "board/sim/c331_picture.h"
#include "board/sim/hdmi_sources.h"

namespace {

class Registers {
public:
    Registers() : regs_(256 * 128) {}
    void set(int bank, int address, uint32_t value, int bytes = 1) {
        for (int i = 0; i < bytes; ++i)
            regs_[static_cast<size_t>(bank * 128 + address + i)] =
                static_cast<uint8_t>(value >> (8 * i));
    }
    // Input channel ich takes line `source` from `start` (the register, 7 before), width
    // pixels of 1080 lines from line 42, and stores them from `base` in buffer b at b x
    // 0x08800000 on.
    void capture(int ich, int source, int start, int width, uint32_t base) {
        const int o = 16 * ich;
        set(0x00, 0x10 + ich, static_cast<uint32_t>(source));
        set(0x10 + o, 0x09, 1);
        set(0x10 + o, 0x17, static_cast<uint32_t>(start), 2);
        set(0x10 + o, 0x19, static_cast<uint32_t>(width), 2);
        set(0x10 + o, 0x1B, 42, 2);
        set(0x10 + o, 0x1D, 1080, 2);
        set(0x16 + o, 0x31, 64);
        set(0x16 + o, 0x65, 1);
        for (int b = 0; b < 5; ++b)
            set(0x16 + o, 0x1C + 4 * b, base + 0x08800000u * static_cast<uint32_t>(b), 4);
    }
    // Output channel 0 reads input channel 0's picture from its start, 1920 x 1080.
    void output() {
        set(0x00, 0x08, 1);
        set(0x08, 0x08, 0x0001, 2);
        set(0x08, 0x2A, 1920, 2);
        set(0x08, 0x2E, 1080, 2);
        set(0x08, 0x32, 1920, 2);
        set(0x08, 0x36, 1080, 2);
        for (int b = 0; b < 5; ++b)
            set(0x16, 0x08 + 4 * b, 0x08800000u * static_cast<uint32_t>(b) - 65536u, 4);
        set(0x16, 0x30, 64);
        set(0x16, 0x6C, 0x2103, 2);
        set(0x0E, 0x09, 8, 4);  // panel position 0 composes channel 0
        set(0x0E, 0x11, 128);   // at full weight
    }
    sim::C331Picture picture(int port, const sim::VideoTiming& t) const {
        std::array<std::optional<sim::VideoTiming>, 6> pictures;
        pictures[static_cast<size_t>(port)] = t;
        return sim::C331Picture(regs_, pictures);
    }

private:
    std::vector<uint8_t> regs_;
};

sim::VideoTiming vic16() {
    return *sim::VideoTiming::cta861(16);
}

bool has(const std::vector<std::string>& faults, const std::string& text) {
    for (const std::string& f : faults)
        if (f.find(text) != std::string::npos)
            return true;
    return false;
}

// Input channel 0 stores 1920 pixels (6144 units) a line. Input channel 1 from 8192 units
// on lies beside it; from 1000 units on it overwrites it; from 65436 its lines start 100
// units before the end of channel 0's lines and run on into channel 0's next ones.
TEST(PictureDecoder, MemoryThatTwoInputChannelsWriteIsAFault) {
    struct Case {
        uint32_t base;
        bool shared;
    };
    for (const Case& k :
         {Case{8192, false}, Case{1000, true}, Case{65436, true}, Case{6144, false}}) {
        Registers r;
        r.capture(0, 2, 185, 1920, 0);
        r.capture(1, 2, 185, 1920, k.base);
        const sim::C331Picture p = r.picture(1, vic16());
        EXPECT_EQ(has(p.inputFaults(0), "input channels 0 and 1 write the same memory"), k.shared)
            << k.base;
        EXPECT_EQ(has(p.inputFaults(1), "input channels 0 and 1 write the same memory"), k.shared)
            << k.base;
    }
}

TEST(PictureDecoder, ACaptureOutsideItsLinesPictureIsAFault) {
    Registers r;
    r.capture(0, 2, 185, 1920, 0);
    r.output();
    sim::C331Picture p = r.picture(1, vic16());
    EXPECT_TRUE(p.inputFaults(0).empty());
    EXPECT_TRUE(p.channel(0).faults.empty()) << p.describe();
    EXPECT_EQ(p.channel(0).port, 1);
    r.capture(0, 2, 186, 1920, 0);  // one pixel past the line's picture
    p = r.picture(1, vic16());
    EXPECT_TRUE(has(p.inputFaults(0), "captures outside"));
    EXPECT_TRUE(has(p.channel(0).faults, "captures outside")) << p.describe();
}

// 1080p over 2 lanes: receiver 1 brings the whole picture on lines 12 and 13, none on 14.
TEST(PictureDecoder, AVbyOneReceiverOnFewerThanFourLanes) {
    for (int source : {12, 13}) {
        Registers r;
        r.capture(0, source, 185, 1920, 0);
        r.output();
        const sim::C331Picture p = r.picture(5, vic16());
        EXPECT_TRUE(p.channel(0).faults.empty()) << source << "\n" << p.describe();
        EXPECT_EQ(p.channel(0).port, 5) << source;
        EXPECT_EQ(p.channel(0).input, 3) << source;
        EXPECT_EQ(p.channel(0).source, (sim::PictureRect{0, 0, 1920, 1080})) << source;
    }
    Registers r;
    r.capture(0, 14, 185, 1920, 0);
    r.output();
    const sim::C331Picture p = r.picture(5, vic16());
    EXPECT_TRUE(has(p.channel(0).faults, "its port brings no picture")) << p.describe();
    EXPECT_FALSE(p.channel(0).shows());
}

// 1080p at 297 MHz over 4 lanes: the left half on line 12, the right on 13, each from
// position 96 at half the clock. Input pair 0 joins them from 96, 2 x 960 pixels; its
// channels capture the joined halves, the second stored 960 pixels (3072 units) on.
TEST(PictureDecoder, APairJoinsTheHalvesOfAVbyOneLine) {
    sim::VideoTiming t = vic16();
    t.pixelClockKHz = 297000;
    Registers r;
    r.capture(0, 12, 89, 960, 0);
    r.capture(1, 13, 89 + 960, 960, 3072);
    r.set(0x10 + 16, 0x09, 8);  // runs with input channel 0
    r.set(0x03, 0x08, 3);
    r.set(0x03, 0x09, 96, 2);
    r.set(0x03, 0x0B, 1920, 2);
    r.output();
    sim::C331Picture p = r.picture(5, t);
    EXPECT_TRUE(p.channel(0).faults.empty()) << p.describe();
    EXPECT_EQ(p.channel(0).source, (sim::PictureRect{0, 0, 1920, 1080}));
    const std::optional<sim::PixelSource> pixel = p.visible(0, 1000, 10);
    ASSERT_TRUE(pixel) << p.describe();
    EXPECT_EQ(pixel->x, 1000);
    EXPECT_EQ(pixel->port, 5);
    // Not joined, the second channel's capture lies past the right half's 960 pixels.
    r.set(0x03, 0x08, 0);
    p = r.picture(5, t);
    EXPECT_TRUE(has(p.inputFaults(1), "captures outside")) << p.describe();
    // Joined lines that do not continue each other (the left half twice).
    r.set(0x03, 0x08, 3);
    r.set(0x00, 0x11, 12);
    p = r.picture(5, t);
    EXPECT_TRUE(has(p.inputFaults(1), "do not continue each other")) << p.describe();
}

}  // namespace
