#include "screens/maintenance/factory.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <cstring>
#include <mutex>

#include "board/board.h"
#include "core/config_engine.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"
#include "remote/t47_wifi_config.h"
#include "screens/maintenance/maintenance_form.h"
#include "screens/settings/advancedoption.h"
#include "screens/settings/settings_form.h"
#include "ui/language.h"
#include "ui/pages.h"
#include "video/c331_manage.h"

factory* g_factory = nullptr;

namespace {

const FocusStyle kResetButtonStyle = {
    "color:rgb(255,255,255);\nborder:1px solid rgb(255, 255, 255);",
    "color:rgb(255,255,255);\nborder:1px solid rgb(255,171,84);", "", ""};

// The EDID area that reset 2 keeps: the EDID sizes and what follows them up to the
// splice mode.
constexpr size_t kEdidAreaFirst = 896;
constexpr size_t kEdidAreaBytes = 1376 - kEdidAreaFirst;
// The default list holds image byte n at index n - 766, after its two marker bytes.
constexpr size_t kDefaultsFirst = 2;

constexpr int kFadePairs = 16;
constexpr u8 kFadeTime = 60;

const char kDefaultIp[] = "192.168.1.199";
const char kDefaultMask[] = "255.255.255.0";
const char kDefaultGateway[] = "192.168.1.1";

// font_status bits.
constexpr u32 kFont32CN = 0x1;
constexpr u32 kFont32EN = 0x2;
constexpr u32 kFont64CN = 0x4;
constexpr u32 kFont64EN = 0x8;

bool offered(int language) {
    return ((g_lcd_lang_valid.load() >> language) & 1u) != 0;
}

QString white(const QString& text) {
    return QString("<font style = 'font-size:12px' color = #ffffff >%1</font>").arg(text);
}

QString sizeText(const char* text, bool present) {
    const char* format = present ? "<font style = 'font-size:13px' color = #00ff00 >%1</font>"
                                 : "<font style = 'font-size:13px' color = #ff0000 >%1</font>";
    return QString(format).arg(QString::fromUtf8(text));
}

// The three sizes of one font line; 128 follows the 64-pixel set.
QString fontLine(const QString& prefix, bool has32, bool has64) {
    const LanguageId language = uiLanguage();
    const bool simplified = language == lang_chinese;
    const bool traditional = language == lang_traditional;
    const char* s32 = simplified ? "32宽" : traditional ? "32寬" : "32";
    const char* s64 = simplified ? "64宽" : traditional ? "64寬" : "64";
    const char* s128 = simplified ? "128宽" : traditional ? "128寬" : "128";
    return white(prefix) + sizeText(s32, has32) + white("|") + sizeText(s64, has64) + white("|") +
           sizeText(s128, has64);
}

u32 fontStatus() {
    c331_manage* video = c331_manage::p_c331_manage;
    return video ? video->font_status.load() : 0;
}

}  // namespace

factory::factory(QWidget* parent) : MenuScreen("factory", parent) {
    bindPointer(g_factory);
    label_factory_ = form::title(this, "label_factory", QRect(50, 10, 220, 22), 10);
    QFrame* frame = form::frame(this, "frame", QRect(10, 42, 300, 190));
    label_lang_ = form::caption(frame, "label_lang", QRect(10, 9, 60, 14), 9);
    Box_lang_2_ = form::list(frame, "Box_lang_2", QRect(190, 5, 100, 24), 9);
    Box_lang_2_->addItems({QString::fromUtf8("中文"), "English", QString::fromUtf8("Русский"),
                           QString::fromUtf8("Tiếng việt"), QString::fromUtf8("繁體中文")});
    auto line = [frame](const char* name, int y) {
        auto* rule = new QLabel(frame);
        rule->setObjectName(name);
        rule->setGeometry(0, y, 300, 1);
        rule->setStyleSheet("background-color: rgb(255, 255, 255);");
    };
    line("label", 36);
    label_rst_ = form::title(frame, "label_rst", QRect(50, 40, 220, 17), 9);
    QLabel** captions[3] = {&label_ip_, &label_edid_, &label_all_};
    const char* captionNames[3] = {"label_ip", "label_edid", "label_all"};
    const char* buttonNames[3] = {"Button_rst1", "Button_rst2", "Button_rst3"};
    for (int i = 0; i < 3; ++i) {
        const int y = 69 + 30 * i;
        *captions[i] = form::caption(frame, captionNames[i], QRect(10, y, 150, 17), 9);
        Button_rst_[i] = form::button(frame, buttonNames[i], QRect(190, y - 4, 100, 24), 9);
    }
    line("label2", 155);
    FontCN_ = form::caption(frame, "FontCN", QRect(10, 165, 130, 17), 9);
    FontEN_ = form::caption(frame, "FontEN", QRect(160, 165, 130, 17), 9,
                            Qt::AlignRight | Qt::AlignVCenter);
    connect(Button_rst_[0], &QPushButton::clicked, this, &factory::on_Button_reset1_clicked);
    connect(Button_rst_[1], &QPushButton::clicked, this, &factory::on_Button_reset2_clicked);
    connect(Button_rst_[2], &QPushButton::clicked, this, &factory::on_Button_reset3_clicked);
    focus.setStyle(kResetButtonStyle);
    focus.setItemStyle(Box_lang_2_, form::kListStyle);
    para_init();
    menulist_init();
    language_changed();
}

