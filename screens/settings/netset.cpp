#include "screens/settings/netset.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/krxrampara.h"
#include "core/le.h"
#include "fpga/fpga_manage.h"
#include "screens/settings/settings_form.h"
#include "ui/language.h"
#include "ui/outputset.h"
#include "ui/pages.h"

netset* g_netset = nullptr;

namespace {

const FocusStyle kPortStyle = {
    "background-color:transparent; border:1px solid rgb(255, 255, "
    "255);border-radius:1px;padding:2px 4px",
    "background-color:transparent; border:0px solid rgb(255, 255, "
    "255);border-radius:1px;padding:2px 4px",
    "", ""};

}  // namespace

netset::netset(QWidget* parent) : MenuScreen("nsetset", parent) {
    setObjectName("netset");
    bindPointer(g_netset);
    label_netset_ = form::title(this, "label_netset", QRect(50, 0, 220, 22), 10);
    form::picture(this, "l_p", QRect(5, 51, 14, 14), ":/png/ltri.png");
    form::picture(this, "r_p", QRect(299, 51, 14, 14), ":/png/rtri.png");
    // The mark of the selected button lies under the buttons.
    net_frame_ = new QFrame(this);
    net_frame_->setObjectName("net_frame");
    net_frame_->setStyleSheet(
        "background-color: rgb(16, 16, 28);\nborder-top:1px solid "
        "rgb(255,171,84);\nborder-left:1px "
        "solid rgb(255,171,84);\nborder-right:1px solid "
        "rgb(255,171,84);\nborder-radius:1px;\npadding:"
        "2px 4px");
    std::vector<QWidget*> buttons;
    for (int i = 0; i < kShown; ++i) {
        QPushButton* button = form::button(this, qPrintable(QString("LED%1Button").arg(i + 1)),
                                           QRect(25 + 68 * i, 42, 56, 32), 7);
        buttons.push_back(button);
        linkLabel_[i] = form::picture(this, qPrintable(QString("L%1label").arg(i + 1)),
                                      QRect(42 + 68 * i, 46, 12, 10), QString());
        nameLabel_[i] = form::caption(this, qPrintable(QString("LED%1label").arg(i + 1)),
                                      QRect(27 + 68 * i, 58, 50, 14), 7, Qt::AlignCenter);
    }
    QFrame* xywh = new QFrame(this);
    xywh->setObjectName("xywh_frame");
    xywh->setGeometry(5, 79, 308, 150);
    xywh->setStyleSheet(
        "#xywh_frame{background-color: rgb(16, 16, 28);border:1px solid "
        "rgb(255,171,84);\nborder-radius:6px;padding:2px 4px}");
    form::caption(xywh, "x_label", QRect(31, 39, 10, 17), 9)->setText("X");
    form::caption(xywh, "y_label", QRect(169, 39, 10, 17), 9)->setText("Y");
    w_label_ =
        form::caption(xywh, "w_label", QRect(5, 93, 43, 17), 9, Qt::AlignRight | Qt::AlignVCenter);
    h_label_ = form::caption(xywh, "h_label", QRect(140, 93, 45, 17), 9,
                             Qt::AlignRight | Qt::AlignVCenter);
    x_lineEdit_ = form::field(xywh, "x_lineEdit", QRect(49, 35, 80, 24), 9);
    y_lineEdit_ = form::field(xywh, "y_lineEdit", QRect(187, 35, 80, 24), 9);
    w_lineEdit_ = form::field(xywh, "w_lineEdit", QRect(49, 89, 80, 24), 9);
    h_lineEdit_ = form::field(xywh, "h_lineEdit", QRect(187, 89, 80, 24), 9);
    focus.setStyle(kPortStyle);
    focus.setItems(buttons);
    initMenu();
    language_changed();
    showSelection();
}

void netset::language_changed() {
    label_netset_->setText(
        pickText("网口输出", "Port output", "Настройка LAN", "Cài đặt cổng MẠNG", "網口輸出"));
    w_label_->setText(pickText("宽", "W", "Ширина", "Rộng", "寬"));
    h_label_->setText(pickText("高", "H", "Высота", "Cao", "高"));
}

// The overview shows nothing that a refresh renews: ports are read again on Left and
// Right.
void netset::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

void netset::wlan_para_get(unsigned short port) {
    QLineEdit* fields[] = {x_lineEdit_, y_lineEdit_, w_lineEdit_, h_lineEdit_};
    fpga_manage* manager = fpga_manage::p_fpga_manage;
    unsigned short at[4] = {};
    u8 bytes[8] = {};
    bool read = false;
    if (manager) {
        manager->get_eth_param_addr(static_cast<unsigned char>(port), &at[0], &at[1], &at[2],
                                    &at[3]);
        // The PC rewrites the parameter RAM from its own threads: the four values are
        // taken in one copy under the manager's lock, so they belong together.
        read = manager->controller_area_read(fpga_manage::Area::ParaRam, 0, at[0], bytes,
                                             sizeof bytes) == 1;
    }
    for (int i = 0; i < 4; ++i)
        fields[i]->setText(read ? QString::number(get_u16(bytes + (at[i] - at[0]))) : QString());
    const QString name = pickText("网口LED%1", "LED%1", "LED%1", "LED%1", "網口LED%1");
    for (int i = 0; i < kShown; ++i)
        nameLabel_[i]->setText(name.arg(ui_min_select_ + 1 + i));
}

void netset::initWlan() {
    fpga_manage* manager = fpga_manage::p_fpga_manage;
    const u32 links = manager ? manager->get_wlan_state() : 0;
    for (int i = 0; i < kShown; ++i) {
        const bool online = (links >> (ui_min_select_ + i)) & 1u;
        linkLabel_[i]->setPixmap(QPixmap(online ? ":/png/online_up.png" : ":/png/offline_up.png"));
    }
}

void netset::initMenu() {
    wlan_para_get(0);
    initWlan();
}

void netset::showSelection() {
    focus.select(ui_sel_);
    net_frame_->setGeometry(24 + 68 * ui_sel_, 40, 58, 41);
}

void netset::moved() {
    showSelection();
    qDebug("\n ui_min_select=%d,ui_select=%d ui_sel=%d\n", ui_min_select_, ui_select_, ui_sel_);
    wlan_para_get(ui_select_);
    initWlan();
}

// Right walks the buttons, then scrolls the row until the last port is shown; it does not
// wrap around.
void netset::keyRight() {
    if (ui_sel_ < kShown - 1) {
        ++ui_sel_;
        ++ui_select_;
    } else if (ui_select_ < kPorts - 1) {
        ++ui_select_;
        ui_min_select_ = static_cast<u8>(ui_select_ - (kShown - 1));
    }
    moved();
}

void netset::keyLeft() {
    if (ui_sel_ > 0) {
        --ui_sel_;
        --ui_select_;
    } else if (ui_min_select_ > 0) {
        --ui_min_select_;
        --ui_select_;
    }
    moved();
}

void netset::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_outputset)
                g_outputset->language_changed();
        },
        page::outputset);
}
