// The "Port output" overview (page 14, g_netset) under the output menu: for the six
// output ports of FPGA 0, where the port's part of the picture lies and whether its link
// is up. Four ports are shown at a time; Left and Right move along the six ports and
// scroll the row at its ends. Nothing is changed here.
#pragma once

#include "ui/menuscreen.h"

class QFrame;
class QLabel;
class QLineEdit;

class netset : public MenuScreen {
    Q_OBJECT
public:
    static constexpr int kPorts = 6;
    static constexpr int kShown = 4;

    explicit netset(QWidget* parent = nullptr);

    void language_changed();
    void syncUpdate();
    // The rectangle of port into the four fields, and the names of the four buttons.
    void wlan_para_get(unsigned short port);
    // The link pictures of the four buttons.
    void initWlan();
    void initMenu();

    u8 selectedPort() const { return ui_select_; }
    u8 firstShownPort() const { return ui_min_select_; }

public slots:
    void slot_Button_back_clicked() override;

protected:
    u8 tracedSelect() const override { return ui_select_; }
    void keyLeft() override;
    void keyRight() override;
    void keyOk() override {}

private:
    void showSelection();
    // After Left or Right: the selection, the selected port's rectangle and the links.
    void moved();

    QLabel* label_netset_;
    QLabel* w_label_;
    QLabel* h_label_;
    QFrame* net_frame_;
    QLabel* linkLabel_[kShown];
    QLabel* nameLabel_[kShown];
    QLineEdit* x_lineEdit_;
    QLineEdit* y_lineEdit_;
    QLineEdit* w_lineEdit_;
    QLineEdit* h_lineEdit_;
    // The selected port, its button's place in the row, and the port on the first button:
    // ui_select_ == ui_min_select_ + ui_sel_.
    u8 ui_select_ = 0;
    u8 ui_sel_ = 0;
    u8 ui_min_select_ = 0;
};

extern netset* g_netset;
