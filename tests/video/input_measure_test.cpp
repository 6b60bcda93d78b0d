// The c331's input measurement on the simulated board, read from the chip's side: what
// each port's registers answer for the sources plugged into the device's inputs.
#include <gtest/gtest.h>

#include "board/sim/c331_input_measure.h"
#include "board/sim/c331_model.h"
#include "board/sim/hdmi_sources.h"
#include "tests/support/sim_test.h"

namespace {

class InputMeasureTest : public test::SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        chip = sim::get<sim::C331Model>("c331");
        sources = sim::get<sim::HdmiSources>("hdmi-sources");
    }
    uint32_t read(uint8_t bank, uint8_t address, int bytes = 1) {
        std::vector<uint8_t> rx(2);
        chip->transfer({0x80, bank}, rx);
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            chip->transfer({static_cast<uint8_t>(address + i), 0xFF}, rx);
            value |= static_cast<uint32_t>(rx[1]) << (8 * i);
        }
        return value;
    }
    void write(uint8_t bank, uint8_t address, uint8_t value) {
        std::vector<uint8_t> rx(2);
        chip->transfer({0x80, bank}, rx);
        chip->transfer({static_cast<uint8_t>(0x80 | address), value}, rx);
    }
    template <class Fn>
    void measure(Fn fn) {
        chip->with<sim::C331InputMeasure>(fn);
    }

    std::shared_ptr<sim::C331Model> chip;
    std::shared_ptr<sim::HdmiSources> sources;
};

// 1920 x 1080 at 60 Hz (CTA-861 VIC 16: 2200 x 1125 at 148.5 MHz) on input 1 reaches
// parallel port 1. Periods in ticks of 200 MHz: a line 2200 / 148.5 MHz = 2963 ticks, a
// frame 1 / 60 s = 3,333,333 ticks.
TEST_F(InputMeasureTest, AParallelPortMeasuresItsSource) {
    sources->plug(1, *sim::VideoTiming::cta861(16));
    EXPECT_EQ(read(0xAE, 0x0A, 2), 2199u);
    EXPECT_EQ(read(0xAE, 0x22, 2), 1125u);
    EXPECT_EQ(read(0xAE, 0x3A, 2), 2962u);
    EXPECT_EQ(read(0xAE, 0x53, 3), 3333332u);
    EXPECT_EQ(read(0xAF, 0x0A, 2), 1920u);
    // Ports without a source, and port 3 which has no receiver, read all ones.
    for (int p : {0, 2, 3}) {
        EXPECT_EQ(read(0xAE, 0x08 + 2 * p, 2), 0xFFFFu) << p;
        EXPECT_EQ(read(0xAE, 0x50 + 3 * p, 3), 0xFFFFFFu) << p;
    }
    measure([](sim::C331InputMeasure& m) { m.dropSignal(1, true); });
    EXPECT_EQ(read(0xAE, 0x0A, 2), 0xFFFFu);
    EXPECT_EQ(read(0xAE, 0x3A, 2), 0xFFFFu);
    measure([](sim::C331InputMeasure& m) { m.dropSignal(1, false); });
    sources->unplug(1);
    EXPECT_EQ(read(0xAF, 0x0A, 2), 0xFFFFu);
}

// 1080i at 50 Hz (VIC 20): 2640 x 1125 at 74.25 MHz, fields of 562 lines at 50 Hz: a
// field is 4,000,000 ticks.
TEST_F(InputMeasureTest, AnInterlacedSourceMeasuresItsFields) {
    sources->plug(0, *sim::VideoTiming::cta861(20));
    EXPECT_EQ(read(0xAE, 0x0C, 2), 2639u);  // port 2
    EXPECT_EQ(read(0xAE, 0x24, 2), 562u);
    EXPECT_EQ(read(0xAE, 0x56, 3), 3999999u);
}

