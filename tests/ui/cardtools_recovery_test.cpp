// The receiving-card recovery screen on the simulated board, reached from the Advanced
// Settings hub while a recovery package lies in "/data/rcvrecovery": the query lists the
// card the chains name, Recovery restores that card, and the list, its colours and what
// the keys may do follow. Also the hub's entry, and the PC's file notices.
//
// Pages: 5 Setting menu, 12 Advanced Settings, 25 recovery.
#include <gtest/gtest.h>

#include <QLabel>
#include <filesystem>
#include <thread>

#include "fpga/rcv_recovery_file.h"
#include "fpga/send_para.h"
#include "remote/file_notice.h"
#include "screens/cardtools/rcv_recovery.h"
#include "screens/settings/advancedoption.h"
#include "tests/cardtools/recovery_writer.h"
#include "tests/ui/cardtools_test.h"
#include "tests/ui/panel_script.h"
#include "ui/QRoundProgressBar.h"
#include "ui/option.h"

namespace {

using recoverytest::kRegister;
using recoverytest::kWrite;
using recoverytest::Net;
using recoverytest::package;
using recoverytest::ramWrite;
using recoverytest::Screen;
using test::CardToolsTest;
using test::PanelScript;
using test::sendKey;

const char* const kPackage = "/data/rcvrecovery/YQFX";
constexpr u32 kScreenId = 0xCAFEBABE;

class Recovery : public CardToolsTest {
protected:
    // One screen of two nets: port 0 with 2 cards, port 1 with `cards` cards, of which
    // card 3 has operations of its own; the screen has a parameter part.
    static Screen screen(uint16_t cards = 10) {
        Net net0{0, 2, {{ramWrite(0x3000, {0xEE})}}};
        Net net1{1, cards, {{}, {}, {}, {ramWrite(0x2000, {5, 6, 7, 8}, 500)}}};
        return {kScreenId,
                {{kWrite, kRegister, 0, 500, {0x03, 0x0F, 0x01, 0x09}}, ramWrite(0x40, {9, 8, 7})},
                true,
                {net0, net1}};
    }
    // The chains of the package's screen: port 0 has nothing to recover, port 1 names
    // card `named` (0-based).
    void plugScreen(uint8_t named = 3) {
        useLanguage(1);
        startCards({{0, 2}, {1, 10}});
        manager->p_rcvRecovery->check_file_dir("/data/rcvrecovery");
        for (int port : {0, 1})
            ports()->setConfigId(port, kScreenId);
        ports()->setRecoveryResult(0, 0xFF);
        ports()->setRecoveryResult(1, named);
    }
    // The Setting menu, Advanced Settings, and its third entry.
    static PanelScript toRecovery() {
        PanelScript script;
        script.run([] { ::openScreen(g_option, 5); })
            .waitPage(5)
            .keys({'R', 'R', 'Q'})
            .waitPage(12)
            .keys({'R', 'R', 'Q'})
            .waitPage(25);
        return script;
    }
    static QString shown() {
        if (auto* none = test::child<QLabel>(g_rcv_recovery, "label_nocard"))
            return none->text();
        auto* row = test::child<QLabel>(g_rcv_recovery, "label_row0");
        return row ? row->text() : QString();
    }
    static const char* kNoCard;
};

const char* Recovery::kNoCard = "No receiving cards that need to be updated!";

TEST_F(Recovery, QueryListsTheCardAndRecoveryRestoresIt) {
    openWindows();
    plugScreen();
    writeFile(kPackage, package({screen()}));
    std::vector<int> progress;
    PanelScript script = toRecovery();
    script
        .run([&] {
            QObject::connect(g_rcv_recovery, &rcv_recovery::sig_qround_bar_update,
                             [&](int value) { progress.push_back(value); });
            EXPECT_EQ(shown(), kNoCard);
            EXPECT_EQ(g_rcv_recovery->ui_select(), 0);
        })
        .key('S')  // Left from Query wraps to Recovery, Right from Recovery to Query
        .run([] { EXPECT_EQ(g_rcv_recovery->ui_select(), 1); })
        .key('R')
        .run([] { EXPECT_EQ(g_rcv_recovery->ui_select(), 0); })
        .keys({'R', 'Q'})  // Recovery with nothing found: the focus goes to Query
        .run([] {
            EXPECT_EQ(g_rcv_recovery->ui_select(), 0);
            EXPECT_EQ(send_para_job(), 0);
            EXPECT_EQ(g_qround_bar, nullptr);
        })
        .key('Q')
        .run([] {
            EXPECT_EQ(send_para_job(), 5);
            QWidget* bar = g_qround_bar;
            ASSERT_NE(bar, nullptr);
            // While the bar is shown: no move, no second post, no leaving.
            for (int key : {'R', 'S', 'Q', 'O', 'M'})
                sendKey(key);
            EXPECT_EQ(g_rcv_recovery->ui_select(), 0);
            EXPECT_EQ(g_qround_bar, bar);
            EXPECT_EQ(g_page_focus, 25);
            EXPECT_EQ(send_para_job(), 5);
        })
        .waitUntil("the query", [this] { return jobOver(); })
        .run([&] {
            EXPECT_EQ(g_rcv_recovery->result().result_list, QStringList{"01/02/04/10"});
            EXPECT_EQ(shown(), "Find Screen01, LED02, Rcv<font color = #FFFFFF >04</font>");
            EXPECT_FALSE(g_rcv_recovery->recoveryRefused());
            ASSERT_FALSE(progress.empty());
            EXPECT_EQ(progress.back(), 100);
            progress.clear();
        })
        .keys({'R', 'Q'})
        .run([] { EXPECT_EQ(send_para_job(), 6); })
        .waitUntil("the recovery", [this] { return jobOver(); })
        .run([&] {
            // The card is restored: the list is emptied and the no-card text shown.
            EXPECT_EQ(shown(), kNoCard);
            EXPECT_EQ(g_rcv_recovery->result().result_count, 0);
            EXPECT_EQ(progress.back(), 100);
        })
        .key('O')
        .waitPage(12);
    EXPECT_TRUE(script.play(30000));
    EXPECT_EQ(card(1, 3).ram(0x40, 3), (std::vector<uint8_t>{9, 8, 7}));
    EXPECT_EQ(card(1, 3).ram(0x2000, 4), (std::vector<uint8_t>{5, 6, 7, 8}));
    EXPECT_EQ(card(1, 3).mapping(), 9);
    EXPECT_TRUE(card(1, 2).frames().empty());
}

TEST_F(Recovery, ACardBeyondItsNetsCountIsRedAndBlocksRecovery) {
    openWindows();
    plugScreen(5);
    writeFile(kPackage, package({screen(4)}));  // the package knows 4 cards on port 1
    PanelScript script = toRecovery();
    script.key('Q')
        .waitUntil("the query", [this] { return jobOver(); })
        .run([] {
            EXPECT_EQ(g_rcv_recovery->result().result_list, QStringList{"01/02/06/04"});
            EXPECT_EQ(shown(), "Find Screen01, LED02, Rcv<font color = #FF0000 >06</font>");
            EXPECT_TRUE(g_rcv_recovery->recoveryRefused());
        })
        .keys({'R', 'Q'})
        .run([] {
            EXPECT_EQ(send_para_job(), 0);
            EXPECT_EQ(g_qround_bar, nullptr);
            EXPECT_EQ(g_rcv_recovery->ui_select(), 1);
        });
    EXPECT_TRUE(script.play(30000));
}

TEST_F(Recovery, AQueryThatFindsNothingShowsNoCardButKeepsTheEarlierCardForRecovery) {
    openWindows();
    plugScreen();
    writeFile(kPackage, package({screen()}));
    PanelScript script = toRecovery();
    script.key('Q')
        .waitUntil("the first query", [this] { return jobOver(); })
        .run([this] {
            EXPECT_EQ(g_rcv_recovery->result().result_count, 1);
            ports()->setRecoveryResult(1, 0xFF);  // nothing to recover any more
        })
        .key('Q')
        .waitUntil("the second query", [this] { return jobOver(); })
        .run([] {
            EXPECT_EQ(shown(), kNoCard);
            EXPECT_EQ(g_rcv_recovery->result().result_list, QStringList{"01/02/04/10"});
        })
        .keys({'R', 'Q'})
        .run([] { EXPECT_EQ(send_para_job(), 6); })
        .waitUntil("the recovery", [this] { return jobOver(); });
    EXPECT_TRUE(script.play(30000));
    EXPECT_EQ(card(1, 3).ram(0x2000, 4), (std::vector<uint8_t>{5, 6, 7, 8}));
}

TEST_F(Recovery, TheHubOffersRecoveryOnlyWhileAPackageLiesInItsFolder) {
    openWindows();
    plugScreen();
    PanelScript script;
    script.run([] { ::openScreen(g_option, 5); })
        .waitPage(5)
        .keys({'R', 'R', 'Q'})
        .waitPage(12)
        .keys({'R', 'R', 'Q'})  // no package: grey, OK does nothing
        .run([] {
            EXPECT_EQ(g_page_focus, 12);
            auto* entry = test::child(g_advancedoption, "Button_rcv_recovery");
            EXPECT_TRUE(entry->styleSheet().contains("background-color: gray"));
        })
        .run([this] {
            // The PC sends a package while the hub is in front.
            writeFile(kPackage, package({screen()}));
            std::thread transport([] { post_file_notice(FileNotice::RecoveryWritten); });
            transport.join();
        })
        .waitUntil("the entry offered",
                   [] {
                       auto* entry = test::child(g_advancedoption, "Button_rcv_recovery");
                       return !entry->styleSheet().contains("gray");
                   })
        .key('Q')
        .waitPage(25)
        .run([this] {
            // The PC deletes the package while the recovery screen is in front.
            std::filesystem::remove(rooted(kPackage));
            std::thread transport([] { post_file_notice(FileNotice::RecoveryDeleted); });
            transport.join();
        })
        .waitPage(12)
        .run([] {
            EXPECT_EQ(g_rcv_recovery, nullptr);
            auto* entry = test::child(g_advancedoption, "Button_rcv_recovery");
            EXPECT_TRUE(entry->styleSheet().contains("background-color: gray"));
        })
        .run([this] {
            // A folder that cannot be listed leaves the offer as it was.
            writeFile(kPackage, package({screen()}));
            g_advancedoption->language_changed();
            std::filesystem::remove_all(rooted("/data/rcvrecovery"));
            g_advancedoption->language_changed();
        })
        .key('Q')
        .waitPage(25);
    EXPECT_TRUE(script.play(30000));
}

TEST_F(Recovery, TheListPagesStayOnPageZero) {
    openWindows();
    plugScreen();
    writeFile(kPackage, package({screen()}));
    PanelScript script = toRecovery();
    script.run([] {
        EXPECT_EQ(test::child(g_rcv_recovery, "Button_nextpage"), nullptr);
        g_rcv_recovery->krx_Button_next_clicked();
        EXPECT_EQ(g_rcv_recovery->currentPage(), 0);
        g_rcv_recovery->krx_Button_previous_clicked();
        EXPECT_EQ(g_rcv_recovery->currentPage(), 0);
    });
    EXPECT_TRUE(script.play());
}

TEST_F(Recovery, AQueryIsNotPostedWithoutAWorker) {
    openWindows();
    plugScreen();
    writeFile(kPackage, package({screen()}));
    PanelScript script = toRecovery();
    script
        .run([] {
            g_fpga_c331_start = 0;
            sendKey('Q');
            EXPECT_EQ(send_para_job(), 0);
            EXPECT_EQ(g_qround_bar, nullptr);
        })
        .key('O')
        .waitPage(12);
    EXPECT_TRUE(script.play());
}

}  // namespace
