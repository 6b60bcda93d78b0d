#include "screens/maintenance/firmware_usbgrade.h"

#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <mutex>

#include "board/board.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "fpga/upgrade_package.h"
#include "screens/settings/linkoption.h"
#include "ui/QRoundProgressBar.h"
#include "ui/language.h"
#include "ui/pages.h"

firmware_usbgrade* g_firmware_usbgrade = nullptr;

namespace {

const FocusStyle kOkStyle = {"color:rgb(255,255,255);\nborder:1px solid rgb(255, 255, 255);",
                             "color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);", "", ""};
const char kRowIdle[] = "background-color: rgb(33, 36, 53);color: #FFFFFF";
const char kRowHighlighted[] = "background-color:#4777FF;color: #FFFFFF;";
const char kArrowStyle[] = "background-color: rgb(33, 36, 53);";
const char kGreen[] = "#51BB28";
const char kRed[] = "#FF0000";

QString clock_text() {
    std::tm t;
    {
        std::lock_guard<std::mutex> lock(Utils::_system_mutex);
        t = board::localTime();
    }
    return QString("%1:%2:%3").arg(t.tm_hour).arg(t.tm_min).arg(t.tm_sec);
}

QAbstractButton* arrow(QWidget* parent, const char* name, int y, const char* icon) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setGeometry(250, y, 20, 20);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(QPixmap(icon));
    button->setIconSize(QSize(20, 20));
    button->setStyleSheet(kArrowStyle);
    return button;
}

}  // namespace

firmware_usbgrade::firmware_usbgrade(QWidget* parent) : MenuScreen("firmware_usbgrade", parent) {
    bindPointer(g_firmware_usbgrade);
    setObjectName("firmware_usbgrade");
    label_usb_update_ = new QLabel(this);
    label_usb_update_->setObjectName("label_usb_update");
    label_usb_update_->setGeometry(33, 10, 254, 22);
    QFont font = label_usb_update_->font();
    font.setPointSize(11);
    label_usb_update_->setFont(font);
    label_usb_update_->setStyleSheet("color: rgb(255, 255, 255);");
    label_usb_update_->setAlignment(Qt::AlignCenter);

    frame_ = new QFrame(this);
    frame_->setObjectName("frame");
    frame_->setGeometry(10, 42, 300, 190);
    frame_->setStyleSheet(
        "#frame{\nbackground-color: rgb(16, 16, 28);\nborder:1px solid rgb(255, 255, "
        "255);\nborder-radius:6px;padding:2px 4px\n}");
    label_log_ = new QLabel(frame_);
    label_log_->setObjectName("label_log");
    label_log_->setGeometry(20, 5, 260, 40);
    label_log_->setStyleSheet("color:rgb(255,255,255);");
    label_log_->setAlignment(Qt::AlignCenter);
    Button_grade_ = new QPushButton(frame_);
    Button_grade_->setObjectName("Button_grade");
    Button_grade_->setGeometry(190, 153, 80, 25);
    Button_grade_->setFocusPolicy(Qt::NoFocus);
    connect(Button_grade_, &QAbstractButton::clicked, this,
            &firmware_usbgrade::on_Button_grade_clicked);

    focus.setStyle(kOkStyle);
    focus.setItems({Button_grade_});
    get_file_list_smartpath();
    upgrade_file_list();
    language_changed();
}

void firmware_usbgrade::language_changed() {
    label_usb_update_->setText(pickText("USB升级", "USB UPDATE", "Обновление через USB",
                                        "Sử dụng ổ USB  để cập nhập", "USB昇級"));
    Button_grade_->setText(pickText("确定", "OK", "OK", "Đồng ý", "確定"));
    if (label_nofile_)
        label_nofile_->setText(pickText("无加载文件!", "No loaded file!",
                                        "Нет файлов для загрузки!", "Không có tập tin để tải!",
                                        "無加載文件!"));
}

