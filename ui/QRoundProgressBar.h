// The round progress bar of a receiving-card job (g_qround_bar): created on the screen
// that posted the job, fed the job's progress, closed when the job reports 100.
#pragma once

#include <QWidget>

class QDialog;

class QRoundProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit QRoundProgressBar(QWidget* parent = nullptr);

    // Creates the bar on parent (100 x 100 at 120, 70) unless one is shown already.
    static void create_qround_bar(QDialog* parent);
    int value() const { return value_; }

public slots:
    // 0..99 shows the progress; above 99 closes the bar. Nothing without a bar.
    void para_sync(int value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int value_ = 0;
};

extern QRoundProgressBar* g_qround_bar;
