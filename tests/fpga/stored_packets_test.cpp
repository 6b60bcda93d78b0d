// The stored card packets (card search and the brightness packets), and the one-shot
// services of FPGA 0 that take the cards' answers to them.
#include <gtest/gtest.h>

#include "tests/fpga/card_fixture.h"

namespace fpgatest {
namespace {

Bytes closed(Bytes frame) {
    u8 x = 0;
    for (size_t i = 0; i + 1 < frame.size(); ++i)
        x ^= frame[i];
    frame.back() = x;
    return frame;
}

class StoredPackets : public CardTest {
protected:
    void SetUp() override {
        CardTest::SetUp();
        plug({{2, 2}});
        bringUpAndSearch();
        forgetSent();
    }
    Bytes lastOn(int port) {
        const auto sent = sentOn(port);
        return sent.empty() ? Bytes{} : sent.back().frame;
    }
};

TEST_F(StoredPackets, EachModeSendsItsPacketWithThePortBitsAndACheckByte) {
    // Port 2: destination port bits 10 in bits 12..13 of the address (byte 1 0x2F).
    ASSERT_EQ(manager->Send_rcv_card_cmd(2, 1, 0), 1);
    EXPECT_EQ(lastOn(2), closed({0xFE, 0x2F, 0x00, 0xF0, 0x10, 0x66, 0x01, 0x00, 0x00, 0x60,
                                 0x80, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xFF, 0x00}));
    manager->Brightness_task_run();
    ASSERT_EQ(manager->Send_rcv_card_cmd(2, 2, 0), 1);
    EXPECT_EQ(lastOn(2), closed({0xFE, 0x2F, 0x00, 0xF0, 0x10, 0x66, 0x01, 0x00, 0x00, 0xA0, 0x01,
                                 0x08, 0x00, 0x08, 0x00}));
    manager->Brightness_task_run();
    ASSERT_EQ(manager->Send_rcv_card_cmd(2, 3, 0), 1);
    EXPECT_EQ(lastOn(2), closed({0xFE, 0x2F, 0x00, 0xF0, 0x10, 0x66, 0x01, 0x00, 0x00, 0x81, 0x09,
                                 0x00, 0x00}));
    manager->Brightness_task_run();
    // Every card of the chain carried them out.
    for (int c = 0; c < 2; ++c) {
        const sim::ReceivingCard card = this->card(2, c);
        EXPECT_EQ(card.ram(0x80, 1), Bytes{0xFF}) << c;
        ASSERT_EQ(card.registerWrites().size(), 1u) << c;
        EXPECT_EQ(card.registerWrites()[0], (Bytes{0x01, 0x08, 0x00, 0x08})) << c;
        EXPECT_TRUE(card.saved()) << c;
    }
    ASSERT_EQ(manager->Send_rcv_card_cmd(3, 0, 0), 1);
    EXPECT_EQ(lastOn(3), closed({0xFE, 0x3F, 0x00, 0xF0, 0x10, 0xAA, 0xFF, 0x00, 0x00, 0x10, 0x00,
                                 0x00, 0x00, 0x00, 0x00}));
    // Above port 3 only the port's two low bits go into bits 4..5 of byte 1, as in every
    // card address; the byte's other bits stay as stored.
    ASSERT_EQ(manager->Send_rcv_card_cmd(5, 0, 0), 1);
    EXPECT_EQ(lastOn(5), closed({0xFE, 0x1F, 0x00, 0xF0, 0x10, 0xAA, 0xFF, 0x00, 0x00, 0x10, 0x00,
                                 0x00, 0x00, 0x00, 0x00}));
    ASSERT_EQ(manager->Send_rcv_card_cmd(14, 3, 0), 1);
    EXPECT_EQ(lastOn(14), closed({0xFE, 0x2F, 0x00, 0xF0, 0x10, 0x66, 0x01, 0x00, 0x00, 0x81, 0x09,
                                  0x00, 0x00}));
    EXPECT_EQ(manager->Send_rcv_card_cmd(2, 4, 0), 0) << "no fifth packet";
    EXPECT_EQ(manager->Send_rcv_card_cmd(16, 0, 0), 0) << "no port 16";
    EXPECT_EQ(sentOn(2).size(), 3u);
}

TEST_F(StoredPackets, AOneShotServiceTakesTheAnswerWaitingInItsBuffer) {
    // The brightness answers (kind "f") go no further than the device.
    ASSERT_EQ(manager->Send_rcv_card_cmd(2, 3, 0), 1);
    ASSERT_TRUE(ports()->holdsFrame());
    manager->Brightness_task_run();
    EXPECT_FALSE(ports()->holdsFrame());
    EXPECT_EQ(manager->passby_reply_ready, 0) << "nothing for a PC";

    // The search answer gives the port's card count.
    fpga_manage::MCU_RAM_PARA_func[0][108] = 0;
    ASSERT_EQ(manager->Send_rcv_card_cmd(2, 0, 0), 1);
    ASSERT_TRUE(ports()->holdsFrame());
    manager->Search_Card_task_run();
    EXPECT_FALSE(ports()->holdsFrame());
    EXPECT_EQ(fpga_manage::MCU_RAM_PARA_func[0][108], 2);
    EXPECT_EQ(fpga()->ram(1, 108, 2), (Bytes{0x02, 0x00}));
}

TEST_F(StoredPackets, CheckMultiPortSendSendsNothing) {
    u8 frame[20] = {};
    EXPECT_EQ(manager->check_multi_port_send(20, frame), 0);
    EXPECT_TRUE(ports()->sent().empty());
}

}  // namespace
}  // namespace fpgatest