void firmware_usbgrade::get_file_list_smartpath() {
    highlight_.fill(0);
    page_ = 0;
    krx_count_ = 0;
    krxzk_count_ = 0;
    file_list_ = upgrade::package_files().mid(0, kMaxFiles);
    for (int i = 0; i < file_list_.size(); ++i) {
        // The first "KRX" package and every "KRXZK" package are shown highlighted.
        const bool krx = QFileInfo(file_list_[i]).suffix() == "KRX";
        highlight_[i] = static_cast<u8>(!krx || krx_count_ == 0);
        ++(krx ? krx_count_ : krxzk_count_);
    }
    const int count = file_list_.size();
    last_page_ = static_cast<u8>(count > 0 ? (count - 1) / kRowsPerPage : 0);
}

void firmware_usbgrade::upgrade_file_list() {
    delete frame_file_;
    row_label_.fill(nullptr);
    label_nofile_ = nullptr;
    frame_file_ = new QFrame(frame_);
    frame_file_->setObjectName("frame_file");
    // Tall enough for the fourth row, and clear of the OK button.
    frame_file_->setGeometry(10, 50, 280, 102);
    frame_file_->setStyleSheet(
        "#frame_file{background-color: rgb(33, 36, 53);border:1px solid #FFFFFF;}");
    QFont font = frame_file_->font();
    font.setPointSize(7);
    frame_file_->setFont(font);
    if (file_list_.isEmpty()) {
        label_nofile_ = new QLabel(frame_file_);
        label_nofile_->setObjectName("label_nofile");
        label_nofile_->setGeometry(5, 5, 220, 20);
        label_nofile_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label_nofile_->setStyleSheet(kRowIdle);
        language_changed();
    }
    for (int row = 0; row < kRowsPerPage; ++row) {
        const int entry = page_ * kRowsPerPage + row;
        if (entry >= file_list_.size())
            break;
        auto* label = new QLabel(frame_file_);
        label->setObjectName(QString("label_file%1").arg(row));
        label->setGeometry(5, 5 + 25 * row, 220, 20);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setText(QString("<font color = #FFFFFF >%1</font>")
                           .arg(QFileInfo(file_list_[entry]).fileName().toHtmlEscaped()));
        row_label_[row] = label;
        styleRow(row, highlight_[entry]);
        auto* button = new QPushButton(frame_file_);
        button->setObjectName(QString::number(row));
        button->setGeometry(5, 5 + 25 * row, 220, 20);
        button->setFlat(true);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QAbstractButton::clicked, this,
                &firmware_usbgrade::krx_button_file_clicked);
    }
    if (page_ >= 1)
        connect(arrow(frame_file_, "Button_previous", 5, ":/png/previous.png"),
                &QAbstractButton::clicked, this, &firmware_usbgrade::krx_Button_previous_clicked);
    if (page_ < last_page_)
        connect(arrow(frame_file_, "Button_next", 80, ":/png/next.png"), &QAbstractButton::clicked,
                this, &firmware_usbgrade::krx_Button_next_clicked);
    frame_file_->show();
}

void firmware_usbgrade::styleRow(int row, bool highlighted) {
    if (row >= 0 && row < kRowsPerPage && row_label_[row])
        row_label_[row]->setStyleSheet(highlighted ? kRowHighlighted : kRowIdle);
}

void firmware_usbgrade::krx_button_file_clicked() {
    const QObject* row = sender();
    if (!row)
        return;
    styleRow(file_select_, false);
    file_select_ = static_cast<u8>(row->objectName().toInt());
    styleRow(file_select_, true);
    if (debugOn())
        std::printf("\n krx_button_file_clicked ...file_select = %d\n", file_select_);
}

void firmware_usbgrade::krx_Button_previous_clicked() {
    if (page_ > 0)
        --page_;
    upgrade_file_list();
    if (debugOn())
        std::printf("\n krx_Button_previous_clicked  current_page = %d\n", page_);
}

