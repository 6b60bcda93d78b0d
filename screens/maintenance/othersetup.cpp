#include "screens/maintenance/othersetup.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <algorithm>

#include "core/krxrampara.h"
#include "core/utils.h"
#include "remote/t47_wifi_config.h"
#include "screens/maintenance/maintenance_form.h"
#include "screens/settings/advancedoption.h"
#include "screens/settings/settings_form.h"
#include "ui/language.h"
#include "ui/pages.h"
#include "video/c331_manage.h"

othersetup* g_othersetup = nullptr;

namespace {

// White, orange and red borders; the lists show no drop-down arrow.
const FocusStyle kArrowlessStyle = {
    "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid "
    "rgb(255,255,255);\n}\nQComboBox::drop-down{\nwidth:0px;\nborder-style:none\n}",
    "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid "
    "rgb(255,171,84);\n}\nQComboBox::drop-down{\nwidth:0px;\nborder-style:none\n}",
    "", ""};
const char kArrowlessEditing[] =
    "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid "
    "rgb(255,0,0);\n}\nQComboBox::drop-down{\nwidth:0px;\nborder-style:none\n}";

constexpr u8 kAudioOn = 0x80;  // bit 7 of the audio pair's second byte
constexpr u8 kAudioOnFirst = 255;
constexpr u8 kSwitchEffect = 0x04;  // bit 2 of the output word's low byte
constexpr int kFadePairs = 16;
constexpr u8 kFadeTime = 60;

size_t audioAt(int window) {
    return para::window_at(window) + para::win_audio;
}

bool windowEnabled(const RamParaImage& image, int window) {
    return image.u16At(para::window_at(window) + para::win_enable) != 0;
}

QString offOn(int entry) {
    return entry == 0 ? pickText("关闭", "OFF", "Откл", "Đóng", "關閉")
                      : pickText("开启", "ON", "Вкл", "Mở", "開啟");
}

}  // namespace

othersetup::othersetup(QWidget* parent) : MenuScreen("othersetup", parent) {
    bindPointer(g_othersetup);
    label_other_ = form::title(this, "label_other", QRect(50, 10, 220, 22), 10);
    QFrame* frame = form::frame(this, "frame", QRect(10, 42, 300, 180));
    label_name_volume_ = form::caption(frame, "label_name_volume", QRect(10, 14, 50, 17), 9);
    lists_[kWindow] = form::list(frame, "ImageVolume", QRect(80, 10, 100, 24), 9);
    lists_[kVolume] = form::list(frame, "volume_state", QRect(190, 10, 100, 24), 9);
    label_name_switch_ = form::caption(frame, "label_name_switch", QRect(10, 48, 140, 17), 9);
    lists_[kSwitch] = form::list(frame, "switch_state", QRect(190, 44, 100, 24), 9);
    label_name_mode_ = form::caption(frame, "label_name_mode", QRect(10, 82, 160, 17), 9);
    lists_[kProjection] = form::list(frame, "mode_state", QRect(190, 78, 100, 25), 9);
    label_wifi_ = form::caption(frame, "label_wifi", QRect(10, 116, 80, 17), 9);
    lists_[kWifi] = form::list(frame, "wifi_state", QRect(190, 112, 100, 24), 9);
    label_name_DBD_ = form::caption(frame, "label_name_DBD", QRect(10, 150, 160, 17), 9);
    lists_[kDbd] = form::list(frame, "dbd_state", QRect(190, 146, 100, 24), 9);
    label_name_mode_->hide();
    lists_[kProjection]->hide();
    focus.setStyle(kArrowlessStyle);
    menulist_init();
    language_changed();
    para_init();
}

void othersetup::menulist_init() {
    focus.setItems(std::vector<QWidget*>(lists_, lists_ + kItems));
    editing_ = chosen_ = before_ = 0;
    lists_[kWindow]->setCurrentIndex(0);
}

