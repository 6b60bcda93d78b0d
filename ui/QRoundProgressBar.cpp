#include "ui/QRoundProgressBar.h"

#include <QDialog>
#include <QPainter>

QRoundProgressBar* g_qround_bar = nullptr;

QRoundProgressBar::QRoundProgressBar(QWidget* parent) : QWidget(parent) {
    setObjectName("QRoundProgressBar");
    setAttribute(Qt::WA_TranslucentBackground);
}

void QRoundProgressBar::create_qround_bar(QDialog* parent) {
    if (g_qround_bar)
        return;
    g_qround_bar = new QRoundProgressBar(parent);
    g_qround_bar->setGeometry(120, 70, 100, 100);
    g_qround_bar->show();
}

void QRoundProgressBar::para_sync(int value) {
    if (!g_qround_bar)
        return;
    if (value > 99) {
        g_qround_bar->setAttribute(Qt::WA_DeleteOnClose, true);
        g_qround_bar->close();
        g_qround_bar = nullptr;
        return;
    }
    g_qround_bar->value_ = value < 0 ? 0 : value;
    g_qround_bar->repaint();
}

void QRoundProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring = QRectF(rect()).adjusted(8, 8, -8, -8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(16, 16, 28));
    painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
    painter.setPen(QPen(QColor(60, 64, 90), 10));
    painter.drawArc(ring, 0, 360 * 16);
    painter.setPen(QPen(QColor(255, 171, 84), 10, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(ring, 90 * 16, -value_ * 360 * 16 / 100);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(20);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(rect(), Qt::AlignCenter, QString("%1%").arg(value_));
}
