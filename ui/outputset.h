// The output menu (page 6, g_outputset), opened from the main window: the LED size and
// the output ports, with the LED size shown on its info line.
#pragma once

#include "ui/menuscreen.h"

class QLabel;

class OutputSet : public MenuScreen {
    Q_OBJECT
public:
    explicit OutputSet(QWidget* parent = nullptr);

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked() override;
    // ledset (page 13) and netset (page 14).
    void on_Button_ledset_clicked();
    void on_Button_lanset_clicked();

private:
    QLabel* title_;
    QLabel* info_;
    QAbstractButton* Button_ledset_;
    QAbstractButton* Button_lanset_;
};

extern OutputSet* g_outputset;
