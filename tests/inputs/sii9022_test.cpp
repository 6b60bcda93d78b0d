// The SiI9022A transmitter programmed with a user timing at its fixed 62.5 MHz pixel
// clock, seen on the chip's TPI registers.
#include <utility>
#include <vector>

#include "inputs/sii9022.h"
#include "tests/inputs/it6805_fixture.h"

namespace {

using Writes = std::vector<std::pair<uint8_t, uint8_t>>;

class SiI9022Test : public test::It6805Test {
protected:
    void SetUp() override {
        It6805Test::SetUp();
        tx = &bus->dormant(0x76);
    }
    sim::PlainRegisterChip* tx = nullptr;
    SiI9022 sii;
};

TEST_F(SiI9022Test, A1920x1080At60TimingIsProgrammedAtTheFixedClock) {
    ASSERT_EQ(sii.I2C_set_SiI9022(1920, 1080, 60), 1);
    // Vtotal = 1080 + 83 = 1163; Htotal = 62 500 000 / 60 / 1163 = 895; pixel clock
    // 895 x 60 x 1163 / 10 000 = 6245 (10 kHz units); 60.00 Hz as 6000.
    // Active picture from pixel 80 + 60 = 140 and line 43 + 20 = 63.
    // The AVI InfoFrame (CTA-861: type 0x82, version 2, length 13): data byte 1 0x11,
    // byte 2 0x28 (16:9), byte 8 81, byte 12 44, the rest 0; the checksum makes header,
    // checksum and data add up to 0.
    const uint8_t data[13] = {0x11, 0x28, 0, 0, 0, 0, 0, 81, 0, 0, 0, 44, 0};
    unsigned sum = 0x82 + 0x02 + 0x0D;
    for (uint8_t b : data)
        sum += b;
    uint8_t checksum = static_cast<uint8_t>(0x100 - (sum & 0xFF));
    EXPECT_EQ(checksum, 0xB9);

    Writes expected = {{0xC7, 0x00}, {0xBC, 0x01},    {0xBD, 0x82}, {0xBE, 0x25}, {0x1E, 0x00},
                       {0x00, 0x65}, {0x01, 0x18},    {0x02, 0x70}, {0x03, 0x17}, {0x04, 0x7F},
                       {0x05, 0x03}, {0x06, 0x8B},    {0x07, 0x04}, {0x08, 0x70}, {0x09, 0x00},
                       {0x0A, 0x00}, {0x0B, 0x00},    {0x60, 0x00}, {0x62, 0x8C}, {0x63, 0x40},
                       {0x64, 0x3F}, {0x65, 0x00},    {0x66, 0x80}, {0x67, 0x07}, {0x68, 0x38},
                       {0x69, 0x04}, {0x0C, checksum}};
    for (int i = 0; i < 13; ++i)
        expected.emplace_back(static_cast<uint8_t>(0x0D + i), data[i]);
    expected.emplace_back(0x1A, 0x00);
    EXPECT_EQ(tx->writes(), expected);

    // Each byte is read back after its write.
    int reads = 0;
    for (const auto& m : bus->messagesTo(0x76))
        reads += m.read;
    EXPECT_EQ(reads, static_cast<int>(expected.size()));
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(SiI9022Test, TimingsThatDoNotFitTheRegistersAreRefusedWithoutTouchingTheChip) {
    EXPECT_EQ(sii.I2C_set_SiI9022(1920, 1080, 0), 0) << "refresh 0";
    EXPECT_EQ(sii.I2C_set_SiI9022(640, 100, 1), 0) << "a line of 341 530 pixels";
    EXPECT_EQ(sii.I2C_set_SiI9022(640, 480, 656), 0) << "65 600 in 16 bits";
    EXPECT_EQ(sii.I2C_set_SiI9022(4096, 100, 60), 0) << "width beyond 12 bits";
    EXPECT_EQ(sii.I2C_set_SiI9022(640, 2048, 24), 0) << "height beyond 11 bits";
    EXPECT_EQ(sii.I2C_set_SiI9022(0, 1080, 60), 0);
    EXPECT_TRUE(bus->messagesTo(0x76).empty());
    // 1280x720 at 50 Hz: a line of 62 500 000 / 50 / 803 = 1556 pixels.
    EXPECT_EQ(sii.I2C_set_SiI9022(1280, 720, 50), 1);
    EXPECT_EQ(tx->reg(0x04) | (tx->reg(0x05) << 8), 1556);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

TEST_F(SiI9022Test, TheProbeRecordsWhetherEachFpgasTransmitterAnswers) {
    store->reg_para[0x27] = 0x01;
    EXPECT_EQ(sii.check_9022(0), 1);
    EXPECT_EQ(store->reg_para[0x27], 0x03);
    EXPECT_EQ(sii.check_9022(1), 1);
    EXPECT_EQ(store->reg_para[0x27], 0x07);
    tx->setPresent(false);
    EXPECT_EQ(sii.check_9022(0), 0);
    EXPECT_EQ(store->reg_para[0x27], 0x05);
    auto messages = bus->messagesTo(0x76);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].bytes, (std::vector<u8>{0x62}));
    EXPECT_TRUE(tx->writes().empty()) << "a probe programs nothing";
    EXPECT_EQ(sii.I2C_set_SiI9022(1920, 1080, 60), 0) << "writes not taken are reported";
}

}  // namespace
