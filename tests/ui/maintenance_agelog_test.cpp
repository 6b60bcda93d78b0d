// The aging log screen: the placeholder of an empty log, the rows with their three-digit
// values and coloured status bits, the pages of 16 rows, the counters, and the tick that
// redraws the open screen.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPointer>
#include <cstdio>
#include <string>

#include "screens/maintenance/factoryage.h"
#include "tests/ui/maintenance_test.h"
#include "ui/agelog.h"
#include "ui/mainwindow.h"

namespace {

using test::MaintenanceTest;
using test::textOf;

const QString kGreen = "<font color = #00FF00 >%1</font>";
const QString kRed = "<font color = #FF0000 >%1</font>";

// The local time as GNU date prints it.
QString dateNow() {
    FILE* pipe = popen("date '+%m-%d %H:%M'", "r");
    char text[32] = {};
    if (pipe) {
        if (!fgets(text, sizeof text, pipe))
            text[0] = 0;
        pclose(pipe);
    }
    return QString(text).trimmed();
}

class AgingLog : public MaintenanceTest {
protected:
    void SetUp() override {
        MaintenanceTest::SetUp();
        clearLog();
    }
    void TearDown() override {
        delete screen;
        setAgeLogSource({});
        clearLog();
        MaintenanceTest::TearDown();
    }
    static void clearLog() {
        factoryage_log.clear();
        factoryage_log_num = 0;
        factoryage_log_diff3 = factoryage_log_diff5 = factoryage_log_diff10 = 0;
        factoryage_log_diff20 = factoryage_log_diffmore = 0;
    }
    factoryage* open() {
        screen = new factoryage(nullptr);
        g_factoryage = screen;
        g_page_focus = 23;
        return screen;
    }
    // Lines whose register 42 counts 0, 1, 2, ...
    static void lines(int n) {
        for (int i = 0; i < n; ++i)
            factoryage_log.push_back(
                QString("05-06 07:%1 %2 31 1").arg(i % 60, 2, 10, QChar('0')).arg(i));
    }
    QString log() const { return textOf(screen, "label_log"); }
    QString counters() const {
        QStringList texts;
        for (const char* name : {"label_3", "label_5", "label_10", "label_20", "label_more"})
            texts << textOf(screen, name);
        return texts.join(' ');
    }

