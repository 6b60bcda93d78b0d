// What the receive path makes of the frames in FPGA 0's receive buffers: the one
// acknowledgement a job waits for, the multifunction card's answers, and the frames that
// must be dropped (bad check byte, too short).
#include <gtest/gtest.h>

#include "tests/fpga/card_fixture.h"

namespace fpgatest {
namespace {

class CardReceive : public CardTest {
protected:
    void SetUp() override {
        CardTest::SetUp();
        plug({{0, 3}, {2, 2}});
        bringUpAndSearch();
    }
    // The acknowledgement card `card` of port `port` sends for a set-up packet.
    static Bytes ack(u8 port, u16 card, u8 opcode, u8 selector) {
        return sealed({0x00, 0xF0, static_cast<u8>(card),
                       static_cast<u8>((port & 3) << 4 | card >> 8), 0x10, 0x67, 0x01, selector,
                       0x00, opcode, 0x00, 0x00});
    }
    void inject(u8 port, const Bytes& frame) { ports()->answer(port, frame, 0, sim::nowMs()); }
    // Sends card 1 of port 0 its position and swallows nothing: the card is silent.
    void awaitCard1() {
        sim::CardFaults silent;
        silent.silent = true;
        ports()->setFaults(0, 1, silent);
        g_send_para.card_index = 1;
        u8 packet[23];
        manager->rcv_card_cmd_create(packet, 0);
        ASSERT_EQ(manager->send_setup_packet(packet, 23, 0, 0), 1);
        run(2);
        ASSERT_EQ(g_send_para.card_back, 0);
    }
};

TEST_F(CardReceive, OnlyTheAnswerOfThePortCardAndOpcodeSentCountsAsReply) {
    awaitCard1();
    inject(0, ack(0, 2, 0x60, 1));  // another card
    inject(2, ack(2, 1, 0x60, 3));  // the same card number on another port
    run(4);
    EXPECT_EQ(g_send_para.card_back, 0);
    inject(0, ack(0, 1, 0xA0, 1));  // another packet
    run(2);
    EXPECT_EQ(g_send_para.card_back, 0);
    inject(0, ack(0, 1, 0x60, 1));
    run(2);
    EXPECT_EQ(g_send_para.card_back, 1);
    // The same answer again, once the job took the first: nothing.
    g_send_para.card_back = 0;
    inject(0, ack(0, 1, 0x60, 1));
    run(2);
    EXPECT_EQ(g_send_para.card_back, 0);
    EXPECT_FALSE(fpga()->serviceRequested());
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardReceive, APacketToTheWholeChainTakesTheAnswerOfAnyOfItsCards) {
    u8 packet[13];
    manager->save_para_cmd_create(packet, 2);
    sim::CardFaults silent;
    silent.silent = true;
    ports()->setFaults(2, 1, silent);  // the last card: the chain does not answer
    ASSERT_EQ(manager->send_setup_packet(packet, 13, 2, 0), 1);
    run(2);
    EXPECT_EQ(g_send_para.card_back, 0);
    inject(2, ack(2, 0, 0x81, 3));
    run(2);
    EXPECT_EQ(g_send_para.card_back, 1);
    EXPECT_TRUE(card(2, 0).saved() && card(2, 1).saved());
}

TEST_F(CardReceive, FramesWithABadCheckByteOrTooShortAreDroppedAndCounted) {
    awaitCard1();
    Bytes spoilt = ack(0, 1, 0x60, 1);
    spoilt.back() ^= 0x01;
    const u32 errors = manager->rcv_check_errors;
    inject(0, spoilt);
    run(2);
    EXPECT_EQ(g_send_para.card_back, 0) << "never classified";
    EXPECT_EQ(manager->rcv_check_errors, errors + 1);

    const u32 shortFrames = manager->rcv_short_frames;
    inject(0, sealed({0x00, 0xF0, 0x01, 0x00, 0x10, 0x67}));
    run(2);
    EXPECT_EQ(manager->rcv_short_frames, shortFrames + 1);
    EXPECT_EQ(g_send_para.card_back, 0);

    // Both buffers were given back: the next answer gets through.
    inject(0, ack(0, 1, 0x60, 1));
    run(2);
    EXPECT_EQ(g_send_para.card_back, 1);
    EXPECT_FALSE(fpga()->serviceRequested());
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardReceive, RegisterAndRamAnswersForTheDeviceAreKeptForTheMultifunctionCard) {
    // A RAM read answer of 128 bytes: opcode, status, data, check byte.
    Bytes answer{0x00, 0xF0, 0x00, 0x20, 0x10, 0xBB, 0x03, 0x00, 0x00, 0x61, 0x00};
    for (int i = 0; i < 128; ++i)
        answer.push_back(static_cast<u8>(i + 1));
    answer.push_back(0);
    inject(2, sealed(answer));
    run(2);
    ASSERT_EQ(manager->card_answer_ready.load(), 1);
    EXPECT_EQ(manager->card_answer[0], 0x61);
    EXPECT_EQ(manager->card_answer[1], 0x00);
    EXPECT_EQ(manager->card_answer[2], 1);
    EXPECT_EQ(manager->card_answer[129], 128);

    // A short register answer fills what it holds; the rest reads 0.
    manager->card_answer_ready = 0;
    inject(0, sealed({0x00, 0xF0, 0x00, 0x00, 0x10, 0xBB, 0x03, 0x00, 0x00, 0xA0, 0x00, 0x00}));
    run(2);
    ASSERT_EQ(manager->card_answer_ready.load(), 1);
    EXPECT_EQ(manager->card_answer[0], 0xA0);
    EXPECT_EQ(manager->card_answer[2], 0);
    EXPECT_EQ(manager->card_answer[129], 0);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardReceive, AnswersWaitTheirTurnInTheBufferOfTheirPair) {
    // Three answers at once from ports 0 and 1 (pair 0): each is read, one per service.
    plug({{0, 3}, {1, 1}, {2, 2}});
    Bytes reg{0x00, 0xF0, 0x00, 0x00, 0x10, 0xBB, 0x03, 0x00, 0x00, 0xA0, 0x00, 0x00, 0x00};
    for (u8 n = 1; n <= 3; ++n) {
        reg[11] = n;
        inject(n == 2 ? 1 : 0, sealed(reg));
    }
    std::vector<u8> seen;
    for (int i = 0; i < 10; ++i) {
        run();
        if (manager->card_answer_ready.exchange(0))
            seen.push_back(manager->card_answer[2]);
    }
    EXPECT_EQ(seen, (std::vector<u8>{1, 2, 3}));
    EXPECT_FALSE(fpga()->serviceRequested());
    EXPECT_EQ(boardErrors(), "");
}

}  // namespace
}  // namespace fpgatest
