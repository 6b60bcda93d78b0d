// A USB stick plugged into the running program while its upgrade screen is open: the
// screen lists the stick's package once the stick is ready, OK runs the installer on the
// FPGA thread, and the log shows its end.
#include <gtest/gtest.h>

#include <QLabel>
#include <filesystem>

#include "core/global.h"
#include "tests/fpga/usb_package_writer.h"
#include "tests/system/program.h"
#include "tests/ui/panel_script.h"
#include "ui/mainwindow.h"
#include "ui/pages.h"
#include "ui/tip.h"

using systest::SystemTest;
using test::PanelScript;

namespace {

QString inFront(const char* name) {
    QWidget* screen = test::keyTarget();
    auto* label = screen ? screen->findChild<QLabel*>(name) : nullptr;
    return label ? label->text() : QString();
}

bool noticeShown() {
    return g_tip && g_tip->isVisible();
}

class UsbUpgrade : public SystemTest {};

TEST_F(UsbUpgrade, APackageOnAStickPluggedInIsListedAndInstalledFromTheScreen) {
    // The application the stick carries is the one running: the package asks for changes
    // only, so nothing is written and no restart follows.
    const std::string stick = systest::rooted("/pc/stick");
    std::filesystem::create_directories(stick + "/KRX-T5");
    {
        const usbpkg::Bytes package =
            usbpkg::build({0x80, 0x8D52, {{10, usbpkg::pattern(4000, 1), usbpkg::kRunningApp}}});
        std::FILE* out = std::fopen((stick + "/KRX-T5/T5-V11.2.0.KRX").c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(package.data(), 1, package.size(), out);
        std::fclose(out);
    }
    PanelScript script;
    script.key('Q')
        .waitPage(page::mainwindow)
        .run([] {
            // To the Setting menu, wherever the main window's focus was left.
            for (int i = 0; i < 4 && g_mainwindow->ui_select() != 2; ++i)
                test::sendKey('R');
        })
        .key('Q')
        .waitPage(page::option)
        .key('Q')
        .waitPage(page::linkoption)
        .key('S')
        .key('Q')
        .waitPage(page::firmware_usbgrade)
        .run([stick] {
            EXPECT_EQ(inFront("label_nofile"), QString::fromUtf8("无加载文件!"));
            std::filesystem::create_directory_symlink(stick, systest::rooted("/usb-stick"));
        })
        .waitUntil("the package listed",
                   [] { return inFront("label_file0").contains("T5-V11.2.0.KRX"); })
        .waitUntil("the notices to close", [] { return !noticeShown(); })
        .key('Q')
        .waitUntil("the log", [] { return inFront("label_log").contains("downing over"); })
        .run([] {
            EXPECT_EQ(g_usb_grade.load(), 0u);
            EXPECT_EQ(g_app_reset_flag.load(), 0);
            std::filesystem::remove(systest::rooted("/usb-stick"));
        })
        .waitUntil("the stick gone", [] { return !inFront("label_nofile").isEmpty(); })
        .waitUntil("the notice to close", [] { return !noticeShown(); })
        .key('O')
        .waitPage(page::linkoption)
        .key('O')
        .waitPage(page::option)
        .key('O')
        .waitPage(page::mainwindow)
        .key('O')
        .waitPage(page::home);
    EXPECT_TRUE(script.play(60000));
}

}  // namespace
