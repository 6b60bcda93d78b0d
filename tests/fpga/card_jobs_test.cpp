// The receiving-card jobs as the screens post them: smart mapping, saving the cards'
// parameters and the mapping switch, with the progress they report, their time-outs,
// answers that come late or twice, and the pause while the PC talks to the cards.
#include <gtest/gtest.h>

#include "tests/fpga/card_fixture.h"

namespace fpgatest {
namespace {

class CardJobs : public CardTest {
protected:
    void grid(u8 port, u8 rows, u8 columns, u8 route) {
        line_type.box_width = 64;
        line_type.box_height = 32;
        line_type.h_offset = 0;
        line_type.v_offset = 0;
        line_type.net_port = port;
        line_type.box_rows = rows;
        line_type.box_columns = columns;
        line_type.route_way = route;
    }
    static sim::CardFaults silent() {
        sim::CardFaults f;
        f.silent = true;
        return f;
    }
    // Ticks at which the position packets (opcode 0x60) went out on a port.
    std::vector<u32> positionTicks(int port) {
        std::vector<u32> out;
        for (const auto& s : sentOn(port))
            if (s.frame[9] == 0x60)
                out.push_back(s.tick);
        return out;
    }
};

TEST_F(CardJobs, SmartMappingOfThreeCardsReportsItsProgress) {
    plug({{2, 3}});
    bringUpAndSearch();
    ASSERT_EQ(manager->get_port_card_num(2), 3);
    grid(2, 1, 3, 10);
    forgetSent();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_SMART_MAPPING));
    EXPECT_EQ(progress, (std::vector<int>{25, 50, 75, 75, 90, 100}));
    ASSERT_EQ(progressTicks.size(), 6u);
    EXPECT_GT(progressTicks[5] - progressTicks[4], 200u) << "100 comes 2 s after 90";
    // One position packet per card, then the register packet to the whole chain.
    auto sent = sentOn(2);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[3].frame, (Bytes{0xFE, 0x2F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x03, 0x00, 0xA0,
                                    0x01, 0xFF, 0x01, 0xFF, 0xF4}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(card(2, i).ram(0x180, 4), (Bytes{static_cast<u8>(64 * i), 0, 0, 0}));
        ASSERT_EQ(card(2, i).registerWrites().size(), 1u);
        EXPECT_EQ(card(2, i).registerWrites()[0], (Bytes{0x01, 0xFF, 0x01, 0xFF}));
    }
    EXPECT_EQ(g_send_para.step, 0);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardJobs, SmartMappingOfAPortWithoutCardsEndsAtOnce) {
    plug({{0, 1}});
    bringUpAndSearch();
    grid(3, 1, 1, 1);
    forgetSent();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_SMART_MAPPING));
    EXPECT_EQ(progress, (std::vector<int>{90, 100}));
    EXPECT_TRUE(sentOn(3).empty());
}