void othersetup::language_changed() {
    label_other_->setText(
        pickText("其它设置", "Other Settings", "Другие настройки", "Cài đặt khác", "其它設置"));
    label_name_volume_->setText(pickText("音量", "Volume", "Звук", "âm thanh", "音量"));
    label_name_switch_->setText(
        pickText("切换特效", "Switch mode", "Эффект", "Hiệu ứng", "切換特效"));
    label_name_mode_->setText(
        pickText("投屏设备", "Projection", "Радиоприбор", "Cài đặt Thiết bị", "投屏設備"));
    label_wifi_->setText(
        pickText("WIFI状态", "Wifi state", "WiFi статус", "Trạng thái wifi", "WIFI狀態"));
    label_name_DBD_->setText(
        pickText("点对点", "DBD", "Пиксель к пикселю", "Điểm tới điểm", "點對點"));
}

// A current window that is out of range or hidden is corrected to window 0; the
// correction is not a change to apply.
void othersetup::para_init() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    bool enabled[para::window_count] = {};
    int current = 0;
    bool audioOn = false, fade = false, wifiOff = false, dbd = false;
    {
        ParaLock lock;
        RamParaImage& image = store->ram_para;
        const u16 window = image.u16At(para::current_window);
        if (window >= para::window_count || !windowEnabled(image, window))
            image.setU16(para::current_window, 0);
        current = image.u16At(para::current_window);
        for (int w = 0; w < para::window_count; ++w)
            enabled[w] = windowEnabled(image, w);
        audioOn = image[audioAt(current) + 1] & kAudioOn;
        fade = image.u16At(para::switch_mode) != 0;
        wifiOff = image.u16At(para::wifi_off) != 0;
        dbd = image.u16At(para::dbd_enable) != 0;
    }
    QComboBox* windows = lists_[kWindow];
    windows->clear();
    int position = 0;
    for (int w = 0; w < para::window_count; ++w) {
        if (!enabled[w])
            continue;
        windows->addItem(
            pickText("画面%1", "image%1", "Канал%1", "Hình ảnh%1", "畫麵%1").arg(w + 1));
        if (w < current)
            ++position;
    }
    windows->setCurrentIndex(position);
    entryCount_[kWindow] = static_cast<u8>(windows->count());
    lists_[kVolume]->clear();
    lists_[kVolume]->addItems({offOn(0), offOn(1)});
    lists_[kVolume]->setCurrentIndex(audioOn ? 1 : 0);
    lists_[kSwitch]->clear();
    lists_[kSwitch]->addItems(
        {pickText("无缝快切", "Seamless", "Быстро", "Chuyển đổi ngay", "無縫快切"),
         pickText("淡入淡出", "Fade", "Плавно", "và ngoài", "淡入淡出")});
    lists_[kSwitch]->setCurrentIndex(fade ? 1 : 0);
    lists_[kProjection]->clear();
    lists_[kProjection]->addItem(
        pickText("点击切换", "Click OK", "Нажмите ОК", "Đồng ý", "點擊切換"));
    lists_[kWifi]->clear();
    lists_[kWifi]->addItems({offOn(1), offOn(0)});
    lists_[kWifi]->setCurrentIndex(wifiOff ? 1 : 0);
    lists_[kDbd]->clear();
    lists_[kDbd]->addItems({offOn(0), offOn(1)});
    lists_[kDbd]->setCurrentIndex(dbd ? 1 : 0);
}

// A change made elsewhere while the screen is open does not move its lists.
void othersetup::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

void othersetup::moveFocus(int step) {
    focus.move(step);
    if (focus.ui_select() == kProjection)
        focus.move(step);
}

void othersetup::stepChoice(int step) {
    const int count = entryCount_[focus.ui_select()];
    if (count == 0)
        return;
    chosen_ = static_cast<u8>((chosen_ + step + count) % count);
    list(focus.ui_select())->setCurrentIndex(chosen_);
}

void othersetup::keyLeft() {
    if (editing_)
        stepChoice(-1);
    else
        moveFocus(-1);
}

void othersetup::keyRight() {
    if (editing_)
        stepChoice(1);
    else
        moveFocus(1);
}

