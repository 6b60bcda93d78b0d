// The scan-file load (job 2) and the receiving-card recovery query and run (jobs 5 and 6),
// on files written by the test's own writer: the packets each operation puts on the net,
// what the cards hold afterwards, the result the recovery screen gets, and the progress
// bar closed on every way a job ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "board/sim/sim.h"
#include "fpga/rcv_recovery_file.h"
#include "screens/cardtools/rcv_recovery_result.h"
#include "tests/cardtools/recovery_writer.h"
#include "tests/fpga/card_fixture.h"

namespace fpgatest {
namespace {

using recoverytest::kActiveFirmware;
using recoverytest::kRam2Flash;
using recoverytest::kReconfig;
using recoverytest::kRegister;
using recoverytest::kSearchRxc;
using recoverytest::kSleep;
using recoverytest::kUpgrade;
using recoverytest::kUserDefined;
using recoverytest::kWrite;
using recoverytest::Net;
using recoverytest::Op;
using recoverytest::package;
using recoverytest::pattern;
using recoverytest::ramWrite;
using recoverytest::scanFile;
using recoverytest::Screen;

const char* const kPackage = "/data/rcvrecovery/YQFX";
const char* const kScan = "/data/smartmapping/YQFR";
constexpr u32 kScreenId = 0xCAFEBABE;

u16 u16At(const Bytes& f, size_t at) {
    return static_cast<u16>(f[at] | f[at + 1] << 8);
}

class CardRecovery : public CardTest {
protected:
    void SetUp() override {
        CardTest::SetUp();
        card_job_progress_connect(CardJobScreen::RcvRecovery, [this](int value) {
            bar.push_back(value);
            barTicks.push_back(G_timeTicks);
        });
        manager->p_rcvRecovery->check_file_dir("/data/rcvrecovery");
        manager->p_rcvRecovery->check_file_dir("/data/smartmapping");
        g_rcv_recovery_result = &result;
        g_yqfile_name.set(kScan);
    }
    void TearDown() override {
        g_rcv_recovery_result = nullptr;
        g_yqfile_name.set("");
        card_job_progress_connect(CardJobScreen::RcvRecovery, {});
        CardTest::TearDown();
    }

    // Screen 1 of the package: nets on ports 0 (2 cards) and 1 (10 cards); card 3 of port
    // 1 has its own operations, card 2 others; the screen has a parameter part.
    static Screen screen() {
        Net net0{0, 2, {{ramWrite(0x3000, {0xEE})}}};
        Net net1{
            1, 10, {{}, {}, {ramWrite(0x3000, {0x22})}, {ramWrite(0x2000, {5, 6, 7, 8}, 500)}}};
        return {
            kScreenId,
            {{kWrite, kRegister, 0, 500, {0x03, 0x0F, 0x01, 0x09}}, ramWrite(0x40, {9, 8, 7}, 500)},
            true,
            {net0, net1}};
    }
    // Ports 0 and 1 as the package describes them; port 1 names card 3.
    void plugScreen() {
        plug({{0, 2}, {1, 10}});
        bringUpAndSearch();
        for (int port : {0, 1})
            ports()->setConfigId(port, kScreenId);
        ports()->setRecoveryResult(0, 0xFF);
        ports()->setRecoveryResult(1, 3);
    }
    // Frames put on a port with an opcode (byte 9).
    std::vector<Bytes> framesOn(int port, u8 opcode) {
        std::vector<Bytes> out;
        for (const auto& s : sentOn(port))
            if (s.frame[9] == opcode)
                out.push_back(s.frame);
        return out;
    }
    // The bar of the job's screen closed (100), and for an error a second after the close
    // the job was cleared.
    void expectClosed(const std::vector<int>& values, const std::vector<u32>& ticks, bool error) {
        ASSERT_FALSE(values.empty());
        EXPECT_EQ(values.back(), 100);
        EXPECT_EQ(std::count(values.begin(), values.end(), 100), 1);
        EXPECT_EQ(send_para_job(), 0);
        if (error) {
            EXPECT_GT(G_timeTicks - ticks.back(), 100u) << "cleared a second after the close";
        } else {
            EXPECT_LE(G_timeTicks - ticks.back(), 1u);
        }
    }

