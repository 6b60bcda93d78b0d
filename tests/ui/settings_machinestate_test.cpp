// The device information: serial number, the two version lines (FPGA 0's from its
// registers on the simulated board), the inputs with a signal and the output-port links,
// renewed by the refresh that the FPGA thread raises when the links change.
//
// Pages: 0 home, 1 main menu, 2 device information, 4 user modes.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include "board/sim/sim.h"
#include "screens/settings/machinestate.h"
#include "screens/sources/custommode.h"
#include "tests/ui/panel_script.h"
#include "tests/ui/settings_test.h"
#include "ui/mainwindow.h"
#include "ui/pages.h"

namespace {

using test::PanelScript;
using test::SettingsTest;
using test::showsPicture;
using test::textOf;

class DeviceInfo : public SettingsTest {
protected:
    void TearDown() override {
        g_str_barcode = " ";
        SettingsTest::TearDown();
    }
    // FPGA 0 loads an image whose identity registers 28..31 read function, day, month,
    // year (BCD).
    void fpgaImage(int function, int day, int month, int year) {
        QJsonObject image{{"function", function}, {"day", day}, {"month", month}, {"year", year}};
        sim::setScene(QJsonObject{{"fpga", QJsonArray{QJsonObject{{"image", image}}}}});
    }
    static void open() {
        g_machinestate = new MachineState(nullptr);
        g_page_focus = 2;
    }
    // The link icons of ports 1..6 as 1 (online) and 0 (offline).
    static std::vector<int> links() {
        std::vector<int> shown;
        for (int port = 1; port <= 6; ++port) {
            const QByteArray label = QString("label_link%1").arg(port).toLatin1();
            const bool online = showsPicture(g_machinestate, label.constData(), ":/png/online.png");
            EXPECT_TRUE(online ||
                        showsPicture(g_machinestate, label.constData(), ":/png/offline.png"));
            shown.push_back(online);
        }
        return shown;
    }
};

TEST_F(DeviceInfo, SerialLineShowsTheSerialNumberOnceOneIsSet) {
    g_str_barcode = " ";
    open();
    EXPECT_EQ(textOf(g_machinestate, "label_2"), "SN:YQ9999");
    delete g_machinestate;
    g_str_barcode = "A1";
    open();
    EXPECT_EQ(textOf(g_machinestate, "label_2"), "SN:A1");
}

TEST_F(DeviceInfo, VersionLinesComeFromTheProgramAndFpgaZerosRegisters) {
    fpgaImage(0x05, 0x16, 0x12, 0x24);
    startFpga();
    ASSERT_TRUE(bringUp());
    open();
    EXPECT_EQ(textOf(g_machinestate, "label_MCU"), "MCU:V11.02.00 2024-12-16");
    EXPECT_EQ(textOf(g_machinestate, "label_FPGA1"), "FPGA:V11.00.05 2024-12-16");
}

TEST_F(DeviceInfo, FpgaDatePartsArePrintedInLowerCaseHexadecimal) {
    fpgaImage(0x2B, 0x16, 0x1A, 0x25);
    startFpga();
    ASSERT_TRUE(bringUp());
    open();
    EXPECT_EQ(textOf(g_machinestate, "label_FPGA1"), "FPGA:V11.00.2b 2025-1a-16");
}

TEST_F(DeviceInfo, WithoutTheFpgaManagerThereIsNoFpgaVersionAndNoLink) {
    open();
    EXPECT_EQ(textOf(g_machinestate, "label_FPGA1"), "FPGA:");
    EXPECT_EQ(links(), (std::vector<int>{0, 0, 0, 0, 0, 0}));
    store->test_signal(11);
    EXPECT_EQ(links(), (std::vector<int>{0, 0, 0, 0, 0, 0}));
}

TEST_F(DeviceInfo, AnInputIsOnlineWhenWidthHeightAndRefreshAreAllSet) {
    auto size = [this](int input, u16 w, u16 h, u16 hz) {
        store->ram_para.setU16(256 + 6 * input, w);
        store->ram_para.setU16(258 + 6 * input, h);
        store->ram_para.setU16(260 + 6 * input, hz);
    };
    size(0, 1280, 720, 60);   // DVI
    size(1, 1920, 1080, 60);  // HDMI1
    size(2, 1920, 1080, 0);   // HDMI2 without a refresh
    open();
    EXPECT_TRUE(showsPicture(g_machinestate, "sourceid1pixmap", ":/png/HDMI13_lv.png"));
    EXPECT_TRUE(showsPicture(g_machinestate, "sourceid2pixmap", ":/png/HDMI13_1.png"));
    EXPECT_TRUE(showsPicture(g_machinestate, "sourceid3pixmap", ":/png/HDMI20.png"));
    EXPECT_TRUE(showsPicture(g_machinestate, "sourceid4pixmap", ":/png/dvilv.png"));
    EXPECT_TRUE(textOf(g_machinestate, "sourceid1name").contains(">HDMI1<"));
    EXPECT_TRUE(textOf(g_machinestate, "sourceid4name").contains(">DVI<"));

    // Any refresh renews the inputs.
    size(3, 3840, 2160, 30);
    size(0, 0, 0, 0);
    store->test_signal(1);
    EXPECT_TRUE(showsPicture(g_machinestate, "sourceid3pixmap", ":/png/HDMI20_lv.png"));
    EXPECT_TRUE(showsPicture(g_machinestate, "sourceid4pixmap", ":/png/DVI.png"));
}

TEST_F(DeviceInfo, PortLinksAreRenewedWhenTheFpgaThreadReportsAChange) {
    startFpga();
    ASSERT_TRUE(bringUp());
    fpga()->setLinks(0x0005);
    fpgaPass(20);
    open();
    EXPECT_EQ(links(), (std::vector<int>{1, 0, 1, 0, 0, 0}));

    fpga()->setLinks(0x0042);  // port 2, and port 7 that the screen does not show
    store->test_signal(1);
    EXPECT_EQ(links(), (std::vector<int>{1, 0, 1, 0, 0, 0})) << "only reason 11 renews them";
    fpgaPass(20);  // the link watch raises reason 11
    EXPECT_EQ(links(), (std::vector<int>{0, 1, 0, 0, 0, 0}));
}

TEST_F(DeviceInfo, KeysChangeNothingBackAndModeLeaveTheScreen) {
    openWindows();
    PanelScript script;
    script.key('Q')
        .waitPage(1)
        .key('Q')
        .waitPage(2)
        .keys({'S', 'R', 'Q'})
        .run([] {
            EXPECT_EQ(g_page_focus, 2);
            EXPECT_NE(g_machinestate, nullptr);
        })
        .key('O')
        .waitPage(1)
        .run([] { EXPECT_EQ(g_machinestate, nullptr); })
        .key('Q')
        .waitPage(2)
        .key('M')
        .waitPage(4)
        .run([] {
            EXPECT_EQ(g_machinestate, nullptr);
            EXPECT_EQ(g_mode_shortcut_key, 1);
        })
        .key('O')
        .waitPage(0);
    EXPECT_TRUE(script.play());
}

}  // namespace
