// The network address: octet fields filled from the settings, the keypad on them, and
// Apply: what reaches the settings file and the command runner, and what is refused.
//
// Pages: 10 Communication, 22 output ports.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/sim/sim.h"
#include "core/config_engine.h"
#include "screens/settings/linkoption.h"
#include "screens/settings/linkwlan.h"
#include "tests/ui/panel_script.h"
#include "tests/ui/settings_test.h"
#include "ui/numberkeyboard.h"
#include "ui/option.h"
#include "ui/pages.h"

namespace {

using test::PanelScript;
using test::SettingsTest;
using test::textOf;

using Lines = std::vector<std::string>;

// The keypad's X until its entry is empty.
void eraseKeypadEntry() {
    for (QAbstractButton* button : g_numberkeyboard->findChildren<QAbstractButton*>())
        if (button->text() == "X")
            while (!g_numberkeyboard->entry().isEmpty())
                button->click();
}

class NetAddress : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        loadSettings();
        refreshes = 0;
        QObject::connect(store, &KrxRamPara::sig_update_para, &counter, [this] { ++refreshes; });
    }
    void TearDown() override {
        SettingsTest::TearDown();
        g_str_ip = "192.168.1.199";
        g_srt_mask = "255.255.255.0";
        g_str_gateway = "192.168.1.1";
    }
    // Opened from the Communication menu, as the operator opens it.
    static PanelScript openScreen() {
        PanelScript script;
        script.run([] { ::openScreen(g_linkoption, 10); })
            .waitPage(10)
            .keys({'R', 'Q'})
            .waitPage(22);
        return script;
    }
    // Right n times, then the digits on the keypad of the field there.
    static void type(PanelScript& script, int rights, const std::string& digits) {
        for (int i = 0; i < rights; ++i)
            script.key('R');
        script.key('Q').waitUntil("the keypad", [] { return g_numberkeyboard->isVisible(); });
        if (digits.empty())
            script.run(eraseKeypadEntry);
        for (char digit : digits)
            script.key(digit);
        script.run(test::pressKeypadOk).waitUntil("the keypad to close", [] {
            return !g_numberkeyboard->isVisible();
        });
    }
    static void apply(PanelScript& script) {
        script.run([] {
            // To Apply from wherever the focus is.
            while (g_linkwlan->ui_select() != 12)
                test::sendKey('R');
        });
        script.key('Q');
    }
    static Lines row(const char* name) {
        Lines parts;
        for (int i = 1; i <= 4; ++i)
            parts.push_back(
                textOf(g_linkwlan, QString("lineEdit%1%2").arg(name).arg(i).toLatin1().constData())
                    .toStdString());
        return parts;
    }
    Lines commands() const {
        Lines texts;
        for (const sim::Command& command : sim::commands())
            texts.push_back(command.text);
        return texts;
    }
    QString stored(const char* key) const {
        QSettings file(QString::fromStdString(rooted("/data/configs/tcpip.ini")),
                       QSettings::IniFormat);
        return file.value(QString("config/") + key).toString();
    }

    QObject counter;
    int refreshes = 0;
};

TEST_F(NetAddress, FieldsShowTheThreeAddressesAndTheFocusWrapsAround) {
    openWindows();
    PanelScript script = openScreen();
    script
        .run([] {
            EXPECT_EQ(row("Ip"), (Lines{"192", "168", "1", "199"}));
            EXPECT_EQ(row("Mask"), (Lines{"255", "255", "255", "0"}));
            EXPECT_EQ(row("Gate"), (Lines{"192", "168", "1", "1"}));
        })
        .key('S')
        .run([] { EXPECT_EQ(g_linkwlan->ui_select(), 13) << "Left on the first is Cancel"; })
        .key('R')
        .run([] { EXPECT_EQ(g_linkwlan->ui_select(), 0); });
    for (int i = 0; i < 12; ++i)
        script.key('R');
    script.run([] {
        EXPECT_EQ(g_linkwlan->ui_select(), 12);
        EXPECT_EQ(test::child<QLineEdit>(g_linkwlan, "lineEditGate4")->styleSheet(),
                  "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53);border-top:1px "
                  "solid rgb(255, 255, 255);border-bottom:1px solid rgb(255, 255, "
                  "255);border-right:1px solid rgb(255, 255, 255);");
    });
    EXPECT_TRUE(script.play());
}

TEST_F(NetAddress, TheKeypadIsTitledByTheRow) {
    openWindows();
    std::vector<QString> titles;
    auto title = [&] { titles.push_back(textOf(g_numberkeyboard, "label_title")); };
    PanelScript script = openScreen();
    for (int rights : {0, 4, 4}) {
        for (int i = 0; i < rights; ++i)
            script.key('R');
        script.key('Q')
            .waitUntil("the keypad", [] { return g_numberkeyboard->isVisible(); })
            .run(title)
            .key('O')
            .waitUntil("the keypad to close", [] { return !g_numberkeyboard->isVisible(); });
    }
    EXPECT_TRUE(script.play());
    EXPECT_EQ(titles, (std::vector<QString>{"IP", "Mask", "IP"}));
}