void factory::menulist_init() {
    focus.setItems({Box_lang_2_, Button_rst_[0], Button_rst_[1], Button_rst_[2]});
    lang_index_ = uiLanguage();
    lang_editing_ = 0;
    showLangIndex();
}

void factory::showLangIndex() {
    if (lang_index_ < kLanguages)
        Box_lang_2_->setCurrentIndex(lang_index_);
}

void factory::language_changed() {
    label_factory_->setText(pickText("工厂设置", "Factory setup", "Системные настройки",
                                     "Khôi phục cài đăt gốc", "工廠設置"));
    label_lang_->setText(pickText("语言", "language", "Язык", "Ngôn ngữ", "語言"));
    label_rst_->setText(pickText("工厂复位", "Factory reset", "Сброс настроек",
                                 "Khôi phục cài đặt gốc", "工廠複位"));
    label_ip_->setText(
        pickText("保持IP不变", "Keep IP", "Сохранить IP", "Giữ nguyên IP", "保持IP不變"));
    label_edid_->setText(pickText("IP和EDID保持不变", "Keep IP,EDIP", "Сохранить IP и EDID",
                                  "IP và EDID vẫn giữ nguyên", "IP和EDID保持不變"));
    label_all_->setText(pickText("全部恢复出厂设置", "Reset ALL", "Сбросить все",
                                 "Khôi phục cài đặt gốc tất cả", "全部恢複出廠設置"));
    for (QPushButton* button : Button_rst_)
        button->setText(pickText("点击OK应用", "Press Ok", "Нажмите ОК", "Đồng ý", "點擊OK應用"));
    const u32 status = fontStatus();
    FontCN_->setText(fontLineCN(status));
    FontEN_->setText(fontLineEN(status));
}

QString factory::fontLineCN(u32 status) {
    const QString prefix = uiLanguage() == lang_chinese ? QString::fromUtf8("中文:") : "CN:";
    return fontLine(prefix, status & kFont32CN, status & kFont64CN);
}

QString factory::fontLineEN(u32 status) {
    const QString prefix = uiLanguage() == lang_chinese ? QString::fromUtf8("英文:") : "EN:";
    return fontLine(prefix, status & kFont32EN, status & kFont64EN);
}

// A language changed elsewhere (by a reset, or by the PC) also becomes the box's choice,
// so that what the box shows is what its OK applies.
void factory::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store || !store->KrxLanguageChanged())
        return;
    if (g_language < kLanguages) {
        lang_index_ = g_language;
        showLangIndex();
    }
    language_changed();
}

// The next offered language above lang_index, wrapping to the lowest offered one; 5 is
// left for the caller to wrap.
void factory::lcdlang_current_checkplus() {
    const int i = lang_index_;
    if (i >= kLanguages || offered(i))
        return;
    for (int j = i + 1; j < kLanguages; ++j) {
        if (offered(j)) {
            lang_index_ = static_cast<u8>(j);
            return;
        }
    }
    for (int j = 0; j < i; ++j) {
        if (offered(j)) {
            lang_index_ = static_cast<u8>(j);
            return;
        }
    }
}

// The next offered language below lang_index, wrapping to the highest offered one.
void factory::lcdlang_current_checkmin() {
    const int i = lang_index_;
    if (i >= kLanguages)
        return;
    for (int j = i; j >= 0; --j) {
        if (offered(j)) {
            lang_index_ = static_cast<u8>(j);
            return;
        }
    }
    for (int j = kLanguages - 1; j > i; --j) {
        if (offered(j)) {
            lang_index_ = static_cast<u8>(j);
            return;
        }
    }
}

void factory::keyRight() {
    if (!lang_editing_) {
        focus.move(1);
        return;
    }
    ++lang_index_;
    lcdlang_current_checkplus();
    if (lang_index_ >= kLanguages) {
        lang_index_ = 0;
        lcdlang_current_checkplus();
    }
    showLangIndex();
}

void factory::keyLeft() {
    if (!lang_editing_) {
        focus.move(-1);
        return;
    }
    lang_index_ = lang_index_ == 0 ? kLanguages - 1 : static_cast<u8>(lang_index_ - 1);
    lcdlang_current_checkmin();
    showLangIndex();
}

