// The smart-mapping screen's other functions on the simulated board: parameter curing
// (every card saves its parameters), the mapping switch (bit 7 of FPGA 0's register 0
// and the cards' mapping state), and the list of scan-parameter files of the device and of
// the USB stick with its pages and its refresh when the stick comes and goes.
//
// Pages of the screen's stacked widget: 4 the load port, 5 the file list, 6 curing,
// 7 mapping.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QIcon>
#include <QLabel>
#include <filesystem>
#include <set>

#include "fpga/rcv_recovery_file.h"
#include "fpga/send_para.h"
#include "screens/cardtools/smartmapping.h"
#include "tests/cardtools/recovery_writer.h"
#include "tests/ui/cardtools_test.h"
#include "tests/ui/panel_script.h"
#include "ui/QRoundProgressBar.h"
#include "ui/syncupdate.h"

namespace {

using test::CardToolsTest;
using test::PanelScript;

class MappingFunctions : public CardToolsTest {
protected:
    static PanelScript screen() {
        PanelScript script;
        script.run([] { ::openScreen(g_smartmapping, 24); }).waitPage(24).run([] {
            useLanguage(1);
        });
        return script;
    }
    void recordProgress() {
        QObject::connect(g_smartmapping, &SmartMapping::sig_qround_bar_update,
                         [this](int value) { progress.push_back(value); });
    }
    static bool shows(const char* resource) {
        auto* button = test::child<QAbstractButton>(g_smartmapping, "Button_mapping_state");
        return button && button->icon().pixmap(QSize(40, 20)).toImage() ==
                             QIcon(QPixmap(resource)).pixmap(QSize(40, 20)).toImage();
    }
    // Files under a device directory of the root.
    void files(const std::string& dir, std::initializer_list<const char*> names) {
        std::filesystem::create_directories(rooted(dir));
        for (const char* name : names)
            writeFile(dir + "/" + name, {0});
    }
    static QString row(int r) {
        auto* label =
            test::child<QLabel>(g_smartmapping, qPrintable(QString("label_file%1").arg(r)));
        return label ? label->text() : QString();
    }
    static bool green(int r) {
        auto* label =
            test::child<QLabel>(g_smartmapping, qPrintable(QString("label_file%1").arg(r)));
        return label && label->styleSheet().contains("#00FF00");
    }
    static bool cursorOn(int r) {
        auto* label =
            test::child<QLabel>(g_smartmapping, qPrintable(QString("label_file%1").arg(r)));
        return label && label->styleSheet().contains("#4777FF") &&
               label->styleSheet().contains("rgb(255,171,84)");
    }
    static int rows() {
        int n = 0;
        while (test::child(g_smartmapping, qPrintable(QString("label_file%1").arg(n))))
            ++n;
        return n;
    }
    // The file list, entered with the keys: Load scan, OK, Next, OK.
    static void toFileList(PanelScript& script) {
        script.keys({'R', 'Q', 'R', 'Q'}).run([] { ASSERT_EQ(g_smartmapping->currentPage(), 5); });
    }

