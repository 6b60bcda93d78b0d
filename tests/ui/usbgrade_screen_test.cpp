// The USB upgrade screen: its listing of the stick's packages, paging, the start, the log
// the installer's end leaves, the keys, its texts and a picture of it; and an upgrade from
// the screen to the restart the 10 ms tick asks of the shell.
//
// Pages: 10 Communication, 26 USB upgrade. Reasons: 102 stick ready, 104 upgrade done.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>
#include <QRegularExpression>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "board/sim/sim.h"
#include "board/sim/usb_stick.h"
#include "board/sim/wall_clock.h"
#include "screens/maintenance/firmware_usbgrade.h"
#include "screens/maintenance/usbserver.h"
#include "screens/settings/linkoption.h"
#include "screens/sources/custommode.h"
#include "tests/fpga/usb_package_writer.h"
#include "tests/ui/panel_script.h"
#include "tests/ui/settings_test.h"
#include "ui/firmwareupdate.h"
#include "ui/mainwindow.h"
#include "ui/pages.h"

namespace {

using test::child;
using test::SettingsTest;
using test::textOf;
using usbpkg::Bytes;

const char kRowIdle[] = "background-color: rgb(33, 36, 53);color: #FFFFFF";
const char kRowHighlighted[] = "background-color:#4777FF;color: #FFFFFF;";

class UsbScreen : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        g_usb_grade_path = "KRX-T5";
        g_update_status = 0;
        std::filesystem::create_directories(rooted("/data/configs"));
        sim::clearCommands();
    }
    void TearDown() override {
        delete g_firmware_usbgrade;
        g_usb_grade = 0;
        g_usb_grade_path = QString();
        SettingsTest::TearDown();
    }

    void onStick(const std::string& name, const Bytes& bytes = usbpkg::build({})) {
        writeFile("/mnt/usb1/KRX-T5/" + name, bytes);
    }
    // The screen in front, as the Communication menu leaves it.
    firmware_usbgrade* open() {
        g_firmware_usbgrade = new firmware_usbgrade(nullptr);
        g_page_focus = page::firmware_usbgrade;
        g_firmware_usbgrade->show();
        return g_firmware_usbgrade;
    }
    // The FPGA thread's upgrade passes, on a thread of their own; then what they queued
    // for the panel is handled.
    void runInstaller() {
        std::thread fpgaThread([this] {
            for (int i = 0; i < 10 && g_usb_grade; ++i) {
                ++G_timeTicks;
                manager->usb_upgrade_manage_deal(manager.get());
            }
        });
        fpgaThread.join();
        QCoreApplication::processEvents();
    }
    static QStringList rowTexts() {
        QStringList rows;
        for (int row = 0; row < 4; ++row)
            if (auto* label = child<QLabel>(g_firmware_usbgrade,
                                            qPrintable(QString("label_file%1").arg(row))))
                rows << label->text();
        return rows;
    }
    static QString rowStyle(int row) {
        auto* label =
            child<QLabel>(g_firmware_usbgrade, qPrintable(QString("label_file%1").arg(row)));
        return label ? label->styleSheet() : QString();
    }
    static QAbstractButton* button(const char* name) {
        return child<QAbstractButton>(g_firmware_usbgrade, name);
    }
    static QString row(const char* name) {
        return QString("<font color = #FFFFFF >%1</font>").arg(name);
    }
};

