// The "LCD display" screen (page 15, g_lcdshow) under the Advanced Settings menu: the
// time after which the panel returns to its main interface and the time after which it
// locks itself, each chosen from three entries. The choice lives in two globals until
// the next start; nothing is saved.
#pragma once

#include "ui/menuscreen.h"

class QComboBox;
class QLabel;

class lcdshow : public MenuScreen {
    Q_OBJECT
public:
    static constexpr int kEntries = 3;
    // Tick values (10 ms) of the three entries; the third is "never".
    static constexpr int kBackTimes[kEntries] = {3000, 6000, 120000};
    static constexpr int kLockTimes[kEntries] = {30000, 60000, 120000};

    explicit lcdshow(QWidget* parent = nullptr);

    void para_init();
    void language_changed();
    // Store the entry of the edit index in g_back_to_mainwindow_time or g_auto_lock_time.
    void on_button_backtolock_clicked();
    void on_button_autolock_clicked();

    bool editing() const { return editing_ != 0; }

public slots:
    void slot_Button_back_clicked() override;

protected:
    void keyLeft() override;
    void keyRight() override;
    void keyOk() override;

private:
    QComboBox* focusedBox() const;
    void step(int delta);

    QLabel* label_LCDshow_;
    QLabel* label_backmainwindow_;
    QLabel* label_autolock_;
    QComboBox* comboBox_back_;
    QComboBox* comboBox_lock_;
    u8 editing_ = 0;
    u8 editIndex_ = 0;
};

extern lcdshow* g_lcdshow;
