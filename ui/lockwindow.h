// The home screen of the panel (page 0): the device's state at a glance (LED size, user
// mode, which inputs carry a signal, what the edited window shows, the network address,
// the panel lock). OK leads to the main window, Mode to the user modes.
#pragma once

#include <QWidget>

#include "ui/krx_keyboard.h"

class QLabel;

class LockWindow : public QWidget {
    Q_OBJECT
public:
    explicit LockWindow(QWidget* parent = nullptr);

    void language_changed();
    // Re-reads everything the screen shows.
    void syncUpdate();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void showState();
    void showInputs();
    void showWindow();
    void openMainWindow();

    QLabel* title_;
    QLabel* lock_;
    QLabel* address_;
    QLabel* ledCaption_;
    QLabel* ledSize_;
    QLabel* mode_;
    QLabel* inputIcon_[4];
    QLabel* inputName_[4];
    QLabel* window_;
    QLabel* hint_;
    krx_keyboard keyboard_;
};
