// The device information (page 2, g_machinestate), opened from the main window: the
// serial number, the versions of this program and of FPGA 0, which inputs carry a signal
// and which output ports have a link. It changes nothing and has no items to focus.
#pragma once

#include <QPointer>

#include "ui/menuscreen.h"

class QFrame;
class QLabel;

class MachineState : public MenuScreen {
    Q_OBJECT
public:
    explicit MachineState(QWidget* parent = nullptr);

    void language_changed();
    // The two version lines, fixed for the screen's life.
    void version_changed();
    // The online icons of the four inputs.
    void source_check();
    // Rebuilds the box of the six output ports and their link icons.
    void initWlan();
    // Reason 11 (the output-port links changed) also rebuilds the port box.
    void syncUpdate(int reason);

    // "MCU:V11.02.00 2024-12-16" and "FPGA:V11.00.05 2024-12-16" for the version constants
    // and FPGA 0's registers 28 to 31 (function number, day, month, year in BCD).
    static QString mcuLine();
    static QString fpgaLine(u8 function, u8 day, u8 month, u8 year);

public slots:
    void slot_Button_back_clicked() override { on_Button_back_clicked(); }
    void on_Button_back_clicked();

private:
    QFrame* frame_;
    QLabel* label_2_;
    QLabel* label_state1_;
    QLabel* label_state3_;
    QLabel* label_MCU_;
    QLabel* label_FPGA1_;
    QLabel* title_;
    QLabel* sourcePixmap_[4];  // by input id 0..3
    QPointer<QFrame> wlanBox_;
};

extern MachineState* g_machinestate;
