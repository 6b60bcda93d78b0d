// The "Updating" dialog shown while a firmware transfer or a USB upgrade runs
// (g_move_update). The 10 ms tick turns its wheel while g_update_flag is set.
#pragma once

#include <QDialog>

class QLabel;

class FirmwareUpdate : public QDialog {
    Q_OBJECT
public:
    explicit FirmwareUpdate(QWidget* parent = nullptr);

    void language_changed();
    // One step of the animation.
    void step();
    int phase() const { return phase_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* text_;
    int phase_ = 0;
};

extern FirmwareUpdate* g_move_update;
