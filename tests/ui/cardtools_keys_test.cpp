// The smart-mapping screen's keys where they do more than move the focus: its own key
// lines in the wizard and on the load-scan port page, Back from the load-scan port tiles,
// and Back on the wizard's third step while the job it sent runs.
//
// Pages of the screen's stacked widget: 0 to 2 the wizard's steps, 4 the load-scan port
// page. Pages of the panel: 4 user modes, 24 the smart-mapping screen.
#include <gtest/gtest.h>

#include <QFrame>
#include <string>
#include <vector>

#include "fpga/send_para.h"
#include "screens/cardtools/smartmapping.h"
#include "tests/ui/cardtools_test.h"
#include "tests/ui/panel_script.h"
#include "ui/QRoundProgressBar.h"

namespace {

using test::CardToolsTest;
using test::PanelScript;
using test::sendKey;
using Lines = std::vector<std::string>;

Lines& captured() {
    static Lines lines;
    return lines;
}

// The key lines (those that begin "this is") written while capturing.
void capture(QtMsgType, const QMessageLogContext&, const QString& text) {
    if (text.startsWith("this is"))
        captured().push_back(text.toStdString());
}

class SmartMappingKeys : public CardToolsTest {
protected:
    static PanelScript screen() {
        PanelScript script;
        script.run([] { ::openScreen(g_smartmapping, 24); }).waitPage(24);
        return script;
    }
    // Runs keys and returns the key lines they wrote.
    static Lines linesOf(std::initializer_list<int> codes) {
        captured().clear();
        qInstallMessageHandler(capture);
        for (int code : codes)
            sendKey(code);
        qInstallMessageHandler(nullptr);
        return captured();
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
};

TEST_F(SmartMappingKeys, TheWizardAndTheLoadPortPageWriteTheirOwnKeyLines) {
    openWindows();
    startCards({{0, 1}});
    writeFile("/mnt/usb1/u.yqfile", {0});  // Load scan is offered
    PanelScript script = screen();
    script
        .run([] {
            EXPECT_EQ(linesOf({'Q', 'R', 'R', 'Q'}),
                      (Lines{"this is OK button(SmartMapping)[Release]\n",
                             "this is shortcut_page1 right-code [smartmapping][Release],0\n",
                             "this is shortcut_page1 right-code [smartmapping][Release],0x1\n",
                             "this is OK button(SmartMapping)[Release]\n",
                             "this is shortcut_page1 ok [smartmapping][Release],0,0x2\n"}));
            ASSERT_EQ(page(), 1);
            EXPECT_EQ(
                linesOf({'R', 'S', 'Q', 'R', 'S', 'Q'}),
                (Lines{"this is shortcut_page2 right-code [smartmapping][Release],0\n",
                       "this is shortcut_page2 left-code [smartmapping][Release],0x1\n",
                       "this is OK button(SmartMapping)[Release]\n",
                       "this is shortcut_page1 ok [smartmapping][Release],0x1,0\n",
                       "this is shortcut_page2 net sel right-code [smartmapping][Release],0\n",
                       "this is shortcut_page2 net sel left-code [smartmapping][Release],0x1\n",
                       "this is OK button(SmartMapping)[Release]\n",
                       "this is shortcut_page1 ok [smartmapping][Release],0x1,0\n"}));
            sendKey('S');  // Next
            sendKey('Q');
            ASSERT_EQ(page(), 2);
            EXPECT_EQ(linesOf({'O'}), (Lines{"this is back page3 to page2"}));
            EXPECT_EQ(page(), 1);
            // Back to the column, and on to Load scan.
            EXPECT_EQ(linesOf({'O', 'O', 'R'}),
                      (Lines{"this is back button(SmartMapping)[Release]\n",
                             "this is back button(SmartMapping)[Release]\n",
                             "this is right-code [SmartMapping][Release] ui_select=0"}));
            ASSERT_EQ(page(), 4);
            EXPECT_EQ(
                linesOf({'Q', 'R', 'S', 'Q', 'R', 'S', 'O'}),
                (Lines{"this is OK button(SmartMapping)[Release]\n",
                       "this is load_scan_page1 right-code [smartmapping][Release],0\n",
                       "this is load_scan_page1 left-code [smartmapping][Release],0x1\n",
                       "this is OK button(SmartMapping)[Release]\n",
                       "this is load_scan_page1 net sel right-code [smartmapping][Release],0\n",
                       "this is load_scan_page1 net sel left-code [smartmapping][Release],0x1\n",
                       "this is back button(SmartMapping)[Release]\n"}));
        })
        .run([] {
            captured().clear();
            qInstallMessageHandler(capture);
        })
        .key('M')
        .waitPage(4)
        .run([] { qInstallMessageHandler(nullptr); });
    EXPECT_TRUE(script.play());
    EXPECT_EQ(captured(), (Lines{"this is mode-code [smartmapping][Release]"}));
}

// Back leaves the tiles without a choice: the port is the one set before them, whether or
// not a tile was taken earlier on this screen.
TEST_F(SmartMappingKeys, BackFromTheLoadScanTilesRestoresThePortOfBefore) {
    startCards({{0, 1}});
    writeFile("/mnt/usb1/u.yqfile", {0});
    PanelScript script = screen();
    script
        .keys({'R', 'Q'})  // Load scan: the port page, its tab focused
        .run([] {
            ASSERT_EQ(page(), 4);
            EXPECT_EQ(line_type.net_port, 0);
            EXPECT_TRUE(focused("Button_wlan5"));
        })
        .keys({'Q', 'R', 'R'})  // tile mode, on LED3
        .run([] {
            EXPECT_EQ(line_type.net_port, 2);
            EXPECT_TRUE(tileMarked(2));
        })
        .key('O')
        .run([] {
            EXPECT_EQ(line_type.net_port, 0) << "no tile was ever taken here";
            EXPECT_TRUE(tileMarked(0));
            EXPECT_FALSE(tileMarked(2));
            EXPECT_EQ(page(), 4);
        })
        .key('R')  // tile mode is over: Right reaches Next
        .run([] {
            EXPECT_TRUE(focused("Button_next_5"));
            EXPECT_EQ(line_type.net_port, 0);
        })
        .keys({'S', 'Q', 'R', 'R', 'R', 'Q'})  // LED4 taken
        .run([] { EXPECT_EQ(line_type.net_port, 3); })
        .keys({'Q', 'S', 'S'})  // tile mode again, from LED1 back to LED5
        .run([] { EXPECT_EQ(line_type.net_port, 4); })
        .key('O')
        .run([] {
            EXPECT_EQ(line_type.net_port, 3);
            EXPECT_TRUE(tileMarked(3));
            EXPECT_FALSE(tileMarked(4));
        })
        .key('O')  // the column
        .run([] { EXPECT_EQ(g_smartmapping->mainIndex(), 1); });
    EXPECT_TRUE(script.play());
}

// Back on step 3 while the job that Send posted runs is refused like Previous: the step,
// its page and its focus stay, and the port of the running job is not touched. Once the
// job is over Back goes to step 2.
TEST_F(SmartMappingKeys, BackOnStepThreeWhileItsJobRunsKeepsStepThree) {
    openWindows();
    startCards({{1, 2}});
    sim::CardFaults silent;
    silent.silent = true;
    ports()->setFaults(1, 0, silent);
    PanelScript script = screen();
    script
        .keys({'Q', 'R', 'R', 'Q'})       // step 2
        .keys({'Q', 'R', 'Q'})            // tile mode, LED2 taken
        .keys({'R', 'R', 'Q', 'S', 'Q'})  // step 3, Left to Send, Send
        .run([this] {
            ASSERT_NE(g_qround_bar, nullptr);
            fpgaPass(10);  // card 0 is awaited
            ASSERT_EQ(send_para_job(), 1);
            sendKey('S');  // Previous focused
            EXPECT_EQ(linesOf({'O'}), (Lines{"this is back page3 to page2"}));
            EXPECT_EQ(page(), 2);
            EXPECT_TRUE(focused("Button_front_3"));
            EXPECT_EQ(line_type.net_port, 1);
            sendKey('R');  // the focus still walks step 3's items
            EXPECT_TRUE(focused("Button_send"));
            EXPECT_FALSE(focused("Button_front_3"));
            sendKey('S');
        })
        .waitUntil("the job", [this] { return jobOver(); })
        .key('O')
        .run([] {
            EXPECT_EQ(page(), 1);
            EXPECT_TRUE(focused("Button_next_2")) << "the item step 2 was left by";
            EXPECT_EQ(line_type.net_port, 1);
        });
    EXPECT_TRUE(script.play(20000));
}

}  // namespace