    RcvRecoveryResult result;
    std::vector<int> bar;
    std::vector<u32> barTicks;
};

TEST_F(CardRecovery, LoadOf2500BytesGoesOutAs1000_1000_500AndEveryCardHoldsTheFile) {
    plug({{1, 3}});
    bringUpAndSearch();
    const Bytes data = pattern(2500);
    writeFile(kScan, scanFile({ramWrite(0x10000, data)}));
    line_type.net_port = 1;
    forgetSent();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_LOAD_SCAN));

    auto sent = sentOn(1);
    ASSERT_EQ(sent.size(), 3u);
    const u32 at[3] = {0x10000, 0x103E8, 0x107D0};
    const size_t bytes[3] = {1000, 1000, 500};
    for (int i = 0; i < 3; ++i) {
        const Bytes& f = sent[i].frame;
        ASSERT_EQ(f.size(), bytes[i] + 19);
        EXPECT_EQ(Bytes(f.begin(), f.begin() + 10),
                  (Bytes{0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0x60}));
        EXPECT_EQ(f[10] | f[11] << 8 | f[12] << 16 | f[13] << 24, static_cast<int>(at[i]));
        EXPECT_EQ(u16At(f, 14), bytes[i]);
        EXPECT_EQ(u16At(f, 16), 0);
        EXPECT_TRUE(std::equal(f.begin() + 18, f.end() - 1, data.begin() + 1000 * i));
    }
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(card(1, c).ram(0x10000, 2500), data) << "card " << c;
    expectClosed(progress, progressTicks, false);
    EXPECT_TRUE(bar.empty()) << "the load reports to the smart set-up screen";
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardRecovery, QueryAsksEveryNetAndListsTheCardTheSecondNetNames) {
    plugScreen();
    writeFile(kPackage, package({screen()}));
    forgetSent();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_RECOVERY_QUERY));

    EXPECT_EQ(result.result_list, QStringList{"01/02/04/10"});
    EXPECT_EQ(result.result_count, 1);
    for (int port : {0, 1}) {
        auto searches = framesOn(port, 0x10);
        ASSERT_EQ(searches.size(), 1u) << "one search on port " << port;
        const Bytes& s = searches[0];
        ASSERT_EQ(s.size(), 30u);
        EXPECT_EQ(s[1], 0x0F | port << 4);
        EXPECT_EQ(s[5], 0xAA);
        EXPECT_EQ(s[7], port + 1);
        EXPECT_EQ(s[16], 1);
        EXPECT_EQ(Bytes(s.begin() + 17, s.begin() + 21), (Bytes{0xBE, 0xBA, 0xFE, 0xCA}));
    }
    EXPECT_EQ(manager->recovery_card, 3);
    expectClosed(bar, barTicks, false);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardRecovery, QueryWithoutAnswerWaitsOnEveryNetAndLeavesTheResult) {
    plugScreen();
    ports()->setConfigId(0, 0x1);  // answers about another screen
    ports()->setConfigId(1, 0x2);
    writeFile(kPackage, package({screen()}));
    result.result_list = QStringList{"01/01/01/01"};
    result.result_count = 1;
    forgetSent();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_RECOVERY_QUERY));

    auto first = sentOn(0), second = sentOn(1);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_GT(second[0].tick - first[0].tick, 500u);
    EXPECT_EQ(result.result_list, QStringList{"01/01/01/01"});
    EXPECT_EQ(result.result_count, 1);
    expectClosed(bar, barTicks, false);
}

