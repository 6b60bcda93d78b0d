// Picture quality and colour temperature: the values each key writes into the parameter
// image (offsets as the image defines them), the pace of the steps, keep and restore,
// the reset to the built-in defaults, and the saved parameter file.
//
// Pages: 4 user modes, 11 Image quality, 19 picture quality, 20 colour temperature.
#include <gtest/gtest.h>

#include <QComboBox>
#include <vector>

#include "screens/settings/imagequality.h"
#include "screens/settings/quality.h"
#include "screens/settings/temperature.h"
#include "screens/sources/custommode.h"
#include "tests/ui/panel_script.h"
#include "tests/ui/settings_test.h"
#include "ui/pages.h"
#include "video/c331_manage.h"

namespace {

using test::PanelScript;
using test::SettingsTest;
using test::textOf;

class Picture : public SettingsTest {
protected:
    // Opened from the Image-quality menu: item 0 picture quality, 1 colour temperature.
    static PanelScript openScreen(int item) {
        PanelScript script;
        script.run([] { ::openScreen(g_imagequality, 11); }).waitPage(11);
        if (item == 1)
            script.key('R');
        script.key('Q').waitPage(item == 0 ? 19 : 20);
        return script;
    }
    u16 word(size_t offset) const { return store->ram_para.u16At(offset); }
    // The pending change taken by the video processor, as its thread does.
    std::function<void()> applied() {
        return [this] {
            applyPending();
            QCoreApplication::processEvents();
        };
    }
};

TEST_F(Picture, QualityFocusWrapsOverItsFiveRows) {
    openWindows();
    std::vector<int> seen;
    auto note = [&] { seen.push_back(g_quality->ui_select()); };
    PanelScript script = openScreen(0);
    script.run(note);
    for (int code : {'S', 'R', 'R', 'R', 'R', 'R'})
        script.key(code).run(note);
    EXPECT_TRUE(script.play());
    EXPECT_EQ(seen, (std::vector<int>{0, 4, 0, 1, 2, 3, 4}));
}

TEST_F(Picture, EachStepWritesItsRowsImageWordOncePerApply) {
    openWindows();
    // Rows: brightness 2176, sharpness 2180, contrast 2178, saturation 2182.
    store->ram_para.setU16(2176, 40);
    store->ram_para.setU16(2180, 10);
    store->ram_para.setU16(2178, 50);
    store->ram_para.setU16(2182, 60);
    PanelScript script = openScreen(0);
    script.key('Q')
        .run([] { EXPECT_TRUE(g_quality->editing()); })
        .key('R')
        .run([this] {
            EXPECT_EQ(word(2176), 41);
            EXPECT_EQ(c331_manage::para_update.load(), 1);
        })
        .key('R')
        .run([this] {
            EXPECT_EQ(word(2176), 41) << "the first step is not applied yet";
            EXPECT_EQ(textOf(g_quality, "lineEdit_bright"), "41");
        })
        .run(applied())
        .key('R')
        .run([this] { EXPECT_EQ(word(2176), 42); })
        .run(applied())
        .key('Q')
        .run([] { EXPECT_FALSE(g_quality->editing()); })
        .run(applied())
        .key('R')  // sharpness
        .key('Q')
        .key('S')
        .run([this] { EXPECT_EQ(word(2180), 9); })
        .run(applied())
        .key('Q')
        .run(applied())
        .key('R')  // contrast
        .key('Q')
        .key('R')
        .run([this] { EXPECT_EQ(word(2178), 51); })
        .run(applied())
        .key('Q')
        .run(applied())
        .key('R')  // saturation
        .key('Q')
        .key('S')
        .run([this] { EXPECT_EQ(word(2182), 59); })
        .run(applied())
        .key('Q');
    EXPECT_TRUE(script.play());
    EXPECT_EQ(word(2176), 42);
    EXPECT_EQ(word(2180), 9);
    EXPECT_EQ(word(2178), 51);
    EXPECT_EQ(word(2182), 59);
}

TEST_F(Picture, RestoreIsWrittenEvenWhileAStepIsPending) {
    openWindows();
    PanelScript script = openScreen(0);
    script
        .key('R')  // sharpness, 10 by default
        .key('Q')
        .key('R')
        .run(applied())
        .key('R')
        .run([this] {
            EXPECT_EQ(word(2180), 12);
            EXPECT_EQ(c331_manage::para_update.load(), 1) << "still pending";
        })
        .key('O')
        .run([this] {
            EXPECT_EQ(word(2180), 10) << "restored at once";
            EXPECT_EQ(textOf(g_quality, "lineEdit_Sharpness"), "10");
            EXPECT_FALSE(g_quality->editing());
            EXPECT_EQ(g_page_focus, 19);
        })
        .key('O')
        .waitPage(11)
        .run([] { EXPECT_EQ(g_quality, nullptr); });
    EXPECT_TRUE(script.play());
}

TEST_F(Picture, ValuesStayWithinZeroToAHundredAndTheWholeWordIsWritten) {
    openWindows();
    store->ram_para.setU16(2176, 100);
    store->ram_para.setU16(2178, 0);
    store->ram_para.setU16(2182, 0x0132);  // a high byte the screen never writes
    PanelScript script = openScreen(0);
    script.keys({'Q', 'R'})
        .run([this] {
            EXPECT_EQ(word(2176), 100);
            EXPECT_EQ(c331_manage::para_update.load(), 1) << "written again";
        })
        .run(applied())
        .key('Q')
        .run(applied())
        .keys({'R', 'R', 'Q', 'S'})
        .run([this] { EXPECT_EQ(word(2178), 0); })
        .run(applied())
        .key('Q')
        .run(applied())
        .keys({'R', 'Q'})
        .run([] { EXPECT_EQ(textOf(g_quality, "lineEdit_Saturation"), "306"); })
        .key('S')
        .run([this] { EXPECT_EQ(word(2182), 100); });
    EXPECT_TRUE(script.play());
}

TEST_F(Picture, ResetRestoresTheDefaultsAndShowsThem) {
    openWindows();
    for (size_t offset = 2176; offset < 2192; offset += 2)
        store->ram_para.setU16(offset, 7);
    PanelScript script = openScreen(0);
    script.keys({'S', 'Q'}).run([] {
        EXPECT_EQ(textOf(g_quality, "lineEdit_bright"), "100");
        EXPECT_EQ(textOf(g_quality, "lineEdit_Sharpness"), "10");
        EXPECT_EQ(textOf(g_quality, "lineEdit_Contrast"), "50");
        EXPECT_EQ(textOf(g_quality, "lineEdit_Saturation"), "50");
    });
    EXPECT_TRUE(script.play());
    const u16 defaults[] = {100, 50, 10, 50, 2, 64, 64, 64};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(word(2176 + 2 * i), defaults[i]) << 2176 + 2 * i;
    EXPECT_EQ(c331_manage::para_update.load(), 1);
}

TEST_F(Picture, AStepReachesTheSavedParameterFile) {
    openWindows();
    PanelScript script = openScreen(0);
    script.keys({'Q', 'S', 'Q'}).run(applied());
    EXPECT_TRUE(script.play());
    const std::vector<unsigned char> file = readFile("/data/ram_device_info");
    ASSERT_EQ(file.size(), 4096u);
    EXPECT_EQ(file[2176 - 766], 99);
    EXPECT_EQ(file[2177 - 766], 0);
}

TEST_F(Picture, ARefreshRetranslatesButKeepsTheShownValues) {
    openWindows();
    PanelScript script = openScreen(0);
    script
        .run([this] {
            applyEdit([](RamParaImage& image) {
                image[768] = 1;
                image.setU16(2176, 20);
            });
            applyPending();
            QCoreApplication::processEvents();
        })
        .run([] {
            EXPECT_EQ(textOf(g_quality, "label_bright"), "Brightness");
            EXPECT_EQ(textOf(g_quality, "lineEdit_bright"), "100");
        });
    EXPECT_TRUE(script.play());
}

TEST_F(Picture, TemperatureFocusWrapsBetweenTypeAndBlue) {
    openWindows();
    std::vector<int> seen;
    auto note = [&] { seen.push_back(g_temperature->ui_select()); };
    PanelScript script = openScreen(1);
    script.run(note);
    for (int code : {'S', 'R', 'R', 'R', 'R'})
        script.key(code).run(note);
    EXPECT_TRUE(script.play());
    EXPECT_EQ(seen, (std::vector<int>{0, 3, 0, 1, 2, 3}));
}

TEST_F(Picture, TheTypeIsWrittenOnlyWhenConfirmed) {
    useLanguage(1);
    openWindows();
    store->ram_para.setU16(2184, 3);  // cool
    PanelScript script = openScreen(1);
    script.keys({'Q', 'R'})
        .run([this] {
            EXPECT_EQ(textOf(g_temperature, "comboBox_type"), "custom") << "wrapped";
            EXPECT_EQ(word(2184), 3);
            EXPECT_EQ(c331_manage::para_update.load(), 0);
        })
        .key('S')
        .run([] { EXPECT_EQ(textOf(g_temperature, "comboBox_type"), "cool"); })
        .key('S')
        .key('Q')
        .run([this] {
            EXPECT_EQ(word(2184), 2);
            EXPECT_EQ(c331_manage::para_update.load(), 1);
        })
        .run(applied())
        // Back while editing writes the type from before and shows it again.
        .keys({'Q', 'R', 'R', 'O'})
        .run([this] {
            EXPECT_EQ(word(2184), 2);
            EXPECT_EQ(c331_manage::para_update.load(), 1);
            EXPECT_EQ(textOf(g_temperature, "comboBox_type"), "nature");
            EXPECT_EQ(g_page_focus, 20);
        });
    EXPECT_TRUE(script.play());
}

TEST_F(Picture, AnUnknownStoredTypeShowsAsCustomAndStaysUntilConfirmed) {
    useLanguage(1);
    openWindows();
    store->ram_para.setU16(2184, 7);
    PanelScript script = openScreen(1);
    script
        .run([this] {
            EXPECT_EQ(textOf(g_temperature, "comboBox_type"), "custom");
            EXPECT_EQ(word(2184), 7);
        })
        .keys({'Q', 'O'})
        .run([this] { EXPECT_EQ(word(2184), 0); });
    EXPECT_TRUE(script.play());
}

TEST_F(Picture, GainsAreSteppedWhateverTheType) {
    openWindows();
    PanelScript script = openScreen(1);
    // Red 2186, green 2188, blue 2190; the default type is nature.
    script.keys({'R', 'Q', 'R'})
        .run([this] { EXPECT_EQ(word(2186), 65); })
        .run(applied())
        .key('Q')
        .run(applied())
        .keys({'R', 'Q', 'S'})
        .run([this] { EXPECT_EQ(word(2188), 63); })
        .run(applied())
        .key('S')
        .run([this] { EXPECT_EQ(word(2188), 62); })
        .key('O')  // restore, although the step is pending
        .run([this] {
            EXPECT_EQ(word(2188), 64);
            EXPECT_EQ(textOf(g_temperature, "lineEdit_name_green"), "64");
        })
        .run(applied())
        .keys({'R', 'Q', 'R'})
        .run([this] { EXPECT_EQ(word(2190), 65); })
        .run(applied())
        .key('Q');
    EXPECT_TRUE(script.play());
    EXPECT_EQ(word(2184), 2);
    EXPECT_EQ(word(2186), 65);
    EXPECT_EQ(word(2188), 64);
    EXPECT_EQ(word(2190), 65);
}

TEST_F(Picture, ModeWhileTheTypeIsEditedLeavesTheStoredType) {
    openWindows();
    PanelScript script = openScreen(1);
    script.keys({'Q', 'R', 'M'}).waitPage(4).run([this] {
        EXPECT_EQ(word(2184), 2);
        EXPECT_EQ(g_temperature, nullptr);
        EXPECT_EQ(g_imagequality, nullptr);
    });
    EXPECT_TRUE(script.play());
}

TEST_F(Picture, TypeNamesKeepTheLanguageTheScreenWasOpenedIn) {
    useLanguage(1);
    openWindows();
    PanelScript script = openScreen(1);
    script.run([this] { changeLanguage(0); }).run([] {
        EXPECT_EQ(textOf(g_temperature, "label_name_red"), QString::fromUtf8("红色"));
        EXPECT_EQ(textOf(g_temperature, "comboBox_type"), "nature");
    });
    EXPECT_TRUE(script.play());
}

}  // namespace
