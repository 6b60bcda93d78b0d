// The simulated output ports refuse what the FPGA would not take, so that an empty error
// list after a card test means the driver kept to the ports' rules.
#include <gtest/gtest.h>

#include "tests/fpga/card_fixture.h"

namespace fpgatest {
namespace {

class PortsModel : public CardTest {
protected:
    void SetUp() override {
        CardTest::SetUp();
        plug({{0, 2}});
        ASSERT_TRUE(bringUp());
        run(2);
        fpga()->clearLog();
    }
    void reg(u8 number, u8 value, u8 mask = 0xFF) {
        manager->write_fpga_register(number, value, 0, mask);
    }
    void load(const Bytes& frame) {
        manager->write_fpga_ram(frame.data(), 0, static_cast<unsigned>(frame.size()), 3, 0);
    }
    size_t errors() { return fpga()->protocolErrors().size(); }
};

TEST_F(PortsModel, RefusesWhatTheFpgaWouldNotTake) {
    const Bytes good =
        sealed({0x00, 0x00, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x01, 0x00, 0x81, 0xFF, 0x00, 0x00});
    reg(129, 0x00);  // the FPGA drives it
    EXPECT_EQ(errors(), 1u);
    manager->write_fpga_ram(good.data(), 0, 13, 2, 0);  // a receive buffer
    EXPECT_EQ(errors(), 2u);

    load(good);
    reg(26, 12);
    reg(27, 0, 0x03);
    reg(132, 0x04);  // port 2 is not in pair 0
    reg(130, 0x10, 0xF0);
    EXPECT_EQ(errors(), 3u);
    reg(132, 0x03);  // two ports at once
    reg(130, 0x10, 0xF0);
    EXPECT_EQ(errors(), 4u);
    reg(132, 0x01);
    reg(26, 40);  // longer than what was loaded
    reg(130, 0x10, 0xF0);
    EXPECT_EQ(errors(), 5u);

    Bytes spoilt = good;
    spoilt.back() ^= 0xFF;
    load(spoilt);
    reg(26, 12);
    reg(130, 0x10, 0xF0);
    EXPECT_EQ(errors(), 6u) << "a bad check byte";
    reg(130, 0x01, 0x01);  // give back a buffer that holds nothing
    EXPECT_EQ(errors(), 7u);

    // A RAM write whose length field promises more data than the frame holds.
    const Bytes ram = sealed({0x01, 0x00, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x01, 0x00, 0x60, 0x80,
                              0x01, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x11, 0x22, 0x00});
    load(ram);
    reg(26, static_cast<u8>(ram.size() - 1));
    reg(130, 0x10, 0xF0);
    EXPECT_EQ(errors(), 8u);

    // A good frame, sent as the driver sends it, adds nothing; the card saved.
    load(good);
    reg(26, 12);
    reg(130, 0x10, 0xF0);
    EXPECT_EQ(errors(), 8u);
    EXPECT_TRUE(card(0, 0).saved());
    fpga()->clearProtocolErrors();
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(PortsModel, TheReceiveEventStaysUpUntilEveryBufferIsGivenBack) {
    const Bytes answer =
        sealed({0x00, 0xF0, 0x00, 0x00, 0x10, 0xBB, 0x03, 0x01, 0x00, 0xA0, 0x00, 0x00});
    ports()->answer(0, answer, 0, sim::nowMs());
    ports()->answer(0, answer, 0, sim::nowMs());
    EXPECT_TRUE(fpga()->serviceRequested());
    EXPECT_EQ(fpga()->reg(129) & 0x01, 0x01);
    EXPECT_EQ(fpga()->reg(24), 11) << "the index of the check byte";
    EXPECT_EQ(fpga()->ram(2, 0, 12), answer);
    reg(22, 0x00, 0x20);
    EXPECT_TRUE(fpga()->serviceRequested()) << "a frame still waits";
    reg(130, 0x01, 0x01);
    reg(131, 0x00, 0x01);
    EXPECT_TRUE(fpga()->serviceRequested()) << "the second answer took the buffer";
    reg(130, 0x01, 0x01);
    reg(131, 0x00, 0x01);
    EXPECT_FALSE(fpga()->serviceRequested());
    EXPECT_EQ(fpga()->reg(129) & 0x01, 0);
    EXPECT_EQ(boardErrors(), "");
}

}  // namespace
}  // namespace fpgatest
