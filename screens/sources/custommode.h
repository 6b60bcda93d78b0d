// The user-mode screen (page 4, g_custommode): the 16 user-mode slots, which of them hold
// a saved mode and which one was recalled last. OK on a slot offers Load, Save and Delete.
//
// It is shown without a modal loop. Opened by the Mode key (g_mode_shortcut_key set) its
// Back returns to the home screen; opened from the main window, to the main window.
#pragma once

#include <QWidget>

#include "ui/focusring.h"
#include "ui/krx_keyboard.h"

class QLabel;
class QAbstractButton;

class CustomMode : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSlots = 16;

    explicit CustomMode(QWidget* parent = nullptr);

    // The Mode key: sets g_mode_shortcut_key and shows the screen.
    static void openByShortcut();
    // The main window's entry.
    static void openFromMainWindow();

    void language_changed();
    void syncUpdate();
    int selectedSlot() const { return slots_.ui_select(); }
    bool actionsShown() const { return actionsShown_; }

public slots:
    void slot_Button_back_clicked();
    void on_Button_load_clicked();
    void on_Button_save_clicked();
    void on_Button_delete_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    static void open();
    void showSlots();
    void showActions(bool shown);
    bool slotSaved(int slot) const;

    QLabel* title_;
    QAbstractButton* slotButton_[kSlots];
    QWidget* actions_;
    QAbstractButton* load_;
    QAbstractButton* save_;
    QAbstractButton* delete_;
    QLabel* notes_;
    FocusRing slots_;
    FocusRing actionRing_;
    bool actionsShown_ = false;
    krx_keyboard keyboard_;
};

extern CustomMode* g_custommode;