TEST_F(NetAddress, UnchangedFieldsApplyNothing) {
    openWindows();
    PanelScript script = openScreen();
    apply(script);
    script.run([] { EXPECT_EQ(g_page_focus, 22); });
    EXPECT_TRUE(script.play());
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(refreshes, 0);
}

TEST_F(NetAddress, OneChangedOctetStoresAllThreeAndSetsTheNetworkUp) {
    openWindows();
    PanelScript script = openScreen();
    type(script, 11, "254");
    apply(script);
    script.run([] { EXPECT_FALSE(g_linkwlan->noticeShown()); });
    EXPECT_TRUE(script.play());
    EXPECT_EQ(commands(), (Lines{
                              "sync",
                              "ifconfig eth0 >/dev/null 2>&1",
                              "route del default wlan0",
                              "ifconfig eth0 192.168.1.199 netmask 255.255.255.0",
                              "route add -host 192.168.1.254 dev eth0",
                              "route add default gw 192.168.1.254 metric 100",
                              "route add -host 255.255.255.255 eth0",
                              "route del 255.255.255.255 wlan1",
                          }));
    EXPECT_EQ(stored("IPAddress"), "192.168.1.199");
    EXPECT_EQ(stored("SubNetMask"), "255.255.255.0");
    EXPECT_EQ(stored("GateWay"), "192.168.1.254");
    EXPECT_EQ(g_str_gateway, "192.168.1.254");
    EXPECT_EQ(refreshes, 1);
}

TEST_F(NetAddress, ANewAddressIsStoredEvenWithoutEth0) {
    sim::setCommandExit("ifconfig eth0 >", 1);
    openWindows();
    PanelScript script = openScreen();
    type(script, 0, "10");
    type(script, 1, "0");
    apply(script);
    EXPECT_TRUE(script.play());
    EXPECT_EQ(commands(), (Lines{"sync", "ifconfig eth0 >/dev/null 2>&1"}));
    EXPECT_EQ(stored("IPAddress"), "10.0.1.199");
    EXPECT_EQ(g_str_ip, "192.168.1.199") << "not set up, so not taken";
}

TEST_F(NetAddress, ABadOctetIsRefusedWithANotice) {
    openWindows();
    for (const char* bad : {"256", "010", "00", ""}) {
        PanelScript script = openScreen();
        type(script, 5, bad);
        apply(script);
        script.run([bad] {
            EXPECT_TRUE(g_linkwlan->noticeShown()) << bad;
            EXPECT_EQ(g_linkwlan->ui_select(), 5) << "the focus on the wrong octet";
            EXPECT_EQ(textOf(g_linkwlan, "lineEditMask2"), bad);
        });
        // Mended, the address goes through and the notice goes.
        type(script, 0, "255");
        script.run([] { EXPECT_FALSE(g_linkwlan->noticeShown()); });
        EXPECT_TRUE(script.play()) << bad;
        EXPECT_TRUE(commands().empty()) << bad;
        EXPECT_EQ(stored("SubNetMask"), "255.255.255.0") << bad;
    }
}

TEST_F(NetAddress, AMalformedStoredAddressShowsEmptyFields) {
    g_str_gateway = "192.168.1";
    g_srt_mask = "255.255.255.0.7";
    g_str_ip = "a.b.c.d";
    openWindows();
    PanelScript script = openScreen();
    script.run([] {
        EXPECT_EQ(row("Ip"), (Lines{"", "", "", ""}));
        EXPECT_EQ(row("Mask"), (Lines{"", "", "", ""}));
        EXPECT_EQ(row("Gate"), (Lines{"", "", "", ""}));
    });
    apply(script);
    script.run([] { EXPECT_TRUE(g_linkwlan->noticeShown()); });
    EXPECT_TRUE(script.play());
    EXPECT_TRUE(commands().empty());
}

TEST_F(NetAddress, ALanguageChangeKeepsWhatWasTyped) {
    openWindows();
    PanelScript script = openScreen();
    type(script, 3, "42");
    script.run([this] { changeLanguage(1); }).run([] {
        EXPECT_EQ(textOf(g_linkwlan, "label_wlan"), "Net connect");
        EXPECT_EQ(textOf(g_linkwlan, "Button_cancle"), "Cancle");
        EXPECT_EQ(row("Ip"), (Lines{"192", "168", "1", "42"}));
    });
    EXPECT_TRUE(script.play());
    EXPECT_EQ(stored("IPAddress"), "192.168.1.199");
}

TEST_F(NetAddress, CancelDropsTheEditsAndGoesBack) {
    openWindows();
    PanelScript script = openScreen();
    type(script, 3, "7");
    script.keys({'S', 'S', 'S', 'S'})
        .key('Q')
        .waitPage(10)
        .run([] { EXPECT_EQ(g_linkwlan, nullptr); })
        .key('Q')
        .waitPage(22)
        .run([] {
            EXPECT_EQ(row("Ip"), (Lines{"192", "168", "1", "199"}));
        });
    EXPECT_TRUE(script.play());
    EXPECT_TRUE(commands().empty());
}

}  // namespace
