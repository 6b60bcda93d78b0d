// The "LED Setting" screen (page 13, g_ledset) under the output menu: the width and height
// in pixels of the LED screen, typed on the keypad. Apply makes the whole picture one
// canvas of that size on both outputs and, when the size changed, has the FPGA side take
// the new panel over.
#pragma once

#include "ui/menuscreen.h"

class QLabel;
class My_lineEdit;

class ledset : public MenuScreen {
    Q_OBJECT
public:
    // Sizes the screen accepts: each side 64 to 8188 pixels, and at most this many pixels
    // in all, whichever side was typed last.
    static constexpr int kMinSide = 64;
    static constexpr int kMaxSide = 8188;
    static constexpr long long kMaxPixels = 3932160;

    explicit ledset(QWidget* parent = nullptr);

    void para_init();
    void language_changed();
    void syncUpdate();
    void on_Button_apply1_clicked();

signals:
    // Declared for the screen's interface; nothing emits it or listens to it.
    void clicked();

public slots:
    void slot_Button_back_clicked() override;
    void show_numberkeyboard_ui(QString);
    void confirmString(QString text);

protected:
    void keyOk() override;

private:
    // The width and height the fields ask for, brought within the limits; the side not
    // typed last gives way to the pixel limit.
    void clampedSize(int* width, int* height) const;

    QLabel* label_ledset_;
    QLabel* label_note_led_w_;
    QLabel* label_ledw_;
    QLabel* label_ledh_;
    QLabel* label_tip_;
    My_lineEdit* lineEdit_ledw_;
    My_lineEdit* lineEdit_ledh_;
    QAbstractButton* Button_apply_;
    QAbstractButton* Button_cancle_;
};

extern ledset* g_ledset;