void firmware_usbgrade::krx_Button_next_clicked() {
    page_ = static_cast<u8>(page_ + 1 > last_page_ ? 0 : page_ + 1);
    upgrade_file_list();
    if (debugOn())
        std::printf("\n krx_Button_next_clicked  current_page = %d\n", page_);
}

void firmware_usbgrade::menulist_button_ok_page() {
    if (file_downing_)
        return;
    file_downing_ = 1;
    if (debugOn())
        std::printf("\n menulist_button_ok_page 00 in  file_downing = %#x \n", file_downing_);
    // An upgrade still running from an earlier visit is not started again: its end
    // reaches this screen all the same.
    u32 idle = 0;
    g_usb_grade.compare_exchange_strong(idle, 1);
}

void firmware_usbgrade::keyOk() {
    menulist_button_ok_page();
}

// A touch on OK starts nothing. While an upgrade runs it warns, with the time, which is
// kept; otherwise it shows the kept time and the time now, and an upgrade started here
// that failed is called failed, as the end's log calls it.
void firmware_usbgrade::on_Button_grade_clicked() {
    if (g_usb_grade) {
        time_text_ = clock_text();
        showLog(kRed, 12, "downing ,Dont power off !!\r\n" + time_text_);
        return;
    }
    fpga_manage* manager = fpga_manage::p_fpga_manage;
    const bool failed = file_downing_ && manager && manager->usb_upgrade_failed();
    showLog(failed ? kRed : kGreen, 12,
            QString(failed ? "downing failed \r\n" : "downing over \r\n") + time_text_ + "\r\n" +
                clock_text());
}

void firmware_usbgrade::traceKey(PanelKey key) {
    if (key != PanelKey::Back) {
        MenuScreen::traceKey(key);
        return;
    }
    // Formatted by the C library, as the shared key lines are.
    char line[96];
    std::snprintf(line, sizeof line,
                  "this is back button(firmware_usbgrade)[Release] file_downing = %#x\n",
                  file_downing_);
    qDebug("%s", line);
}

bool firmware_usbgrade::keyMode() {
    if (file_downing_)
        return false;
    return MenuScreen::keyMode();
}

void firmware_usbgrade::showLog(const QString& colour, int pixels, const QString& text) {
    label_log_->setText(QString("<font style = 'font-size:%1px' color = %2 >%3</font>")
                            .arg(pixels)
                            .arg(colour, text));
    label_log_->show();
}

void firmware_usbgrade::syncUpdate(int reason) {
    switch (reason) {
        case sync_reason::usb_added:
            if (debugOn())
                std::printf("\n yes ,got the usb in");
            return;
        case sync_reason::usb_removed:
        case sync_reason::usb_ready:
            if (debugOn()) {
                if (reason == sync_reason::usb_removed)
                    std::printf("\n yes ,got the usb out");
                else
                    std::printf("\n yes ,mounting ok ,key_sacn_step = %d\n", 0);
            }
            file_select_ = 0;
            get_file_list_smartpath();
            upgrade_file_list();
            return;
        default:
            break;
    }
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
    if (reason != sync_reason::usb_upgrade_done)
        return;
    fpga_manage* manager = fpga_manage::p_fpga_manage;
    const QString times = manager ? manager->usb_upgrade_time() : QString();
    if (manager && manager->usb_upgrade_failed())
        showLog(kRed, 13, "downing failed<br>" + times);
    else
        showLog(kGreen, 13, "downing over<br>" + times);
}

void firmware_usbgrade::slot_Button_back_clicked() {
    menulist_back_page();
}

void firmware_usbgrade::menulist_back_page() {
    if (debugOn()) {
        std::printf("\n menulist_back_page .... g_qround_bar = %#x\n",
                    static_cast<unsigned>(g_qround_bar != nullptr));
        std::printf("\n menulist_back_page ....01");
    }
    backTo(
        [] {
            if (g_linkoption)
                g_linkoption->language_changed();
        },
        page::linkoption);
}
