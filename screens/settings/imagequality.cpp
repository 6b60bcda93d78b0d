#include "screens/settings/imagequality.h"

#include <QAbstractButton>
#include <QLabel>

#include "core/krxrampara.h"
#include "screens/settings/quality.h"
#include "screens/settings/temperature.h"
#include "ui/language.h"
#include "ui/option.h"
#include "ui/pages.h"

ImageQuality* g_imagequality = nullptr;

ImageQuality::ImageQuality(QWidget* parent) : MenuScreen("ImageQuality", parent) {
    bindPointer(g_imagequality);
    title_ = addTitle(QRect(QPoint(11, 10), QPoint(269, 31)), 12);
    Button_quality_ = addButton("Button_quality", QRect(15, 47, 90, 80));
    Button_temperature_ = addButton("Button_temperature", QRect(115, 47, 90, 80));
    connect(Button_quality_, &QAbstractButton::clicked, this,
            &ImageQuality::on_Button_quality_clicked);
    connect(Button_temperature_, &QAbstractButton::clicked, this,
            &ImageQuality::on_Button_temperature_clicked);
    focus.setStyle(focus_style::pair);
    focus.setItems({Button_quality_, Button_temperature_});
    language_changed();
}

void ImageQuality::language_changed() {
    title_->setText(
        pickText("图像效果", "Image quality", "Изображение", "Chất lượng hình ảnh", "圖像效果"));
    Button_quality_->setText(pickText("画质", "Quality", "Качество", "Chất lượng", "畫質"));
    Button_temperature_->setText(pickText("色温", "Temperature", "Оттенок", "Độ màu", "色溫"));
}

void ImageQuality::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

void ImageQuality::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_option)
                g_option->language_changed();
        },
        page::option);
}

void ImageQuality::on_Button_quality_clicked() {
    openScreen(g_quality, page::quality);
}

void ImageQuality::on_Button_temperature_clicked() {
    openScreen(g_temperature, page::temperature);
}
