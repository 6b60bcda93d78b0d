#include "screens/settings/linkoption.h"

#include <QAbstractButton>
#include <QLabel>

#include "core/krxrampara.h"
#include "screens/maintenance/firmware_usbgrade.h"
#include "screens/settings/linkcom.h"
#include "screens/settings/linkwlan.h"
#include "ui/language.h"
#include "ui/option.h"
#include "ui/pages.h"

LinkOption* g_linkoption = nullptr;

LinkOption::LinkOption(QWidget* parent) : MenuScreen("LinkOption", parent) {
    bindPointer(g_linkoption);
    title_ = addTitle(QRect(QPoint(11, 10), QPoint(269, 31)), 11);
    Button_com_ = addButton("Button_com", QRect(15, 47, 90, 80));
    Button_wlan_ = addButton("Button_wlan", QRect(115, 47, 90, 80));
    Button_usb_ = addButton("Button_usb", QRect(215, 47, 90, 80));
    // The slots are named after the screens they open, not after the buttons.
    connect(Button_com_, &QAbstractButton::clicked, this, &LinkOption::on_Button_linkcom_clicked);
    connect(Button_wlan_, &QAbstractButton::clicked, this, &LinkOption::on_Button_linkwlan_clicked);
    connect(Button_usb_, &QAbstractButton::clicked, this,
            &LinkOption::on_Button_firmware_usbgrade_clicked);
    focus.setStyle(focus_style::pair);
    focus.setItems({Button_com_, Button_wlan_, Button_usb_});
    language_changed();
}

void LinkOption::language_changed() {
    title_->setText(
        pickText("通讯设置", "Communication", "Подключение", "Cài đặt giao tiếp", "通訊設置"));
    Button_com_->setText(
        pickText("串口连接", "Serial port", "COM-порт", "Cài đặt cổng\n nối tiếp", "串口連接"));
    Button_wlan_->setText(pickText("网口设置", "Net connect", "Сетевое по\nдключение",
                                   "Cài đặt\ncổng mạng", "網口設置"));
    Button_usb_->setText(pickText("USB升级", "USB UPDATE", "Обновление\nчерез USB",
                                  "Sử dụng ổ USB\nđể cập nhập", "USB昇級"));
}

void LinkOption::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

// The Setting menu is refreshed too, as every other menu's Back does: a language changed
// below would otherwise stay unshown there until its next refresh.
void LinkOption::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_option)
                g_option->language_changed();
        },
        page::option);
}

void LinkOption::on_Button_linkcom_clicked() {
    openScreen(g_linkcom, page::linkcom);
}

void LinkOption::on_Button_linkwlan_clicked() {
    openScreen(g_linkwlan, page::linkwlan);
}

void LinkOption::on_Button_firmware_usbgrade_clicked() {
    openScreen(g_firmware_usbgrade, page::firmware_usbgrade);
}
