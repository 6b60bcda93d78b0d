#include "screens/cardtools/rcv_recovery.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "core/guithread.h"
#include "core/krxrampara.h"
#include "fpga/send_para.h"
#include "screens/cardtools/card_job.h"
#include "screens/cardtools/retire_widget.h"
#include "screens/settings/advancedoption.h"
#include "ui/QRoundProgressBar.h"
#include "ui/language.h"
#include "ui/pages.h"

rcv_recovery* g_rcv_recovery = nullptr;

namespace {

constexpr u16 kNoAnswer = 0xFFFF;
constexpr u16 kNothingToRecover = 0xFF;

const FocusStyle kButtonStyle = {
    "color:rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);",
    "color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);",
    "",
    "",
};
const char* const kRowPlain = "background-color: rgb(33, 36, 53);color: #FFFFFF";
const char* const kRowSelected = "background-color:#4777FF;color: #FFFFFF;";

void setPointSize(QWidget* widget, int pointSize) {
    QFont font = widget->font();
    font.setPointSize(pointSize);
    widget->setFont(font);
}

QLabel* label(QWidget* parent, const char* name, const QRect& geometry) {
    auto* shown = new QLabel(parent);
    shown->setObjectName(name);
    shown->setGeometry(geometry);
    return shown;
}

QPushButton* button(QWidget* parent, const char* name, const QRect& geometry) {
    auto* pressed = new QPushButton(parent);
    pressed->setObjectName(name);
    pressed->setGeometry(geometry);
    pressed->setFocusPolicy(Qt::NoFocus);
    return pressed;
}

// The words of a result row: simplified Chinese, traditional Chinese, or English for
// every other language.
struct RowWords {
    const char* find;
    const char* screen;
    const char* net;
    const char* card;
};

RowWords rowWords() {
    switch (uiLanguage()) {
        case lang_chinese:
            return {"发现", "屏幕", "网口LED", "接收卡"};
        case lang_traditional:
            return {"髮現", "屏幕", "網口LED", "接收卡"};
        default:
            return {"Find", "Screen", "LED", "Rcv"};
    }
}

QString noCardText() {
    return pickText("暂无接收卡需要更新!", "No receiving cards that need to be updated!",
                    "Обновление принимающих карт не требуется!",
                    "Chưa có thẻ nhận nào để cập nhật!", "暫無接收卡需要更新!");
}

}  // namespace

rcv_recovery::rcv_recovery(QWidget* parent) : MenuScreen("rcv_recovery", parent) {
    bindPointer(g_rcv_recovery);
    label_title_ = label(this, "label_title", QRect(33, 10, 254, 22));
    setPointSize(label_title_, 11);
    label_title_->setStyleSheet("color: rgb(255, 255, 255);");
    label_title_->setAlignment(Qt::AlignCenter);
    frame_ = new QFrame(this);
    frame_->setObjectName("frame");
    frame_->setGeometry(10, 42, 300, 190);
    frame_->setStyleSheet(
        "#frame{\nbackground-color: rgb(16, 16, 28);\nborder:1px solid rgb(255, 255, "
        "255);\nborder-radius:6px;padding:2px 4px\n}");
    QLabel* paraFile = label(frame_, "label_para_file", QRect(10, 5, 141, 17));
    setPointSize(paraFile, 9);
    QPushButton* closeTest = button(frame_, "Button_closetest", QRect(210, 10, 80, 20));
    setPointSize(closeTest, 7);
    label_rcv_update_ = label(frame_, "label_rcv_update", QRect(10, 30, 240, 17));
    label_rcv_update_->setStyleSheet("color:rgb(255,255,255);");
    setPointSize(label_rcv_update_, 9);
    label_rcv_update_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Button_check_ = button(frame_, "Button_check", QRect(60, 153, 80, 30));
    Button_self_covery_ = button(frame_, "Button_self_covery", QRect(190, 153, 80, 30));
    for (QAbstractButton* start : {Button_check_, Button_self_covery_})
        start->setStyleSheet("color:rgb(255,255,255);\nborder:1px solid rgb(255, 255, 255);");
    paraFile->hide();
    closeTest->hide();
    connect(Button_check_, &QAbstractButton::clicked, this, [this] {
        focus.select(0);
        menulist_button_ok_page();
    });
    connect(Button_self_covery_, &QAbstractButton::clicked, this, [this] {
        focus.select(1);
        menulist_button_ok_page();
    });
    g_rcv_recovery_result = &result_;
    card_job_route_progress(CardJobScreen::RcvRecovery, [](int value) {
        if (g_rcv_recovery)
            emit g_rcv_recovery->sig_qround_bar_update(value);
    });
    menulist_init();
    language_changed();
}

