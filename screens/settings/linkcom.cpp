#include "screens/settings/linkcom.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "screens/settings/linkoption.h"
#include "screens/settings/settings_form.h"
#include "ui/language.h"
#include "ui/pages.h"

linkcom* g_linkcom = nullptr;

namespace {

const char kValueStyle[] = "color: rgb(255, 255, 255);\nborder:1px solid rgb(255, 255, 255);";

}  // namespace

linkcom::linkcom(QWidget* parent) : MenuScreen("linkcom", parent) {
    bindPointer(g_linkcom);
    label_com_ = form::title(this, "label_com", QRect(50, 10, 220, 22), 12);
    QFrame* frame = form::frame(this, "frame", QRect(10, 42, 300, 190));
    label_baud_ = form::caption(frame, "label_baud", QRect(10, 14, 160, 17), 9);
    label_bit_ = form::caption(frame, "label_bit", QRect(10, 48, 160, 17), 9);
    label_stop_ = form::caption(frame, "label_stop", QRect(10, 82, 160, 17), 9);
    const struct {
        const char* name;
        int y;
        const char* value;
    } values[] = {
        {"Button_baud", 10, "115200"}, {"pushButton", 48, "8"}, {"pushButton_2", 82, "1"}};
    for (const auto& value : values) {
        auto* button = new QPushButton(QString::fromLatin1(value.value), frame);
        button->setObjectName(value.name);
        button->setGeometry(190, value.y, 100, 24);
        button->setFocusPolicy(Qt::NoFocus);
        button->setStyleSheet(kValueStyle);
    }
    language_changed();
}

void linkcom::language_changed() {
    label_com_->setText(
        pickText("串口连接", "Serial port", "COM-порт", "Cài đặt cổng nối tiếp", "串口連接"));
    label_baud_->setText(
        pickText("波特率", "Baud rate", "Скорость передачи", "Tốc độ truyền", "波特率"));
    label_bit_->setText(pickText("数据位", "Data bits", "Биты данных", "Bit dữ liệ", "數據位"));
    label_stop_->setText(pickText("停止位", "Stop bit", "Бит остановки", "Dừng bit", "停止位"));
}

void linkcom::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_linkoption)
                g_linkoption->language_changed();
        },
        page::linkoption);
}
