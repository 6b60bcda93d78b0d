// The whole program on the simulated board: started as main starts it (on the offscreen
// platform, in this process) and worked with keys as a person works the panel. Each
// screen it reaches is saved as a PNG under <build>/screens.
#include <gmock/gmock.h>
#include <stdlib.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <QTimer>
#include <filesystem>
#include <set>
#include <thread>

#include "board/sim/sim.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "screens/sources/custommode.h"
#include "tests/support/sim_test.h"
#include "tests/ui/panel_script.h"
#include "ui/lockwindow.h"
#include "ui/mainwindow.h"
#include "ui/numberkeyboard.h"
#include "ui/option.h"
#include "ui/outputset.h"
#include "ui/pages.h"
#include "ui/panelkey.h"
#include "ui/startup.h"
#include "ui/syncupdate.h"
#include "video/c331_manage.h"

namespace {

using test::PanelScript;

int ledReports = 0;

class System : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string base = std::filesystem::temp_directory_path() / "krx-system-XXXXXX";
        ASSERT_NE(mkdtemp(base.data()), nullptr);
        root = base;
        sim::reset();
        sim::setScene(QJsonObject());
        sim::setRoot(root);
        sim::setSleepDivisor(20);
        SyncUpdate::setKeyLedWriter([](const KeyLedReport&) {
            ++ledReports;
            return true;
        });
        startup::beforeApplication();
        startup::afterApplication();
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    static bool exists(const char* devicePath) {
        return std::filesystem::exists(root + devicePath);
    }

    // Saves what the screen in front shows.
    static void shot(const QString& name) {
        QWidget* screen = test::keyTarget();
        ASSERT_NE(screen, nullptr) << name.toStdString();
        QDir().mkpath(QString(KRX_BINARY_DIR) + "/screens");
        EXPECT_TRUE(screen->grab().save(QString(KRX_BINARY_DIR) + "/screens/" + name + ".png"));
    }

    static QString text(QWidget* screen, const char* name) {
        auto* label = screen ? screen->findChild<QLabel*>(name) : nullptr;
        return label ? label->text() : QString();
    }

    // A change of the language as the PC or a screen makes it: the image byte under the
    // apply protocol, then the refresh the video thread raises after applying it.
    static void chooseLanguage(u8 language) {
        {
            ParaLock lock;
            KrxRamPara::p_krxrampara_config->ram_para[para::language] = language;
            c331_manage::para_update = 1;
        }
        std::thread video([] {
            ParaLock lock;
            KrxRamPara::p_krxrampara_config->test_signal(c331_manage::para_update);
            c331_manage::para_update = 0;
        });
        video.join();
    }

    // Moves the main window's focus to an entry with Right, as a person would.
    static void focusMainEntry(int index) {
        for (int i = 0; i < 4 && g_mainwindow->ui_select() != index; ++i)
            test::sendKey('R');
    }

    static std::string root;
};

std::string System::root;

TEST_F(System, StartUpOnAnEmptyRootShowsTheHomeScreen) {
    EXPECT_TRUE(exists("/data/configs/tcpip.ini"));
    EXPECT_TRUE(exists("/data/ram_device_info"));
    const std::set<std::string> fileCommands = {"sync",  "cp",     "mv",      "rm",
                                                "chmod", "chattr", "dos2unix"};
    for (const sim::Command& c : sim::commands()) {
        const std::string word = c.text.substr(0, c.text.find(' '));
        if (!fileCommands.count(word)) {
            EXPECT_FALSE(c.executed) << c.text;
        }
    }
    EXPECT_EQ(g_page_focus, page::home);
    EXPECT_EQ(SyncUpdate::screenInFront(), g_lockwindow);
    EXPECT_TRUE(g_lockwindow->isVisible());
    EXPECT_TRUE(g_mainwindow->isVisible());
    const QPoint origin = g_mainwindow->pos();
    EXPECT_EQ(g_numberkeyboard->geometry(), QRect(origin + QPoint(160, 0), QSize(160, 240)));
    EXPECT_EQ(g_krx_keys, 0);
    EXPECT_EQ(ledReports, 0);
    ASSERT_NE(g_timer, nullptr);
    const u32 ticks = G_timeTicks;
    EXPECT_TRUE(test::waitFor([&] { return G_timeTicks > ticks + 5; }));
}

