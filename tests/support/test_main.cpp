// Every test program runs inside a QApplication on the offscreen platform, so that
// screens, timers and queued signals work as in the program, with the floors' hooks
// installed as the program's start-up installs them.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "screens/screen_hooks.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    install_hooks();
    return RUN_ALL_TESTS();
}