void othersetup::keyOk() {
    QComboBox* focused = list(focus.ui_select());
    if (!editing_) {
        editing_ = 1;
        chosen_ = before_ = static_cast<u8>(std::max(focused->currentIndex(), 0));
        focused->setStyleSheet(kArrowlessEditing);
        return;
    }
    editing_ = 0;
    focus.select(focus.ui_select());
    on_button_box_clicked();
}

void othersetup::keyBack() {
    if (!editing_) {
        slot_Button_back_clicked();
        return;
    }
    editing_ = 0;
    const int item = focus.ui_select();
    list(item)->setCurrentIndex(before_ < entryCount_[item] ? before_ : 0);
    focus.select(item);
}

void othersetup::on_button_box_clicked() {
    switch (focus.ui_select()) {
        case kVolume:
            applyVolume(chosen_);
            break;
        case kSwitch:
            applySwitch(chosen_);
            break;
        case kWifi:
            applyWifi(chosen_);
            break;
        case kDbd:
            applyDbd(chosen_);
            break;
        default:
            break;
    }
}

int othersetup::enabledWindowAt(const RamParaImage& image, int position) {
    if (position < 0)
        return -1;
    for (int w = 0; w < para::window_count; ++w) {
        if (!windowEnabled(image, w))
            continue;
        if (position-- == 0)
            return w;
    }
    return -1;
}

// The window whose audio is switched becomes the current window; a choice that is
// already in force writes nothing but is still handed on.
void othersetup::applyVolume(u8 on) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    const int position = lists_[kWindow]->currentIndex();
    ParaLock lock;
    RamParaImage& image = store->ram_para;
    const int w = enabledWindowAt(image, position);
    if (w < 0)
        return;
    const size_t at = audioAt(w);
    const bool audioOn = image[at + 1] & kAudioOn;
    if (audioOn != (on != 0)) {
        image[para::current_window] = static_cast<u8>(w);
        image[para::current_window + 1] = 0;
        image[at] = on ? kAudioOnFirst : 0;
        image[at + 1] = on ? kAudioOn : 0;
    }
    c331_manage::para_update = 1;
}

void othersetup::applySwitch(u8 fade) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    {
        ParaLock lock;
        RamParaImage& image = store->ram_para;
        image[para::switch_mode] = fade ? 1 : 0;
        if (fade) {
            for (int k = 0; k < kFadePairs; ++k) {
                image[para::win_fade + 4 * k] = kFadeTime;
                image[para::win_fade + 4 * k + 2] = kFadeTime;
            }
        }
        for (int w = 0; w < para::window_count; ++w) {
            u8& output = image[para::window_at(w) + para::win_output];
            output = static_cast<u8>(fade ? output | kSwitchEffect : output & ~kSwitchEffect);
        }
        c331_manage::para_update = 1;
    }
    store->ram_para_save();
}

// "Off" is in the image before the access point's processes are stopped, so that the
// WiFi thread does not start them again.
void othersetup::applyWifi(u8 off) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    {
        ParaLock lock;
        store->ram_para[para::wifi_off] = off ? 1 : 0;
        c331_manage::para_update = 1;
    }
    if (off) {
        Utils::system_mutex(T47_WIFI_CONFIG::kStopHostapd);
        Utils::system_mutex(T47_WIFI_CONFIG::kStopUdhcpd);
    } else if (T47_WIFI_CONFIG::p_wifi) {
        T47_WIFI_CONFIG::p_wifi->set_wifi_reset_flag();
    }
}

void othersetup::applyDbd(u8 on) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    const u8 value = on ? 1 : 0;
    {
        ParaLock lock;
        RamParaImage& image = store->ram_para;
        image[para::dbd_enable] = value;
        for (int w = 0; w < para::window_count; ++w)
            image[para::window_at(w) + para::win_output + 1] = value;
        c331_manage::para_update = 1;
    }
    store->ram_para_save();
}

void othersetup::slot_Button_back_clicked() {
    backTo(
        [] {
            KrxRamPara* store = KrxRamPara::p_krxrampara_config;
            if (g_advancedoption && store && store->KrxLanguageChanged())
                g_advancedoption->language_changed();
        },
        page::advancedoption);
}