TEST_F(UsbScreen, ListsTheFirstKrxAndEveryKrxzkHighlightedAndInstallsThemAll) {
    startFpga();
    openWindows();
    onStick("A.KRX");
    onStick("B.KRX");
    onStick("C.KRXZK");
    onStick("notes.txt");
    open();
    EXPECT_EQ(rowTexts(), QStringList({row("A.KRX"), row("B.KRX"), row("C.KRXZK")}));
    EXPECT_EQ(rowStyle(0), kRowHighlighted);
    EXPECT_EQ(rowStyle(1), kRowIdle);
    EXPECT_EQ(rowStyle(2), kRowHighlighted);
    EXPECT_EQ(g_firmware_usbgrade->krxCount(), 2);
    EXPECT_EQ(g_firmware_usbgrade->krxzkCount(), 1);
    EXPECT_EQ(button("Button_next"), nullptr);
    EXPECT_EQ(button("Button_previous"), nullptr);

    test::sendKey('Q');
    runInstaller();
    EXPECT_EQ(manager->usb_file_list,
              QStringList({"/mnt/usb1/KRX-T5/A.KRX", "/mnt/usb1/KRX-T5/B.KRX",
                           "/mnt/usb1/KRX-T5/C.KRXZK"}));
}

TEST_F(UsbScreen, SixPackagesShowFourThenTwo) {
    for (const char* name : {"1.KRX", "2.KRX", "3.KRX", "4.KRX", "5.KRX", "6.KRX"})
        onStick(name);
    open();
    EXPECT_EQ(g_firmware_usbgrade->lastPage(), 1);
    EXPECT_EQ(rowTexts().size(), 4);
    ASSERT_NE(button("Button_next"), nullptr);
    EXPECT_EQ(button("Button_previous"), nullptr);

    button("Button_next")->click();
    EXPECT_EQ(g_firmware_usbgrade->page(), 1);
    EXPECT_EQ(rowTexts(), QStringList({row("5.KRX"), row("6.KRX")}));
    EXPECT_NE(button("Button_previous"), nullptr);
    EXPECT_EQ(button("Button_next"), nullptr);
    EXPECT_EQ(rowStyle(0), kRowIdle) << "only the first KRX is highlighted";

    g_firmware_usbgrade->krx_Button_next_clicked();
    EXPECT_EQ(g_firmware_usbgrade->page(), 0) << "next past the last page wraps";
    button("Button_next")->click();
    button("Button_previous")->click();
    EXPECT_EQ(g_firmware_usbgrade->page(), 0);
    g_firmware_usbgrade->krx_Button_previous_clicked();
    EXPECT_EQ(g_firmware_usbgrade->page(), 0) << "not below the first page";
}

TEST_F(UsbScreen, ATouchOnARowMovesTheHighlight) {
    onStick("A.KRX");
    onStick("B.KRX");
    onStick("C.KRX");
    open();
    button("2")->click();
    EXPECT_EQ(g_firmware_usbgrade->fileSelect(), 2);
    EXPECT_EQ(rowStyle(0), kRowIdle);
    EXPECT_EQ(rowStyle(2), kRowHighlighted);
    test::sendKey('R');
    test::sendKey('S');
    EXPECT_EQ(g_firmware_usbgrade->fileSelect(), 2) << "Left and Right only trace";
    EXPECT_EQ(g_usb_grade.load(), 0u) << "a row is no start";
}

TEST_F(UsbScreen, AReadyStickIsListedAfresh) {
    for (const char* name : {"1.KRX", "2.KRX", "3.KRX", "4.KRX", "5.KRX"})
        onStick(name);
    open();
    button("Button_next")->click();
    button("0")->click();
    ASSERT_EQ(g_firmware_usbgrade->page(), 1);
    std::filesystem::remove_all(rooted("/mnt/usb1/KRX-T5"));
    onStick("X.KRXZK");
    onStick("Y.KRX");
    onStick("Z.KRX");

    g_firmware_usbgrade->syncUpdate(102);
    EXPECT_EQ(g_firmware_usbgrade->page(), 0);
    EXPECT_EQ(g_firmware_usbgrade->fileSelect(), 0);
    EXPECT_EQ(rowTexts(), QStringList({row("X.KRXZK"), row("Y.KRX"), row("Z.KRX")}));
    EXPECT_EQ(rowStyle(0), kRowHighlighted);
    EXPECT_EQ(rowStyle(1), kRowHighlighted);
    EXPECT_EQ(rowStyle(2), kRowIdle);

    std::filesystem::remove_all(rooted("/mnt/usb1/KRX-T5"));
    g_firmware_usbgrade->syncUpdate(101);
    EXPECT_TRUE(rowTexts().isEmpty());
    EXPECT_EQ(textOf(g_firmware_usbgrade, "label_nofile"), QString::fromUtf8("无加载文件!"));
}

