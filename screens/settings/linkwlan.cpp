#include "screens/settings/linkwlan.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>

#include "board/board.h"
#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "screens/settings/linkoption.h"
#include "screens/settings/settings_form.h"
#include "ui/language.h"
#include "ui/my_lineedit.h"
#include "ui/pages.h"

linkwlan* g_linkwlan = nullptr;

namespace {

const char kFocused[] =
    "color: rgb(255, 255, 255); background-color: rgb(33, 36, 53);border:1px solid "
    "rgb(255,171,84);";
// The four octets of a row are drawn as one joined box.
const FocusStyle kFirstOctet = {
    "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53);border-top:1px solid rgb(255, "
    "255, 255);border-bottom:1px solid rgb(255, 255, 255);border-left:1px solid rgb(255, 255, "
    "255);",
    kFocused, "", ""};
const FocusStyle kMiddleOctet = {
    "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53);border-top:1px solid rgb(255, "
    "255, 255);border-bottom:1px solid rgb(255, 255, 255);",
    kFocused, "", ""};
const FocusStyle kLastOctet = {
    "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53);border-top:1px solid rgb(255, "
    "255, 255);border-bottom:1px solid rgb(255, 255, 255);border-right:1px solid rgb(255, 255, "
    "255);",
    kFocused, "", ""};
const FocusStyle kButton = {"color: rgb(255, 255, 255);border:1px solid rgb(255,255,255);",
                            "color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);", "", ""};

const char* const kRowNames[linkwlan::kRows] = {"Ip", "Mask", "Gate"};
const char* const kRowLabels[linkwlan::kRows] = {"label_IpSet", "label_netmask", "label_gateway"};
constexpr int kRowY[linkwlan::kRows] = {14, 48, 82};
constexpr int kOctetX[linkwlan::kOctets] = {140, 177, 214, 251};

// The four octets of a stored address; empty when the text is not an address the screen
// could have written.
QStringList octets(const QString& address) {
    const QStringList parts = address.split('.');
    if (parts.size() != linkwlan::kOctets)
        return QStringList();
    for (const QString& part : parts)
        if (!linkwlan::validOctet(part))
            return QStringList();
    return parts;
}

}  // namespace

linkwlan::linkwlan(QWidget* parent) : MenuScreen("linkwlan", parent) {
    bindPointer(g_linkwlan);
    label_wlan_ = form::title(this, "label_wlan", QRect(50, 10, 220, 22), 12);
    QFrame* frame = form::frame(this, "frame", QRect(10, 42, 300, 150));
    const QString stored[kRows] = {g_str_ip, g_srt_mask, g_str_gateway};
    std::vector<QWidget*> items;
    for (int row = 0; row < kRows; ++row) {
        rowLabel_[row] = form::caption(frame, kRowLabels[row], QRect(10, kRowY[row], 120, 17), 9);
        const QStringList parts = octets(stored[row]);
        for (int i = 0; i < kOctets; ++i) {
            const QString name = QString("lineEdit%1%2").arg(kRowNames[row]).arg(i + 1);
            My_lineEdit* field = form::keypadField(frame, qPrintable(name),
                                                   QRect(kOctetX[i], kRowY[row], 32, 17), 9);
            field->setAlignment(Qt::AlignCenter);
            field->setText(parts.value(i));
            field_[row * kOctets + i] = field;
            items.push_back(field);
            focus.setItemStyle(field, i == 0             ? kFirstOctet
                                      : i == kOctets - 1 ? kLastOctet
                                                         : kMiddleOctet);
            if (i == 0)
                continue;
            QLabel* dot =
                form::caption(frame, qPrintable(QString("label%1Dot%2").arg(kRowNames[row]).arg(i)),
                              QRect(kOctetX[i] - 5, kRowY[row], 5, 17), 9, Qt::AlignCenter);
            dot->setText(".");
        }
    }
    label_warning_ =
        form::picture(frame, "label_warning", QRect(10, 120, 16, 16), ":/png/warning.png");
    label_notice_ = form::caption(frame, "label_notice", QRect(30, 120, 260, 16), 9);
    Button_apply_ = form::button(this, "Button_apply", QRect(60, 200, 89, 25), 11);
    Button_cancle_ = form::button(this, "Button_cancle", QRect(200, 200, 89, 25), 11);
    focus.setItemStyle(Button_apply_, kButton);
    focus.setItemStyle(Button_cancle_, kButton);
    items.push_back(Button_apply_);
    items.push_back(Button_cancle_);
    focus.setItems(items);
    connectKeypad(std::vector<My_lineEdit*>(field_, field_ + kFields));
    showNotice(false);
    language_changed();
}

