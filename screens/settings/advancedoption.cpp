#include "screens/settings/advancedoption.h"

#include <QAbstractButton>
#include <QLabel>

#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "fpga/rcv_recovery_file.h"
#include "screens/cardtools/rcv_recovery.h"
#include "screens/maintenance/factory.h"
#include "screens/maintenance/factoryage.h"
#include "screens/maintenance/lcdshow.h"
#include "screens/maintenance/othersetup.h"
#include "ui/language.h"
#include "ui/option.h"
#include "ui/pages.h"

AdvancedOption* g_advancedoption = nullptr;

AdvancedOption::AdvancedOption(QWidget* parent) : MenuScreen("AdvancedOption", parent) {
    bindPointer(g_advancedoption);
    title_ = addTitle(QRect(QPoint(11, 10), QPoint(241, 31)), 12);
    Button_LCDshow_ = addButton("Button_LCDshow", QRect(15, 47, 90, 80));
    Button_other_ = addButton("Button_other", QRect(115, 47, 90, 80));
    Button_rcv_recovery_ = addButton("Button_rcv_recovery", QRect(215, 47, 90, 80));
    Button_factory_ = addButton("Button_factory", QRect(15, 137, 90, 80));
    Button_age_ = addButton("Button_age", QRect(115, 137, 90, 80));
    addKeyNotes();
    connect(Button_LCDshow_, &QAbstractButton::clicked, this,
            &AdvancedOption::on_Button_LCDshow_clicked);
    connect(Button_other_, &QAbstractButton::clicked, this,
            &AdvancedOption::on_Button_other_clicked);
    connect(Button_rcv_recovery_, &QAbstractButton::clicked, this,
            &AdvancedOption::on_Button_rcv_recovery_clicked);
    connect(Button_factory_, &QAbstractButton::clicked, this,
            &AdvancedOption::on_Button_factory_clicked);
    connect(Button_age_, &QAbstractButton::clicked, this, &AdvancedOption::on_Button_age_clicked);
    focus.setStyle(focus_style::hub);
    const std::vector<QWidget*> items = {Button_LCDshow_, Button_other_, Button_rcv_recovery_,
                                         Button_factory_, Button_age_};
    focus.setItems(items);
    language_changed();
}

// The recovery entry is offered while a recovery package lies in its folder; a folder that
// cannot be listed leaves the offer as it was.
void AdvancedOption::checkRecoveryPackages() {
    fpga_manage* manager = fpga_manage::p_fpga_manage;
    if (manager && manager->p_rcvRecovery &&
        manager->p_rcvRecovery->get_dir_file("/data/rcvrecovery") == 0)
        recovery_available_ = manager->p_rcvRecovery->recovery_files().isEmpty() ? 0 : 1;
    focus.setAvailable(Button_rcv_recovery_, recovery_available_ != 0);
}

void AdvancedOption::language_changed() {
    checkRecoveryPackages();
    title_->setText(
        pickText("高级设置", "Advanced Settings", "Доп.опции", "Cài đặt nâng cao", "高級設置"));
    Button_LCDshow_->setText(
        pickText("液晶显示", "LCD display", "ЖК\nдисплей", "Màn hình\nLCD", "液晶顯示"));
    Button_other_->setText(
        pickText("其他设置", "Others", "Другие\nнастройки", "Khôi phục\ncài đăt gốc", "其他設置"));
    Button_rcv_recovery_->setText(pickText("接收卡自恢复", "Rcv\nrecovery", "Самовосст\nановление",
                                           "Thẻ nhận tự\nphục hồi", "接收卡自恢複"));
    Button_factory_->setText(pickText("工厂设置", "Factory", "Системные\nнастройки",
                                      "Khôi phục\ncàiđăt gốc", "工廠設置"));
    Button_age_->setText(
        pickText("工厂老化", "Aging", "Заводское\nстрение", "Lão hóa\nnhà máy", "工廠老化"));
}

void AdvancedOption::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

bool AdvancedOption::askServiceCode() {
    QString entry;
    return askKeypad("key", "**********", &entry) && entry == kServiceCode;
}

void AdvancedOption::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_option)
                g_option->language_changed();
        },
        page::option);
}

void AdvancedOption::on_Button_LCDshow_clicked() {
    openScreen(g_lcdshow, page::lcdshow);
}

void AdvancedOption::on_Button_other_clicked() {
    openScreen(g_othersetup, page::othersetup);
}

void AdvancedOption::on_Button_rcv_recovery_clicked() {
    if (recovery_available_)
        openScreen(g_rcv_recovery, page::rcv_recovery);
}

void AdvancedOption::on_Button_factory_clicked() {
    openScreen(g_factory, page::factory);
}

// The code is asked for every time; the aging log opens once the keypad has closed.
void AdvancedOption::on_Button_age_clicked() {
    if (askServiceCode())
        openScreen(g_factoryage, page::factoryage);
}