TEST_F(UsbScreen, AStickPluggedInIsListedOnceReadyAndGoneWhenPulled) {
    open();
    UsbServer watcher;
    ASSERT_EQ(watcher.openSocket(), 0);
    std::vector<int> reasons;
    QObject::connect(&watcher, &UsbServer::sig_usb_update, [&reasons](int reason) {
        reasons.push_back(reason);
        g_firmware_usbgrade->syncUpdate(reason);
    });
    writeFile("/pc/stick/KRX-T5/NEW.KRX", usbpkg::build({}));
    auto stick = sim::get<sim::UsbStick>("usb-stick");
    ASSERT_TRUE(stick->insert(root() + "/pc/stick"));
    for (int i = 0; i < 13; ++i)
        watcher.recvData();
    EXPECT_EQ(reasons, std::vector<int>(13, 100)) << "one for each node the kernel adds";
    EXPECT_TRUE(rowTexts().isEmpty()) << "not listed before it is ready";
    G_timeTicks += 301;
    watcher.recvData();
    EXPECT_EQ(reasons.back(), 102);
    EXPECT_EQ(rowTexts(), QStringList({row("NEW.KRX")}));

    reasons.clear();
    stick->remove();
    for (int i = 0; i < 13; ++i)
        watcher.recvData();
    EXPECT_EQ(reasons, std::vector<int>(13, 101));
    EXPECT_TRUE(rowTexts().isEmpty());
}

TEST_F(UsbScreen, OkStartsOnceAndTheEndShowsDowningOverWithBothTimes) {
    startFpga();
    openWindows();
    onStick("A.KRX");
    open();
    test::sendKey('Q');
    EXPECT_EQ(g_usb_grade.load(), 1u);
    EXPECT_EQ(g_firmware_usbgrade->fileDowning(), 1);
    EXPECT_TRUE(textOf(g_firmware_usbgrade, "label_log").isEmpty());

    test::sendKey('M');
    EXPECT_EQ(g_page_focus, page::firmware_usbgrade) << "Mode is refused once started";
    EXPECT_EQ(g_custommode, nullptr);

    manager->usb_upgrade_manage_deal(manager.get());  // step 0: the dialog
    ASSERT_NE(g_move_update, nullptr);
    EXPECT_TRUE(g_move_update->isVisible());
    runInstaller();
    EXPECT_EQ(g_move_update, nullptr);
    const QRegularExpression over(
        "^<font style = 'font-size:13px' color = #51BB28 >downing over<br>"
        "\\d{1,2}:\\d{1,2}:\\d{1,2}    \\d{1,2}:\\d{1,2}:\\d{1,2}</font>$");
    EXPECT_TRUE(over.match(textOf(g_firmware_usbgrade, "label_log")).hasMatch())
        << textOf(g_firmware_usbgrade, "label_log").toStdString();

    test::sendKey('Q');
    EXPECT_EQ(g_usb_grade.load(), 0u) << "the second OK starts nothing";
}

TEST_F(UsbScreen, AFailedUpgradeIsShownAsFailed) {
    startFpga();
    onStick("A.KRX", Bytes(30, 0));  // shorter than a package head
    open();
    test::sendKey('Q');
    runInstaller();
    const QString log = textOf(g_firmware_usbgrade, "label_log");
    EXPECT_TRUE(
        log.startsWith("<font style = 'font-size:13px' color = #FF0000 >downing failed<br>"))
        << log.toStdString();
    EXPECT_FALSE(log.contains("downing over"));
    button("Button_grade")->click();
    EXPECT_TRUE(textOf(g_firmware_usbgrade, "label_log")
                    .startsWith("<font style = 'font-size:12px' color = #FF0000 >downing failed"))
        << "a touch afterwards does not call it over";
}