bool linkwlan::validOctet(const QString& text) {
    static const QRegularExpression octet("^(0|[1-9][0-9]{0,2})$");
    return octet.match(text).hasMatch() && text.toInt() <= 255;
}

void linkwlan::language_changed() {
    label_wlan_->setText(pickText("网口设置", "Net connect", "Сетевое подключение",
                                  "Cài đặt cổng mạng", "網口設置"));
    rowLabel_[0]->setText(pickText("IP地址", "IP", "IP-адрес", "Địa chỉ IP", "IP地址"));
    rowLabel_[1]->setText(pickText("子网掩码", "Mask", "Маска", "Cài đặt mặt lạ con", "子網掩碼"));
    rowLabel_[2]->setText(pickText("默认网关", "Gate", "Шлюз", "Cổng vào", "默認網關"));
    Button_apply_->setText(pickText("应用", "Apply", "OK", "Đồng ý", "應用"));
    Button_cancle_->setText(pickText("取消", "Cancle", "Отмена", "Hủy bỏ", "取消"));
    label_notice_->setText(pickText("地址无效", "Invalid address", "Неверный адрес",
                                    "Địa chỉ không hợp lệ", "地址無效"));
}

// The fields keep what was typed: an address changed by the PC meanwhile shows when the
// screen is opened again.
void linkwlan::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

bool linkwlan::noticeShown() const {
    return !label_notice_->isHidden();
}

void linkwlan::showNotice(bool shown) {
    label_warning_->setVisible(shown);
    label_notice_->setVisible(shown);
}

QString linkwlan::address(int row) const {
    QStringList parts;
    for (int i = 0; i < kOctets; ++i)
        parts << field_[row * kOctets + i]->text();
    return parts.join('.');
}

void linkwlan::keyOk() {
    const int index = focus.ui_select();
    if (index < kFields)
        emit field_[index]->send_show(field_[index]->objectName());
    else if (index == kFields)
        on_Button_net_apply_clicked();
    else
        slot_Button_back_clicked();
}

void linkwlan::show_numberkeyboard_ui(QString) {
    auto* field = qobject_cast<QLineEdit*>(sender());
    if (!field)
        return;
    const bool mask = field->objectName().startsWith("lineEditMask");
    showKeypad(field, mask ? "Mask" : "IP");
}

void linkwlan::confirmString(QString text) {
    if (QLineEdit* field = keypadField())
        field->setText(text);
    showNotice(false);
}

// Only four octets of 0..255 each reach the settings and the network commands: anything
// else is refused with a notice, and the focus goes to the first wrong octet.
void linkwlan::on_Button_net_apply_clicked() {
    const QString ip = address(0), mask = address(1), gateway = address(2);
    if (ip == g_str_ip && mask == g_srt_mask && gateway == g_str_gateway)
        return;
    for (int i = 0; i < kFields; ++i) {
        if (!validOctet(field_[i]->text())) {
            showNotice(true);
            focus.select(i);
            return;
        }
    }
    showNotice(false);
    ConfigEngine* config = ConfigEngine::p_config;
    if (!config)
        return;
    qDebug("%s", qPrintable(ip));
    qDebug("%s", qPrintable(mask));
    qDebug("%s", qPrintable(gateway));
    config->write_config_variant(ConfigItem::IPAddress, ip);
    config->write_config_variant(ConfigItem::SubNetMask, mask);
    config->write_config_variant(ConfigItem::GateWay, gateway);
    Utils::system_mutex("sync");
    board::usleep(100);
    Utils::initIPAddress();
    if (KrxRamPara* store = KrxRamPara::p_krxrampara_config)
        store->test_signal(1);
}

void linkwlan::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_linkoption)
                g_linkoption->language_changed();
        },
        page::linkoption);
}