    QPointer<factoryage> screen;
};

TEST_F(AgingLog, AnEmptyLogShowsThePlaceholderAndNoPage) {
    const QString before = dateNow();
    open();
    const QString after = dateNow();
    const QString placeholder = QString::fromUtf8("  正在老化中...");
    EXPECT_TRUE(log() == before + placeholder || log() == after + placeholder)
        << log().toStdString();
    EXPECT_EQ(counters(), "0<3 0<5 0<10 0<20 0>20");
    EXPECT_EQ(textOf(screen, "page_info"), "0");
    EXPECT_EQ(textOf(screen, "label_page"), "0/0");
    EXPECT_EQ(textOf(screen, "ButtonNext"), "Nex");
    EXPECT_EQ(textOf(screen, "ButtonPriv"), "Priv");

    keys(screen, {'Q', 'R', 'Q'});  // Next, then Priv
    EXPECT_EQ(screen->page(), 0);
    EXPECT_EQ(textOf(screen, "label_page"), "0/0");

    // The tick's redraw of a log that is still empty.
    screen->update_agelog();
    EXPECT_TRUE(log().endsWith(placeholder));
    EXPECT_EQ(textOf(screen, "label_page"), "0/0");
}

TEST_F(AgingLog, ARowShowsThreeDigitsAndTheStatusBitsInColour) {
    factoryage_log.push_back("12-31 23:59 7 31 255");
    factoryage_log.push_back("01-01 00:02 255 0 0");
    factoryage_log.push_back("01-01 00:05 12 21 40");
    open();
    const QString allGreen = kGreen.arg("DDR0") + " " + kGreen.arg("DDR1") + " " +
                             kGreen.arg("DE") + " " + kGreen.arg("HS") + " " + kGreen.arg("VS") +
                             " ";
    const QString allRed = kRed.arg("DDR0") + " " + kRed.arg("DDR1") + " " + kRed.arg("DE") + " " +
                           kRed.arg("HS") + " " + kRed.arg("VS");
    const QString mixed = kGreen.arg("DDR0") + " " + kRed.arg("DDR1") + " " + kGreen.arg("DE") +
                          " " + kRed.arg("HS") + " " + kGreen.arg("VS") + " ";
    EXPECT_EQ(log(), "12-31 23:59 007 " + allGreen + "255<br>" + "01-01 00:02 255 " + allRed +
                         "000<br>" + "01-01 00:05 012 " + mixed + "040");
    EXPECT_EQ(textOf(screen, "page_info"), "3");
    EXPECT_EQ(textOf(screen, "label_page"), "1/1");
}

TEST_F(AgingLog, SeventeenLinesMakeTwoPages) {
    lines(17);
    open();
    EXPECT_EQ(textOf(screen, "label_page"), "1/2");
    EXPECT_EQ(textOf(screen, "page_info"), "17");
    EXPECT_EQ(log().count("<br>"), 15);
    EXPECT_TRUE(log().startsWith("05-06 07:00 000 "));
    keys(screen, {'Q'});
    EXPECT_EQ(textOf(screen, "label_page"), "2/2");
    EXPECT_TRUE(log().startsWith("05-06 07:16 016 ")) << log().toStdString();
    EXPECT_EQ(log().count("<br>"), 0) << "line 17 alone";
    keys(screen, {'Q'});
    EXPECT_EQ(textOf(screen, "label_page"), "1/2") << "Next wraps to the first page";
    keys(screen, {'R', 'Q'});
    EXPECT_EQ(textOf(screen, "label_page"), "2/2")
        << "Previous on the first page wraps to the last";
    keys(screen, {'Q'});
    EXPECT_EQ(textOf(screen, "label_page"), "1/2");
}

TEST_F(AgingLog, AMalformedLineIsLeftOutAndBadNumbersCountAsZero) {
    factoryage_log.push_back("05-06 07:00 1 2");  // four fields
    factoryage_log.push_back("05-06 07:03 x 31 y");
    factoryage_log.push_back("05-06  07:06 1 2 3");  // two blanks: six fields
    open();
    EXPECT_EQ(log(), "<br>05-06 07:03 000 " + kGreen.arg("DDR0") + " " + kGreen.arg("DDR1") + " " +
                         kGreen.arg("DE") + " " + kGreen.arg("HS") + " " + kGreen.arg("VS") +
                         " 000");
}

TEST_F(AgingLog, TheCountersShowHowFarRegister42Advanced) {
    for (int v : {10, 11, 14, 20, 30, 60, 70})
        appendAgeLogLine("05-06 07:08", {0, static_cast<u8>(v), 0});
    open();
    EXPECT_EQ(counters(), "1<3 1<5 1<10 2<20 1>20");
}

TEST_F(AgingLog, TheTickRedrawsTheOpenScreenEvery180Seconds) {
    openWindows();
    lines(16);
    open();
    keys(screen, {'Q'});  // one page: Next stays on it
    EXPECT_EQ(textOf(screen, "label_page"), "1/1");
    setAgeLogSource({[] { return true; }, [] { return AgeLogRegisters{0, 9, 0}; }});
    for (u32 t = 0; t < 17999; ++t)
        g_mainwindow->slot_update_timer_ticks();
    EXPECT_EQ(textOf(screen, "label_page"), "1/1");
    g_mainwindow->slot_update_timer_ticks();
    EXPECT_EQ(factoryage_log.size(), 17u);
    EXPECT_EQ(textOf(screen, "label_page"), "1/2");
    EXPECT_EQ(textOf(screen, "page_info"), "17");

    // Closed, the screen is not drawn any more.
    delete screen;
    for (u32 t = 0; t < 18000; ++t)
        g_mainwindow->slot_update_timer_ticks();
    EXPECT_EQ(factoryage_log.size(), 18u);
}

TEST_F(AgingLog, LeftAndRightMoveBetweenTheTwoButtons) {
    const char idle[] = "color:rgb(255,255,255);\nborder:1px solid rgb(255, 255, 255);";
    const char focused[] = "color:rgb(255,255,255);\nborder:1px solid rgb(255,171,84);";
    open();
    auto* next = test::child<QAbstractButton>(screen, "ButtonNext");
    auto* priv = test::child<QAbstractButton>(screen, "ButtonPriv");
    EXPECT_EQ(next->styleSheet(), focused);
    EXPECT_EQ(priv->styleSheet(), idle);
    keys(screen, {'R'});
    EXPECT_EQ(screen->ui_select(), 1);
    EXPECT_EQ(next->styleSheet(), idle);
    EXPECT_EQ(priv->styleSheet(), focused);
    keys(screen, {'R'});
    EXPECT_EQ(screen->ui_select(), 0);
    keys(screen, {'S'});
    EXPECT_EQ(screen->ui_select(), 1);
}

}  // namespace
