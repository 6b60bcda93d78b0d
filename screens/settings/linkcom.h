// The "Serial port" page (page 21, g_linkcom) under the Communication menu: the fixed
// settings of the serial control port. Nothing on it can be chosen or changed.
#pragma once

#include "ui/menuscreen.h"

class QLabel;

class linkcom : public MenuScreen {
    Q_OBJECT
public:
    explicit linkcom(QWidget* parent = nullptr);

    void language_changed();

public slots:
    void slot_Button_back_clicked() override;

private:
    QLabel* label_com_;
    QLabel* label_baud_;
    QLabel* label_bit_;
    QLabel* label_stop_;
};

extern linkcom* g_linkcom;
