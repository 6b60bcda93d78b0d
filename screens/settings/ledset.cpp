#include "screens/settings/ledset.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <mutex>

#include "core/krxrampara.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "screens/settings/settings_form.h"
#include "ui/language.h"
#include "ui/my_lineedit.h"
#include "ui/outputset.h"
#include "ui/pages.h"
#include "ui/tip.h"
#include "video/c331_manage.h"

ledset* g_ledset = nullptr;

namespace {

const FocusStyle kFieldStyle = {
    "color:rgb(255, 255, 255);background-color:rgb(33, 36, 53);border:1px solid "
    "rgb(255,255,255);",
    "color:rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid "
    "rgb(255,171,84);",
    "", ""};
const FocusStyle kButtonStyle = {
    "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53) ; border:1px solid "
    "rgb(255,255,255) ;",
    "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53); border:1px solid "
    "rgb(255,171,84);",
    "", ""};

// A field's number; 0 when it holds none.
int fieldValue(const QLineEdit* field) {
    bool ok = false;
    const int value = field->text().toInt(&ok);
    return ok ? value : 0;
}

}  // namespace

ledset::ledset(QWidget* parent) : MenuScreen("ledset", parent) {
    bindPointer(g_ledset);
    label_ledset_ = form::title(this, "label_ledset", QRect(50, 10, 220, 18), 13);
    QFrame* frame = form::frame(this, "frame", QRect(10, 42, 300, 140));
    label_note_led_w_ = form::caption(frame, "label_note_led_w", QRect(10, 10, 260, 12), 9);
    label_ledw_ = form::caption(frame, "label_ledw", QRect(5, 51, 50, 12), 9,
                                Qt::AlignRight | Qt::AlignVCenter);
    label_ledh_ = form::caption(frame, "label_ledh", QRect(143, 51, 50, 12), 9,
                                Qt::AlignRight | Qt::AlignVCenter);
    lineEdit_ledw_ = form::keypadField(frame, "lineEdit_ledw", QRect(58, 47, 70, 24), 11);
    lineEdit_ledh_ = form::keypadField(frame, "lineEdit_ledh", QRect(196, 47, 70, 24), 11);
    form::picture(frame, "label_warning", QRect(10, 116, 16, 16), ":/png/warning.png");
    label_tip_ = form::caption(frame, "label_tip", QRect(28, 118, 260, 12), 8);
    Button_apply_ = form::button(this, "Button_apply", QRect(60, 200, 89, 25), 11);
    Button_cancle_ = form::button(this, "Button_cancle", QRect(210, 200, 89, 25), 11);
    connectKeypad({lineEdit_ledw_, lineEdit_ledh_});
    para_init();
    focus.setItemStyle(lineEdit_ledw_, kFieldStyle);
    focus.setItemStyle(lineEdit_ledh_, kFieldStyle);
    focus.setItemStyle(Button_apply_, kButtonStyle);
    focus.setItemStyle(Button_cancle_, kButtonStyle);
    focus.setItems({lineEdit_ledw_, lineEdit_ledh_, Button_apply_, Button_cancle_});
    language_changed();
}

void ledset::para_init() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    lineEdit_ledw_->setText(QString::number(store->ram_para.u16At(para::led_width)));
    lineEdit_ledh_->setText(QString::number(store->ram_para.u16At(para::led_height)));
}

void ledset::language_changed() {
    label_ledset_->setText(
        pickText("LED设置", "LED Setting", "Настройки LED", "Cài đặt LED", "LED設置"));
    label_note_led_w_->setText(pickText("设置LED屏宽高", "Set LED W&H", "Разрешение LED шир и выс",
                                        "Cài đặt thông số led", "設置LED屏寬高"));
    label_ledw_->setText(pickText("宽", "W", "Ширина", "Rộng", "寬"));
    label_ledh_->setText(pickText("高", "H", "Высота", "Cao", "高"));
    label_tip_->setText(pickText("可设LED屏最大点数:%1(宽),%2(高)", "LED max:%1(w),%2(h)",
                                 "Ширина:%1(px)Высота:%2(px)",
                                 "Điểm ảnh lớn nhất:%1(ngang),%2(dọc)",
                                 "可設LED屏最大點數:%1(寬),%2(高)")
                            .arg(kMaxSide)
                            .arg(kMaxSide));
    Button_apply_->setText(pickText("应用", "Apply", "OK", "Đồng ý", "應用"));
    Button_cancle_->setText(pickText("取消", "Cancle", "Отмена", "Hủy bỏ", "取消"));
}

