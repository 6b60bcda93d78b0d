// The pop-up notice of the panel (g_tip): a check mark after a change was taken, or the
// state of a USB stick. It is modal and closes itself on the 300th tick of the 10 ms
// clock (3 s) after it was last asked for.
#pragma once

#include <QDialog>

class QLabel;

class TIP : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCheckMark = 1;
    static constexpr int kUsbConnected = 3;
    static constexpr int kUsbRemoved = 4;
    static constexpr int kUsbReading = 5;
    static constexpr int kShownTicks = 300;

    explicit TIP(QWidget* parent = nullptr);

    // Shows the notice of the given kind and returns when it has closed. Asked for again
    // while it is shown, it shows the new kind and starts its count afresh instead.
    void tip_create(int kind);
    // One tick of the 10 ms clock while the notice is shown.
    void tick();
    int kind() const { return kind_; }

private:
    void build(int kind);

    QLabel* picture_;
    QLabel* text_;
    int kind_ = 0;
    int ticks_ = 0;
};

extern TIP* g_tip;