    std::vector<int> progress;
};

TEST_F(MappingFunctions, CuringHasEveryCardSaveItsParameters) {
    startCards({{1, 3}, {5, 2}});
    PanelScript script = screen();
    script.run([this] { recordProgress(); })
        .key('R')  // Load scan (no file) is stepped over
        .run([] {
            EXPECT_EQ(g_smartmapping->mainIndex(), 2);
            EXPECT_EQ(g_smartmapping->currentPage(), 6);
        })
        .keys({'Q', 'Q'})
        .run([] { EXPECT_EQ(send_para_job(), 3); })
        .waitUntil("the job", [this] { return jobOver(); })
        .keys({'O', 'S'})  // the column; Left skips Load scan again
        .run([] { EXPECT_EQ(g_smartmapping->mainIndex(), 0); });
    EXPECT_TRUE(script.play(20000));
    for (auto [port, cards] : {std::pair{1, 3}, std::pair{5, 2}})
        for (int i = 0; i < cards; ++i)
            EXPECT_EQ(card(port, i).saves(), 1) << "port " << port << " card " << i;
    // Port x 100 / 7 after each port's packet, 95, then 100.
    EXPECT_EQ(progress, (std::vector<int>{14, 71, 95, 100}));
}

TEST_F(MappingFunctions, TheMappingSwitchTogglesBitSevenOfRegisterZeroAndTheCards) {
    startCards({{0, 2}, {3, 1}});
    const uint8_t before = fpga()->reg(0);
    ASSERT_EQ(before & 0x80, 0);
    PanelScript script = screen();
    script.run([this] { recordProgress(); })
        .key('S')  // Left from the wizard to Mapping: its page shows the register
        .run([] {
            EXPECT_EQ(g_smartmapping->currentPage(), 7);
            EXPECT_TRUE(shows(":/png/button_off.png"));
        })
        .keys({'Q', 'Q'})
        .run([this, before] {
            EXPECT_EQ(fpga()->reg(0), before | 0x80);
            EXPECT_EQ(g_send_para.mapping_value, 9u);
            EXPECT_EQ(send_para_job(), 4);
            EXPECT_TRUE(shows(":/png/button_on.png"));
        })
        .waitUntil("the job", [this] { return jobOver(); })
        .run([this] {
            for (auto [port, index] : {std::pair{0, 0}, {0, 1}, {3, 0}})
                EXPECT_EQ(card(port, index).mapping(), 9) << port << "/" << index;
            EXPECT_EQ(progress, (std::vector<int>{0, 42, 95, 100}));
        })
        .key('Q')  // and off again
        .run([this, before] {
            EXPECT_EQ(fpga()->reg(0), before);
            EXPECT_EQ(g_send_para.mapping_value, 0u);
            EXPECT_TRUE(shows(":/png/button_off.png"));
        })
        .waitUntil("the job", [this] { return jobOver(); })
        .run([this] {
            for (auto [port, index] : {std::pair{0, 0}, {0, 1}, {3, 0}})
                EXPECT_EQ(card(port, index).mapping(), 0) << port << "/" << index;
        })
        // Back to the column and onto Mapping again: the page reads the register anew.
        .run([this, before] { fpga()->setReg(0, static_cast<uint8_t>(before | 0x80)); })
        .keys({'O', 'S', 'R'})
        .run([] { EXPECT_TRUE(shows(":/png/button_on.png")); });
    EXPECT_TRUE(script.play(20000));
}

TEST_F(MappingFunctions, SevenFilesMakeThreePagesOfThreeThreeAndOne) {
    startCards({{0, 1}});
    files("/data/smartmapping",
          {"f1.yqfile", "f2.yqfile", "f3.yqfile", "f4.yqfile", "f5.yqfile", "f6.yqfile",
           "f7.yqfile", "notes.txt", "f8.yqfile.bak", "f9.YQFILE", "yqfile"});
    std::filesystem::create_directories(rooted("/data/smartmapping/d.yqfile"));
    ASSERT_EQ(symlink("f1.yqfile", rooted("/data/smartmapping/l.yqfile").c_str()), 0);
    std::set<QString> shown;
    auto note = [&shown] {
        for (int r = 0; r < rows(); ++r)
            shown.insert(row(r));
    };
    PanelScript script = screen();
    toFileList(script);
    script
        .run([&] {
            EXPECT_EQ(g_smartmapping->scanFiles().size(), 7);
            EXPECT_EQ(g_smartmapping->lastListPage(), 2);
            EXPECT_EQ(rows(), 3);
            EXPECT_TRUE(cursorOn(0));
            EXPECT_FALSE(green(0)) << "a file of the device is white";
            note();
        })
        .keys({'R', 'R', 'R'})
        .run([&] {
            EXPECT_EQ(g_smartmapping->listPage(), 1);
            EXPECT_EQ(rows(), 3);
            EXPECT_TRUE(cursorOn(0));
            note();
        })
        .key('S')  // Left on row 0 of page 1: row 2 of page 0
        .run([] {
            EXPECT_EQ(g_smartmapping->listPage(), 0);
            EXPECT_TRUE(cursorOn(2));
        })
        .keys({'R', 'R', 'R', 'R'})
        .run([&] {
            EXPECT_EQ(g_smartmapping->listPage(), 2);
            EXPECT_EQ(rows(), 1);
            note();
        })
        .key('R')  // past the one row of the last page: row 0 of page 0
        .run([] {
            EXPECT_EQ(g_smartmapping->listPage(), 0);
            EXPECT_TRUE(cursorOn(0));
        })
        .key('S')  // Left on row 0 of page 0 stays
        .run([] {
            EXPECT_EQ(g_smartmapping->listPage(), 0);
            EXPECT_TRUE(cursorOn(0));
        })
        .run([] {
            // The paging buttons, touched: each rebuilds the list it belongs to.
            EXPECT_EQ(test::child(g_smartmapping, "Button_previous"), nullptr);
            test::child<QAbstractButton>(g_smartmapping, "Button_nextpage")->click();
            EXPECT_EQ(g_smartmapping->listPage(), 1);
            test::child<QAbstractButton>(g_smartmapping, "Button_previous")->click();
            EXPECT_EQ(g_smartmapping->listPage(), 0);
            // A row touched is the file chosen.
            test::child<QAbstractButton>(test::child(g_smartmapping, "frame_file"), "1")->click();
            EXPECT_EQ(g_yqfile_name.get(), "/data/smartmapping/" + row(1));
        });
    EXPECT_TRUE(script.play());
    EXPECT_EQ(shown, (std::set<QString>{"f1.yqfile", "f2.yqfile", "f3.yqfile", "f4.yqfile",
                                        "f5.yqfile", "f6.yqfile", "f7.yqfile"}));
}

TEST_F(MappingFunctions, SixFilesMakeTwoPagesAndNoFileOnePage) {
    startCards({{0, 1}});
    files("/data/smartmapping",
          {"a.yqfile", "b.yqfile", "c.yqfile", "d.yqfile", "e.yqfile", "f.yqfile"});
    PanelScript script = screen();
    toFileList(script);
    script
        .run([this] {
            EXPECT_EQ(g_smartmapping->lastListPage(), 1);
            EXPECT_NE(test::child(g_smartmapping, "Button_nextpage"), nullptr);
            EXPECT_EQ(test::child(g_smartmapping, "Button_previous"), nullptr);
            std::filesystem::remove_all(rooted("/data/smartmapping"));
        })
        .keys({'O', 'Q'})  // the port page, then Next lists again: nothing
        .run([] {
            EXPECT_EQ(g_smartmapping->scanFiles().size(), 0);
            EXPECT_EQ(g_smartmapping->lastListPage(), 0);
            EXPECT_EQ(test::textOf(g_smartmapping, "label_nofile"), "No loaded file!");
            EXPECT_EQ(test::child(g_smartmapping, "Button_nextpage"), nullptr);
        })
        .keys({'R', 'R', 'S'})  // without rows Left and Right walk the two buttons
        .run([] { EXPECT_EQ(g_smartmapping->currentPage(), 5); })
        .key('O')
        .run([] { EXPECT_EQ(g_smartmapping->currentPage(), 4); });
    EXPECT_TRUE(script.play());
}

TEST_F(MappingFunctions, UsbRowsComeWithTheStickReadyAndGoWithItsRemoval) {
    startCards({{0, 1}});
    files("/data/smartmapping", {"a.yqfile", "b.yqfile"});
    PanelScript script = screen();
    toFileList(script);
    script
        .run([this] {
            EXPECT_EQ(rows(), 2);
            files("/mnt/usb1", {"u.yqfile", "v.txt"});
            SyncUpdate::pInstance()->para_sync(100);  // inserted: nothing yet
            EXPECT_EQ(rows(), 2);
            SyncUpdate::pInstance()->para_sync(102);  // ready: listed again
        })
        .run([] {
            EXPECT_EQ(g_smartmapping->currentPage(), 5);
            EXPECT_EQ(g_smartmapping->localFileCount(), 2);
            ASSERT_EQ(rows(), 3);
            EXPECT_FALSE(green(0));
            EXPECT_FALSE(green(1));
            EXPECT_TRUE(green(2));
            EXPECT_EQ(row(2), "u.yqfile");
            EXPECT_TRUE(cursorOn(0));
        })
        .keys({'R', 'R'})
        .run([this] {
            EXPECT_TRUE(cursorOn(2));
            std::filesystem::remove_all(rooted("/mnt/usb1"));
            SyncUpdate::pInstance()->para_sync(101);
        })
        .run([] {
            EXPECT_EQ(rows(), 2);
            EXPECT_FALSE(green(1));
            EXPECT_TRUE(cursorOn(0)) << "a new list starts on row 0";
        });
    EXPECT_TRUE(script.play());
}

TEST_F(MappingFunctions, LoadScanIsOfferedWhileTheStickHoldsAFile) {
    startCards({{0, 1}});
    PanelScript script = screen();
    script.key('R')
        .run([this] {
            EXPECT_EQ(g_smartmapping->mainIndex(), 2);
            EXPECT_EQ(g_smartmapping->scanFilesPresent(), 0);
            files("/mnt/usb1", {"u.yqfile"});
            SyncUpdate::pInstance()->para_sync(102);
            EXPECT_EQ(g_smartmapping->scanFilesPresent(), 1);
        })
        .key('S')
        .run([this] {
            EXPECT_EQ(g_smartmapping->mainIndex(), 1);
            EXPECT_EQ(g_smartmapping->currentPage(), 4);
            std::filesystem::remove_all(rooted("/mnt/usb1"));
            SyncUpdate::pInstance()->para_sync(101);
        })
        .keys({'S', 'R'})
        .run([] { EXPECT_EQ(g_smartmapping->mainIndex(), 2); });
    EXPECT_TRUE(script.play());
}

TEST_F(MappingFunctions, AScanFileOfTheStickIsLoadedIntoTheCardsOfTheChosenPort) {
    startCards({{0, 1}, {1, 3}});
    g_yqfile_name.set(QString());
    const std::vector<uint8_t> data = recoverytest::pattern(1500);
    std::filesystem::create_directories(rooted("/mnt/usb1"));
    writeFile("/mnt/usb1/cabinet.yqfile",
              recoverytest::scanFile({recoverytest::ramWrite(0x2000, data)}));
    // The file the PC sent lies on the device too.
    files("/data/smartmapping", {"YQFR"});
    PanelScript script = screen();
    script.run([this] { recordProgress(); })
        .keys({'R', 'Q'})       // Load scan: the port page, its tab focused
        .keys({'Q', 'R', 'Q'})  // tile mode, LED2, taken
        .run([] { EXPECT_EQ(line_type.net_port, 1); })
        .keys({'R', 'Q'})  // Next: the file list, Load focused, the cursor on row 0
        .run([] {
            ASSERT_EQ(rows(), 2);
            EXPECT_EQ(row(0), "YQFR");
            EXPECT_FALSE(green(0));
            EXPECT_EQ(row(1), "cabinet.yqfile");
            EXPECT_TRUE(green(1));
        })
        .run([] {
            // Load touched before a file was chosen: nothing.
            test::child<QAbstractButton>(g_smartmapping, "Button_load")->click();
            EXPECT_EQ(send_para_job(), 0);
        })
        .keys({'R', 'Q'})  // OK on row 1 chooses it; the focus goes to the buttons
        .run([] { EXPECT_EQ(g_yqfile_name.get(), "/mnt/usb1/cabinet.yqfile"); })
        .key('Q')  // Load
        .run([] {
            EXPECT_EQ(send_para_job(), 2);
            EXPECT_NE(g_qround_bar, nullptr);
        })
        .waitUntil("the load", [this] { return jobOver(); });
    EXPECT_TRUE(script.play(30000));
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(card(1, c).ram(0x2000, 1500), data) << "card " << c;
    EXPECT_TRUE(card(0, 0).frames().empty());
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);
}

}  // namespace
