// The output-port overview: the row of four of the six ports and how Left and Right
// scroll it, the rectangles from FPGA 0's parameter RAM as the PC writes it, and the link
// pictures.
//
// Pages: 6 output menu, 14 network address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/le.h"
#include "screens/settings/netset.h"
#include "tests/ui/panel_script.h"
#include "tests/ui/settings_test.h"
#include "ui/outputset.h"
#include "ui/pages.h"

namespace {

using test::PanelScript;
using test::SettingsTest;
using test::showsPicture;
using test::textOf;

class PortOverview : public SettingsTest {
protected:
    static PanelScript openScreen() {
        PanelScript script;
        script.run([] { ::openScreen(g_outputset, 6); }).waitPage(6).keys({'R', 'Q'}).waitPage(14);
        return script;
    }
    // The four port names shown, and the selected port.
    static std::vector<QString> row() {
        std::vector<QString> names;
        for (int i = 1; i <= 4; ++i)
            names.push_back(textOf(g_netset, QString("LED%1label").arg(i).toLatin1().constData()));
        return names;
    }
    static std::vector<QString> rectangle() {
        return {textOf(g_netset, "x_lineEdit"), textOf(g_netset, "y_lineEdit"),
                textOf(g_netset, "w_lineEdit"), textOf(g_netset, "h_lineEdit")};
    }
    // A port's rectangle as the PC writes it into FPGA 0's parameter RAM.
    void writeRectangle(unsigned offset, u16 x, u16 y, u16 w, u16 h, unsigned stride = 2) {
        u8 bytes[2];
        const u16 values[] = {x, y, w, h};
        for (int i = 0; i < 4; ++i) {
            put_u16(bytes, values[i]);
            ASSERT_EQ(manager->controller_area_write(fpga_manage::Area::ParaRam, 0,
                                                     offset + stride * i, bytes, 2),
                      1);
        }
    }
};

using Names = std::vector<QString>;

std::vector<std::string>& debugLines() {
    static std::vector<std::string> lines;
    return lines;
}

void captureDebug(QtMsgType, const QMessageLogContext&, const QString& text) {
    debugLines().push_back(text.toStdString());
}

// The trace names the screen as its key handler always has, and carries the selected
// port, not the button.
TEST_F(PortOverview, KeyTracesCarryTheSelectedPort) {
    openWindows();
    PanelScript script = openScreen();
    script.keys({'R', 'R', 'R', 'R'})
        .run([] {
            debugLines().clear();
            qInstallMessageHandler(captureDebug);
        })
        .key('R')
        .run([] { qInstallMessageHandler(nullptr); });
    EXPECT_TRUE(script.play());
    ASSERT_EQ(debugLines().size(), 2u);
    EXPECT_EQ(debugLines()[0], "this is right-code [nsetset][Release] ui_select=0x4");
    EXPECT_EQ(debugLines()[1], "\n ui_min_select=2,ui_select=5 ui_sel=3\n");
}

TEST_F(PortOverview, RightAndLeftScrollTheRowAtItsEndsWithoutWrapping) {
    useLanguage(1);
    openWindows();
    std::vector<int> selected;
    auto note = [&] { selected.push_back(g_netset->selectedPort()); };
    PanelScript script = openScreen();
    script.run(note);
    for (int i = 0; i < 6; ++i)
        script.key('R').run(note);
    script.run([] { EXPECT_EQ(row(), (Names{"LED3", "LED4", "LED5", "LED6"})); });
    for (int i = 0; i < 6; ++i)
        script.key('S').run(note);
    script.run([] { EXPECT_EQ(row(), (Names{"LED1", "LED2", "LED3", "LED4"})); });
    EXPECT_TRUE(script.play());
    EXPECT_EQ(selected, (std::vector<int>{0, 1, 2, 3, 4, 5, 5, 4, 3, 2, 1, 0, 0}));
}

TEST_F(PortOverview, TheRowScrollsOnlyPastItsEnds) {
    useLanguage(1);
    openWindows();
    PanelScript script = openScreen();
    script.keys({'R', 'R', 'R', 'R'})
        .run([] {
            EXPECT_EQ(row(), (Names{"LED2", "LED3", "LED4", "LED5"}));
            EXPECT_EQ(g_netset->firstShownPort(), 1);
            EXPECT_EQ(g_netset->ui_select(), 3) << "the last button";
            EXPECT_EQ(test::child<QWidget>(g_netset, "net_frame")->geometry(),
                      QRect(24 + 68 * 3, 40, 58, 41));
        })
        .keys({'R', 'S', 'S', 'S'})
        .run([] {
            EXPECT_EQ(row(), (Names{"LED3", "LED4", "LED5", "LED6"}));
            EXPECT_EQ(g_netset->selectedPort(), 2) << "back across the buttons first";
        })
        .key('S')
        .run([] {
            EXPECT_EQ(row(), (Names{"LED2", "LED3", "LED4", "LED5"}));
            EXPECT_EQ(g_netset->selectedPort(), 1);
            EXPECT_EQ(g_netset->ui_select(), 0);
        })
        .key('Q')
        .run([] { EXPECT_EQ(g_page_focus, 14) << "OK does nothing"; })
        .key('O')
        .waitPage(6)
        .run([] { EXPECT_EQ(g_netset, nullptr); });
    EXPECT_TRUE(script.play());
}

TEST_F(PortOverview, RectanglesComeFromFpgaZerosParameterRam) {
    openWindows();
    startFpga();
    ASSERT_TRUE(bringUp());
    writeRectangle(8, 0, 0, 960, 540);
    writeRectangle(19, 960, 0, 960, 540);  // port 2 starts at an odd offset
    writeRectangle(520, 1, 2, 3, 4);
    writeRectangle(528, 11, 12, 13, 14);
    PanelScript script = openScreen();
    script.run([] {
              EXPECT_EQ(rectangle(), (Names{"0", "0", "960", "540"}));
          })
        .key('R')
        .run([] {
            EXPECT_EQ(rectangle(), (Names{"960", "0", "960", "540"}));
        })
        .keys({'R', 'R', 'R'})
        .run([] {
            EXPECT_EQ(rectangle(), (Names{"1", "2", "3", "4"}));
        })
        .key('R')
        .run([] {
            EXPECT_EQ(rectangle(), (Names{"11", "12", "13", "14"}));
        })
        .run([this] { writeRectangle(528, 21, 22, 23, 24); })
        .run([] {
            EXPECT_EQ(rectangle(), (Names{"11", "12", "13", "14"})) << "not before a key";
        })
        .key('R')
        .run([] {
            EXPECT_EQ(rectangle(), (Names{"21", "22", "23", "24"}));
        });
    EXPECT_TRUE(script.play());
}

TEST_F(PortOverview, LinkPicturesFollowTheLinksOfTheShownPorts) {
    openWindows();
    startFpga();
    ASSERT_TRUE(bringUp());
    fpga()->setLinks(0x0022);  // ports 2 and 6
    auto links = [] {
        std::vector<int> shown;
        for (int i = 1; i <= 4; ++i) {
            const QByteArray name = QString("L%1label").arg(i).toLatin1();
            const bool up = showsPicture(g_netset, name.constData(), ":/png/online_up.png");
            EXPECT_TRUE(up || showsPicture(g_netset, name.constData(), ":/png/offline_up.png"));
            shown.push_back(up);
        }
        return shown;
    };
    PanelScript script = openScreen();
    script.run([&] {
              EXPECT_EQ(links(), (std::vector<int>{0, 1, 0, 0}));
          })
        .keys({'R', 'R', 'R', 'R', 'R'})
        .run([&] {
            EXPECT_EQ(links(), (std::vector<int>{0, 0, 0, 1})) << "LED3 to LED6";
        })
        .run([this] { manager->set_fpga_ready_state(0, 0); })
        .key('S')
        .run([&] {
            EXPECT_EQ(links(), (std::vector<int>{0, 0, 0, 0})) << "FPGA 0 not up";
        });
    EXPECT_TRUE(script.play());
}

TEST_F(PortOverview, WithoutTheFpgaManagerTheFieldsAreEmptyAndThePortsOffline) {
    openWindows();
    PanelScript script = openScreen();
    script.run([] {
        EXPECT_EQ(rectangle(), (Names{"", "", "", ""}));
        EXPECT_TRUE(showsPicture(g_netset, "L1label", ":/png/offline_up.png"));
    });
    EXPECT_TRUE(script.play());
}

TEST_F(PortOverview, ALanguageChangeRenamesThePortsAtTheNextKey) {
    openWindows();
    PanelScript script = openScreen();
    script.run([this] { changeLanguage(1); })
        .run([] {
            EXPECT_EQ(textOf(g_netset, "label_netset"), "Port output");
            EXPECT_EQ(textOf(g_netset, "w_label"), "W");
            EXPECT_EQ(row()[0], QString::fromUtf8("网口LED1"));
        })
        .key('R')
        .run([] { EXPECT_EQ(row()[0], "LED1"); });
    EXPECT_TRUE(script.play());
}

}  // namespace