// The OK button touched with a pointer: before the start it shows "downing over" with no
// kept time, while the upgrade runs the warning with the time, which it keeps, and after
// the end "downing over" with the kept time and the time now. It never starts anything.
TEST_F(UsbScreen, ATouchOnOkStartsNothingAndShowsTheLogOfEachState) {
    startFpga();
    openWindows();
    onStick("A.KRX");
    auto clock = sim::get<sim::WallClock>("wall-clock");
    clock->set(2025, 3, 4, 14, 25, 37);
    open();
    button("Button_grade")->click();
    EXPECT_EQ(g_usb_grade.load(), 0u) << "a touch starts nothing";
    EXPECT_EQ(g_firmware_usbgrade->fileDowning(), 0);
    EXPECT_EQ(
        textOf(g_firmware_usbgrade, "label_log"),
        "<font style = 'font-size:12px' color = #51BB28 >downing over \r\n\r\n14:25:37</font>");

    test::sendKey('Q');
    ASSERT_EQ(g_usb_grade.load(), 1u);
    clock->set(2025, 3, 4, 14, 31, 52);
    button("Button_grade")->click();
    EXPECT_EQ(textOf(g_firmware_usbgrade, "label_log"),
              "<font style = 'font-size:12px' color = #FF0000 >downing ,Dont power off !!\r\n"
              "14:31:52</font>");
    EXPECT_TRUE(child<QLabel>(g_firmware_usbgrade, "label_log")->isVisible());
    shot(g_firmware_usbgrade, "firmware_usbgrade-log-running");

    runInstaller();
    ASSERT_EQ(g_usb_grade.load(), 0u);
    clock->set(2025, 3, 4, 14, 40, 19);
    button("Button_grade")->click();
    EXPECT_EQ(textOf(g_firmware_usbgrade, "label_log"),
              "<font style = 'font-size:12px' color = #51BB28 >downing over \r\n14:31:52\r\n"
              "14:40:19</font>");
    EXPECT_EQ(g_usb_grade.load(), 0u) << "nor after the end";
    shot(g_firmware_usbgrade, "firmware_usbgrade-log-over");
}

// Back traces whether this screen started the upgrade.
TEST_F(UsbScreen, TheBackLineCarriesFileDowning) {
    static std::vector<std::string> lines;
    lines.clear();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        lines.push_back(text.toStdString());
    });
    open();
    test::sendKey('O');
    open();
    test::sendKey('Q');
    test::sendKey('O');
    qInstallMessageHandler(nullptr);
    std::vector<std::string> back;
    for (const std::string& line : lines)
        if (line.rfind("this is back", 0) == 0)
            back.push_back(line);
    EXPECT_EQ(back, (std::vector<std::string>{
                        "this is back button(firmware_usbgrade)[Release] file_downing = 0\n",
                        "this is back button(firmware_usbgrade)[Release] file_downing = 0x1\n"}));
}

TEST_F(UsbScreen, AnUpgradeRunningFromAnEarlierVisitIsNotStartedAgain) {
    startFpga();
    onStick("A.KRX");
    open();
    test::sendKey('Q');
    manager->usb_upgrade_manage_deal(manager.get());
    manager->usb_upgrade_manage_deal(manager.get());  // listed, not yet installed
    test::sendKey('O');
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    open();
    test::sendKey('Q');
    EXPECT_EQ(g_firmware_usbgrade->fileDowning(), 1);
    runInstaller();
    EXPECT_EQ(g_usb_grade.load(), 0u);
    EXPECT_TRUE(textOf(g_firmware_usbgrade, "label_log").contains("downing over"));
}

