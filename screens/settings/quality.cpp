#include "screens/settings/quality.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <cstring>

#include "core/krxrampara.h"
#include "screens/settings/imagequality.h"
#include "screens/settings/settings_form.h"
#include "ui/language.h"
#include "ui/pages.h"
#include "video/c331_manage.h"

quality* g_quality = nullptr;

namespace {

const FocusStyle kStyle = {
    "color:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid rgb(255, 255, "
    "255);",
    "color:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid "
    "rgb(255,171,84);",
    "", ""};
const char kEditing[] =
    "color:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid rgb(255,0,0);";

// The rows show brightness, sharpness, contrast and saturation; the image holds them as
// brightness, contrast, sharpness, saturation.
constexpr size_t kOffset[quality::kValues] = {para::picture_brightness, para::picture_sharpness,
                                              para::picture_contrast, para::picture_saturation};
const char* const kFieldNames[quality::kValues] = {"lineEdit_bright", "lineEdit_Sharpness",
                                                   "lineEdit_Contrast", "lineEdit_Saturation"};
const char* const kCaptionNames[quality::kValues + 1] = {
    "label_bright", "label_Sharpness", "label_Contrast", "label_Saturation", "label_reset"};
// The picture words and the colour-temperature record that the reset puts back.
constexpr size_t kResetFirst = para::picture_brightness;
constexpr size_t kResetBytes = para::colour_temp_b + 2 - para::picture_brightness;

int fieldNumber(const QLineEdit* field) {
    bool ok = false;
    const int value = field->text().toInt(&ok);
    return ok ? value : 0;
}

}  // namespace

quality::quality(QWidget* parent) : MenuScreen("quality", parent) {
    bindPointer(g_quality);
    label_quality_ = form::title(this, "label_quality", QRect(50, 10, 220, 22), 12);
    QFrame* frame = form::frame(this, "frame", QRect(10, 42, 300, 185));
    std::vector<QWidget*> items;
    for (int row = 0; row <= kValues; ++row) {
        const int y = 14 + 34 * row;
        caption_[row] = form::caption(frame, kCaptionNames[row], QRect(10, y, 140, 17), 9);
        QLineEdit* field = form::field(frame, row < kValues ? kFieldNames[row] : "lineEdit_Reset",
                                       QRect(190, y, 100, 24), 9);
        items.push_back(field);
        if (row < kValues)
            field_[row] = field;
        else
            lineEdit_Reset_ = field;
    }
    para_init();
    focus.setStyle(kStyle);
    focus.setItems(items);
    valueBefore_ = fieldNumber(field_[0]);
    language_changed();
}

void quality::para_init() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    for (int i = 0; i < kValues; ++i)
        field_[i]->setText(
            QString::number(static_cast<int16_t>(store->ram_para.u16At(kOffset[i]))));
}

void quality::language_changed() {
    label_quality_->setText(
        pickText("图像效果", "Image quality", "Изображение", "Chất lượng hình ảnh", "圖像效果"));
    caption_[0]->setText(pickText("亮度", "Brightness", "Яркость", "Độ cao", "亮度"));
    caption_[1]->setText(pickText("锐度", "Sharpness", "Резкость", "Độ sắc nét", "銳度"));
    caption_[2]->setText(pickText("对比度", "Contrast", "Контраст", "Độ tương phản", "對比度"));
    caption_[3]->setText(pickText("饱和度", "Saturation", "Насыщенность", "Độ bão hòa", "飽和度"));
    caption_[4]->setText(
        pickText("画质复位", "Reset", "Сбросить", "Đặt lại chất lượng hình ảnh", "畫質複位"));
    lineEdit_Reset_->setText(
        pickText("点击OK应用", "Press Ok", "Нажмите ОК", "Đồng ý", "點擊OK應用"));
}

void quality::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

void quality::get_sel_value() {
    QLineEdit* field = field_[focus.ui_select()];
    value_ = valueBefore_ = fieldNumber(field);
    field->setStyleSheet(kEditing);
}

// A step waits for the video processor to have taken the previous one, so that a held
// key cannot run ahead of the picture; keeping or restoring the value is always written.
void quality::updownset_sel_value(char op) {
    const int index = focus.ui_select();
    if (index >= kValues)
        return;
    const bool step = op == 0 || op == 1;
    if (step && c331_manage::para_update != 0)
        return;
    if (op == 0)
        ++value_;
    else if (op == 1)
        --value_;
    else if (op == 2)
        valueBefore_ = value_;
    else
        value_ = valueBefore_;
    value_ = qBound(0, value_, 100);
    const u16 value = static_cast<u16>(value_);
    const size_t offset = kOffset[index];
    applyToImage([offset, value](RamParaImage& image) { image.setU16(offset, value); });
    field_[index]->setText(QString::number(value_));
}

// The picture and colour-temperature values go back to the built-in defaults, and the
// fields show them.
void quality::on_Button_reset_clicked() {
    applyToImage([](RamParaImage& image) {
        std::memcpy(image.data() + kResetFirst,
                    default_para_ramlist + (kResetFirst - para::runtime_end + 2), kResetBytes);
    });
    para_init();
}

void quality::keyRight() {
    if (editing_)
        updownset_sel_value(0);
    else
        focus.move(1);
}

void quality::keyLeft() {
    if (editing_)
        updownset_sel_value(1);
    else
        focus.move(-1);
}

void quality::keyOk() {
    if (editing_) {
        endEditing(2);
        return;
    }
    if (focus.ui_select() == kValues) {
        on_Button_reset_clicked();
        return;
    }
    editing_ = 1;
    get_sel_value();
}

void quality::keyBack() {
    if (editing_)
        endEditing(3);
    else
        slot_Button_back_clicked();
}

void quality::endEditing(char op) {
    editing_ = 0;
    updownset_sel_value(op);
    focus.select(focus.ui_select());
}

void quality::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_imagequality)
                g_imagequality->language_changed();
        },
        page::imagequality);
}
