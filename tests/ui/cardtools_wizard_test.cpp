// The smart-mapping wizard on the simulated board: the operator fills cabinet size,
// port, rows, columns, routing and offsets with the panel keys and sends; every card of
// the port gets the position that the routing pattern gives it. Also what the wizard
// refuses while its job runs, and the focus rules of its pages.
//
// Pages: 5 Setting menu, 24 the smart-mapping screen. Wizard pages of its stacked widget:
// 0 cabinet size, 1 port, 2 screen parameters, 3 routing chooser.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFrame>
#include <QLineEdit>
#include <string>
#include <thread>

#include "fpga/send_para.h"
#include "remote/file_notice.h"
#include "screens/cardtools/smartmapping.h"
#include "tests/ui/cardtools_test.h"
#include "tests/ui/panel_script.h"
#include "ui/QRoundProgressBar.h"
#include "ui/numberkeyboard.h"
#include "ui/option.h"

namespace {

using test::CardToolsTest;
using test::PanelScript;
using test::Position;
using test::positionOf;
using test::sendKey;

class Wizard : public CardToolsTest {
protected:
    // The Setting menu, then its fifth entry (Right four times): the smart-mapping screen.
    static PanelScript fromSettingMenu() {
        PanelScript script;
        script.run([] { ::openScreen(g_option, 5); })
            .waitPage(5)
            .keys({'R', 'R', 'R', 'R', 'Q'})
            .waitPage(24);
        return script;
    }
    static PanelScript screenOnly() {
        PanelScript script;
        script.run([] { ::openScreen(g_smartmapping, 24); }).waitPage(24);
        return script;
    }
    // OK on the focused field opens the keypad; the digits are typed and confirmed.
    static void type(PanelScript& script, const std::string& digits) {
        script.key('Q').waitUntil("the keypad", [] { return g_numberkeyboard->isVisible(); });
        for (char digit : digits)
            script.key(digit);
        script.run(test::pressKeypadOk).waitUntil("the keypad to close", [] {
            return !g_numberkeyboard->isVisible();
        });
    }
    static int page() { return g_smartmapping ? g_smartmapping->currentPage() : -1; }
    static bool tileMarked(int tile) {
        auto* frame =
            test::child<QFrame>(g_smartmapping, qPrintable(QString("frame_tile%1").arg(tile)));
        return frame && frame->styleSheet().contains("#00D65B");
    }
    static bool focused(const char* name) {
        QWidget* item = test::child(g_smartmapping, name);
        return item && item->styleSheet().contains("rgb(255,171,84)");
    }
    static bool barShown() { return g_qround_bar != nullptr; }
};

TEST_F(Wizard, EveryCardOfThePortGetsThePositionOfItsRoutingPattern) {
    openWindows();
    useLanguage(1);
    startCards({{2, 6}, {0, 1}});
    std::vector<int> progress;
    PanelScript script = fromSettingMenu();
    script.run([&] {
        QObject::connect(g_smartmapping, &SmartMapping::sig_qround_bar_update,
                         [&](int value) { progress.push_back(value); });
    });
    script.key('Q');  // into the wizard: cabinet width
    type(script, "64");
    script.key('R');
    type(script, "32");
    script
        .keys({'R', 'Q'})  // Next: the port page, the tab focused
        .run([] { EXPECT_EQ(page(), 1); })
        .key('Q')  // tile mode, LED1 marked
        .keys({'R', 'R'})
        .run([] {
            EXPECT_EQ(line_type.net_port, 2);
            EXPECT_TRUE(tileMarked(2));
            EXPECT_FALSE(tileMarked(0));
        })
        .key('Q')               // LED3 taken
        .keys({'R', 'R', 'Q'})  // Next: screen parameters, rows focused
        .run([] { EXPECT_EQ(page(), 2); });
    type(script, "2");
    script.key('R');
    type(script, "3");
    script
        .keys({'R', 'Q'})  // the routing chooser, its cursor on routing 1
        .run([] {
            EXPECT_EQ(page(), 3);
            EXPECT_TRUE(focused("Button_route1"));
        })
        .keys({'R', 'R', 'R', 'R', 'R', 'R', 'Q'})  // routing 7
        .run([] {
            EXPECT_EQ(page(), 2);
            EXPECT_EQ(line_type.route_way, 7);
            EXPECT_EQ(test::textOf(g_smartmapping, "Button_route"), "Routing 7");
            EXPECT_TRUE(focused("Button_route"));
        })
        .key('R');
    type(script, "10");
    script.key('R');
    type(script, "20");
    script
        .keys({'R', 'R', 'Q'})  // Send
        .run([] { EXPECT_TRUE(barShown()); })
        .waitUntil("the job", [this] { return jobOver(); })
        .keys({'O', 'O', 'O', 'O'})  // step 2, step 1, the column, the Setting menu
        .waitPage(5);
    EXPECT_TRUE(script.play(20000));

    EXPECT_EQ(line_type.box_width, 64);
    EXPECT_EQ(line_type.box_height, 32);
    EXPECT_EQ(line_type.box_rows, 2);
    EXPECT_EQ(line_type.box_columns, 3);
    EXPECT_EQ(line_type.h_offset, 10);
    EXPECT_EQ(line_type.v_offset, 20);
    // Routing 7: column by column from the left, top to bottom in the first column, bottom
    // to top in the second and so on; cabinets 64 x 32, offsets 10 and 20.
    const Position expected[6] = {{10, 20}, {10, 52}, {74, 52}, {74, 20}, {138, 20}, {138, 52}};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(positionOf(card(2, i)), expected[i]) << "card " << i;
    EXPECT_EQ(positionOf(card(0, 0)), (Position{-1, -1})) << "the other port is left alone";
    // After each card's packet the share of cards done (i x 100 / 7), the same again after
    // the closing packet, 90, then 100.
    EXPECT_EQ(progress, (std::vector<int>{14, 28, 42, 57, 71, 85, 85, 90, 100}));
}

TEST_F(Wizard, RoutingOneStartsBottomRightAndAlternatesRowByRow) {
    openWindows();
    startCards({{0, 6}});
    PanelScript script = screenOnly();
    script
        .run([] {
            test::child<QLineEdit>(g_smartmapping, "lineEdit_X")->setText("100");
            test::child<QLineEdit>(g_smartmapping, "lineEdit_Y")->setText("50");
        })
        .keys({'Q', 'R', 'R', 'Q'})  // cabinet size taken, the port page, LED1 kept
        .keys({'R', 'R', 'Q'})       // screen parameters
        .run([] {
            test::child<QLineEdit>(g_smartmapping, "lineEdit_line")->setText("2");
            test::child<QLineEdit>(g_smartmapping, "lineEdit_column")->setText("3");
        })
        .keys({'S', 'Q'})  // Left from rows to Send
        .waitUntil("the job", [this] { return jobOver(); });
    EXPECT_TRUE(script.play(20000));
    EXPECT_EQ(line_type.route_way, 1) << "a new screen starts with routing 1";
    EXPECT_EQ(line_type.net_port, 0);
    const Position expected[6] = {{200, 50}, {100, 50}, {0, 50}, {0, 0}, {100, 0}, {200, 0}};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(positionOf(card(0, i)), expected[i]) << "card " << i;
}

TEST_F(Wizard, WhileItsJobRunsNothingElseIsPostedAndTheScreenStays) {
    openWindows();
    startCards({{0, 2}});
    sim::CardFaults silent;
    silent.silent = true;
    ports()->setFaults(0, 0, silent);
    PanelScript script = screenOnly();
    script.keys({'Q', 'R', 'R', 'Q', 'R', 'R', 'Q', 'S', 'Q'})
        .run([this] {
            ASSERT_TRUE(barShown());
            QWidget* bar = g_qround_bar;
            fpgaPass(10);  // card 0 is awaited
            EXPECT_EQ(send_para_job(), 1);
            // Send again, Previous, Back and Mode: refused; no second bar.
            sendKey('Q');
            EXPECT_EQ(g_qround_bar, bar);
            EXPECT_EQ(g_send_para.step, 3);
            sendKey('S');  // Previous
            sendKey('Q');
            EXPECT_EQ(page(), 2);
            sendKey('O');
            sendKey('M');
            EXPECT_EQ(g_page_focus, 24);
            EXPECT_NE(g_smartmapping, nullptr);
            // The PC finished writing a scan file: the screen stays while the job runs.
            std::thread transport([] { post_file_notice(FileNotice::ScanWritten); });
            transport.join();
            QCoreApplication::processEvents();
            EXPECT_NE(g_smartmapping, nullptr);
            sendKey('R');  // back on Send
        })
        .waitUntil("the job", [this] { return jobOver(); })
        .run([] {
            // A new post is taken once the bar has closed.
            sendKey('Q');
            EXPECT_TRUE(barShown());
            EXPECT_EQ(send_para_job(), 1);
        })
        .waitUntil("the second job", [this] { return jobOver(); })
        .run([] {
            // Now the PC's notice closes the screen.
            std::thread transport([] { post_file_notice(FileNotice::ScanDeleted); });
            transport.join();
        })
        .waitPage(5);
    // The screen was opened straight from the test: the Setting menu's refresh has no menu.
    EXPECT_TRUE(script.play(30000));
    EXPECT_EQ(g_smartmapping, nullptr);
}

TEST_F(Wizard, AJobThatNothingWouldWorkIsNotPosted) {
    openWindows();
    startCards({{0, 1}});
    g_fpga_c331_start = 0;  // the FPGA thread waits for the video processor
    PanelScript script = screenOnly();
    script.keys({'Q', 'R', 'R', 'Q', 'R', 'R', 'Q', 'S', 'Q'})
        .run([] {
            EXPECT_FALSE(barShown());
            EXPECT_EQ(send_para_job(), 0);
        })
        .run([this] {
            fpga_manage::p_fpga_manage = nullptr;  // no FPGA manager at all
            g_fpga_c331_start = 1;
            sendKey('Q');
            EXPECT_FALSE(barShown());
            EXPECT_EQ(send_para_job(), 0);
            fpga_manage::p_fpga_manage = manager.get();
        })
        .keys({'O', 'O', 'O', 'O'})
        .waitPage(5);
    EXPECT_TRUE(script.play());
}

TEST_F(Wizard, PortTilesWrapAndBackRestoresThePortOfBefore) {
    openWindows();
    useLanguage(1);
    startCards({{0, 1}});
    PanelScript script = screenOnly();
    script.keys({'Q', 'R', 'R', 'Q'})
        .run([] {
            EXPECT_EQ(page(), 1);
            EXPECT_TRUE(focused("Button_wlan1"));
            EXPECT_EQ(test::textOf(g_smartmapping, "Button_wlan1"), "LED1~6");
            // Six tiles, LED1 to LED6.
            EXPECT_EQ(test::textOf(g_smartmapping, "label_tile5"), "LED6");
            EXPECT_EQ(test::child(g_smartmapping, "label_tile6"), nullptr);
        })
        .keys({'Q', 'S'})  // tile mode; Left on LED1 goes to LED6
        .run([] {
            EXPECT_EQ(line_type.net_port, 5);
            EXPECT_TRUE(tileMarked(5));
        })
        .key('R')  // Right on LED6 goes to LED1
        .run([] { EXPECT_EQ(line_type.net_port, 0); })
        .keys({'R', 'R', 'R', 'Q'})  // LED4 taken
        .run([] { EXPECT_EQ(line_type.net_port, 3); })
        .keys({'Q'})  // tile mode again: LED1 marked, port 0
        .run([] {
            EXPECT_EQ(line_type.net_port, 0);
            EXPECT_TRUE(tileMarked(0));
        })
        .keys({'R', 'O'})  // Back: the port taken before
        .run([] {
            EXPECT_EQ(line_type.net_port, 3);
            EXPECT_TRUE(tileMarked(3));
        })
        .keys({'R', 'R', 'R'})  // Previous, Next, the tab: wraps over three items
        .run([] { EXPECT_TRUE(focused("Button_wlan1")); })
        .keys({'S', 'Q'})  // Next
        .run([] { EXPECT_TRUE(focused("lineEdit_line")); })
        .keys({'S'})  // Left from rows wraps to Send
        .run([] { EXPECT_TRUE(focused("Button_send")); })
        .keys({'S', 'S', 'S', 'S', 'Q'})  // Button_route
        .run([] {
            EXPECT_EQ(page(), 3);
            EXPECT_TRUE(focused("Button_route1"));
        })
        .keys({'S'})  // from routing 1 to Cancel
        .run([] { EXPECT_TRUE(focused("Button_cancel")); })
        .keys({'S', 'Q'})  // routing 16
        .run([] { EXPECT_EQ(line_type.route_way, 16); })
        .keys({'Q', 'S', 'S', 'S', 'S', 'S', 'S', 'S', 'S', 'S', 'O'})  // Back = Cancel
        .run([] {
            EXPECT_EQ(page(), 2);
            EXPECT_EQ(line_type.route_way, 16);
            EXPECT_TRUE(focused("Button_route"));
        });
    EXPECT_TRUE(script.play());
}

TEST_F(Wizard, ANewScreenKeepsTheCabinetSizeButStartsWithPortZeroAndRoutingOne) {
    openWindows();
    startCards({{0, 1}});
    line_type.box_width = 77;
    line_type.h_offset = 5;
    line_type.net_port = 4;
    line_type.route_way = 9;
    PanelScript script = screenOnly();
    script.run([] {
        EXPECT_EQ(line_type.net_port, 0);
        EXPECT_EQ(line_type.route_way, 1);
        EXPECT_EQ(line_type.box_width, 77);
        EXPECT_EQ(line_type.h_offset, 5);
        EXPECT_EQ(test::textOf(g_smartmapping, "lineEdit_X"), "128");
        EXPECT_EQ(test::textOf(g_smartmapping, "lineEdit_Y"), "96");
        EXPECT_EQ(test::textOf(g_smartmapping, "lineEdit_line"), "1");
        EXPECT_EQ(test::textOf(g_smartmapping, "lineEdit_vert"), "0");
    });
    EXPECT_TRUE(script.play());
}

TEST_F(Wizard, FieldsAreTakenAsPlainNumbersCutToTheirWidth) {
    openWindows();
    startCards({{0, 1}});
    PanelScript script = screenOnly();
    script
        .run([] {
            test::child<QLineEdit>(g_smartmapping, "lineEdit_X")->setText("70000");
            test::child<QLineEdit>(g_smartmapping, "lineEdit_Y")->setText("");
        })
        .keys({'Q', 'R', 'R', 'Q', 'R', 'R', 'Q'})
        .run([] {
            test::child<QLineEdit>(g_smartmapping, "lineEdit_line")->setText("300");
            test::child<QLineEdit>(g_smartmapping, "lineEdit_column")->setText("x");
        })
        .keys({'S', 'Q'})
        .waitUntil("the job", [this] { return jobOver(); });
    EXPECT_TRUE(script.play(20000));
    EXPECT_EQ(line_type.box_width, 70000 - 65536);
    EXPECT_EQ(line_type.box_height, 0);
    EXPECT_EQ(line_type.box_rows, 300 - 256);
    EXPECT_EQ(line_type.box_columns, 0);
}

TEST_F(Wizard, EachFieldOpensTheKeypadWithItsTitle) {
    openWindows();
    startCards({{0, 1}});
    // Fields in focus order with their titles in simplified Chinese, English and traditional
    // Chinese (Russian and Vietnamese use the English one).
    struct Title {
        const char* field;
        const char* zh;
        const char* en;
        const char* tw;
    };
    const Title titles[] = {
        {"lineEdit_X", "箱体宽度", "width", "箱體寬度"},
        {"lineEdit_Y", "箱体高度", "height", "箱體高度"},
        {"lineEdit_line", "箱体行数", "rows", "箱體行數"},
        {"lineEdit_column", "箱体列数", "lines", "箱體列數"},
        {"lineEdit_horzion", "水平偏移", "Horizontal", "水平偏移"},
        {"lineEdit_vert", "垂直偏移", "Vertical", "垂直偏移"},
    };
    for (u8 language : {0, 1, 2, 4}) {
        useLanguage(language);
        std::vector<QString> seen;
        auto open = [&seen](PanelScript& script, const char* field) {
            script.key('Q')
                .waitUntil("the keypad", [] { return g_numberkeyboard->isVisible(); })
                .run([&seen, field] {
                    seen.push_back(test::textOf(g_numberkeyboard, "label_title"));
                    EXPECT_EQ(test::textOf(g_numberkeyboard, "lineEdit_entry"),
                              test::textOf(g_smartmapping, field));
                })
                .key('O')  // the keypad's close key: the field keeps its text
                .waitUntil("the keypad to close", [] { return !g_numberkeyboard->isVisible(); });
        };
        PanelScript script = screenOnly();
        script.key('Q');
        open(script, "lineEdit_X");
        script.key('R');
        open(script, "lineEdit_Y");
        script.keys({'R', 'Q', 'R', 'R', 'Q'});
        open(script, "lineEdit_line");
        script.key('R');
        open(script, "lineEdit_column");
        script.keys({'R', 'R'});
        open(script, "lineEdit_horzion");
        script.key('R');
        open(script, "lineEdit_vert");
        script.keys({'O', 'O', 'O', 'O'}).waitPage(5);
        ASSERT_TRUE(script.play()) << "language " << int(language);
        ASSERT_EQ(seen.size(), 6u);
        for (size_t i = 0; i < 6; ++i) {
            const char* want = language == 0   ? titles[i].zh
                               : language == 4 ? titles[i].tw
                                               : titles[i].en;
            EXPECT_EQ(seen[i], QString::fromUtf8(want)) << titles[i].field << " " << int(language);
        }
    }
}

TEST_F(Wizard, ModeLeavesForTheUserModesUnlessThePanelIsLocked) {
    openWindows();
    startCards({{0, 1}});
    store->ram_para.setU16(772, 1);  // panel locked
    PanelScript script = fromSettingMenu();
    script.keys({'Q', 'M'})
        .run([] {
            EXPECT_EQ(g_page_focus, 24);
            EXPECT_NE(g_smartmapping, nullptr);
        })
        .run([this] { store->ram_para.setU16(772, 0); })
        .key('M')
        .waitPage(4);
    EXPECT_TRUE(script.play());
    EXPECT_EQ(g_smartmapping, nullptr);
    EXPECT_EQ(g_option, nullptr);
    EXPECT_EQ(g_mode_shortcut_key, 1);
}

}  // namespace
