// The two plain dialogs that nothing opens: their texts, their one button, which ends
// the dialog as accepted, and a picture of each under <build>/screens.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTimer>

#include "screens/settings/about.h"
#include "screens/settings/dialog.h"
#include "tests/ui/settings_test.h"

namespace {

using test::child;
using test::SettingsTest;
using test::textOf;

class PlainDialogs : public SettingsTest {
protected:
    // Runs the dialog modally, touches its button from inside the loop and returns what
    // the loop ended with.
    static int touchedFromItsLoop(QDialog& dialog, const char* button) {
        QTimer::singleShot(0, &dialog, [&dialog, button] {
            if (auto* pressed = child<QAbstractButton>(&dialog, button))
                pressed->click();
            else
                dialog.reject();
        });
        return dialog.exec();
    }
};

TEST_F(PlainDialogs, AboutShowsTheVersionWordAndItsButtonAcceptsIt) {
    About about;
    EXPECT_EQ(textOf(&about, "label_version"), QString::fromUtf8("版本号"));
    EXPECT_EQ(textOf(&about, "Button_back"), QString::fromUtf8("<主界面"));
    EXPECT_EQ(touchedFromItsLoop(about, "Button_back"), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());
}

TEST_F(PlainDialogs, DialogShowsExitAndItsButtonAcceptsIt) {
    Dialog dialog;
    EXPECT_EQ(textOf(&dialog, "Button_exit"), QString::fromUtf8("退出"));
    EXPECT_EQ(touchedFromItsLoop(dialog, "Button_exit"), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(PlainDialogs, EachIsSavedAsAPicture) {
    About about;
    about.show();
    EXPECT_EQ(about.size(), QSize(320, 240));
    shot(&about, "About");
    Dialog dialog;
    dialog.show();
    EXPECT_EQ(dialog.size(), QSize(320, 240));
    shot(&dialog, "Dialog");
}

}  // namespace