TEST_F(CardRecovery, EachNetWaitsForItsOwnAnswerNotForOneLeftBehind) {
    plugScreen();
    sim::CardFaults late;
    late.lateMs = 1e9;
    ports()->setFaults(1, 9, late);  // port 1's last card answers for the chain, late
    writeFile(kPackage, package({screen()}));
    g_send_para.recovery_result = 3;  // from before the job
    send_para_post(SEND_PARA_JOB_RECOVERY_QUERY);
    ASSERT_TRUE(runTill([] { return g_send_para.step == 14 && g_send_para.net_index == 1; }));
    run(20);
    EXPECT_EQ(g_send_para.step, 14) << "port 0's 0xFF is not port 1's answer";
    ports()->releaseLate();
    ASSERT_TRUE(runTill([] { return send_para_job() == 0; }));
    EXPECT_EQ(result.result_list, QStringList{"01/02/04/10"});

    // A load after the query leaves the query's result alone.
    result.result_list = QStringList{"kept"};
    writeFile(kScan, scanFile({ramWrite(0x10, {1})}));
    line_type.net_port = 1;
    ASSERT_TRUE(runJob(SEND_PARA_JOB_LOAD_SCAN));
    EXPECT_EQ(result.result_list, QStringList{"kept"});
    EXPECT_EQ(result.result_count, 1);
}

TEST_F(CardRecovery, RunReplaysTheParameterPartThenTheXyPartToTheOneCard) {
    plugScreen();
    writeFile(kPackage, package({screen()}));
    ASSERT_TRUE(runJob(SEND_PARA_JOB_RECOVERY_QUERY));
    ASSERT_EQ(result.result_count, 1);
    forgetSent();
    bar.clear();
    barTicks.clear();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_RECOVERY_RUN));

    const sim::ReceivingCard card3 = card(1, 3);
    const auto& frames = card3.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], sealed({0x03, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0xA0, 0x03,
                                 0x0F, 0x01, 0x09, 0x00}));
    EXPECT_EQ(Bytes(frames[1].begin(), frames[1].begin() + 16),
              (Bytes{0x03, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0x60, 0x40, 0x00, 0x00,
                     0x00, 0x03, 0x00}));
    EXPECT_EQ(Bytes(frames[2].begin(), frames[2].begin() + 16),
              (Bytes{0x03, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0x60, 0x00, 0x20, 0x00,
                     0x00, 0x04, 0x00}));
    EXPECT_EQ(card(1, 3).mapping(), 9);
    EXPECT_EQ(card(1, 3).ram(0x40, 3), (Bytes{9, 8, 7}));
    EXPECT_EQ(card(1, 3).ram(0x2000, 4), (Bytes{5, 6, 7, 8}));
    for (int c = 0; c < 10; ++c)
        if (c != 3) {
            EXPECT_TRUE(card(1, c).frames().empty()) << "card " << c;
        }
    EXPECT_TRUE(card(0, 0).frames().empty() && card(0, 1).frames().empty());
    EXPECT_TRUE(sentOn(0).empty());
    // The card is restored: the screen's list is emptied.
    EXPECT_TRUE(result.result_list.isEmpty());
    EXPECT_EQ(result.result_count, 0);
    expectClosed(bar, barTicks, false);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardRecovery, EveryOperationTypeSendsItsOwnPacketsAndUnknownTypesAreSkipped) {
    plug({{1, 3}});
    bringUpAndSearch();
    writeFile(kScan, scanFile({
                         ramWrite(0x500, pattern(1500)),
                         {kUpgrade, 1, 0, 500, {1, 2, 3}},
                         {9, 1, 0, 500, {1, 2, 3}},
                         {kActiveFirmware, 0, 0, 500, {0xAB, 0xCD}},
                         {kWrite, kRegister, 0, 500, {0x03, 0x0F, 0x01, 0x09}},
                         {kRam2Flash, 3, 0, 0, {}},
                         {kSleep, 0, 0, 700, {}},
                         {kUserDefined, 0, 0, 500, {0x42, 0x01, 0x02}},
                         {kSearchRxc, 0, 0, 500, {0x01}},
                         {kReconfig, 0, 0, 500, {0x77}},
                     }));
    line_type.net_port = 1;
    forgetSent();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_LOAD_SCAN));

    auto sent = sentOn(1);
    std::vector<Bytes> heads;
    for (const auto& s : sent)
        heads.push_back(Bytes(s.frame.begin(), s.frame.begin() + 10));
    const std::vector<Bytes> expected = {
        {0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0x60},  // 1000 bytes
        {0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0x60},  // 500 bytes
        {0x02, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0xB4},  // card by card
        {0x01, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0xB4},
        {0x00, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0xB4},
        {0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0xA0},  // register
        {0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0x81},  // save
        {0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0x42},  // user defined
        {0xFE, 0x1F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0x10},  // search rxc
        {0x02, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0x84},  // card by card
        {0x01, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0x84},
        {0x00, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0x84},
    };
    ASSERT_EQ(heads, expected);
    EXPECT_EQ(sent[0].frame.size(), 1019u);
    EXPECT_EQ(sent[1].frame.size(), 519u);
    EXPECT_EQ(Bytes(sent[2].frame.begin() + 10, sent[2].frame.end() - 1), (Bytes{0xAB, 0xCD}));
    EXPECT_EQ(Bytes(sent[6].frame.begin() + 10, sent[6].frame.end() - 1), (Bytes{0xFF, 0x00}));
    EXPECT_EQ(Bytes(sent[7].frame.begin() + 10, sent[7].frame.end() - 1), (Bytes{0x01, 0x02}));
    EXPECT_GE(sent[7].tick - sent[6].tick, 70u) << "the sleep of 700 ms";
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(card(1, c).mapping(), 9);
        EXPECT_TRUE(card(1, c).saved());
        EXPECT_EQ(card(1, c).ram(0x500, 1500), pattern(1500));
    }
    expectClosed(progress, progressTicks, false);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardRecovery, ASilentChainGetsEachPieceThreeTimesThenTheNext) {
    plug({{1, 2}});
    bringUpAndSearch();
    sim::CardFaults silent;
    silent.silent = true;
    ports()->setFaults(1, 1, silent);  // the chain's last card answers for it
    writeFile(kScan, scanFile({ramWrite(0x500, pattern(1500), 300)}));
    line_type.net_port = 1;
    forgetSent();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_LOAD_SCAN));
    auto sent = sentOn(1);
    ASSERT_EQ(sent.size(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(u16At(sent[i].frame, 14), i < 3 ? 1000 : 500) << "packet " << i;
    for (int i = 1; i < 6; ++i)
        EXPECT_GT(sent[i].tick - sent[i - 1].tick, 30u) << "300 ms per try";
    expectClosed(progress, progressTicks, false);
}

// Packages the query cannot work: the bar closes, nothing is asked.
TEST_F(CardRecovery, QueryOfABrokenPackageEndsWithAnError) {
    plugScreen();
    using recoverytest::pack;
    using recoverytest::PackedFile;
    auto files = recoverytest::packageFiles({screen()});
    Bytes farXy = package({screen()});
    // Screen 0's XY offset (screen file at 40, entry at 32, offset at 44) beyond the file.
    recoverytest::put32(farXy, 40 + 32 + 44, 0x00FFFFF0);
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"no screen file", pack({files[1], files[2]})},
        {"seven packed files", pack(std::vector<PackedFile>(7, files[0]))},
        {"no packed file", pack({})},
        {"XY block beyond the file", farXy},
        {"no XY file", pack({files[0], files[2]})},
        {"cut short", Bytes(farXy.begin(), farXy.begin() + 70)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        writeFile(kPackage, c.second);
        bar.clear();
        barTicks.clear();
        forgetSent();
        ASSERT_TRUE(runJob(SEND_PARA_JOB_RECOVERY_QUERY));
        expectClosed(bar, barTicks, true);
        EXPECT_TRUE(framesOn(0, 0x10).empty() && framesOn(1, 0x10).empty());
        EXPECT_TRUE(result.result_list.isEmpty());
    }
    EXPECT_EQ(boardErrors(), "");
}