TEST_F(CardJobs, ASilentCardIsSkippedAfterItsTimeout) {
    plug({{0, 3}});
    ports()->setFaults(0, 1, silent());
    bringUpAndSearch();
    grid(0, 1, 3, 10);
    ASSERT_TRUE(runJob(SEND_PARA_JOB_SMART_MAPPING));
    // While card 1's answer is awaited the bar beats once a second (more than 100 ticks).
    EXPECT_EQ(progress,
              (std::vector<int>{25, 50, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 75, 75, 90, 100}));
    auto ticks = positionTicks(0);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_GT(ticks[2] - ticks[1], 1200u);
    EXPECT_LT(ticks[2] - ticks[1], 1210u);
    EXPECT_LT(ticks[1] - ticks[0], 10u) << "card 0 answered at once";
    EXPECT_EQ(card(0, 2).ram(0x180, 2), (Bytes{128, 0})) << "the job went on with card 2";
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardJobs, ALateOrRepeatedAnswerIsNotTakenForTheNextCard) {
    plug({{0, 3}});
    sim::CardFaults late;
    late.lateMs = 1e9;
    ports()->setFaults(0, 0, late);
    ports()->setFaults(0, 1, silent());
    bringUpAndSearch();
    grid(0, 1, 3, 10);
    send_para_post(SEND_PARA_JOB_SMART_MAPPING);
    ASSERT_TRUE(runTill([this] { return positionTicks(0).size() == 2; }));
    // Card 0 timed out; its answer comes now, while card 1's is awaited.
    ports()->releaseLate();
    ASSERT_TRUE(runTill([] { return send_para_job() == 0; }));
    auto ticks = positionTicks(0);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_GT(ticks[2] - ticks[1], 1200u) << "card 1 is given its whole time-out";

    // A card that answers twice: the second answer arrives while the next card is awaited.
    progress.clear();
    sim::CardFaults twice;
    twice.duplicate = true;
    ports()->setFaults(0, 0, twice);
    forgetSent();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_SMART_MAPPING));
    ticks = positionTicks(0);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_GT(ticks[2] - ticks[1], 1200u);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardJobs, PcTrafficPausesAJobAnd81QuietTicksResumeIt) {
    plug({{0, 2}});
    ports()->setFaults(0, 0, silent());
    bringUpAndSearch();
    grid(0, 1, 2, 10);
    send_para_post(SEND_PARA_JOB_SMART_MAPPING);
    ASSERT_TRUE(runTill([] { return g_send_para.step == 3; }));
    const size_t beats = progress.size();
    // A PC command every 50 ticks for 3000 ticks: no step, no time-out, no heartbeat.
    for (int i = 0; i < 60; ++i) {
        pc_cmd_valid = 1;
        pc_cmd_time = G_timeTicks.load();
        run(50);
        ASSERT_EQ(g_send_para.step, 3);
        ASSERT_EQ(g_send_para.send_ticks, G_timeTicks.load()) << "the time-out stands still";
    }
    EXPECT_EQ(progress.size(), beats);
    EXPECT_EQ(positionTicks(0).size(), 1u);
    // Silence: the pass that finds 81 quiet ticks lets go of the PC, the next one goes on.
    const u32 last = pc_cmd_time;
    run(static_cast<int>(last + 80 - G_timeTicks));
    EXPECT_EQ(pc_cmd_valid.load(), 1);
    run();
    EXPECT_EQ(pc_cmd_valid.load(), 0);
    EXPECT_EQ(manager->search_sent_mask.load(), 0u);
    const u32 resumed = G_timeTicks;
    ASSERT_TRUE(runTill([this] { return positionTicks(0).size() == 2; }));
    EXPECT_GT(G_timeTicks - resumed, 1200u) << "the time-out runs again from the pause";
    EXPECT_LT(G_timeTicks - resumed, 1210u);
}

TEST_F(CardJobs, SavingWithCardsOnlyOnPort5) {
    plug({{5, 2}});
    bringUpAndSearch();
    forgetSent();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_SAVE_PARA));
    EXPECT_EQ(progress, (std::vector<int>{71, 95, 100}));
    auto sent = ports()->sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].port, 5);
    EXPECT_EQ(sent[0].frame, (Bytes{0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x06, 0x00, 0x81,
                                    0xFF, 0x00, 0x0E}));
    EXPECT_TRUE(card(5, 0).saved());
    EXPECT_TRUE(card(5, 1).saved());
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardJobs, SavingWaitsLongerForLongerChains) {
    plug({{0, 4}, {1, 1}});
    ports()->setFaults(0, 3, silent());  // the last card answers for the chain
    bringUpAndSearch();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_SAVE_PARA));
    auto port0 = sentOn(0);
    auto port1 = sentOn(1);
    ASSERT_FALSE(port0.empty());
    ASSERT_FALSE(port1.empty());
    // 100 ticks per card and 1200 more before port 1's turn.
    const u32 waited = port1.back().tick - port0.back().tick;
    EXPECT_GT(waited, 1600u);
    EXPECT_LT(waited, 1610u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 100);
}

TEST_F(CardJobs, TheMappingSwitchReachesEveryCard) {
    plug({{0, 2}, {3, 1}});
    bringUpAndSearch();
    for (u32 value : {9u, 0u}) {
        progress.clear();
        g_send_para.mapping_value = value;
        ASSERT_TRUE(runJob(SEND_PARA_JOB_MAPPING_ENABLE));
        EXPECT_EQ(progress, (std::vector<int>{0, 42, 95, 100}));
        EXPECT_EQ(card(0, 0).mapping(), value);
        EXPECT_EQ(card(0, 1).mapping(), value);
        EXPECT_EQ(card(3, 0).mapping(), value);
    }
    EXPECT_EQ(boardErrors(), "");
}

}  // namespace
}  // namespace fpgatest
