// The shared widgets: the keypad, the touch field and the round progress bar.
#include <gmock/gmock.h>

#include <QDialog>
#include <QMouseEvent>

#include "tests/ui/panel_test.h"
#include "ui/QRoundProgressBar.h"
#include "ui/mainwindow.h"
#include "ui/my_lineedit.h"
#include "ui/numberkeyboard.h"

namespace {

using test::UiTest;

class Widgets : public UiTest {
protected:
    void key(int code) {
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier);
        QCoreApplication::sendEvent(g_numberkeyboard, &release);
    }
};

TEST_F(Widgets, TheKeypadTypesClearsRemovesAndHandsItsEntryOver) {
    openWindows();
    QStringList results;
    QObject::connect(g_numberkeyboard, &NumberKeyboard::sendKeyBoardUIDataToLineEdit,
                     [&](const QString& text) { results << text; });
    g_numberkeyboard->label_show("key", "**********");
    g_numberkeyboard->show();
    key('5');
    key('1');
    EXPECT_EQ(g_numberkeyboard->entry(), "51");  // the first digit replaced the stars
    key('Q');                                    // OK on the focused key, 7
    key('R');
    key('R');
    key('Q');  // 9
    EXPECT_EQ(g_numberkeyboard->entry(), "5179");
    for (int i = 0; i < 9; ++i)
        key('R');  // to X
    key('Q');
    EXPECT_EQ(g_numberkeyboard->entry(), "517");
    for (int i = 0; i < 2; ++i)
        key('R');  // to OK
    key('Q');
    EXPECT_EQ(results, QStringList{"517"});
    EXPECT_FALSE(g_numberkeyboard->isVisible());

    g_numberkeyboard->label_show("W", "1920");
    g_numberkeyboard->show();
    key('S');  // from OK over the dot, X and 0 to C
    key('S');
    key('S');
    key('S');
    key('Q');
    EXPECT_EQ(g_numberkeyboard->entry(), "0");
    key('O');  // the close key: no result
    EXPECT_FALSE(g_numberkeyboard->isVisible());
    EXPECT_EQ(results.size(), 1);
}

TEST_F(Widgets, ATouchedFieldAsksForTheKeypadWithItsText) {
    My_lineEdit field;
    field.setText("1080");
    QStringList asked;
    QObject::connect(&field, &My_lineEdit::send_show, [&](const QString& t) { asked << t; });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&field, &press);
    EXPECT_EQ(asked, QStringList{"1080"});
}

TEST_F(Widgets, TheProgressBarExistsOnceAndClosesAt100) {
    QDialog screen;
    QRoundProgressBar::create_qround_bar(&screen);
    QRoundProgressBar* bar = g_qround_bar;
    ASSERT_NE(bar, nullptr);
    QRoundProgressBar::create_qround_bar(&screen);
    EXPECT_EQ(g_qround_bar, bar);
    EXPECT_EQ(bar->geometry(), QRect(120, 70, 100, 100));
    bar->para_sync(42);
    EXPECT_EQ(bar->value(), 42);
    bar->para_sync(100);
    EXPECT_EQ(g_qround_bar, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QRoundProgressBar stray;
    stray.para_sync(50);  // no bar shown: nothing happens
    EXPECT_EQ(g_qround_bar, nullptr);
    EXPECT_EQ(stray.value(), 0);
}

}  // namespace
