// The test pattern screen: the code each picture writes into the image and the apply
// request, the pattern taken off by Close and Back, left on by Mode, and the focus ring
// over the eight pictures and Close.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>

#include "screens/maintenance/test_chart.h"
#include "screens/sources/custommode.h"
#include "tests/ui/maintenance_test.h"
#include "tests/ui/panel_script.h"
#include "ui/option.h"

namespace {

using test::MaintenanceTest;
using test::PanelScript;
using test::textOf;

const char kImageFocused[] = "border:1px solid rgb(255,171,84);";
const char kImageIdle[] = "color: rgb(255, 255, 255);";
const char kCloseFocused[] =
    "color: rgb(255, 255, 255); background-color:rgb(0,0,0);border:1px solid rgb(255,171,84);";
const char kCloseIdle[] =
    "color: rgb(255, 255, 255);background-color:rgb(0,0,0);border:1px solid rgb(255,255,255);";

class TestChart : public MaintenanceTest {
protected:
    // The Setting menu with the focus on its test-pattern entry, and OK.
    static PanelScript fromSettingMenu() {
        PanelScript script;
        script.run([] { openScreen(g_option, 5); }).waitPage(5).keys({'S', 'S', 'Q'}).waitPage(16);
        return script;
    }
    QString style(const char* name) const {
        return test::child<QWidget>(g_test_chart, name)->styleSheet();
    }
};

TEST_F(TestChart, EachPictureWritesItsCodeAndAsksForTheApply) {
    openWindows();
    g_page_focus = 1;
    PanelScript script = fromSettingMenu();
    script.run([this] {
        EXPECT_EQ(g_test_chart->ui_select(), 0);
        EXPECT_EQ(store->ram_para[864], 0) << "opening shows no pattern";
        EXPECT_EQ(c331_manage::para_update, 0);
    });
    for (u8 code = 1; code <= 8; ++code) {
        script.key('Q').run([this, code] {
            EXPECT_EQ(store->ram_para[864], code);
            EXPECT_EQ(c331_manage::para_update, 1);
            EXPECT_EQ(g_test_chart->ui_select(), code - 1) << "the focus stays";
            c331_manage::para_update = 0;
        });
        script.key('Q').run([this, code] {
            EXPECT_EQ(store->ram_para[864], code);
            EXPECT_EQ(c331_manage::para_update, 1) << "the same pattern asked for again";
            c331_manage::para_update = 0;
        });
        script.key('R');
    }
    script.run([this] {
        EXPECT_EQ(g_test_chart->ui_select(), 8);
        EXPECT_EQ(store->ram_para[864], 8);
    });
    EXPECT_TRUE(script.play());
}

TEST_F(TestChart, CloseAndBackTakeThePatternOffAndReturnToTheSettingMenu) {
    openWindows();
    useLanguage(1);
    for (int close : {1, 0}) {
        g_page_focus = 1;
        PanelScript script = fromSettingMenu();
        script.keys({'R', 'R', 'Q'})
            .run([this] { EXPECT_EQ(store->ram_para[864], 3); })
            .run([this] { changeLanguage(2); });
        if (close)
            script.keys({'S', 'S', 'S'})
                .run([] { EXPECT_EQ(g_test_chart->ui_select(), 8); })
                .key('Q');
        else
            script.key('O');
        script.waitPage(5).run([this] {
            EXPECT_EQ(g_test_chart, nullptr);
            EXPECT_EQ(store->ram_para[864], 0);
            EXPECT_EQ(c331_manage::para_update, 1);
            EXPECT_EQ(textOf(g_option, "label_title"), QString::fromUtf8("Настройки"))
                << "the Setting menu re-translated";
        });
        EXPECT_TRUE(script.play()) << (close ? "Close" : "Back");
        useLanguage(1);
    }
}

TEST_F(TestChart, LeftFromRedIsCloseAndRightFromCloseIsRed) {
    openWindows();
    g_page_focus = 1;
    PanelScript script = fromSettingMenu();
    script
        .run([this] {
            EXPECT_EQ(style("label_test1"), kImageFocused);
            EXPECT_EQ(style("label_test2"), kImageIdle);
            EXPECT_EQ(style("Button_closetest"), kCloseIdle);
        })
        .key('S')
        .run([this] {
            EXPECT_EQ(g_test_chart->ui_select(), 8);
            EXPECT_EQ(style("label_test1"), kImageIdle);
            EXPECT_EQ(style("Button_closetest"), kCloseFocused);
        })
        .key('R')
        .run([this] {
            EXPECT_EQ(g_test_chart->ui_select(), 0);
            EXPECT_EQ(style("label_test1"), kImageFocused);
            EXPECT_EQ(style("Button_closetest"), kCloseIdle);
            EXPECT_EQ(store->ram_para[864], 0);
        });
    EXPECT_TRUE(script.play());
}

TEST_F(TestChart, ModeLeavesThePatternOnUnlessThePanelIsLocked) {
    openWindows();
    g_page_focus = 1;
    PanelScript script = fromSettingMenu();
    script.keys({'R', 'R', 'R', 'R', 'R', 'R', 'Q'})
        .run([this] {
            EXPECT_EQ(store->ram_para[864], 7);
            store->ram_para.setU16(772, 1);
        })
        .key('M')
        .run([] { EXPECT_EQ(g_page_focus, 16) << "the panel is locked"; })
        .run([this] { store->ram_para.setU16(772, 0); })
        .key('M')
        .waitPage(4)
        .run([this] {
            EXPECT_EQ(g_test_chart, nullptr);
            EXPECT_EQ(g_option, nullptr);
            EXPECT_EQ(store->ram_para[864], 7);
        })
        .key('O')
        .waitPage(0);
    EXPECT_TRUE(script.play());
}

TEST_F(TestChart, TheCaptionsAreNumberedInRussianAndVietnamese) {
    for (u8 language : {2, 3}) {
        useLanguage(language);
        auto* screen = new test_chart(nullptr);
        const char* names[] = {"label_red",   "label_green", "label_blue",  "label_white",
                               "label_black", "label_color", "label_hline", "label_wline"};
        const char* format = language == 2 ? "Тест %1" : "Kiểm tra %1";
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(textOf(screen, names[i]), QString::fromUtf8(format).arg(i + 1));
        for (int i = 1; i <= 8; ++i)
            EXPECT_TRUE(test::showsPicture(screen, qPrintable(QString("label_test%1").arg(i)),
                                           qPrintable(QString(":/png/img_test%1.png").arg(i))));
        delete screen;
    }
}

}  // namespace