void factory::keyOk() {
    const u8 item = focus.ui_select();
    if (item == 0) {
        if (lang_editing_) {
            on_Button_lang_clicked();
            lang_editing_ = 0;
            focus.select(0);
        } else {
            lang_editing_ = 1;
            Box_lang_2_->setStyleSheet(form::kListEditing);
        }
        return;
    }
    lang_editing_ = 0;
    if (item == 1)
        on_Button_reset1_clicked();
    else if (item == 2)
        on_Button_reset2_clicked();
    else if (item == 3)
        on_Button_reset3_clicked();
}

void factory::on_Button_lang_clicked() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!lang_editing_ || !store || lang_index_ >= kLanguages)
        return;
    {
        ParaLock lock;
        if (store->ram_para[para::language] == lang_index_)
            return;
        g_language = lang_index_;
        store->ram_para[para::language] = lang_index_;
        store->ram_para[para::language + 1] = 0;
        c331_manage::para_update = 1;
    }
    language_changed();
}

void factory::on_Button_reset1_clicked() {
    resetImage(false);
    requestEdidRewrite();
}

void factory::on_Button_reset2_clicked() {
    resetImage(true);
}

void factory::on_Button_reset3_clicked() {
    resetNetwork();
    resetImage(false);
    requestEdidRewrite();
}

// The saved area goes back to the defaults with every fade time at 60; a changed LED
// size is handed to the FPGA side again.
void factory::resetImage(bool keepEdid) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    bool wifiTurnedOn = false;
    {
        ParaLock lock;
        RamParaImage& image = store->ram_para;
        const bool wifiWasOff = image[para::wifi_off] != 0;
        u8 edidArea[kEdidAreaBytes];
        std::memcpy(edidArea, image.data() + kEdidAreaFirst, kEdidAreaBytes);
        std::memcpy(image.data() + para::runtime_end, default_para_ramlist + kDefaultsFirst,
                    KrxRamPara::kSavedBytes);
        if (keepEdid)
            std::memcpy(image.data() + kEdidAreaFirst, edidArea, kEdidAreaBytes);
        for (int k = 0; k < kFadePairs; ++k) {
            image[para::win_fade + 4 * k] = kFadeTime;
            image[para::win_fade + 4 * k + 2] = kFadeTime;
        }
        const RamParaImage& applied = store->ram_para_shadow;
        const bool sizeChanged = !image.sameU16(applied, para::led_width) ||
                                 !image.sameU16(applied, para::led_height) ||
                                 !image.sameU16(applied, para::splice_mode);
        // The FPGA thread serves the hand-over only while FPGA 0 runs; a request made
        // otherwise would stay pending and hold up the panel set-up.
        fpga_manage* manager = fpga_manage::p_fpga_manage;
        if (sizeChanged && manager && manager->get_fpga_status()) {
            std::lock_guard<std::mutex> flags(Utils::_led_para_init_mutex);
            g_set_led_para = 1;
            g_set_led_setup = 0;
        }
        image[para::current_window] = 0;
        image[para::current_window + 1] = 0;
        c331_manage::para_update = 1;
        wifiTurnedOn = wifiWasOff && image[para::wifi_off] == 0;
    }
    // The access point was stopped by hand: it has to be started again to match the
    // image, which now says it is on.
    if (wifiTurnedOn && T47_WIFI_CONFIG::p_wifi)
        T47_WIFI_CONFIG::p_wifi->set_wifi_reset_flag();
}

// Every input's EEPROM is written again from the (default) EDID sizes.
void factory::requestEdidRewrite() {
    velmosource* source = velmosource::p_velmo_source;
    if (!source)
        return;
    std::lock_guard<std::mutex> lock(Utils::_source_init_mutex);
    for (int input = 0; input < 4; ++input)
        source->request_edid_rewrite(input);
}

// The wired address, mask and gateway go back to their defaults when any of them differs,
// and the network is set up again with them.
void factory::resetNetwork() {
    ConfigEngine* config = ConfigEngine::p_config;
    if (!config)
        return;
    if (g_str_ip == kDefaultIp && g_srt_mask == kDefaultMask && g_str_gateway == kDefaultGateway)
        return;
    config->write_config_variant(ConfigItem::IPAddress, kDefaultIp);
    config->write_config_variant(ConfigItem::SubNetMask, kDefaultMask);
    config->write_config_variant(ConfigItem::GateWay, kDefaultGateway);
    Utils::system_mutex("sync");
    board::usleep(100);
    Utils::initIPAddress();
}

void factory::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_advancedoption)
                g_advancedoption->language_changed();
        },
        page::advancedoption);
}
