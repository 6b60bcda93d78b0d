// The LED size: what the keypad's entry becomes, what Apply writes into the parameter
// image (offsets as the image defines them), the hand-over to the FPGA side on the
// simulated FPGA, the refresh, and the saved parameter file.
//
// Pages: 1 main menu, 6 output menu, 13 LED size, 22 output ports.
#include <gtest/gtest.h>
#include <pthread.h>

#include <QLabel>
#include <QLineEdit>
#include <string>

#include "screens/settings/ledset.h"
#include "screens/settings/linkwlan.h"
#include "tests/ui/panel_script.h"
#include "tests/ui/settings_test.h"
#include "ui/numberkeyboard.h"
#include "ui/outputset.h"
#include "ui/pages.h"
#include "ui/tip.h"
#include "video/c331_manage.h"

namespace {

using test::PanelScript;
using test::SettingsTest;
using test::textOf;

class LedSize : public SettingsTest {
protected:
    // The screen opened from the output menu, with the focus on its width field.
    static PanelScript openScreen() {
        PanelScript script;
        script.run([] { ::openScreen(g_outputset, 6); }).waitPage(6).key('Q').waitPage(13);
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
    static void setFields(const char* width, const char* height) {
        test::child<QLineEdit>(g_ledset, "lineEdit_ledw")->setText(width);
        test::child<QLineEdit>(g_ledset, "lineEdit_ledh")->setText(height);
    }
    static QString width() { return textOf(g_ledset, "lineEdit_ledw"); }
    static QString height() { return textOf(g_ledset, "lineEdit_ledh"); }
    u16 word(size_t offset) const { return store->ram_para.u16At(offset); }
    // Byte n of the image as the parameter file stores it (two marker bytes first).
    u16 savedWord(size_t offset) const {
        const std::vector<unsigned char> file = readFile("/data/ram_device_info");
        const size_t at = offset - 766;
        return file.size() > at + 1 ? static_cast<u16>(file[at] | file[at + 1] << 8) : 0xFFFF;
    }
};

// One keypad entry on one field, from the fields' texts before it.
struct Entry {
    const char* width;
    const char* height;
    bool onHeight;
    const char* typed;
    const char* widthAfter;
    const char* heightAfter;
};

TEST_F(LedSize, TheTypedSideIsBoundAndTheOtherGivesWayToThePixelLimit) {
    openWindows();
    const Entry entries[] = {
        {"1920", "1080", false, "9000", "8188", "480"},
        {"1920", "1080", false, "4000", "4000", "983"},
        {"1920", "1080", false, "2000", "2000", "1080"},
        {"3000", "1080", true, "4000", "983", "4000"},  // one limit for both sides
        {"3000", "1080", true, "5000", "786", "5000"},
        {"1920", "1080", true, "9000", "480", "8188"},
        {"1920", "1080", false, "10", "64", "1080"},
        {"1920", "1080", true, "10", "1920", "64"},
        {"1920", "1080", false, ".", "64", "1080"},  // no number
        {"1920", "1080", false, "0100", "0100", "1080"},
        {"1920", "1080", false, "8188", "8188", "480"},
        {"1920", "1080", false, "64", "64", "1080"},
    };
    for (const Entry& entry : entries) {
        PanelScript script = openScreen();
        script.run([&entry] { setFields(entry.width, entry.height); });
        if (entry.onHeight)
            script.key('R');
        type(script, entry.typed);
        script
            .run([&entry] {
                EXPECT_EQ(width(), entry.widthAfter) << entry.typed;
                EXPECT_EQ(height(), entry.heightAfter) << entry.typed;
            })
            .keys({'O', 'O'})
            .waitPage(1);
        EXPECT_TRUE(script.play()) << entry.typed;
    }
    EXPECT_EQ(c331_manage::para_update.load(), 0) << "nothing written before Apply";
}

TEST_F(LedSize, ApplyMakesOneCanvasOfTheNewSize) {
    openWindows();
    startTick();
    store->ram_para.setU16(2272, 0);  // window 0 disabled
    for (size_t enable : {2298, 2324, 2350, 2376, 2402})
        store->ram_para.setU16(enable, 1);
    store->ram_para.setU16(1376, 1);
    store->ram_para.setU16(1408, 100);
    store->ram_para.setU16(1418, 50);
    store->ram_para_shadow = store->ram_para;
    bool lockFreeDuringNotice = false;
    PanelScript script = openScreen();
    type(script, "1600");
    script.key('R');
    type(script, "900");
    script.keys({'R', 'Q'})
        .waitUntil("the check mark", [] { return g_tip->isVisible(); })
        .run([&] {
            // The new size is handed to the video processor while the notice shows.
            EXPECT_EQ(c331_manage::para_update.load(), 1);
            lockFreeDuringNotice = pthread_mutex_trylock(&c331_manage::para_mutex) == 0;
            if (lockFreeDuringNotice)
                pthread_mutex_unlock(&c331_manage::para_mutex);
        })
        .waitUntil("the check mark to go", [] { return !g_tip->isVisible(); })
        .run([] { EXPECT_EQ(g_ledset->ui_select(), 2) << "the focus stays on Apply"; });
    EXPECT_TRUE(script.play());
    EXPECT_TRUE(lockFreeDuringNotice);
    const struct {
        size_t offset;
        u16 value;
    } expected[] = {
        {1376, 0},    {1378, 1600}, {1380, 900},  {1408, 0},   {1410, 0}, {1412, 1600}, {1414, 900},
        {1416, 0},    {1418, 0},    {1420, 1600}, {1422, 900}, {2272, 0}, {2282, 0},    {2284, 0},
        {2286, 1600}, {2288, 900},  {2298, 0},    {2324, 0},   {2350, 0}, {2376, 0},    {2402, 0},
    };
    for (const auto& field : expected)
        EXPECT_EQ(word(field.offset), field.value) << field.offset;
    EXPECT_EQ(g_set_led_para.load(), 0) << "no FPGA manager: no hand-over";

    applyPending();
    QCoreApplication::processEvents();
    EXPECT_EQ(savedWord(1378), 1600);
    EXPECT_EQ(savedWord(1380), 900);
    EXPECT_EQ(savedWord(2286), 1600);
}

TEST_F(LedSize, ApplyOfTheSavedSizeTouchesNoWindowAndShowsNoNotice) {
    openWindows();
    startTick();
    store->ram_para.setU16(1376, 2);
    store->ram_para.setU16(1416, 960);
    store->ram_para.setU16(2298, 1);
    store->ram_para.setU16(2286, 700);
    store->ram_para_shadow = store->ram_para;
    PanelScript script = openScreen();
    script.keys({'R', 'R', 'Q'}).run([] {
        EXPECT_FALSE(g_tip->isVisible());
        EXPECT_EQ(g_page_focus, 13);
    });
    EXPECT_TRUE(script.play());
    EXPECT_EQ(word(1376), 0);
    EXPECT_EQ(word(1416), 0);
    EXPECT_EQ(word(1412), 1920);
    EXPECT_EQ(word(1422), 1080);
    EXPECT_EQ(word(2298), 1) << "window 1 stays";
    EXPECT_EQ(word(2286), 700) << "window 0 stays";
    EXPECT_EQ(c331_manage::para_update.load(), 1);
}

TEST_F(LedSize, ApplyBringsSizesFromElsewhereWithinTheLimits) {
    openWindows();
    startTick();
    // A size the PC wrote, out of the screen's range: nothing typed, the height gives way.
    store->ram_para.setU16(1378, 8000);
    store->ram_para.setU16(1380, 8000);
    PanelScript script = openScreen();
    script.keys({'R', 'R', 'Q'})
        .run([] {
            EXPECT_EQ(width(), "8000");
            EXPECT_EQ(height(), "491");
        })
        .waitUntil("the notice to go", [] { return !g_tip->isVisible(); });
    EXPECT_TRUE(script.play());
    EXPECT_EQ(word(1378), 8000);
    EXPECT_EQ(word(1380), 491);

    // The height typed last keeps its value: the width gives way.
    applyPending();
    store->ram_para.setU16(1378, 40000);
    store->ram_para.setU16(1380, 1080);
    PanelScript second = openScreen();
    second.key('R');
    type(second, "1000");
    second.keys({'R', 'Q'})
        .run([] {
            EXPECT_EQ(width(), "3932");
            EXPECT_EQ(height(), "1000");
        })
        .waitUntil("the notice to go", [] { return !g_tip->isVisible(); });
    EXPECT_TRUE(second.play());
    EXPECT_EQ(word(1378), 3932);
    EXPECT_EQ(word(1380), 1000);
    EXPECT_EQ(word(1412), 3932);
}

TEST_F(LedSize, ANewSizeIsHandedToTheRunningFpga) {
    openWindows();
    startFpga();
    ASSERT_TRUE(bringUp());
    fpga()->clearLog();
    PanelScript script = openScreen();
    type(script, "2560");
    script.key('R');
    type(script, "1440");
    script.keys({'R', 'Q'}).waitUntil("the check mark", [] { return g_tip->isVisible(); }).run([] {
        EXPECT_EQ(g_set_led_para.load(), 1);
        EXPECT_EQ(g_set_led_setup.load(), 0);
        g_tip->hide();
    });
    EXPECT_TRUE(script.play());
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0) << "not blank before the FPGA thread's pass";
    fpgaPass();
    EXPECT_EQ(fpga()->reg(0) & 0x04, 0x04) << "blank first";
    EXPECT_EQ(g_set_led_setup.load(), 1);
    ASSERT_TRUE(fpgaUntil([] { return g_set_led_para == 0; }, 200));
    EXPECT_EQ(fpga()->reg(3) & 0x20, 0) << "output off while the panel changes";
    // The video processor sets the new panel up and lets the FPGA side start again.
    g_set_led_para = 2;
    fpgaPass();
    EXPECT_EQ(g_set_led_para.load(), 0);
    EXPECT_TRUE(fpga()->inReset());
    EXPECT_TRUE(bringUp());
}

TEST_F(LedSize, NoHandOverUntilTheFpgaOutputRuns) {
    openWindows();
    startFpga();
    // Powered up (register 80 reads 3) but its output not started yet.
    ASSERT_TRUE(fpgaUntil(
        [this] { return fpga_manage::MCU_REG_func[0][80] == 3 && !manager->get_fpga_status(); }));
    ASSERT_FALSE(manager->get_fpga_status());
    PanelScript script = openScreen();
    type(script, "1280");
    script.keys({'R', 'R', 'Q'})
        .waitUntil("the check mark", [] { return g_tip->isVisible(); })
        .run([] { g_tip->hide(); });
    EXPECT_TRUE(script.play());
    EXPECT_EQ(word(1378), 1280);
    EXPECT_EQ(g_set_led_para.load(), 0);
}

TEST_F(LedSize, ARefreshReloadsTheFieldsOnlyWhenTheSizeChanged) {
    openWindows();
    PanelScript script = openScreen();
    type(script, "1000");
    script
        .run([this] {
            applyEdit([](RamParaImage& image) { image.setU16(2176, 30); });
            applyPending();
        })
        .waitUntil("the refresh", [] { return c331_manage::para_update == 0; })
        .run([] { QCoreApplication::processEvents(); })
        .run([] { EXPECT_EQ(width(), "1000") << "typed, kept"; })
        .run([this] {
            applyEdit([](RamParaImage& image) {
                image.setU16(1378, 1280);
                image.setU16(1380, 720);
            });
            applyPending();
        })
        .waitUntil("the reload", [] { return width() == "1280"; })
        .run([] { EXPECT_EQ(height(), "720"); });
    EXPECT_TRUE(script.play());
}

TEST_F(LedSize, CancelIsBackAndTheOutputMenuShowsTheSize) {
    openWindows();
    store->ram_para.setU16(1378, 3840);
    store->ram_para.setU16(1380, 1080);
    PanelScript script = openScreen();
    script.keys({'S', 'Q'}).waitPage(6).run([] {
        EXPECT_EQ(g_ledset, nullptr);
        EXPECT_EQ(textOf(g_outputset, "label_info"), QString::fromUtf8("LED尺寸: 3840 x 1080"));
    });
    EXPECT_TRUE(script.play());
}

// The keypad is shared: its entry goes to the screen that opened it, never to a screen
// below that used it before.
TEST_F(LedSize, TheKeypadsEntryReachesOnlyTheScreenThatOpenedIt) {
    openWindows();
    PanelScript script = openScreen();
    type(script, "2000");
    script.run([] { ::openScreen(g_linkwlan, 22); }).waitPage(22);
    type(script, "10");
    script.run([] {
        EXPECT_EQ(textOf(g_linkwlan, "lineEditIp1"), "10");
        EXPECT_EQ(width(), "2000");
        EXPECT_EQ(height(), "1080");
    });
    EXPECT_TRUE(script.play());
}

}  // namespace
