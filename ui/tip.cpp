#include "ui/tip.h"

#include <QLabel>
#include <QPixmap>

#include "core/global.h"
#include "ui/language.h"

TIP* g_tip = nullptr;

TIP::TIP(QWidget* parent) : QDialog(parent, Qt::FramelessWindowHint) {
    setObjectName("TIP");
    setStyleSheet("background-color: rgb(33, 36, 53);");
    picture_ = new QLabel(this);
    picture_->setObjectName("label_picture");
    picture_->setScaledContents(true);
    text_ = new QLabel(this);
    text_->setObjectName("label_text");
    text_->setAlignment(Qt::AlignCenter);
    text_->setWordWrap(true);
    text_->setStyleSheet("color: rgb(255, 255, 255);");
}

void TIP::build(int kind) {
    kind_ = kind;
    ticks_ = 0;
    if (kind == kCheckMark) {
        setGeometry(100, 60, 120, 120);
        picture_->setGeometry(0, 0, 120, 120);
        picture_->setPixmap(QPixmap(":/png/check_180.png"));
        text_->hide();
        return;
    }
    setGeometry(50, 70, 220, 100);
    picture_->setGeometry(10, 26, 48, 48);
    picture_->setPixmap(QPixmap(":/png/usb.png"));
    text_->setGeometry(62, 10, 150, 80);
    text_->show();
    if (kind == kUsbConnected)
        text_->setText(pickText("U盘已连接", "USB stick connected", "USB-накопитель подключён",
                                "Đã kết nối USB", "U盤已連接"));
    else if (kind == kUsbRemoved)
        text_->setText(pickText("U盘已拔出", "USB stick unplugged", "USB-накопитель извлечён",
                                "Đã rút USB", "U盤已拔出"));
    else
        text_->setText(pickText("正在读取数据...", "Reading data...", "Чтение данных...",
                                "Đang đọc dữ liệu...", "正在讀取數據..."));
}

void TIP::tip_create(int kind) {
    build(kind);
    if (g_tip_flag && isVisible())
        return;
    g_tip_flag = 1;
    exec();
    g_tip_flag = 0;
}

void TIP::tick() {
    if (!isVisible())
        return;
    if (++ticks_ < kShownTicks)
        return;
    hide();
    g_tip_flag = 0;
}