TEST_F(System, ThePanelIsWorkedWithKeys) {
    PanelScript script;
    script.run([] { shot("home-zh"); })
        .key('Q')
        .waitPage(page::mainwindow)
        .run([] {
            shot("mainwindow-zh");
            focusMainEntry(2);
        })
        .key('Q')
        .waitPage(page::option)
        .run([] { shot("option-zh"); })
        .keys({'R', 'S', 'S'})
        .run([] { EXPECT_EQ(g_option->ui_select(), 4); })
        .key('O')
        .waitPage(page::mainwindow)
        .run([] { focusMainEntry(3); })
        .key('Q')
        .waitPage(page::outputset)
        .run([] {
            EXPECT_EQ(text(g_outputset, "label_info"), "LED尺寸: 1920 x 1080");
            shot("outputset-zh");
        })
        .key('M')
        .waitPage(page::custommode)
        .run([] {
            EXPECT_EQ(g_outputset, nullptr);
            shot("custommode-zh");
        })
        .key('O')
        .waitPage(page::home)
        .key(keycode::ok_fn)
        .waitPage(page::mainwindow)
        .key(keycode::back_fn)
        .waitPage(page::home);
    EXPECT_TRUE(script.play(20000));
    EXPECT_EQ(ledReports, 0);
    EXPECT_TRUE(MenuScreen::openScreens().empty());
}

TEST_F(System, TheTextsFollowTheLanguage) {
    EXPECT_EQ(text(g_lockwindow, "label_hint"), "主菜单");
    EXPECT_EQ(text(g_mainwindow, "label_title"), "主菜单");
    chooseLanguage(1);
    ASSERT_TRUE(test::waitFor([] { return g_language == 1; }));
    EXPECT_EQ(text(g_lockwindow, "label_hint"), "Main menu");
    EXPECT_EQ(KrxRamPara::p_krxrampara_config->ram_para_shadow[para::language], 1);
    PanelScript script;
    script.run([] { shot("home-en"); })
        .key('Q')
        .waitPage(page::mainwindow)
        .run([] {
            EXPECT_EQ(text(g_mainwindow, "label_title"), "Main menu");
            shot("mainwindow-en");
            focusMainEntry(2);
        })
        .key('Q')
        .waitPage(page::option)
        .run([] {
            EXPECT_EQ(text(g_option, "label_title"), "Setting");
            shot("option-en");
        })
        .key('O')
        .waitPage(page::mainwindow)
        .run([] { focusMainEntry(3); })
        .key('Q')
        .waitPage(page::outputset)
        .run([] {
            EXPECT_EQ(text(g_outputset, "label_info"), "LED size: 1920 x 1080");
            shot("outputset-en");
        })
        .key('O')
        .waitPage(page::mainwindow)
        .run([] { focusMainEntry(1); })
        .key('Q')
        .waitPage(page::custommode)
        .run([] { shot("custommode-en"); })
        .key('O')
        .waitPage(page::mainwindow)
        .key('O')
        .waitPage(page::home);
    EXPECT_TRUE(script.play(20000));
    const std::vector<unsigned char> file = [] {
        QFile saved(QString::fromStdString(root) + "/data/ram_device_info");
        saved.open(QIODevice::ReadOnly);
        QByteArray bytes = saved.readAll();
        return std::vector<unsigned char>(bytes.begin(), bytes.end());
    }();
    ASSERT_GT(file.size(), 2u);
    EXPECT_EQ(file[2], 1);  // image byte 768, the language, is stored
}

// Every image name the program's sources use.
std::set<QString> imagesTheCodeUses() {
    std::set<QString> names;
    const QRegularExpression literal(":/png/[A-Za-z0-9_]+\\.png");
    for (const char* folder : {"core", "video", "inputs", "fpga", "ui", "remote", "screens"}) {
        QDirIterator it(QString(KRX_SOURCE_DIR) + "/" + folder, {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile source(it.next());
            source.open(QIODevice::ReadOnly);
            auto matches = literal.globalMatch(QString::fromUtf8(source.readAll()));
            while (matches.hasNext())
                names.insert(matches.next().captured(0));
        }
    }
    return names;
}

TEST_F(System, EveryImageTheCodeAndTheDevicesScreensNameLoads) {
    std::set<QString> names = imagesTheCodeUses();
    EXPECT_GE(names.size(), 20u);
    for (const char* name :
         {"DVI",          "dvilv",       "HDMI13",    "HDMI13_1",      "HDMI13_lv",
          "HDMI20",       "HDMI20_lv",   "OK_Enter",  "back_return",   "back",
          "button_on",    "button_off",  "check_180", "version_state", "en_version_state",
          "output_state", "input_state", "ltri",      "rtri",          "next",
          "previous",     "online",      "offline",   "online_up",     "offline_up",
          "warning"})
        names.insert(QString(":/png/%1.png").arg(name));
    for (int i = 1; i <= 8; ++i)
        names.insert(QString(":/png/img_test%1.png").arg(i));
    for (int i = 1; i <= 16; ++i)
        names.insert(QString(":/png/line%1.png").arg(i));
    for (const QString& name : names)
        EXPECT_FALSE(QPixmap(name).isNull()) << name.toStdString();
}

}  // namespace
