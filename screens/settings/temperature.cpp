#include "screens/settings/temperature.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>

#include "core/krxrampara.h"
#include "screens/settings/imagequality.h"
#include "screens/settings/settings_form.h"
#include "ui/language.h"
#include "ui/pages.h"
#include "video/c331_manage.h"

temperature* g_temperature = nullptr;

namespace {

const FocusStyle kGainStyle = {
    "color:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid rgb(255, 255, "
    "255);",
    "color:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid "
    "rgb(255,171,84);",
    "", ""};
const char kGainEditing[] =
    "color:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid rgb(255,0,0);";
const FocusStyle kTypeStyle = {
    "QComboBox{\ncolor:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);border:1px solid "
    "rgb(255,255,255);\n}\nQComboBox:drop-down{\nborder-style:none\n}",
    "QComboBox{\ncolor:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);border:1px solid "
    "rgb(255,171,84);\n}\nQComboBox:drop-down{\nborder-style:none\n}",
    "", ""};
const char kTypeEditing[] =
    "QComboBox{\ncolor:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);border:1px solid "
    "rgb(255,0,0);\n}\nQComboBox:drop-down{\nborder-style:none\n}";

constexpr size_t kGainOffset[temperature::kGains] = {para::colour_temp_r, para::colour_temp_g,
                                                     para::colour_temp_b};
const char* const kGainNames[temperature::kGains] = {"lineEdit_name_red", "lineEdit_name_green",
                                                     "lineEdit_name_blue"};
const char* const kCaptionNames[temperature::kGains] = {"label_name_red", "label_name_green",
                                                        "label_name_blue"};

}  // namespace

temperature::temperature(QWidget* parent) : MenuScreen("temperature", parent) {
    bindPointer(g_temperature);
    label_temperature_ = form::title(this, "label_temperature", QRect(50, 10, 220, 22), 12);
    QFrame* frame = form::frame(this, "frame", QRect(10, 42, 300, 150));
    label_type_ = form::caption(frame, "label_type", QRect(10, 14, 120, 17), 9);
    comboBox_type_ = new QComboBox(frame);
    comboBox_type_->setObjectName("comboBox_type");
    comboBox_type_->setGeometry(190, 14, 100, 24);
    comboBox_type_->setFocusPolicy(Qt::NoFocus);
    QFont font = comboBox_type_->font();
    font.setPointSize(9);
    comboBox_type_->setFont(font);
    std::vector<QWidget*> items = {comboBox_type_};
    focus.setItemStyle(comboBox_type_, kTypeStyle);
    for (int i = 0; i < kGains; ++i) {
        const int y = 48 + 34 * i;
        gainCaption_[i] = form::caption(frame, kCaptionNames[i], QRect(10, y, 120, 17), 9);
        gainField_[i] = form::field(frame, kGainNames[i], QRect(190, y, 100, 24), 9);
        focus.setItemStyle(gainField_[i], kGainStyle);
        items.push_back(gainField_[i]);
    }
    para_init();
    focus.setItems(items);
    typeBefore_ = type_;
    language_changed();
}

void temperature::para_init() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    const RamParaImage& image = store->ram_para;
    for (int i = 0; i < kGains; ++i)
        gainField_[i]->setText(QString::number(static_cast<int16_t>(image.u16At(kGainOffset[i]))));
    comboBox_type_->addItem(pickText("自定义", "custom", "Свой", "Tùy chỉnh", "自定義"));
    comboBox_type_->addItem(pickText("偏暖", "warm", "Теплый", "Màu ấm", "偏暖"));
    comboBox_type_->addItem(pickText("自然", "nature", "Природный", "Tự nhiên", "自然"));
    comboBox_type_->addItem(pickText("偏冷", "cool", "Холодный", "Lạnh hơn", "偏冷"));
    // A stored type the screen does not know shows as custom; the image keeps it until a
    // type is confirmed.
    const u16 stored = image.u16At(para::colour_temp_type);
    type_ = stored < kTypes ? static_cast<u8>(stored) : 0;
    comboBox_type_->setCurrentIndex(type_);
}

void temperature::language_changed() {
    label_temperature_->setText(
        pickText("色温", "Temperature", "Температура Оттенок", "Độ màu", "色溫"));
    label_type_->setText(
        pickText("色温类型", "temperature type", "Выбор цвета", "Lựa chọn độ màu", "色溫類型"));
    gainCaption_[0]->setText(pickText("红色", "Red", "Красный", "Màu đỏ", "紅色"));
    gainCaption_[1]->setText(pickText("绿色", "Green", "Зеленый", "Màu xanh lá cây", "綠色"));
    gainCaption_[2]->setText(pickText("蓝色", "Blue", "Синий", "Màu xanh da trời", "藍色"));
}

void temperature::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

void temperature::get_sel_value() {
    QLineEdit* field = gainField_[focus.ui_select() - 1];
    bool ok = false;
    const int value = field->text().toInt(&ok);
    gain_ = gainBefore_ = ok ? value : 0;
    field->setStyleSheet(kGainEditing);
}

// A step waits for the video processor to have taken the previous one; keeping or
// restoring the gain is always written.
void temperature::updownset_sel_value(char op) {
    const int index = focus.ui_select();
    if (index < 1 || index > kGains)
        return;
    const bool step = op == 0 || op == 1;
    if (step && c331_manage::para_update != 0)
        return;
    if (op == 0)
        ++gain_;
    else if (op == 1)
        --gain_;
    else if (op == 2)
        gainBefore_ = gain_;
    else
        gain_ = gainBefore_;
    gain_ = qBound(0, gain_, 100);
    const u16 gain = static_cast<u16>(gain_);
    const size_t offset = kGainOffset[index - 1];
    applyToImage([offset, gain](RamParaImage& image) { image.setU16(offset, gain); });
    gainField_[index - 1]->setText(QString::number(gain_));
}

void temperature::on_button_type_clicked() {
    const u16 type = type_;
    applyToImage([type](RamParaImage& image) { image.setU16(para::colour_temp_type, type); });
}

void temperature::stepType(int step) {
    type_ = static_cast<u8>((type_ + kTypes + step) % kTypes);
    comboBox_type_->setCurrentIndex(type_);
}

void temperature::keyRight() {
    if (!editing_)
        focus.move(1);
    else if (focus.ui_select() == 0)
        stepType(1);
    else
        updownset_sel_value(0);
}

void temperature::keyLeft() {
    if (!editing_)
        focus.move(-1);
    else if (focus.ui_select() == 0)
        stepType(-1);
    else
        updownset_sel_value(1);
}

void temperature::keyOk() {
    if (editing_) {
        if (focus.ui_select() != 0)
            updownset_sel_value(2);
        endEditing();
        if (focus.ui_select() == 0)
            on_button_type_clicked();
        return;
    }
    editing_ = 1;
    if (focus.ui_select() != 0) {
        get_sel_value();
        return;
    }
    typeBefore_ = type_;
    comboBox_type_->setStyleSheet(kTypeEditing);
}

void temperature::keyBack() {
    if (!editing_) {
        slot_Button_back_clicked();
        return;
    }
    if (focus.ui_select() != 0) {
        updownset_sel_value(3);
        endEditing();
        return;
    }
    endEditing();
    type_ = typeBefore_;
    on_button_type_clicked();
    comboBox_type_->setCurrentIndex(type_);
}

void temperature::endEditing() {
    editing_ = 0;
    focus.select(focus.ui_select());
}

void temperature::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_imagequality)
                g_imagequality->language_changed();
        },
        page::imagequality);
}
