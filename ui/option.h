// The Setting menu (page 5, g_option), opened from the main window: communication, image
// quality, advanced settings, test pattern and the receiving-card smart set-up.
#pragma once

#include "ui/menuscreen.h"

class QLabel;

class Option : public MenuScreen {
    Q_OBJECT
public:
    explicit Option(QWidget* parent = nullptr);

    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked() override;
    // LinkOption (page 10), ImageQuality (11), AdvancedOption (12), test_chart (16) and
    // SmartMapping (24).
    void on_link_set_clicked();
    void on_image_quality_clicked();
    void on_AdvanceButton_clicked();
    void on_test_chart_clicked();
    void on_smart_mapping_clicked();

private:
    QLabel* title_;
    QAbstractButton* link_set_;
    QAbstractButton* image_quality_;
    QAbstractButton* AdvanceButton_;
    QAbstractButton* test_chart_;
    QAbstractButton* smart_mapping_;
};

extern Option* g_option;
