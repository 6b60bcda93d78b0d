// The picture quality screen (page 19, g_quality) under the Image-quality menu:
// brightness, sharpness, contrast and saturation, 0 to 100 each, and a reset to the
// built-in defaults. Each step of a value is written into the parameter image at once, so
// the picture follows while the value is stepped.
#pragma once

#include "ui/menuscreen.h"

class QLabel;
class QLineEdit;

class quality : public MenuScreen {
    Q_OBJECT
public:
    static constexpr int kValues = 4;

    explicit quality(QWidget* parent = nullptr);

    void para_init();
    void language_changed();
    void syncUpdate();
    // Starts editing the focused value.
    void get_sel_value();
    // op 0 one up, 1 one down, 2 keep the value, 3 restore the value from before editing.
    void updownset_sel_value(char op);
    void on_Button_reset_clicked();

    bool editing() const { return editing_ != 0; }

public slots:
    void slot_Button_back_clicked() override;

protected:
    void keyLeft() override;
    void keyRight() override;
    void keyOk() override;
    void keyBack() override;

private:
    void endEditing(char op);

    QLabel* label_quality_;
    QLabel* caption_[kValues + 1];
    QLineEdit* field_[kValues];
    QLineEdit* lineEdit_Reset_;
    u8 editing_ = 0;
    int value_ = 0;
    int valueBefore_ = 0;
};

extern quality* g_quality;
