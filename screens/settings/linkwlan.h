// The "Net connect" screen (page 22, g_linkwlan) under the Communication menu: the wired
// address, subnet mask and default gateway of the device, four octet fields each, typed
// on the keypad. Apply stores the three addresses in the settings and sets the network
// up again with them.
#pragma once

#include "ui/menuscreen.h"

class QLabel;
class My_lineEdit;

class linkwlan : public MenuScreen {
    Q_OBJECT
public:
    static constexpr int kRows = 3;  // address, mask, gateway
    static constexpr int kOctets = 4;
    static constexpr int kFields = kRows * kOctets;

    explicit linkwlan(QWidget* parent = nullptr);

    void language_changed();
    void syncUpdate();
    void on_Button_net_apply_clicked();

    // One part of an address as the screen accepts it: 0 to 255 in decimal, without a
    // leading zero.
    static bool validOctet(const QString& text);
    bool noticeShown() const;

public slots:
    void slot_Button_back_clicked() override;
    void show_numberkeyboard_ui(QString);
    void confirmString(QString text);

protected:
    void keyOk() override;

private:
    QString address(int row) const;
    void showNotice(bool shown);

    QLabel* label_wlan_;
    QLabel* rowLabel_[kRows];
    My_lineEdit* field_[kFields];
    QAbstractButton* Button_apply_;
    QAbstractButton* Button_cancle_;
    QLabel* label_warning_;
    QLabel* label_notice_;
};

extern linkwlan* g_linkwlan;
