// Base of the panel tests: a fresh root and board, the parameter store with its default
// image, the panel's globals at their start values, and the two windows on demand.
#pragma once

#include <QWidget>
#include <string>
#include <thread>
#include <vector>

#include "core/global.h"
#include "core/krxrampara.h"
#include "tests/support/sim_test.h"
#include "video/c331_manage.h"

namespace test {

class UiTest : public SimTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the main window (with its keypad and pop-up) and the home screen, shown
    // with the home screen in front, as start-up does.
    void openWindows();
    // Runs the 10 ms tick from a timer, as start-up does.
    void startTick();

    // An edit of the live image under the apply protocol.
    template <class Edit>
    void applyEdit(Edit edit) {
        ParaLock lock;
        edit(store->ram_para);
        c331_manage::para_update = 1;
    }
    // What the video-processor thread does with a pending change: under the apply lock,
    // the 16-bit words of the saved area where the live image differs from the shadow
    // (what would reach the chips), then the refresh raised from a worker thread with the
    // request as its reason, and the request cleared. Empty when nothing was pending.
    std::vector<size_t> applyPending();

    KrxRamPara* store = nullptr;
};

// The screen's child widget of that object name, or null.
template <class T = QWidget>
T* child(QWidget* screen, const char* name) {
    return screen ? screen->findChild<T*>(name) : nullptr;
}

}  // namespace test