// Nets on FPGA 1 (port 6 and above) cannot be asked: the query passes over them and asks
// the nets after them (port 5, the last of FPGA 0, included), and the run recovers the card
// it found.
TEST_F(CardRecovery, QueryPassesOverTheNetsOfFpga1AndAsksTheRest) {
    plugScreen();
    Screen s = screen();
    Net far6 = s.nets[0], far5 = s.nets[0], far7 = s.nets[1];
    far6.port = 6;
    far5.port = 5;
    far7.port = 7;
    s.nets = {far6, far5, s.nets[0], far7, s.nets[1]};
    writeFile(kPackage, package({s}));
    forgetSent();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_RECOVERY_QUERY));
    EXPECT_EQ(framesOn(5, 0x10).size(), 1u);
    EXPECT_EQ(framesOn(6, 0x10).size(), 0u);
    EXPECT_EQ(framesOn(7, 0x10).size(), 0u);
    EXPECT_EQ(framesOn(0, 0x10).size(), 1u);
    EXPECT_EQ(framesOn(1, 0x10).size(), 1u);
    EXPECT_EQ(result.result_list, QStringList{"01/02/04/10"}) << "port 1 names card 4";
    expectClosed(bar, barTicks, false);

    forgetSent();
    ASSERT_TRUE(runJob(SEND_PARA_JOB_RECOVERY_RUN));
    EXPECT_EQ(card(1, 3).ram(0x2000, 4), (Bytes{5, 6, 7, 8}));
    EXPECT_TRUE(sentOn(0).empty());
    EXPECT_TRUE(result.result_list.isEmpty());
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardRecovery, EveryOtherWayAJobEndsClosesTheBar) {
    // The FPGA not up yet.
    plug({{0, 2}, {1, 10}});
    writeFile(kPackage, package({screen()}));
    ASSERT_TRUE(runJob(SEND_PARA_JOB_RECOVERY_QUERY));
    expectClosed(bar, barTicks, true);

    bringUpAndSearch();
    auto job = [&](u8 code, bool error, std::vector<int>& values, std::vector<u32>& ticks) {
        values.clear();
        ticks.clear();
        forgetSent();
        ASSERT_TRUE(runJob(code));
        expectClosed(values, ticks, error);
    };
    // No package, or two: the query ends and lists nothing; the run ends with an error.
    std::filesystem::remove(rooted(kPackage));
    job(SEND_PARA_JOB_RECOVERY_QUERY, false, bar, barTicks);
    job(SEND_PARA_JOB_RECOVERY_RUN, true, bar, barTicks);
    writeFile(kPackage, package({screen()}));
    writeFile("/data/rcvrecovery/other", {1});
    job(SEND_PARA_JOB_RECOVERY_QUERY, false, bar, barTicks);
    std::filesystem::remove(rooted("/data/rcvrecovery/other"));
    // A run for a card beyond its net's cards.
    manager->recovery_net = 1;
    manager->recovery_net_entry = 1;
    manager->recovery_card = 10;
    job(SEND_PARA_JOB_RECOVERY_RUN, true, bar, barTicks);
    EXPECT_TRUE(sentOn(1).empty());

    // Loads that cannot be carried out: nothing of them goes out.
    line_type.net_port = 1;
    struct Scan {
        const char* what;
        Bytes file;
        size_t sent;  // packets of the operations before the broken one
    };
    Bytes beyond = scanFile({ramWrite(0x10, pattern(100))});
    recoverytest::put32(beyond, 24, 3000);  // the record's data length
    Bytes pieces = scanFile({ramWrite(0x10, {1})});
    recoverytest::put32(pieces, 24, 300000);
    Bytes records = scanFile({ramWrite(0x10, {1})});
    recoverytest::put16(records, 16, 2);  // a second record the file does not hold
    const Scan scans[] = {
        {"data beyond the file", beyond, 0},
        {"a register write larger than a packet",
         scanFile({{kWrite, kRegister, 0, 500, pattern(2000)}}), 0},
        {"more pieces than the count holds", pieces, 0},
        {"a record beyond the file", records, 1},
    };
    for (const Scan& c : scans) {
        SCOPED_TRACE(c.what);
        writeFile(kScan, c.file);
        job(SEND_PARA_JOB_LOAD_SCAN, true, progress, progressTicks);
        EXPECT_EQ(sentOn(1).size(), c.sent);
    }
    // A port without cards, a file that is not there.
    writeFile(kScan, scanFile({ramWrite(0x10, {1})}));
    line_type.net_port = 4;
    job(SEND_PARA_JOB_LOAD_SCAN, true, progress, progressTicks);
    line_type.net_port = 1;
    g_yqfile_name.set("/data/smartmapping/none");
    job(SEND_PARA_JOB_LOAD_SCAN, true, progress, progressTicks);
    EXPECT_TRUE(sentOn(1).empty());
    EXPECT_EQ(boardErrors(), "");
}

}  // namespace
}  // namespace fpgatest
