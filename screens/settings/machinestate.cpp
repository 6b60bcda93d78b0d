#include "screens/settings/machinestate.h"

#include <pthread.h>

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "core/app_version.h"
#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "inputs/sourceinfo.h"
#include "screens/settings/settings_form.h"
#include "ui/language.h"
#include "ui/mainwindow.h"
#include "ui/pages.h"
#include "ui/syncupdate.h"

MachineState* g_machinestate = nullptr;

namespace {

constexpr int kInputs = 4;
constexpr int kPorts = 6;
// The labels of input ids 1, 2, 3 and 0, in the order the screen shows them.
constexpr u8 kInputOrder[kInputs] = {1, 2, 3, 0};

QString hex2(unsigned value) {
    return QString("%1").arg(value, 2, 16, QChar('0'));
}

QString dec2(unsigned value) {
    return QString("%1").arg(value, 2, 10, QChar('0'));
}

QWidget* area(QWidget* parent, const char* name, const QRect& geometry) {
    auto* box = new QFrame(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setStyleSheet("background-color: rgb(33, 36, 53);");
    return box;
}

QLabel* line(QWidget* parent, const char* name, const QRect& geometry) {
    return form::caption(parent, name, geometry, 7);
}

}  // namespace

MachineState::MachineState(QWidget* parent) : MenuScreen("MachineState", parent) {
    bindPointer(g_machinestate);
    title_ = addTitle(QRect(11, 4, 200, 22), 12);
    // Back works by key only: the button of the form stays hidden.
    QPushButton* back = form::button(this, "Button_back", QRect(278, 0, 40, 28), 9);
    back->setIcon(QPixmap(":/png/back.png"));
    back->setIconSize(QSize(32, 32));
    back->hide();

    frame_ = new QFrame(this);
    frame_->setObjectName("frame");
    frame_->setGeometry(5, 28, 310, 90);
    frame_->setStyleSheet("#frame{border:1px solid rgb(133, 129, 153);}");
    label_2_ = line(frame_, "label_2", QRect(8, 3, 290, 16));
    label_2_->setText("SN:YQ9999");
    label_state1_ =
        form::picture(frame_, "label_state1", QRect(24, 40, 80, 24), ":/png/output_state.png");

    QWidget* inputs = area(this, "frame_3", QRect(5, 122, 310, 58));
    form::picture(inputs, "label_state2", QRect(4, 17, 80, 24), ":/png/input_state.png");
    for (int i = 0; i < kInputs + 2; ++i) {
        const int x = 90 + 54 * (i - 1);
        QLabel* name =
            line(inputs, qPrintable(QString("sourceid%1name").arg(i)), QRect(x, 2, 52, 14));
        name->setAlignment(Qt::AlignCenter);
        auto* icon = new QLabel(inputs);
        icon->setObjectName(QString("sourceid%1pixmap").arg(i));
        icon->setGeometry(x + 2, 18, 48, 32);
        if (i == 0 || i == kInputs + 1) {
            name->hide();
            icon->hide();
            continue;
        }
        const u8 id = kInputOrder[i - 1];
        name->setText(sourceinfo::get_source_specialstyle0_by_sourceid(id).arg(
            sourceinfo::get_source_name_by_sourceid(id)));
        sourcePixmap_[id] = icon;
    }

    QWidget* versions = area(this, "frame_4", QRect(5, 184, 310, 50));
    label_state3_ = form::picture(versions, "label_state3", QRect(4, 13, 80, 24), QString());
    label_MCU_ = line(versions, "label_MCU", QRect(150, 0, 158, 15));
    label_FPGA1_ = line(versions, "label_FPGA1", QRect(150, 15, 140, 15));
    line(versions, "label_FPGA2", QRect(150, 30, 140, 15))->hide();

    initWlan();
    language_changed();
    version_changed();
    source_check();
    if (g_str_barcode != " ")
        label_2_->setText("SN:" + g_str_barcode);
}

void MachineState::language_changed() {
    title_->setText(pickText("设备信息", "Devices", "Устроство", "Thiết bị", "設備信息"));
    const LanguageId language = uiLanguage();
    const bool chinese = language == lang_chinese || language == lang_traditional;
    label_state3_->setPixmap(
        QPixmap(chinese ? ":/png/version_state.png" : ":/png/en_version_state.png"));
}

QString MachineState::mcuLine() {
    using namespace app_version;
    return QString("MCU:V%1.%2.%3 %4-%5-%6")
        .arg(dec2(major), dec2(minor), dec2(patch), QString::number(year, 16), hex2(month),
             hex2(day));
}

QString MachineState::fpgaLine(u8 function, u8 day, u8 month, u8 year) {
    return QString("FPGA:V%1.%2.%3 %4-%5-%6")
        .arg(hex2(17), hex2(0), hex2(function), QString::number(year + 0x2000u, 16), hex2(month),
             hex2(day));
}

void MachineState::version_changed() {
    label_MCU_->setText(mcuLine());
    // The register shadow exists only together with the FPGA manager.
    if (!fpga_manage::p_fpga_manage || !fpga_manage::MCU_REG_func[0]) {
        label_FPGA1_->setText("FPGA:");
        return;
    }
    const std::atomic<u8>* reg = fpga_manage::MCU_REG_func[0];
    label_FPGA1_->setText(fpgaLine(reg[28], reg[29], reg[30], reg[31]));
}

void MachineState::source_check() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    for (u8 id = 0; id < kInputs; ++id) {
        bool online = false;
        if (store) {
            const VideoSizePara size = store->input_size(id);
            online = size.width != 0 && size.height != 0 && size.refresh != 0;
        }
        sourceinfo::set_sourceonline_pixmap(sourcePixmap_[id], id, online ? 1 : 0);
        sourcePixmap_[id]->setScaledContents(true);
    }
}

void MachineState::initWlan() {
    delete wlanBox_;
    auto* box = new QFrame(frame_);
    box->setObjectName("frame_wlan");
    box->setGeometry(20, 20, 288, 65);
    box->setStyleSheet("background-color: rgb(33, 36, 53);");
    fpga_manage* manager = fpga_manage::p_fpga_manage;
    const u32 links = manager ? manager->get_wlan_state() : 0;
    for (int port = 0; port < kPorts; ++port) {
        const int x = 92 + 18 * port;
        auto* number = new QLabel(QString::number(port + 1), box);
        number->setObjectName(QString("label_port%1").arg(port + 1));
        number->setStyleSheet("color: rgb(255, 255, 255);font: 10px");
        number->setGeometry(x + 4, 13, 12, 14);
        const bool online = (links >> port) & 1u;
        form::picture(box, qPrintable(QString("label_link%1").arg(port + 1)), QRect(x, 27, 16, 14),
                      online ? ":/png/online.png" : ":/png/offline.png");
    }
    box->show();
    wlanBox_ = box;
    label_state1_->raise();
}

void MachineState::syncUpdate(int reason) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
    source_check();
    if (reason == sync_reason::port_links && fpga_manage::p_fpga_manage)
        initWlan();
}

void MachineState::on_Button_back_clicked() {
    backTo(
        [] {
            if (g_mainwindow)
                g_mainwindow->language_changed();
        },
        page::mainwindow);
}
