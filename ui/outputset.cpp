#include "ui/outputset.h"

#include <QAbstractButton>
#include <QLabel>

#include "core/krxrampara.h"
#include "screens/settings/ledset.h"
#include "screens/settings/netset.h"
#include "ui/language.h"
#include "ui/mainwindow.h"
#include "ui/pages.h"

OutputSet* g_outputset = nullptr;

OutputSet::OutputSet(QWidget* parent) : MenuScreen("OutputSet", parent) {
    bindPointer(g_outputset);
    title_ = addTitle(QRect(QPoint(11, 10), QPoint(269, 31)), 12);
    Button_ledset_ = addButton("Button_ledset", QRect(15, 47, 90, 80), ":/png/ledset.png");
    Button_lanset_ = addButton("Button_lanset", QRect(115, 47, 90, 80), ":/png/netset.png");
    info_ = new QLabel(this);
    info_->setObjectName("label_info");
    info_->setGeometry(15, 145, 290, 24);
    info_->setStyleSheet("color: rgb(255, 255, 255);");
    addKeyNotes();
    connect(Button_ledset_, &QAbstractButton::clicked, this, &OutputSet::on_Button_ledset_clicked);
    connect(Button_lanset_, &QAbstractButton::clicked, this, &OutputSet::on_Button_lanset_clicked);
    focus.setStyle(focus_style::pair);
    focus.setItems({Button_ledset_, Button_lanset_});
    language_changed();
}

void OutputSet::language_changed() {
    title_->setText(pickText("输出设置", "Output", "Выход", "Đầu ra", "輸出設置"));
    Button_ledset_->setText(
        pickText("LED设置", "LED Setting", "Настройки\nLED", "Cài đặt LED", "LED設置"));
    Button_lanset_->setText(
        pickText("网口输出", "Port output", "Настройка\nLAN", "Cài đặt\ncổng MẠNG", "網口輸出"));
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    info_->setText(pickText("LED尺寸", "LED size", "Размер LED", "Kích thước LED", "LED尺寸") +
                   QString(": %1 x %2")
                       .arg(store->ram_para.u16At(para::led_width))
                       .arg(store->ram_para.u16At(para::led_height)));
}

void OutputSet::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store)
        store->KrxLanguageChanged();
    language_changed();
}

void OutputSet::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_mainwindow)
                g_mainwindow->language_changed();
        },
        page::mainwindow);
}

void OutputSet::on_Button_ledset_clicked() {
    openScreen(g_ledset, page::ledset);
}

void OutputSet::on_Button_lanset_clicked() {
    openScreen(g_netset, page::netset);
}
