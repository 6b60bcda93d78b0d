// The "Factory setup" screen (page 18, g_factory) under the Advanced Settings menu: the
// panel's language among the offered ones, three factory resets of the parameter image,
// and which OSD font sets the video processor found in its serial flash.
//
// The resets put image bytes 768..4095 back to the built-in defaults:
//   1 "Keep IP"       the EDID sizes too, and every input's EDID is written again;
//   2 "Keep IP,EDIP"  the EDID area (896..1375) stays as it is, no EDID is written;
//   3 "Reset ALL"     as 1, and the wired address, mask and gateway go back to theirs.
// A reset runs at once on OK; there is no confirmation.
#pragma once

#include "ui/menuscreen.h"

class QComboBox;
class QLabel;
class QPushButton;

class factory : public MenuScreen {
    Q_OBJECT
public:
    static constexpr int kLanguages = 5;

    explicit factory(QWidget* parent = nullptr);

    void para_init() {}
    void menulist_init();
    void language_changed();
    void syncUpdate();

    // Moves lang_index onto an offered language after a step up or down.
    void lcdlang_current_checkplus();
    void lcdlang_current_checkmin();

    u8 langIndex() const { return lang_index_; }
    bool choosing() const { return lang_editing_ != 0; }

    // The font lines for a font_status word in the current language (rich text).
    static QString fontLineCN(u32 fontStatus);
    static QString fontLineEN(u32 fontStatus);

public slots:
    void slot_Button_back_clicked() override;
    void on_Button_lang_clicked();
    void on_Button_reset1_clicked();
    void on_Button_reset2_clicked();
    void on_Button_reset3_clicked();

protected:
    void keyLeft() override;
    void keyRight() override;
    void keyOk() override;

private:
    void resetImage(bool keepEdid);
    void requestEdidRewrite();
    void resetNetwork();
    void showLangIndex();

    QLabel* label_factory_;
    QLabel* label_lang_;
    QLabel* label_rst_;
    QLabel* label_ip_;
    QLabel* label_edid_;
    QLabel* label_all_;
    QLabel* FontCN_;
    QLabel* FontEN_;
    QComboBox* Box_lang_2_;
    QPushButton* Button_rst_[3];
    u8 lang_editing_ = 0;
    u8 lang_index_ = 0;
};

extern factory* g_factory;
