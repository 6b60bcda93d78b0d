// Brightness from the light sensor of a multifunction card on an output port: one level
// step per reading towards what the light asks for, full brightness after ten readings
// without an answer.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "board/sim/wall_clock.h"
#include "tests/fpga/card_fixture.h"

namespace fpgatest {
namespace {

using Area = fpga_manage::Area;

class SensorBrightness : public CardTest {
protected:
    void SetUp() override {
        CardTest::SetUp();
        sim::get<sim::WallClock>("wall-clock")->set(2024, 3, 15, 20, 0, 0);
        plug({{0, 1}});
        ports()->setMultifunction(0, true);
        ports()->setLightLevel(0, true, 10);
        bringUpAndSearch();
    }
    // The sensor mode stored, as the PC does it.
    void sensorMode() {
        Bytes area(8 + 49, 0);
        area[0] = 0xAA;
        area[1] = 3;
        area[2] = 0xAA;
        area[6] = 49;
        area[8] = 2;
        ASSERT_EQ(manager->controller_area_write(Area::Cmd, 0, 0, area.data(), area.size()), 1);
        ASSERT_EQ(manager->controller_register_write(0, 2, 0x04, 0x04), 1);
    }
    // One run of the brightness task (every 10 s); the value it sent.
    int reading() {
        const size_t before = brightnessWrites();
        pass(100, 10);
        const auto writes = regWrites(6);
        return writes.size() > before ? writes.back().value : -1;
    }
    size_t brightnessWrites() { return regWrites(6).size(); }
    std::vector<Bytes> sensorReads() {
        std::vector<Bytes> out;
        for (const SentFrame& f : sentOn(0))
            if (f.frame.size() > 9 && f.frame[9] == 0x61)
                out.push_back(f.frame);
        return out;
    }
};

TEST_F(SensorBrightness, TheCardIsFoundAndReadOnItsPort) {
    EXPECT_EQ(fpga_manage::MCU_RAM_PARA_func[0][104], 1) << "the search saw the card";
    forgetSent();
    sensorMode();
    run(2);
    const auto reads = sensorReads();
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0], (Bytes{0x00, 0x40, 0x00, 0xF0, 0x10, 0xBB, 0x03, 0x00, 0x00, 0x61, 0x00,
                               0x00, 0x00, 0x02, 0x80, 0x00, 0x00, 0x00, 0xFB}));
    EXPECT_EQ(g_change[27], 1u);
    EXPECT_EQ(g_change[28], 0x4000u);
}

TEST_F(SensorBrightness, TheLevelStepsOnceAReadingTowardsTheLight) {
    sensorMode();
    run(2);
    EXPECT_EQ(regWrites(6).back().value, 239) << "16 to 15";
    const int expected[] = {223, 207, 191, 175, 159, 159};  // 14, 13, 12, 11, 10, 10
    for (int value : expected)
        EXPECT_EQ(reading(), value);
    ports()->setLightLevel(0, true, 12);
    EXPECT_EQ(reading(), 175);
    EXPECT_EQ(reading(), 191);
    EXPECT_EQ(reading(), 191);
    // A card that reports no reading leaves the level where it is.
    ports()->setLightLevel(0, false, 1);
    EXPECT_EQ(reading(), 191);
    EXPECT_EQ(shadow(64), 12);
}

TEST_F(SensorBrightness, TenReadingsWithoutAnAnswerFallBackToFullBrightness) {
    ports()->setLightLevel(0, true, 3);
    sensorMode();
    run(2);
    for (int i = 0; i < 4; ++i)
        reading();
    EXPECT_EQ(shadow(64), 11);
    ports()->setMultifunctionSilent(0, true);
    for (int i = 1; i < 10; ++i)
        EXPECT_EQ(reading(), 175) << "reading " << i << " without an answer keeps level 11";
    EXPECT_EQ(reading(), 255) << "the tenth: full";
    EXPECT_EQ(shadow(64), 16);
    EXPECT_EQ(reading(), 255);
    ports()->setMultifunctionSilent(0, false);
    EXPECT_EQ(reading(), 239) << "back to the light";
}

TEST_F(SensorBrightness, OnlyTenReadingsInARowCountForTheFallBack) {
    ports()->setLightLevel(0, true, 14);
    sensorMode();
    run(2);
    reading();
    ASSERT_EQ(shadow(64), 14);
    // Nine misses, an answer, nine misses: never ten in a row.
    for (int round = 0; round < 2; ++round) {
        ports()->setMultifunctionSilent(0, true);
        for (int i = 0; i < 9; ++i)
            reading();
        ports()->setMultifunctionSilent(0, false);
        EXPECT_EQ(reading(), 223) << "round " << round;
    }
}

// The PC's pass-through polls the receive path on a transport's thread under passby_mutex;
// the sensor's wait for its answer takes the same lock, so no receive buffer is read or
// given back by both at once.
TEST_F(SensorBrightness, TheSensorWaitSharesTheReceivePathWithTheTransports) {
    sensorMode();
    run(2);
    std::atomic<bool> stop{false};
    std::thread transport([&] {
        while (!stop) {
            pthread_mutex_lock(&manager->passby_mutex);
            manager->reg_IRQ_Dealwith(0, 0);
            pthread_mutex_unlock(&manager->passby_mutex);
        }
    });
    int last = -1;
    for (int i = 0; i < 8; ++i)
        last = reading();
    stop = true;
    transport.join();
    EXPECT_EQ(last, 159) << "every reading answered";
    EXPECT_EQ(shadow(85), 0) << "no wrong replies";
}

}  // namespace
}  // namespace fpgatest