TEST_F(UsbScreen, BackWorksWhileTheUpgradeRunsAndItsEndReachesTheMenu) {
    startFpga();
    openWindows();
    startTick();
    onStick("A.KRX");
    test::PanelScript script;
    script.run([] { openScreen(g_linkoption, page::linkoption); })
        .waitPage(page::linkoption)
        .keys({'S', 'Q'})
        .waitPage(page::firmware_usbgrade)
        .key('Q')
        .run([this] { manager->usb_upgrade_manage_deal(manager.get()); })
        .waitUntil("the Updating dialog",
                   [] { return g_move_update && g_move_update->isVisible(); })
        .key('O')
        .waitPage(page::linkoption)
        .run([this] {
            EXPECT_EQ(g_firmware_usbgrade, nullptr);
            EXPECT_TRUE(g_move_update && g_move_update->isVisible());
            runInstaller();
            EXPECT_EQ(g_move_update, nullptr);
            EXPECT_EQ(g_page_focus, page::linkoption);
        });
    EXPECT_TRUE(script.play(20000));
}

TEST_F(UsbScreen, ModeBeforeTheStartOpensTheUserModes) {
    openWindows();
    test::PanelScript script;
    script.run([] { openScreen(g_linkoption, page::linkoption); })
        .waitPage(page::linkoption)
        .keys({'S', 'Q'})
        .waitPage(page::firmware_usbgrade)
        .key('M')
        .waitPage(page::custommode)
        .run([] {
            EXPECT_EQ(g_firmware_usbgrade, nullptr);
            EXPECT_EQ(g_linkoption, nullptr);
        });
    EXPECT_TRUE(script.play());
}

TEST_F(UsbScreen, AnInstalledApplicationRebootsTheDevice300TicksLater) {
    startFpga();
    openWindows();
    const Bytes app = usbpkg::pattern(20000, 30);
    onStick("APP.KRX", usbpkg::build({0, 0x8D52, {{10, app, usbpkg::kNewApp}}}));
    open();
    test::sendKey('Q');
    runInstaller();
    EXPECT_EQ(readFile("/data/app/krxT47N"), app);
    ASSERT_EQ(g_app_reset_flag.load(), 1);
    auto reboots = [] {
        int n = 0;
        for (const sim::Command& c : sim::commands())
            n += c.text == "reboot";
        return n;
    };
    // The restart was stamped in the third pass; the tick reboots 300 ticks after it.
    while (G_timeTicks - G_reboot_tickTicks < 299)
        g_mainwindow->slot_update_timer_ticks();
    EXPECT_EQ(reboots(), 0);
    g_mainwindow->slot_update_timer_ticks();
    EXPECT_EQ(reboots(), 1);
}

TEST_F(UsbScreen, SpeaksTheFiveLanguages) {
    const char* title[5] = {"USB升级", "USB UPDATE", "Обновление через USB",
                            "Sử dụng ổ USB  để cập nhập", "USB昇級"};
    const char* ok[5] = {"确定", "OK", "OK", "Đồng ý", "確定"};
    const char* none[5] = {"无加载文件!", "No loaded file!", "Нет файлов для загрузки!",
                           "Không có tập tin để tải!", "無加載文件!"};
    for (u8 language = 0; language < 5; ++language) {
        useLanguage(language);
        open();
        EXPECT_EQ(textOf(g_firmware_usbgrade, "label_usb_update"),
                  QString::fromUtf8(title[language]));
        EXPECT_EQ(textOf(g_firmware_usbgrade, "Button_grade"), QString::fromUtf8(ok[language]));
        EXPECT_EQ(textOf(g_firmware_usbgrade, "label_nofile"), QString::fromUtf8(none[language]));
        delete g_firmware_usbgrade;
    }
}

TEST_F(UsbScreen, IsSavedAsAPictureInTwoLanguages) {
    openWindows();
    for (const char* name :
         {"T5-2025-03.KRX", "T5-2024-12.KRX", "FONT-64.KRXZK", "FPGA.KRX", "X.KRX"})
        onStick(name);
    for (u8 language : {0, 1}) {
        useLanguage(language);
        open();
        shot(g_firmware_usbgrade, QString("firmware_usbgrade-%1").arg(language == 0 ? "zh" : "en"));
        delete g_firmware_usbgrade;
    }
}

}  // namespace
