// The periodic card search: which ports each cycle asks, the card counts the answers leave
// in FPGA 0's parameter RAM (image and FPGA), the odd cycles that clear a port nobody
// answered for, and the answers that must not count.
#include <gtest/gtest.h>

#include "tests/fpga/card_fixture.h"

namespace fpgatest {
namespace {

class CardSearch : public CardTest {
protected:
    u8 image(unsigned offset) const { return fpga_manage::MCU_RAM_PARA_func[0][offset]; }
    // A search answer from port `port`'s chain: count, status byte, status.
    static Bytes searchAnswer(u8 port, u16 count, u8 multifunction, u8 status = 0) {
        Bytes f(30, 0);
        f[0] = 0x00;
        f[1] = 0xF0;
        f[2] = 0x00;
        f[3] = static_cast<u8>((port & 3) << 4);
        f[4] = 0x10;
        f[5] = 0xAA;
        f[6] = 0xFF;
        f[7] = static_cast<u8>(port + 1);
        f[9] = 0x10;
        f[10] = status;
        f[11] = static_cast<u8>(count);
        f[12] = static_cast<u8>(count >> 8);
        f[13] = multifunction;
        return sealed(f);
    }
    // Ports searched by the cycle that starts now.
    std::vector<int> portsOfNextCycle() {
        forgetSent();
        searchCycle();
        std::vector<int> out;
        for (const auto& s : ports()->sent())
            out.push_back(s.port);
        return out;
    }
};

TEST_F(CardSearch, CyclesFillTheCountOfEveryPort) {
    plug({{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}});
    ports()->setMultifunction(3, true);
    ASSERT_TRUE(bringUp());
    const u32 first = g_change[8];
    // Even cycles ask the even port of each pair, odd cycles the odd one.
    std::vector<int> expected = first % 2 ? std::vector<int>{1, 3, 5} : std::vector<int>{0, 2, 4};
    EXPECT_EQ(portsOfNextCycle(), expected);
    expected = first % 2 ? std::vector<int>{0, 2, 4} : std::vector<int>{1, 3, 5};
    EXPECT_EQ(portsOfNextCycle(), expected);
    run(2);
    for (u8 port = 0; port < 6; ++port)
        EXPECT_EQ(manager->get_port_card_num(port), port + 1) << "port " << int(port);
    // Counts at 100, 102, 108, 110, 560, 564; status bytes at 104, 106, 112, 114, 562, 566.
    EXPECT_EQ(fpga()->ram(1, 100, 16), (Bytes{1, 0, 2, 0, 0, 0, 0, 0, 3, 0, 4, 0, 0, 0, 1, 0}));
    EXPECT_EQ(fpga()->ram(1, 560, 8), (Bytes{5, 0, 0, 0, 6, 0, 0, 0}));
    EXPECT_EQ(image(114), 1) << "a multifunction card on port 3";
    EXPECT_EQ(manager->search_sent_mask.load() & 0x3F, first % 2 ? 0x15u : 0x2Au);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardSearch, AnOddCycleWithoutAnAnswerClearsTheCount) {
    plug({{0, 3}});
    bringUpAndSearch();
    ASSERT_EQ(manager->get_port_card_num(0), 3);
    // Up to the start of an even cycle, the cards still answering.
    if (g_change[8] % 2)
        searchCycle();
    run(2);
    ASSERT_EQ(g_change[8] % 2, 0u);
    ports()->setCards(0, 0);  // the cable stays, the cards are gone
    searchCycle();            // even cycle: nobody answers
    run(2);
    EXPECT_EQ(manager->get_port_card_num(0), 3) << "an even cycle clears nothing";
    searchCycle();  // odd cycle: nobody answers
    run(2);
    EXPECT_EQ(manager->get_port_card_num(0), 3) << "evaluated only when the next cycle starts";
    searchCycle();
    EXPECT_EQ(manager->get_port_card_num(0), 0);
    EXPECT_EQ(fpga()->ram(1, 100, 5), (Bytes{0, 0, 0, 0, 0}));
    EXPECT_EQ(image(104), 0);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardSearch, AnAnswerWithABadCheckByteIsDroppedAndThePortCountsAsSilent) {
    plug({{0, 3}});
    bringUpAndSearch();
    ASSERT_EQ(manager->get_port_card_num(0), 3);
    sim::CardFaults bad;
    bad.badCheck = true;
    ports()->setCards(0, 4);
    ports()->setFaults(0, 3, bad);  // the last card closes the count
    const u32 errors = manager->rcv_check_errors;
    for (int i = 0; i < 3; ++i) {
        searchCycle();
        run(2);
        EXPECT_NE(manager->get_port_card_num(0), 4) << "a spoilt count is never taken";
    }
    EXPECT_GE(manager->rcv_check_errors - errors, 3u);
    EXPECT_EQ(manager->get_port_card_num(0), 0) << "after an odd cycle without a good answer";
    EXPECT_FALSE(fpga()->serviceRequested()) << "every buffer was given back";
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardSearch, AnAnswerWithAStatusCountsAsAnsweredButChangesNoCount) {
    plug({{0, 3}});
    bringUpAndSearch();
    ports()->setCards(0, 0);
    for (int i = 0; i < 3; ++i) {
        searchCycle();
        ports()->answer(0, searchAnswer(0, 9, 0, 1), 0, sim::nowMs());
        run(2);
    }
    EXPECT_EQ(manager->get_port_card_num(0), 3);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardSearch, AnswersOfAnotherKindOrTooShortAreNoSearchAnswers) {
    plug({{0, 3}});
    bringUpAndSearch();
    ports()->setCards(0, 0);
    searchCycle();
    Bytes other = searchAnswer(0, 9, 0);
    other[5] = 0x67;  // the acknowledgement of a search-receiving-card operation
    ports()->answer(0, sealed(other), 0, sim::nowMs());
    run(2);
    EXPECT_EQ(manager->get_port_card_num(0), 3);
    const Bytes whole = searchAnswer(0, 9, 0);
    Bytes shortAnswer(whole.begin(), whole.begin() + 13);
    ports()->answer(0, sealed(shortAnswer), 0, sim::nowMs());
    const u32 shortFrames = manager->rcv_short_frames;
    run(2);
    EXPECT_EQ(manager->rcv_short_frames, shortFrames + 1);
    EXPECT_EQ(manager->get_port_card_num(0), 3);
    EXPECT_FALSE(fpga()->serviceRequested());
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardSearch, CountsAreKeptAsAnsweredAndLimitedForTheJobs) {
    plug({{1, 1}});
    bringUpAndSearch();
    ports()->setCards(1, 0);
    ports()->answer(1, searchAnswer(1, 0x0FFF, 0), 0, sim::nowMs());
    run(2);
    EXPECT_EQ(image(102), 0xFF);
    EXPECT_EQ(image(103), 0x0F);
    EXPECT_EQ(manager->get_port_card_num(1), 0x0FFE);
}

TEST_F(CardSearch, TheRecoveryResultComesOnlyFromTheQueriedPortDuringTheQuery) {
    plug({{0, 2}, {1, 4}});
    bringUpAndSearch();
    for (int port : {0, 1}) {
        ports()->setConfigId(port, 0xCAFEBABE);
        ports()->setRecoveryResult(port, 3);
    }
    // Outside a recovery query an answer carries no result.
    g_send_para.recovery_result = 0x1234;
    manager->check_error_rcv_search_card_cmd(1, 0, 0xCAFEBABE, 0, 1);
    run(2);
    EXPECT_EQ(g_send_para.recovery_result, 0x1234);

    send_para_post(SEND_PARA_JOB_RECOVERY_QUERY);
    manager->check_error_rcv_search_card_cmd(1, 0, 0xCAFEBABE, 0, 1);
    EXPECT_EQ(g_send_para.recovery_result, 0xFFFF) << "no answer yet";
    // Port 0's chain answers the same screen: not the port that was asked.
    ports()->answer(
        0, sealed({0x00, 0xF0, 0x01, 0x00, 0x10, 0xAA, 0xFF, 0x01, 0x00, 0x10, 0x00, 0x02, 0x00,
                   0x00, 0x00, 0x00, 0x00, 0x00, 0xBE, 0xBA, 0xFE, 0xCA, 0x07, 0x00, 0x00}),
        5000, sim::nowMs());
    run(2);
    EXPECT_EQ(g_send_para.recovery_result, 3);
    g_send_para.recovery_result = 0xFFFF;
    ports()->releaseLate();
    run(2);
    EXPECT_EQ(g_send_para.recovery_result, 0xFFFF) << "port 0 was not asked";

    // Another screen's id is no answer either.
    ports()->setConfigId(1, 0x01020304);
    manager->check_error_rcv_search_card_cmd(1, 0, 0xCAFEBABE, 0, 1);
    run(2);
    EXPECT_EQ(g_send_para.recovery_result, 0xFFFF);
    EXPECT_EQ(boardErrors(), "");
}

}  // namespace
}  // namespace fpgatest
