#include "ui/firmwareupdate.h"

#include <QLabel>
#include <QPainter>

#include "ui/language.h"

FirmwareUpdate* g_move_update = nullptr;

namespace {
constexpr int kSpokes = 12;
constexpr int kTicksPerSpoke = 8;
}  // namespace

FirmwareUpdate::FirmwareUpdate(QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("FirmwareUpdate");
    setGeometry(60, 60, 200, 120);
    setStyleSheet("background-color: rgb(33, 36, 53);");
    text_ = new QLabel(this);
    text_->setObjectName("label_update");
    text_->setGeometry(0, 84, 200, 26);
    text_->setAlignment(Qt::AlignCenter);
    text_->setStyleSheet("color: rgb(255, 255, 255);");
    language_changed();
}

void FirmwareUpdate::language_changed() {
    text_->setText(
        pickText("正在升级...", "Updating...", "Обновление...", "Đang cập nhật...", "正在昇級..."));
}

void FirmwareUpdate::step() {
    phase_ = (phase_ + 1) % (kSpokes * kTicksPerSpoke);
    if (phase_ % kTicksPerSpoke == 0)
        update();
}

void FirmwareUpdate::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(100, 44);
    const int lead = phase_ / kTicksPerSpoke;
    for (int i = 0; i < kSpokes; ++i) {
        const int age = (lead - i + kSpokes) % kSpokes;
        QColor colour(255, 171, 84);
        colour.setAlpha(255 - age * 200 / kSpokes);
        painter.setPen(QPen(colour, 5, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(i * 360.0 / kSpokes);
        painter.drawLine(0, -18, 0, -32);
        painter.restore();
    }
}
