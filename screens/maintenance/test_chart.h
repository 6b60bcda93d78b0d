// The "Test pattern" screen (page 16, g_test_chart) under the Setting menu: eight
// full-screen patterns of the video processor (red, green, blue, white, black, colour
// bar, vertical line, horizontal line) shown as small pictures; OK on one puts it on the
// LED screen through the image's test_pattern (1 to 8). Close and Back take the pattern
// off (0) and leave; Mode leaves it on.
#pragma once

#include "ui/menuscreen.h"

class QLabel;
class QPushButton;

class test_chart : public MenuScreen {
    Q_OBJECT
public:
    static constexpr int kPatterns = 8;
    static constexpr u8 kClose = kPatterns;  // ui_select of the Close button

    explicit test_chart(QWidget* parent = nullptr);

    void menulist_init();
    void language_changed();
    void syncUpdate();

public slots:
    void slot_Button_back_clicked() override;
    // Writes the focused pattern's code (ui_select + 1; 0 on Close) and asks for it to be
    // applied.
    void slot_Button_on_clicked();

protected:
    void keyOk() override;

private:
    QLabel* label_testimage_;
    QLabel* image_[kPatterns];
    QLabel* caption_[kPatterns];
    QPushButton* Button_closetest_;
};

extern test_chart* g_test_chart;