// 3840 x 2160 at 60 Hz (VIC 97) on input 3 arrives on all eight lanes of V-by-One
// receiver 1 once its lane mask lets them in; lane n is bit 7 - n.
TEST_F(InputMeasureTest, AVbyOneReceiverLocksAndMeasuresTheLanesItLetsIn) {
    sources->plug(3, *sim::VideoTiming::cta861(97));
    EXPECT_EQ(read(0xB2, 0x63), 0u) << "no lane let in";
    EXPECT_EQ(read(0xAE, 0x18, 2), 0xFFFFu);
    write(0x02, 0x6B, 0x80);
    EXPECT_EQ(read(0xB2, 0x63), 0x80u);
    EXPECT_EQ(read(0xAE, 0x18, 2), 4399u);
    EXPECT_EQ(read(0xAE, 0x30, 2), 2250u);
    EXPECT_EQ(read(0xAF, 0x18, 2), 3840u);
    EXPECT_EQ(read(0xAE, 0x48, 2), 1480u);  // a line: 4400 / 594 MHz = 1481 ticks
    EXPECT_EQ(read(0xAE, 0x68, 3), 3333332u);
    EXPECT_EQ(read(0xAE, 0x4A, 2), 0xFFFFu) << "lane pair 1 not let in";
    write(0x02, 0x6B, 0xFF);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(read(0xAE, 0x48 + 2 * k, 2), 1480u) << k;
        EXPECT_EQ(read(0xAE, 0x68 + 3 * k, 3), 3333332u) << k;
    }
    measure([](sim::C331InputMeasure& m) { m.setBadLane(1, 3, true); });
    EXPECT_EQ(read(0xAE, 0x4A, 2), 0xFFFFu) << "lanes 2, 3";
    EXPECT_EQ(read(0xAE, 0x71, 3), 3333332u);
    EXPECT_EQ(read(0xB2, 0x63), 0x80u) << "lane 0 still locks";
    // Receiver 0 has nothing connected.
    write(0x02, 0x4F, 0xFF);
    EXPECT_EQ(read(0xAE, 0x10, 2), 0xFFFFu);
}

// A transmitter of the test's own on receiver 0 (port 4): its picture is measured once
// the lane mask lets lane 0 in, and taken away the port reads all ones again.
TEST_F(InputMeasureTest, ATestsTransmitterFeedsReceiverZero) {
    write(0x02, 0x4F, 0x80);
    measure([](sim::C331InputMeasure& m) { m.send(0, *sim::VideoTiming::cta861(16)); });
    EXPECT_EQ(read(0xB2, 0x63), 0x20u) << "receiver 0 locked";
    EXPECT_EQ(read(0xAE, 0x10, 2), 2199u);
    EXPECT_EQ(read(0xAE, 0x28, 2), 1125u);
    EXPECT_EQ(read(0xAF, 0x10, 2), 1920u);
    EXPECT_EQ(read(0xAE, 0x18, 2), 0xFFFFu) << "receiver 1 still has nothing";
    measure([](sim::C331InputMeasure& m) { m.send(0, std::nullopt); });
    EXPECT_EQ(read(0xAE, 0x10, 2), 0xFFFFu);
    EXPECT_EQ(read(0xB2, 0x63), 0u);
}

TEST_F(InputMeasureTest, TransmitterLanesFollowThePicture) {
    using sim::C331InputMeasure;
    EXPECT_EQ(C331InputMeasure::transmitterLanes(*sim::VideoTiming::cta861(97)), 8);
    EXPECT_EQ(C331InputMeasure::transmitterLanes(*sim::VideoTiming::cta861(16)), 2);
    EXPECT_EQ(C331InputMeasure::transmitterLanes(*sim::VideoTiming::cta861(4)), 1);
    sim::VideoTiming wide = *sim::VideoTiming::cta861(16);
    wide.hActive = 2560;
    wide.pixelClockKHz = 120000;
    EXPECT_EQ(C331InputMeasure::transmitterLanes(wide), 4);
    wide.hFront = 110;  // not a multiple of 4
    EXPECT_EQ(C331InputMeasure::transmitterLanes(wide), 2);
}

}  // namespace
