#include "ui/option.h"

#include <QAbstractButton>
#include <QLabel>

#include "core/krxrampara.h"
#include "screens/cardtools/smartmapping.h"
#include "screens/maintenance/test_chart.h"
#include "screens/settings/advancedoption.h"
#include "screens/settings/imagequality.h"
#include "screens/settings/linkoption.h"
#include "ui/language.h"
#include "ui/mainwindow.h"
#include "ui/pages.h"

Option* g_option = nullptr;

Option::Option(QWidget* parent) : MenuScreen("Option", parent) {
    bindPointer(g_option);
    title_ = addTitle(QRect(QPoint(11, 10), QPoint(241, 31)), 12);
    link_set_ = addButton("link_set", QRect(15, 47, 90, 80), ":/png/linkoption.png");
    image_quality_ = addButton("image_quality", QRect(115, 47, 90, 80), ":/png/imagequality.png");
    AdvanceButton_ = addButton("AdvanceButton", QRect(215, 47, 90, 80), ":/png/advancedoption.png");
    test_chart_ = addButton("test_chart", QRect(15, 137, 90, 80), ":/png/test_chart.png");
    smart_mapping_ = addButton("smart_mapping", QRect(115, 137, 90, 80), ":/png/smartmapping.png");
    addKeyNotes();
    connect(link_set_, &QAbstractButton::clicked, this, &Option::on_link_set_clicked);
    connect(image_quality_, &QAbstractButton::clicked, this, &Option::on_image_quality_clicked);
    connect(AdvanceButton_, &QAbstractButton::clicked, this, &Option::on_AdvanceButton_clicked);
    connect(test_chart_, &QAbstractButton::clicked, this, &Option::on_test_chart_clicked);
    connect(smart_mapping_, &QAbstractButton::clicked, this, &Option::on_smart_mapping_clicked);
    focus.setStyle(focus_style::hub);
    focus.setItems({link_set_, image_quality_, AdvanceButton_, test_chart_, smart_mapping_});
    language_changed();
}

void Option::language_changed() {
    title_->setText(pickText("系统设置", "Setting", "Настройки", "Cài đặt", "系統設置"));
    link_set_->setText(pickText("通讯设置", "Commu-\nnication", "Подклю-\nчение",
                                "Cài đặt\ngiao tiếp", "通訊設置"));
    image_quality_->setText(
        pickText("图像效果", "Image\nquality", "Изображение", "Chất lượng\nhình ảnh", "圖像效果"));
    AdvanceButton_->setText(
        pickText("高级设置", "Advanced\nSettings", "Доп.опции", "Cài đặt\nnâng cao", "高級設置"));
    test_chart_->setText(
        pickText("测试图", "Test\npattern", "Тестовый\nобразец", "Biểu đồ\nkiểm tra", "測試圖"));
    smart_mapping_->setText(pickText("智能调屏", "Smart\ndebugging", "Умная\nрегулировка",
                                     "Điều chỉnh\nthông minh", "智能調屏"));
}

void Option::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

void Option::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_mainwindow)
                g_mainwindow->language_changed();
        },
        page::mainwindow);
}

void Option::on_link_set_clicked() {
    openScreen(g_linkoption, page::linkoption);
}

void Option::on_image_quality_clicked() {
    openScreen(g_imagequality, page::imagequality);
}

void Option::on_AdvanceButton_clicked() {
    openScreen(g_advancedoption, page::advancedoption);
}

void Option::on_test_chart_clicked() {
    openScreen(g_test_chart, page::test_chart);
}

void Option::on_smart_mapping_clicked() {
    openScreen(g_smartmapping, page::smartmapping);
}
