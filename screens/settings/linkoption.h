// The "Communication" menu (page 10, g_linkoption) under the Setting menu: the serial
// port, the network address and the USB upgrade.
#pragma once

#include "ui/menuscreen.h"

class QLabel;

class LinkOption : public MenuScreen {
    Q_OBJECT
public:
    explicit LinkOption(QWidget* parent = nullptr);

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked() override;
    // linkcom (page 21), linkwlan (22) and the USB upgrade (26).
    void on_Button_linkcom_clicked();
    void on_Button_linkwlan_clicked();
    void on_Button_firmware_usbgrade_clicked();

private:
    QLabel* title_;
    QAbstractButton* Button_com_;
    QAbstractButton* Button_wlan_;
    QAbstractButton* Button_usb_;
};

extern LinkOption* g_linkoption;
