// The "Advanced Settings" menu (page 12, g_advancedoption) under the Setting menu: LCD
// display time-outs, other settings, receiving-card self-recovery, factory setup and the
// aging log, the last behind a service code typed on the keypad.
//
// The receiving-card self-recovery is offered while a recovery package lies in
// "/data/rcvrecovery".
#pragma once

#include "ui/menuscreen.h"

class QLabel;

class AdvancedOption : public MenuScreen {
    Q_OBJECT
public:
    // The code that opens the aging log.
    static constexpr const char* kServiceCode = "5183";

    explicit AdvancedOption(QWidget* parent = nullptr);

    void language_changed();
    void syncUpdate();
    // Asks for the service code on the keypad; true when the code was typed and confirmed.
    // It returns only after the keypad has closed, so that the aging log is opened from
    // the menu and not from inside the keypad's result.
    bool askServiceCode();

public slots:
    void slot_Button_back_clicked() override;
    // lcdshow (15), othersetup (17), rcv_recovery (25), factory (18), factoryage (23).
    void on_Button_LCDshow_clicked();
    void on_Button_other_clicked();
    void on_Button_rcv_recovery_clicked();
    void on_Button_factory_clicked();
    void on_Button_age_clicked();

private:
    void checkRecoveryPackages();

    u8 recovery_available_ = 0;
    QLabel* title_;
    QAbstractButton* Button_LCDshow_;
    QAbstractButton* Button_other_;
    QAbstractButton* Button_rcv_recovery_;
    QAbstractButton* Button_factory_;
    QAbstractButton* Button_age_;
};

extern AdvancedOption* g_advancedoption;
