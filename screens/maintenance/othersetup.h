// The "Other Settings" screen (page 17, g_othersetup) under the Advanced Settings menu:
// the audio of one window (which also becomes the current window), the source-switch
// effect of all windows, the WiFi access point and dot-by-dot output. Each is a list that
// OK opens for editing, Left and Right step and a second OK applies; Back while editing
// puts the list back without applying. A projection row is kept hidden and never focused.
#pragma once

#include "ui/menuscreen.h"

class QComboBox;
class QLabel;

class othersetup : public MenuScreen {
    Q_OBJECT
public:
    // Items by ui_select.
    enum Item : u8 { kWindow = 0, kVolume, kSwitch, kProjection, kWifi, kDbd, kItems };

    explicit othersetup(QWidget* parent = nullptr);

    void menulist_init();
    void language_changed();
    // Fills the lists from the image; run once, when the screen opens.
    void para_init();
    void syncUpdate();
    // Applies the focused item with the chosen entry.
    void on_button_box_clicked();

    bool editing() const { return editing_ != 0; }
    u8 chosenIndex() const { return chosen_; }
    int entryCount(int item) const { return entryCount_[item]; }

public slots:
    void slot_Button_back_clicked() override;

protected:
    void keyLeft() override;
    void keyRight() override;
    void keyOk() override;
    void keyBack() override;

private:
    QComboBox* list(int item) const { return lists_[item]; }
    // Moves the focus over the shown items, stepping over the hidden projection row.
    void moveFocus(int step);
    void stepChoice(int step);
    // The window shown at position of the window list: the position-th enabled window.
    static int enabledWindowAt(const RamParaImage& image, int position);

    void applyVolume(u8 on);
    void applySwitch(u8 fade);
    void applyWifi(u8 off);
    void applyDbd(u8 on);

    QLabel* label_other_;
    QLabel* label_name_volume_;
    QLabel* label_name_switch_;
    QLabel* label_name_mode_;
    QLabel* label_wifi_;
    QLabel* label_name_DBD_;
    QComboBox* lists_[kItems];
    u8 editing_ = 0;
    u8 chosen_ = 0;
    u8 before_ = 0;
    u8 entryCount_[kItems] = {6, 2, 2, 1, 2, 2};
};

extern othersetup* g_othersetup;
