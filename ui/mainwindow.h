// The main menu of the panel (page 1) and the 10 ms clock of the user interface.
//
// The constructor also makes the shared keypad (g_numberkeyboard) and the pop-up notice
// (g_tip). The tick advances G_timeTicks and serves the periodic duties of the panel:
// the "Updating" animation, the pop-up's time-out, a requested restart and the aging log.
#pragma once

#include <QMainWindow>

#include "ui/focusring.h"
#include "ui/krx_keyboard.h"

class QLabel;
class QAbstractButton;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr u32 kRebootDelayTicks = 300;

    explicit MainWindow(QWidget* parent = nullptr);

    void language_changed();
    void syncUpdate();
    // Shows or closes the "Updating" dialog. Callable from any thread: the work is done on
    // the user-interface thread.
    static void update_start();
    static void update_over();
    // Appends one aging-log line from FPGA 0's registers.
    void getagelog();
    // Puts the home screen in front of the main window.
    void showHome();
    // Page 1 in front again, in the current language.
    void showInFront();

    u8 ui_select() const { return focus_.ui_select(); }

public slots:
    void slot_update_timer_ticks();
    // The entries: device information (page 2), user modes (page 4), the Setting menu
    // (page 5) and the output menu (page 6).
    void on_machinestate_clicked();
    void on_usermode_clicked();
    void on_tools_clicked();
    void on_output_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QAbstractButton* addEntry(const QString& name, int x, int y, const QString& icon);
    void agingTick();
    void rebootTick();

    QLabel* title_;
    QAbstractButton* machinestate_;
    QAbstractButton* usermode_;
    QAbstractButton* tools_;
    QAbstractButton* output_;
    FocusRing focus_;
    krx_keyboard keyboard_;
    bool rebootRequested_ = false;
};
