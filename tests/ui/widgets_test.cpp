// The shared widgets: the keypad, the touch field and the round progress bar.
#include <gmock/gmock.h>

#include <QDialog>
#include <QMouseEvent>

#include "tests/ui/panel_script.h"
#include "tests/ui/panel_test.h"
#include "ui/QRoundProgressBar.h"
#include "ui/mainwindow.h"
#include "ui/menuscreen.h"
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

namespace {

// A keypad screen as the settings screens build one.
class KeypadProbe : public MenuScreen {
    Q_OBJECT
public:
    explicit KeypadProbe(QWidget* parent) : MenuScreen("KeypadProbe", parent) {
        bindPointer(current);
        width = new My_lineEdit(this);
        width->setObjectName("lineEdit_ledw");
        width->setText("1920");
        connectKeypad({width});
        focus.setItems({width});
    }
    void slot_Button_back_clicked() override { backTo(nullptr, 1); }
    static KeypadProbe* current;
    My_lineEdit* width;
    QString confirmedFor;
    bool keypadStillOpen = false;

public slots:
    void show_numberkeyboard_ui(QString) {
        showKeypad(qobject_cast<QLineEdit*>(sender()), "W");
        keypadReturned = true;
    }
    void confirmString(QString text) {
        confirmedFor = editedField();
        keypadStillOpen = !keypadReturned;
        g_lineedit->setText(text);
    }

protected:
    void keyOk() override { emit width->send_show(width->text()); }

private:
    bool keypadReturned = false;
};
KeypadProbe* KeypadProbe::current = nullptr;

TEST_F(Widgets, AKeypadScreenGetsTheEntryBeforeTheKeypadCloses) {
    openWindows();
    test::PanelScript script;
    script.run([] { openScreen(KeypadProbe::current, 40); })
        .waitPage(40)
        .key('Q')
        .waitUntil("the keypad", [] { return g_numberkeyboard->isVisible(); })
        .run([] { EXPECT_EQ(g_numberkeyboard->entry(), "1920"); })
        .keys({'2', '5', '6', '0'});
    for (int i = 0; i < 13; ++i)
        script.key('R');  // to the keypad's OK
    script.key('Q')
        .waitUntil("the keypad to close", [] { return !g_numberkeyboard->isVisible(); })
        .run([] {
            EXPECT_EQ(KeypadProbe::current->width->text(), "2560");
            EXPECT_EQ(KeypadProbe::current->confirmedFor, "lineEdit_ledw");
            EXPECT_TRUE(KeypadProbe::current->keypadStillOpen);
            EXPECT_EQ(g_lineedit, KeypadProbe::current->width);
        })
        .key('O')
        .waitPage(1);
    EXPECT_TRUE(script.play());
}

}  // namespace

#include "widgets_test.moc"
