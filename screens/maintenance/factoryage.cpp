#include "screens/maintenance/factoryage.h"

#include <QDateTime>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <algorithm>
#include <mutex>

#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "screens/settings/advancedoption.h"
#include "screens/settings/settings_form.h"
#include "ui/pages.h"

factoryage* g_factoryage = nullptr;

namespace {

const FocusStyle kButtonStyle = {"color:rgb(255,255,255);\nborder:1px solid rgb(255, 255, 255);",
                                 "color:rgb(255,255,255);\nborder:1px solid rgb(255,171,84);", "",
                                 ""};

// Register 40's status bits, bit 0 first.
const char* const kStatusNames[] = {"DDR0", "DDR1", "DE", "HS", "VS"};
constexpr int kFields = 5;

QString threeDigits(int value) {
    return QString("%1").arg(value, 3, 10, QChar('0'));
}

}  // namespace

factoryage::factoryage(QWidget* parent) : MenuScreen("factoryage", parent) {
    bindPointer(g_factoryage);
    logFont_.setPixelSize(10);
    auto* frame = new QFrame(this);
    frame->setObjectName("frame");
    frame->setGeometry(3, 2, 242, 236);
    frame->setStyleSheet("#frame{\nbackground-color: rgb(16, 16, 28);\n}");
    frame_ = frame;
    page_info_ = form::title(this, "page_info", QRect(260, 20, 50, 20), 8);
    label_page_ = form::title(this, "label_page", QRect(260, 45, 50, 17), 9);
    ButtonNext_ = form::button(this, "ButtonNext", QRect(260, 70, 50, 20), 9);
    ButtonPriv_ = form::button(this, "ButtonPriv", QRect(260, 100, 50, 20), 9);
    ButtonNext_->setText("Nex");
    ButtonPriv_->setText("Priv");
    label_3_ = form::title(this, "label_3", QRect(250, 130, 70, 17), 9);
    label_5_ = form::title(this, "label_5", QRect(250, 150, 70, 17), 9);
    label_10_ = form::title(this, "label_10", QRect(250, 170, 70, 17), 9);
    label_20_ = form::title(this, "label_20", QRect(250, 190, 70, 17), 9);
    label_more_ = form::title(this, "label_more", QRect(250, 210, 70, 17), 9);
    connect(ButtonNext_, &QPushButton::clicked, this, &factoryage::on_ButtonNext_clicked);
    connect(ButtonPriv_, &QPushButton::clicked, this, &factoryage::on_ButtonPriv_clicked);
    focus.setStyle(kButtonStyle);
    para_init();
    menulist_init();
    ageloginit();
}

void factoryage::menulist_init() {
    focus.setItems({ButtonNext_, ButtonPriv_});
}

int factoryage::pageCount() const {
    const int n = static_cast<int>(factoryage_log.size());
    return (n + kLinesPerPage - 1) / kLinesPerPage;
}

QString factoryage::logText() const {
    return logLabel_ ? logLabel_->text() : QString();
}

void factoryage::ageloginit() {
    QDateTime now;
    {
        std::lock_guard<std::mutex> lock(Utils::_system_mutex);
        now = QDateTime::currentDateTime();
    }
    const QString placeholder =
        now.toString("MM-dd hh:mm") + "  " + QString::fromUtf8("正在老化中...");
    delete container_;
    container_ = new QWidget(frame_);
    container_->setGeometry(0, 0, 280, 236);
    logLabel_ = new QLabel(container_);
    logLabel_->setObjectName("label_log");
    logLabel_->setGeometry(0, 0, 260, 236);
    logLabel_->setFont(logFont_);
    logLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    logLabel_->setFrameShape(QFrame::NoFrame);
    logLabel_->setStyleSheet("background-color: #10101C;color: #FFFFFF;");
    if (factoryage_log.empty()) {
        logText_ = placeholder;
        logLabel_->setText(logText_);
        logText_.clear();
        showCounters();
    } else {
        update_agelog();
    }
    container_->show();
}

QString factoryage::formatRow(const QString& line) {
    const QStringList fields = line.split(' ', Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (fields.size() != kFields)
        return QString();
    const int a = fields[2].toInt();
    const int b = fields[3].toInt();
    const int c = fields[4].toInt();
    QString row = fields[0] + " " + fields[1] + " " + threeDigits(a) + " ";
    for (int bit = 0; bit < 5; ++bit) {
        const bool set = (b >> bit) & 1;
        const char* format =
            set ? "<font color = #00FF00 >%1</font>" : "<font color = #FF0000 >%1</font>";
        row += QString(format).arg(kStatusNames[bit]);
        if (set || bit < 4)
            row += " ";
    }
    return row + threeDigits(c);
}

void factoryage::update_agelog() {
    const int n = static_cast<int>(factoryage_log.size());
    if (n == 0) {
        ageloginit();
        return;
    }
    // The log only grows or stays at its limit, so the page drawn last still exists.
    if (page_ >= pageCount())
        page_ = 0;
    logText_.clear();
    const int first = kLinesPerPage * page_;
    const int end = std::min(n, first + kLinesPerPage);
    for (int k = first; k < end; ++k) {
        const QString row = formatRow(factoryage_log[static_cast<size_t>(k)]);
        if (row.isEmpty())
            continue;
        if (k != first)
            logText_ += "<br>";
        logText_ += row;
    }
    logLabel_->setText(logText_);
    showCounters();
}

// An empty log has no page: its page label reads 0/0.
void factoryage::showCounters() {
    label_3_->setText(QString::number(factoryage_log_diff3) + "<3");
    label_5_->setText(QString::number(factoryage_log_diff5) + "<5");
    label_10_->setText(QString::number(factoryage_log_diff10) + "<10");
    label_20_->setText(QString::number(factoryage_log_diff20) + "<20");
    label_more_->setText(QString::number(factoryage_log_diffmore) + ">20");
    const int pages = pageCount();
    page_info_->setText(QString::number(factoryage_log.size()));
    label_page_->setText(pages == 0 ? QString("0/0") : QString("%1/%2").arg(page_ + 1).arg(pages));
}

void factoryage::on_ButtonNext_clicked() {
    const int pages = pageCount();
    if (page_ >= pages)
        return;
    page_ = static_cast<u8>(page_ + 1 >= pages ? 0 : page_ + 1);
    update_agelog();
}

// Previous on the first page wraps to the last, as Next wraps from the last to the first.
void factoryage::on_ButtonPriv_clicked() {
    const int pages = pageCount();
    if (pages == 0)
        return;
    page_ = static_cast<u8>(page_ == 0 ? pages - 1 : page_ - 1);
    update_agelog();
}

void factoryage::slot_Button_back_clicked() {
    backTo(
        [] {
            KrxRamPara* store = KrxRamPara::p_krxrampara_config;
            if (g_advancedoption && store && store->KrxLanguageChanged())
                g_advancedoption->language_changed();
        },
        page::advancedoption);
}