rcv_recovery::~rcv_recovery() {
    if (g_rcv_recovery_result == &result_)
        g_rcv_recovery_result = nullptr;
}

void rcv_recovery::menulist_init() {
    focus.setStyle(kButtonStyle);
    focus.setItems({Button_check_, Button_self_covery_});
    rcv_self_recovery_file_list();
}

void rcv_recovery::language_changed() {
    label_title_->setText(pickText("接收卡自恢复", "Receiving card self recovery",
                                   "Самовосстановление приемной карты", "Thẻ nhận tự phục hồi",
                                   "接收卡自恢複"));
    label_rcv_update_->setText(pickText("接收卡更新", "Receiving card update",
                                        "Получить обновление карты",
                                        "Nhận thông tin cập nhập về thẻ", "接收卡更新"));
    Button_check_->setText(pickText("查询", "Query", "Считать", "Tìm hiểu", "查詢"));
    Button_self_covery_->setText(pickText("恢复", "Recovery", "Восстановить", "Phục hồi", "恢複"));
    const int size = uiLanguage() == lang_vietnamese ? 7 : 9;
    setPointSize(Button_check_, size);
    setPointSize(Button_self_covery_, size);
    // The rows carry words of the language too.
    rcv_self_recovery_file_list();
}

void rcv_recovery::syncUpdate(int reason) {
    const u16 answer = g_send_para.recovery_result;
    if (reason == sync_reason::recovery || (answer != kNoAnswer && answer != kNothingToRecover))
        rcv_self_recovery_file_list();
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

void rcv_recovery::menulist_sel_left() {
    if (!g_qround_bar)
        focus.move(-1);
}

void rcv_recovery::menulist_sel_right() {
    if (!g_qround_bar)
        focus.move(1);
}

void rcv_recovery::post(u8 job) {
    card_job_show_progress(this);
    send_para_post(job);
}

void rcv_recovery::menulist_button_ok_page() {
    if (focus.ui_select() == 0) {
        if (!card_job_can_post())
            return;
        result_.result_count = 0;
        rcv_self_recovery_file_list();
        post(SEND_PARA_JOB_RECOVERY_QUERY);
        return;
    }
    if (send_para_job() != SEND_PARA_JOB_NONE || recovery_refused_ || g_qround_bar)
        return;
    if (result_.result_list.isEmpty()) {
        focus.select(0);
        return;
    }
    if (card_job_can_post())
        post(SEND_PARA_JOB_RECOVERY_RUN);
}

void rcv_recovery::slot_Button_back_clicked() {
    menulist_back_page();
}

void rcv_recovery::menulist_back_page() {
    onGuiThread([] {
        rcv_recovery* screen = g_rcv_recovery;
        if (!screen || g_qround_bar)
            return;
        screen->backTo(
            [] {
                if (g_advancedoption)
                    g_advancedoption->language_changed();
            },
            page::advancedoption);
    });
}

bool rcv_recovery::keyMode() {
    if (g_qround_bar)
        return false;
    return MenuScreen::keyMode();
}

// ---------------------------------------------------------------------------------------
// The result area.

QString rcv_recovery::rowText(const QString& entry) {
    const QStringList field = entry.split('/', Qt::KeepEmptyParts);
    if (field.size() < 4)
        return QString();
    recovery_refused_ = field[2].toInt() > field[3].toInt();
    const QString card = QString(recovery_refused_ ? "<font color = #FF0000 >%1</font>"
                                                   : "<font color = #FFFFFF >%1</font>")
                             .arg(field[2]);
    const RowWords words = rowWords();
    return QString::fromUtf8(words.find) + " " + QString::fromUtf8(words.screen) + field[0] + ", " +
           QString::fromUtf8(words.net) + field[1] + ", " + QString::fromUtf8(words.card) + card;
}

void rcv_recovery::rcv_self_recovery_file_list() {
    retireWidget(frame_file_);
    row_labels_.clear();
    row_texts_.clear();
    frame_file_ = new QFrame(frame_);
    frame_file_->setObjectName("frame_file");
    frame_file_->setGeometry(10, 50, 280, 90);
    frame_file_->setStyleSheet(
        "#frame_file{background-color: rgb(33, 36, 53);border:1px solid #FFFFFF;}");
    QFont font = frame_file_->font();
    font.setPointSize(7);
    if (result_.result_count == 0) {
        QLabel* none = label(frame_file_, "label_nocard", QRect(5, 5, 220, 20));
        none->setFont(font);
        none->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        none->setStyleSheet(kRowPlain);
        none->setText(noCardText());
    }
    const int first = current_page_ * kRowsPerPage;
    const int count = std::min<int>(result_.result_count, result_.result_list.size());
    for (int i = first; i < first + kRowsPerPage && i < count; ++i) {
        const QString text = rowText(result_.result_list[i]);
        if (text.isEmpty())
            continue;
        const int row = i - first;
        QLabel* shown = label(frame_file_, qPrintable(QString("label_row%1").arg(row)),
                              QRect(5, 25 * row + 5, 220, 20));
        shown->setFont(font);
        shown->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        shown->setTextFormat(Qt::RichText);
        shown->setText(text);
        shown->setStyleSheet(file_select_ == i ? kRowSelected : kRowPlain);
        row_labels_.push_back(shown);
        row_texts_.push_back(text);
        QPushButton* press =
            button(frame_file_, qPrintable(QString::number(row)), shown->geometry());
        press->setFlat(true);
        press->setStyleSheet("background-color: transparent;");
        connect(press, &QPushButton::clicked, this, &rcv_recovery::krx_button_file_clicked);
    }
    if (current_page_ >= 1) {
        QPushButton* previous = button(frame_file_, "Button_previous", QRect(250, 5, 20, 20));
        previous->setIcon(QPixmap(":/png/previous.png"));
        previous->setIconSize(QSize(20, 20));
        previous->setStyleSheet("background-color: rgb(33, 36, 53);");
        connect(previous, &QPushButton::clicked, this, &rcv_recovery::krx_Button_previous_clicked);
    }
    if (current_page_ < page_max_) {
        QPushButton* next = button(frame_file_, "Button_nextpage", QRect(250, 80, 20, 20));
        next->setIcon(QPixmap(":/png/next.png"));
        next->setIconSize(QSize(20, 20));
        next->setStyleSheet("background-color: rgb(33, 36, 53);");
        connect(next, &QPushButton::clicked, this, &rcv_recovery::krx_Button_next_clicked);
    }
    frame_file_->show();
}

void rcv_recovery::krx_Button_previous_clicked() {
    if (current_page_ > 0)
        --current_page_;
    rcv_self_recovery_file_list();
}

void rcv_recovery::krx_Button_next_clicked() {
    ++current_page_;
    if (current_page_ > page_max_)
        current_page_ = 0;
    rcv_self_recovery_file_list();
}

void rcv_recovery::krx_button_file_clicked() {
    if (!sender())
        return;
    bool ok = false;
    const int row = sender()->objectName().toInt(&ok);
    if (!ok || row < 0 || row >= static_cast<int>(row_labels_.size()))
        return;
    if (file_select_ < row_labels_.size())
        row_labels_[file_select_]->setStyleSheet(
            "background-color: rgb(33, 36, 53);color: #FFFFFF;");
    file_select_ = static_cast<u8>(row);
    row_labels_[row]->setStyleSheet(kRowSelected);
}
