// The "Image quality" menu (page 11, g_imagequality) under the Setting menu: picture
// quality and colour temperature.
#pragma once

#include "ui/menuscreen.h"

class QLabel;

class ImageQuality : public MenuScreen {
    Q_OBJECT
public:
    explicit ImageQuality(QWidget* parent = nullptr);

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked() override;
    // quality (page 19) and temperature (page 20).
    void on_Button_quality_clicked();
    void on_Button_temperature_clicked();

private:
    QLabel* title_;
    QAbstractButton* Button_quality_;
    QAbstractButton* Button_temperature_;
};

extern ImageQuality* g_imagequality;
