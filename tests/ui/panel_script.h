// Drives the panel with keys as its user does. A key that opens a menu runs that menu's
// modal loop inside the key handler, so a test cannot go on line by line after it: the
// steps of a PanelScript run one after another from a timer instead, which keeps firing
// inside every modal loop.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "core/global.h"
#include "ui/menuscreen.h"
#include "ui/syncupdate.h"

namespace test {

// Where the key board's keys go: the modal dialog on top, else the screen in front.
inline QWidget* keyTarget() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return SyncUpdate::screenInFront();
}

// A press and a release of one key, as the key board sends them.
inline bool sendKey(int code) {
    QWidget* target = keyTarget();
    if (!target)
        return false;
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
    return true;
}

// Closes whatever modal dialogs and menus a failed script left open, so the test's own
// event loop can return.
inline void unwindPanel() {
    for (int i = 0; i < 20 && QApplication::activeModalWidget(); ++i)
        QApplication::activeModalWidget()->hide();
    MenuScreen::closeAllScreens();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class PanelScript {
public:
    // A key, sent once there is a screen to take it.
    PanelScript& key(int code) {
        steps_.push_back({"key " + std::to_string(code), [] { return keyTarget() != nullptr; },
                          [code] { sendKey(code); }});
        return *this;
    }
    PanelScript& keys(std::initializer_list<int> codes) {
        for (int code : codes)
            key(code);
        return *this;
    }
    // Waits until the page is in front.
    PanelScript& waitPage(u8 page) {
        return waitUntil("page " + std::to_string(page), [page] { return g_page_focus == page; });
    }
    PanelScript& waitUntil(const std::string& what, std::function<bool()> condition) {
        steps_.push_back({"wait for " + what, std::move(condition), nullptr});
        return *this;
    }
    // Any action; it may open a modal loop, and the script goes on inside it.
    PanelScript& run(std::function<void()> action) {
        steps_.push_back({"step", nullptr, std::move(action)});
        return *this;
    }

    // Plays the steps; true when every step was done in time.
    bool play(int timeoutMs = 10000) {
        size_t next = 0;
        bool failed = false;
        QElapsedTimer clock;
        clock.start();
        QObject context;
        // Each tick schedules its successor before it acts: Qt does not re-enter a timer
        // whose handler is still running, and an action may run a modal loop.
        std::function<void()> tick;
        tick = [&] {
            if (failed)
                return;
            if (next >= steps_.size()) {
                // Done inside a modal loop: close it so that play() can return.
                if (QApplication::activeModalWidget()) {
                    unwindPanel();
                    QTimer::singleShot(2, &context, tick);
                }
                return;
            }
            QTimer::singleShot(2, &context, tick);
            Step& step = steps_[next];
            if (step.ready && !step.ready()) {
                if (clock.elapsed() > timeoutMs) {
                    ADD_FAILURE() << "script stuck at step " << next << ": " << step.what;
                    failed = true;
                    unwindPanel();
                }
                return;
            }
            ++next;
            if (step.action)
                step.action();
        };
        QTimer::singleShot(0, &context, tick);
        while (next < steps_.size() && !failed && clock.elapsed() < timeoutMs + 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return next == steps_.size() && !failed;
    }

private:
    struct Step {
        std::string what;
        std::function<bool()> ready;
        std::function<void()> action;
    };
    std::vector<Step> steps_;
};

}  // namespace test