// A size changed by anyone since the last save reloads the fields (and drops what was
// typed but not applied); other changes leave them alone.
void ledset::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    const bool sizeChanged = !store->ram_para.sameU16(store->ram_para_shadow, para::led_width) ||
                             !store->ram_para.sameU16(store->ram_para_shadow, para::led_height);
    if (store->KrxLanguageChanged())
        language_changed();
    if (sizeChanged)
        para_init();
}

void ledset::keyOk() {
    switch (focus.ui_select()) {
        case 0:
            emit lineEdit_ledw_->send_show(lineEdit_ledw_->objectName());
            break;
        case 1:
            emit lineEdit_ledh_->send_show(lineEdit_ledh_->objectName());
            break;
        case 2:
            on_Button_apply1_clicked();
            break;
        default:
            slot_Button_back_clicked();
            break;
    }
}

void ledset::show_numberkeyboard_ui(QString) {
    auto* field = qobject_cast<QLineEdit*>(sender());
    if (!field)
        return;
    const bool width = field == lineEdit_ledw_;
    showKeypad(field,
               width ? pickText("宽", "W", "W", "W", "寬") : pickText("高", "H", "H", "H", "高"));
}

// The typed side is brought within 64..8188 at once; a product above the pixel limit
// shrinks the other side.
void ledset::confirmString(QString text) {
    QLineEdit* edited = keypadField();
    QLineEdit* other = edited == lineEdit_ledw_   ? lineEdit_ledh_
                       : edited == lineEdit_ledh_ ? lineEdit_ledw_
                                                  : nullptr;
    if (!other)
        return;
    bool ok = false;
    long long typed = text.toInt(&ok);
    if (!ok)
        typed = 0;
    const long long kept = other->text().toShort(&ok);
    const long long otherSide = ok ? kept : 0;
    if (typed < kMinSide) {
        edited->setText(QString::number(kMinSide));
        return;
    }
    if (typed > kMaxSide) {
        edited->setText(QString::number(kMaxSide));
        typed = kMaxSide;
    } else {
        edited->setText(text);
    }
    if (otherSide * typed > kMaxPixels)
        other->setText(QString::number(kMaxPixels / typed));
}

void ledset::clampedSize(int* width, int* height) const {
    int w = qBound(kMinSide, fieldValue(lineEdit_ledw_), kMaxSide);
    int h = qBound(kMinSide, fieldValue(lineEdit_ledh_), kMaxSide);
    if (static_cast<long long>(w) * h > kMaxPixels) {
        if (editedField() == lineEdit_ledh_->objectName())
            w = static_cast<int>(kMaxPixels / h);
        else
            h = static_cast<int>(kMaxPixels / w);
    }
    *width = w;
    *height = h;
}

void ledset::on_Button_apply1_clicked() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    int width = 0, height = 0;
    clampedSize(&width, &height);
    // What is applied is what the fields show ("0100" stays as typed).
    if (fieldValue(lineEdit_ledw_) != width)
        lineEdit_ledw_->setText(QString::number(width));
    if (fieldValue(lineEdit_ledh_) != height)
        lineEdit_ledh_->setText(QString::number(height));
    const u16 w = static_cast<u16>(width), h = static_cast<u16>(height);
    bool changed = false;
    {
        ParaLock lock;
        RamParaImage& image = store->ram_para;
        image.setU16(para::led_width, w);
        image.setU16(para::led_height, h);
        image.setU16(para::splice_mode, 0);
        for (size_t out : {para::out1_x, para::out2_x}) {
            image.setU16(out, 0);
            image.setU16(out + 2, 0);
            image.setU16(out + 4, w);
            image.setU16(out + 6, h);
        }
        changed = w != store->ram_para_shadow.u16At(para::led_width) ||
                  h != store->ram_para_shadow.u16At(para::led_height);
        if (changed) {
            const size_t first = para::window_at(0);
            image.setU16(first + para::win_x, 0);
            image.setU16(first + para::win_y, 0);
            image.setU16(first + para::win_w, w);
            image.setU16(first + para::win_h, h);
            for (int window = 1; window < para::window_count; ++window)
                image.setU16(para::window_at(window) + para::win_enable, 0);
            // The FPGA thread serves the hand-over only while FPGA 0 runs; a request made
            // otherwise would stay pending.
            fpga_manage* manager = fpga_manage::p_fpga_manage;
            if (manager && manager->get_fpga_status()) {
                std::lock_guard<std::mutex> flags(Utils::_led_para_init_mutex);
                g_set_led_para = 1;
                g_set_led_setup = 0;
            }
        }
        c331_manage::para_update = 1;
    }
    // The notice is modal for 3 s: the apply lock is free by then, so the new size is
    // applied while it shows.
    if (changed && g_tip)
        g_tip->tip_create(TIP::kCheckMark);
}

void ledset::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_outputset)
                g_outputset->language_changed();
        },
        page::outputset);
}
