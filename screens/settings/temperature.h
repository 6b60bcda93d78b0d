// The colour temperature screen (page 20, g_temperature) under the Image-quality menu:
// the colour-temperature type (custom, warm, nature, cool) and the red, green and blue
// gains, 0 to 100, that the custom type uses. Gain steps and confirmed types are written
// into the parameter image at once.
#pragma once

#include "ui/menuscreen.h"

class QComboBox;
class QLabel;
class QLineEdit;

class temperature : public MenuScreen {
    Q_OBJECT
public:
    static constexpr int kGains = 3;
    static constexpr u8 kTypes = 4;

    explicit temperature(QWidget* parent = nullptr);

    void para_init();
    void language_changed();
    void syncUpdate();
    // Starts editing the focused gain.
    void get_sel_value();
    // op 0 one up, 1 one down, 2 keep the gain, 3 restore the gain from before editing.
    void updownset_sel_value(char op);
    // Writes the type shown into the image.
    void on_button_type_clicked();

    bool editing() const { return editing_ != 0; }

public slots:
    void slot_Button_back_clicked() override;

protected:
    void keyLeft() override;
    void keyRight() override;
    void keyOk() override;
    void keyBack() override;

private:
    void stepType(int step);
    void endEditing();

    QLabel* label_temperature_;
    QLabel* label_type_;
    QLabel* gainCaption_[kGains];
    QComboBox* comboBox_type_;
    QLineEdit* gainField_[kGains];
    u8 type_ = 0;
    u8 typeBefore_ = 0;
    u8 editing_ = 0;
    int gain_ = 0;
    int gainBefore_ = 0;
};

extern temperature* g_temperature;
