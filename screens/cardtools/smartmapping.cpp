#include "screens/cardtools/smartmapping.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <cstdio>

#include "core/guithread.h"
#include "core/krxrampara.h"
#include "fpga/send_para.h"
#include "screens/cardtools/card_job.h"
#include "screens/cardtools/retire_widget.h"
#include "screens/cardtools/smartmapping_style.h"
#include "ui/QRoundProgressBar.h"
#include "ui/language.h"
#include "ui/my_lineedit.h"
#include "ui/option.h"
#include "ui/pages.h"
#include "ui/panelkey.h"

SmartMapping* g_smartmapping = nullptr;

using namespace smartmapping_style;

namespace {

void setPointSize(QWidget* widget, int pointSize) {
    QFont font = widget->font();
    font.setPointSize(pointSize);
    widget->setFont(font);
}

// A field's number as the job block takes it: plain decimal, 0 for an empty or
// non-numeric text, cut to the field's width by the caller.
long long fieldNumber(const QLineEdit* field) {
    bool ok = false;
    const long long value = field->text().toLongLong(&ok);
    return ok ? value : 0;
}

QString nextText() {
    return pickText("下一步", "Next", "Следующий\nшаг", "Bước tiếp theo", "下一步");
}

QString previousText() {
    return pickText("上一步", "Previous", "Предыдущий\nшаг", "Thao tác\nphía trước", "上一步");
}

QString routeText(int n) {
    return pickText("走线%1", "Routing %1", "След%1", "Dấu vết%1", "走線%1").arg(n);
}

}  // namespace

SmartMapping::SmartMapping(QWidget* parent) : MenuScreen("SmartMapping", parent) {
    bindPointer(g_smartmapping);
    buildForm();
    connectSlots();
    line_type.net_port = 0;
    line_type.route_way = 1;
    stackedWidget_->setCurrentIndex(kPageStep1);
    for (int hidden : {1, 2, 3, 5, 6, 7})
        Button_wlan_[hidden]->hide();
    language_changed();
    styleMain();
    connectKeypad({lineEdit_X_, lineEdit_Y_, lineEdit_line_, lineEdit_column_, lineEdit_horzion_,
                   lineEdit_vert_});
    routeProgress();
}

void SmartMapping::routeProgress() {
    card_job_route_progress(CardJobScreen::SmartMapping, [](int value) {
        if (g_smartmapping)
            emit g_smartmapping->sig_qround_bar_update(value);
    });
}

// ---------------------------------------------------------------------------------------
// The form.

void SmartMapping::buildForm() {
    label_title_ = new QLabel(this);
    label_title_->setObjectName("label_title");
    label_title_->setGeometry(33, 10, 254, 22);
    label_title_->setAlignment(Qt::AlignCenter);
    label_title_->setStyleSheet("color: rgb(255, 255, 255);");
    setPointSize(label_title_, 11);
    const char* names[] = {"Button_shortcut", "Button_loadscan", "Button_paraweld",
                           "Button_mapping"};
    const int ys[] = {42, 77, 111, 145};
    QAbstractButton** mains[] = {&Button_shortcut_, &Button_loadscan_, &Button_paraweld_,
                                 &Button_mapping_};
    for (int i = 0; i < 4; ++i) {
        auto* button = new QPushButton(this);
        button->setObjectName(names[i]);
        button->setGeometry(5, ys[i], 65, 20);
        button->setFocusPolicy(Qt::NoFocus);
        setPointSize(button, 6);
        *mains[i] = button;
    }
    auto* frame = new QFrame(this);
    frame->setObjectName("frame");
    frame->setGeometry(74, 41, 242, 192);
    frame->setStyleSheet("border:1px solid rgb(133, 129, 153);");
    stackedWidget_ = new QStackedWidget(this);
    stackedWidget_->setObjectName("stackedWidget");
    stackedWidget_->setGeometry(75, 42, 235, 190);
    const char* pageNames[] = {"page",   "page_2", "page_3", "page_4",
                               "page_5", "page_6", "page_7", "page_8"};
    for (const char* name : pageNames) {
        auto* page = new QWidget(stackedWidget_);
        page->setObjectName(name);
        stackedWidget_->addWidget(page);
        pages_.push_back(page);
    }
    buildWizardPages();
    buildFunctionPages();
}

QPushButton* SmartMapping::pageButton(QWidget* page, const char* name, const QRect& geometry) {
    auto* button = new QPushButton(page);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setFocusPolicy(Qt::NoFocus);
    setPointSize(button, 8);
    button->setStyleSheet(kButton.idle);
    kinds_.emplace_back(button, Kind::Button);
    return button;
}

QLabel* SmartMapping::pageLabel(QWidget* page, const char* name, const QRect& geometry) {
    auto* label = new QLabel(page);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setStyleSheet("color: rgb(255, 255, 255);border:none;");
    label->setWordWrap(true);
    setPointSize(label, 8);
    return label;
}

My_lineEdit* SmartMapping::pageField(QWidget* page, const char* name, const QRect& geometry,
                                     const char* text) {
    auto* field = new My_lineEdit(page);
    field->setObjectName(name);
    field->setGeometry(geometry);
    field->setFocusPolicy(Qt::NoFocus);
    field->setReadOnly(true);
    field->setText(text);
    setPointSize(field, 9);
    field->setStyleSheet(kField.idle);
    kinds_.emplace_back(field, Kind::Field);
    return field;
}

void SmartMapping::buildWizardPages() {
    QWidget* page = pages_[kPageStep1];
    label_step1_ = pageLabel(page, "label_step1", QRect(5, 5, 225, 20));
    label_boxwidth_ = pageLabel(page, "label_boxwidth", QRect(10, 45, 105, 22));
    label_boxheight_ = pageLabel(page, "label_boxheight", QRect(10, 85, 105, 22));
    lineEdit_X_ = pageField(page, "lineEdit_X", QRect(120, 45, 80, 22), "128");
    lineEdit_Y_ = pageField(page, "lineEdit_Y", QRect(120, 85, 80, 22), "96");
    Button_next_ = pageButton(page, "Button_next", QRect(140, 150, 85, 30));

    page = pages_[kPageStep2];
    label_step2_ = pageLabel(page, "label_step2", QRect(5, 5, 225, 20));
    for (int i = 0; i < 4; ++i) {
        Button_wlan_[i] = pageButton(page, qPrintable(QString("Button_wlan%1").arg(i + 1)),
                                     QRect(10 + 60 * i, 32, 55, 17));
        setPointSize(Button_wlan_[i], 7);
        kinds_.back().second = Kind::Tab;
    }
    auto* line = new QFrame(page);
    line->setObjectName("line");
    line->setGeometry(5, 53, 225, 1);
    line->setStyleSheet("border:1px solid rgb(133, 129, 153);");
    Button_front_2_ = pageButton(page, "Button_front_2", QRect(15, 152, 85, 30));
    Button_next_2_ = pageButton(page, "Button_next_2", QRect(140, 152, 85, 30));

    page = pages_[kPageStep3];
    label_step3_ = pageLabel(page, "label_step3", QRect(5, 1, 225, 18));
    const char* labels[] = {"label_boxline", "label_boxlcolumn", "label_routeway", "label_horizon",
                            "label_vert"};
    QLabel** labelOf[] = {&label_boxline_, &label_boxlcolumn_, &label_routeway_, &label_horizon_,
                          &label_vert_};
    for (int row = 0; row < 5; ++row) {
        *labelOf[row] = pageLabel(page, labels[row], QRect(5, 21 + 26 * row, 112, 24));
        setPointSize(*labelOf[row], 7);
    }
    lineEdit_line_ = pageField(page, "lineEdit_line", QRect(122, 23, 70, 20), "1");
    lineEdit_column_ = pageField(page, "lineEdit_column", QRect(122, 49, 70, 20), "1");
    Button_route_ = pageButton(page, "Button_route", QRect(122, 73, 108, 24));
    Button_route_->setIconSize(QSize(30, 20));
    lineEdit_horzion_ = pageField(page, "lineEdit_horzion", QRect(122, 101, 70, 20), "0");
    lineEdit_vert_ = pageField(page, "lineEdit_vert", QRect(122, 127, 70, 20), "0");
    Button_front_3_ = pageButton(page, "Button_front_3", QRect(15, 155, 85, 30));
    Button_send_ = pageButton(page, "Button_send", QRect(140, 155, 85, 30));

    page = pages_[kPageRoutes];
    for (int i = 0; i < kRoutes; ++i) {
        auto* route = new QToolButton(page);
        route->setObjectName(QString("Button_route%1").arg(i + 1));
        route->setGeometry(3 + 58 * (i % 4), 2 + 37 * (i / 4), 55, 35);
        route->setFocusPolicy(Qt::NoFocus);
        route->setIcon(QPixmap(QString(":/png/line%1.png").arg(i + 1)));
        route->setIconSize(QSize(40, 25));
        route->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        setPointSize(route, 5);
        route->setStyleSheet(kButton.idle);
        kinds_.emplace_back(route, Kind::Button);
        Button_routes_[i] = route;
    }
    Button_cancel_ = pageButton(page, "Button_cancel", QRect(75, 155, 85, 30));
}

void SmartMapping::connectSlots() {
    auto on = [this](QAbstractButton* button, void (SmartMapping::*slot)()) {
        connect(button, &QAbstractButton::clicked, this, slot);
    };
    on(Button_shortcut_, &SmartMapping::on_Button_shortcut_clicked);
    on(Button_loadscan_, &SmartMapping::on_Button_loadscan_clicked);
    on(Button_paraweld_, &SmartMapping::on_Button_paraweld_clicked);
    on(Button_mapping_, &SmartMapping::on_Button_mapping_clicked);
    on(Button_next_, &SmartMapping::on_Button_next_clicked);
    on(Button_front_2_, &SmartMapping::on_Button_front_2_clicked);
    on(Button_next_2_, &SmartMapping::on_Button_next_2_clicked);
    on(Button_front_3_, &SmartMapping::on_Button_front_3_clicked);
    on(Button_route_, &SmartMapping::on_Button_route_clicked);
    on(Button_cancel_, &SmartMapping::on_Button_cancel_clicked);
    on(Button_send_, &SmartMapping::on_Button_send_clicked);
    on(Button_next_5_, &SmartMapping::on_Button_next_5_clicked);
    on(Button_front_6_, &SmartMapping::on_Button_front_6_clicked);
    on(Button_load_, &SmartMapping::on_Button_load_clicked);
    on(Button_confirm_, &SmartMapping::on_Button_confirm_clicked);
    on(Button_mapping_state_, &SmartMapping::on_Button_mapping_state_clicked);
    for (int i = 0; i < kRoutes; ++i)
        connect(Button_routes_[i], &QAbstractButton::clicked, this,
                [this, i] { on_Button_route_n_clicked(i + 1); });
    for (int i = 0; i < 8; ++i)
        connect(Button_wlan_[i], &QAbstractButton::clicked, this,
                [this, i] { on_Button_wlan_clicked(i); });
}

// ---------------------------------------------------------------------------------------
// Texts.

void SmartMapping::language_changed() {
    mainTexts();
    updateScanFilesPresent();
    pageTexts();
}

void SmartMapping::mainTexts() {
    label_title_->setText(pickText("智能调屏", "Smart debugging screen", "Умная регулировка экрана",
                                   "Điều chỉnh màn hình thông minh", "智能調屏"));
    Button_shortcut_->setText(pickText("快捷点屏", "Debugging\nscreen", "Быстрое каса\nние экрана",
                                       "Chạm vào màn\nhình nhanh", "快捷點屏"));
    Button_loadscan_->setText(
        pickText("加载扫描", "Load scan", "Загрузить\nсканирование", "Cài đặt\nquét", "加載掃描"));
    Button_paraweld_->setText(pickText("参数固化", "Curing\nparameter", "Фиксация\nпараметров",
                                       "Lưu thông\nsố", "參數固化"));
    Button_mapping_->setText("Mapping");
}

// The texts of the page shown (the routing chooser counts as the wizard's third step).
void SmartMapping::pageTexts() {
    switch (stackedWidget_->currentIndex()) {
        case kPageStep1:
            step1Texts();
            break;
        case kPageStep2:
            step2Texts();
            break;
        case kPageStep3:
            step3Texts();
            break;
        case kPageRoutes:
            routeTexts();
            break;
        case kPageLoadPort:
            loadPortTexts();
            break;
        case kPageLoadFiles:
            loadFilesTexts();
            break;
        case kPageCuring:
            curingTexts();
            break;
        default:
            mappingTexts();
            break;
    }
}

void SmartMapping::step1Texts() {
    label_step1_->setText(pickText("步骤1箱体设置", "Step 1 Cabinet setup",
                                   "Шаг 1. Настройка кабинета", "Bước 1: Thiết lập cabin",
                                   "步驟1箱體設置"));
    label_boxwidth_->setText(
        pickText("箱体宽度", "Cabinet width", "Ширина кабинета", "Chiều rộng cabin", "箱體寬度"));
    label_boxheight_->setText(
        pickText("箱体高度", "Cabinet height", "Высота кабинета", "Chiều cao cabin", "箱體高度"));
    Button_next_->setText(nextText());
}

void SmartMapping::step2Texts() {
    label_step2_->setText(pickText("步骤2选择网口", "Step 2 Select port",
                                   "Шаг 2. Выберите сетевой порт", "Bước 2 :Chọn cổng mạng",
                                   "步驟2選擇網口"));
    Button_wlan_[0]->setText(
        pickText("网口%1~%2", "LED%1~%2", "LED%1~%2", "LED%1~%2", "網口%1~%2").arg(1).arg(6));
    Button_front_2_->setText(previousText());
    Button_next_2_->setText(nextText());
}

void SmartMapping::step3Texts() {
    label_step3_->setText(pickText("步骤3屏参设置", "Step 3 Screen parameter setting",
                                   "Шаг 3.Настройка параметров экрана",
                                   "Bước 3:Cài đặt thông số màn hình", "步驟3屏參設置"));
    label_boxline_->setText(pickText("箱体行数", "Number of Cabinet in rows", "Кол-во рядов",
                                     "Số lượng hàng tủ", "箱體行數"));
    label_boxlcolumn_->setText(pickText("箱体列数", "Number of Cabinet in lines", "Кол-во столбцов",
                                        "Số lượng cột tủ", "箱體列數"));
    label_routeway_->setText(pickText("屏体走线方式", "Screen alignment mode",
                                      "Тип подключения кабинетов", "Chế độ căn chỉnh màn hình",
                                      "屏體走線方式"));
    label_horizon_->setText(pickText("水平偏移", "Horizontal offset", "Горизонтальное\nсмещение",
                                     "Bù đắp theo\nchiều ngang", "水平偏移"));
    label_vert_->setText(pickText("垂直偏移", "Vertical offset", "Вертикальное\nсмещение",
                                  "Bù đắp theo\nchiều dọc", "垂直偏移"));
    Button_front_3_->setText(previousText());
    Button_send_->setText(pickText("发送", "Send", "Отправить", "Gửi", "髮送"));
    line_select(static_cast<char>(line_type.route_way.load()));
}

void SmartMapping::routeTexts() {
    for (int i = 0; i < kRoutes; ++i)
        Button_routes_[i]->setText(routeText(i + 1));
    Button_cancel_->setText(pickText("取消", "Cancle", "Отмена", "Hủy bỏ", "取消"));
}

void SmartMapping::line_select(char n) {
    const int route = static_cast<u8>(n);
    if (route >= 1 && route <= kRoutes)
        Button_route_->setIcon(QPixmap(QString(":/png/line%1.png").arg(route)));
    Button_route_->setText(routeText(route));
    Button_route_->setIconSize(QSize(30, 20));
    line_type.route_way = static_cast<u8>(route);
}

// ---------------------------------------------------------------------------------------
// The wizard's slots.

void SmartMapping::on_Button_shortcut_clicked() {
    if (g_qround_bar)
        return;
    if (level_)
        leavePage();
    main_index_ = kWizard;
    styleMain();
    stackedWidget_->setCurrentIndex(kPageStep1);
    step1Texts();
    file_list_shown_ = 0;
}

void SmartMapping::on_Button_next_clicked() {
    line_type.box_width = static_cast<u16>(fieldNumber(lineEdit_X_));
    line_type.box_height = static_cast<u16>(fieldNumber(lineEdit_Y_));
    on_Button_wlan_clicked(0);
    step2Texts();
    stackedWidget_->setCurrentIndex(kPageStep2);
}

void SmartMapping::on_Button_front_2_clicked() {
    stackedWidget_->setCurrentIndex(kPageStep1);
    step1Texts();
}

void SmartMapping::on_Button_next_2_clicked() {
    stackedWidget_->setCurrentIndex(kPageStep3);
    step3Texts();
}

void SmartMapping::on_Button_front_3_clicked() {
    if (g_qround_bar)
        return;
    stackedWidget_->setCurrentIndex(kPageStep2);
    step2Texts();
}

void SmartMapping::on_Button_route_clicked() {
    stackedWidget_->setCurrentIndex(kPageRoutes);
    routeTexts();
}

void SmartMapping::on_Button_route_n_clicked(int n) {
    line_select(static_cast<char>(n));
    stackedWidget_->setCurrentIndex(kPageStep3);
    step3Texts();
}

void SmartMapping::on_Button_cancel_clicked() {
    stackedWidget_->setCurrentIndex(kPageStep3);
    step3Texts();
}

void SmartMapping::on_Button_send_clicked() {
    if (!card_job_can_post())
        return;
    line_type.box_rows = static_cast<u8>(fieldNumber(lineEdit_line_));
    line_type.box_columns = static_cast<u8>(fieldNumber(lineEdit_column_));
    line_type.h_offset = static_cast<u16>(fieldNumber(lineEdit_horzion_));
    line_type.v_offset = static_cast<u16>(fieldNumber(lineEdit_vert_));
    if (debugOn())
        std::printf("\n set the route_way = %d \n", line_type.route_way.load());
    // Job 1 reports nothing in its first two steps, so it may be posted before the bar is
    // connected.
    send_para_post(SEND_PARA_JOB_SMART_MAPPING);
    card_job_show_progress(this);
}

void SmartMapping::show_numberkeyboard_ui(QString) {
    auto* field = qobject_cast<QLineEdit*>(sender());
    if (!field)
        return;
    QString title;
    if (field == lineEdit_X_)
        title = pickText("箱体宽度", "width", "width", "width", "箱體寬度");
    else if (field == lineEdit_Y_)
        title = pickText("箱体高度", "height", "height", "height", "箱體高度");
    else if (field == lineEdit_line_)
        title = pickText("箱体行数", "rows", "rows", "rows", "箱體行數");
    else if (field == lineEdit_column_)
        title = pickText("箱体列数", "lines", "lines", "lines", "箱體列數");
    else if (field == lineEdit_horzion_)
        title = pickText("水平偏移", "Horizontal", "Horizontal", "Horizontal", "水平偏移");
    else if (field == lineEdit_vert_)
        title = pickText("垂直偏移", "Vertical", "Vertical", "Vertical", "垂直偏移");
    else
        return;
    showKeypad(field, title);
}

// The fields take what was typed as it stands: the values are converted when Next or Send
// is pressed.
void SmartMapping::confirmString(QString text) {
    if (QLineEdit* field = keypadField())
        field->setText(text);
}

// ---------------------------------------------------------------------------------------
// Port tiles.

void SmartMapping::on_Button_wlan_clicked(int index) {
    const bool load = index >= 4;
    for (int i = load ? 4 : 0; i < (load ? 8 : 4); ++i)
        Button_wlan_[i]->setStyleSheet(i == index ? kTab.idle : kButton.idle);
    port_group_ = static_cast<u8>(index % 4);
    tile_cursor_ = 0;
    wlan_init(pages_[load ? kPageLoadPort : kPageStep2]);
}

QAbstractButton* SmartMapping::tab(bool load) const {
    return Button_wlan_[load ? 4 : 0];
}

void SmartMapping::pressTab(bool load) {
    tab(load)->click();
    const bool focused = state_ == State::Step2 || state_ == State::Step2Tiles ||
                         state_ == State::LoadPort || state_ == State::LoadTiles;
    if (focused && (load ? port_item_ == 0 : step2_item_ == 0))
        mark(tab(load), true);
}

int SmartMapping::tileCount() const {
    return port_group_ == 0 ? 6 : 8;
}

void SmartMapping::wlan_init(QWidget* page) {
    retireWidget(tiles_);
    tile_frames_.clear();
    tiles_ = new QFrame(page);
    tiles_->setObjectName("frame_wlan");
    tiles_->setGeometry(1, 59, 230, 88);
    tiles_->setStyleSheet("border:none;");
    for (int i = 0; i < tileCount(); ++i) {
        const int column = i % 4;
        const int row = i / 4;
        auto* tile = new QFrame(tiles_);
        tile->setObjectName(QString("frame_tile%1").arg(i));
        tile->setGeometry(10 + 55 * column, 2 + 45 * row, 50, 40);
        tile_frames_.push_back(tile);
        markTile(i, port_group_ * 8 + i == line_type.net_port);
        auto* icon = new QLabel(tiles_);
        icon->setGeometry(25 + 55 * column, 5 + 45 * row, 22, 15);
        icon->setScaledContents(true);
        icon->setStyleSheet("border:none;");
        icon->setPixmap(QPixmap(":/png/offline.png"));
        auto* text = new QLabel(tiles_);
        text->setObjectName(QString("label_tile%1").arg(i));
        text->setGeometry(14 + 55 * column, 20 + 45 * row, 45, 20);
        text->setAlignment(Qt::AlignCenter);
        QFont font = text->font();
        font.setPixelSize(8);
        text->setFont(font);
        text->setStyleSheet("background-color: #212435;color: #FFFFFF");
        text->setText(QString("LED%1").arg(port_group_ * 8 + i + 1));
        auto* press = new QPushButton(tiles_);
        press->setObjectName(QString::number(i));
        press->setGeometry(11 + 55 * column, 3 + 45 * row, 48, 38);
        press->setFlat(true);
        press->setFocusPolicy(Qt::NoFocus);
        press->setStyleSheet("background-color: transparent;");
        connect(press, &QPushButton::clicked, this, &SmartMapping::krx_button_wlan_clicked);
    }
    tiles_->show();
}

void SmartMapping::markTile(int tile, bool current) {
    if (tile < 0 || tile >= static_cast<int>(tile_frames_.size()))
        return;
    tile_frames_[tile]->setStyleSheet(current
                                          ? "background-color: #212435;border:1px solid #00D65B;"
                                          : "background-color: #212435;border:1px solid #FFFFFF;");
}

void SmartMapping::krx_button_wlan_clicked() {
    auto* press = qobject_cast<QPushButton*>(sender());
    if (!press)
        return;
    const int port = line_type.net_port;
    if (port / 8 == port_group_)
        markTile(port % 8, false);
    const int tile = press->objectName().toInt();
    tile_cursor_ = static_cast<u8>(tile);
    saved_port_ = static_cast<u8>(port_group_ * 8 + tile);
    line_type.net_port = saved_port_;
    markTile(tile, true);
}

// ---------------------------------------------------------------------------------------
// Leaving and refreshing.

void SmartMapping::slot_Button_back_clicked() {
    Button_back_clicked();
}

void SmartMapping::Button_back_clicked() {
    onGuiThread([] {
        SmartMapping* screen = g_smartmapping;
        if (!screen || g_qround_bar)
            return;
        screen->backTo(
            [] {
                if (g_option)
                    g_option->language_changed();
            },
            page::option);
    });
}

bool SmartMapping::keyMode() {
    if (g_qround_bar)
        return false;
    return MenuScreen::keyMode();
}

void SmartMapping::keyPressEvent(QKeyEvent* event) {
    if (event->key() == keycode::ok_fn)
        tracePress(traceName(), event->key());
}

void SmartMapping::syncUpdate(int reason) {
    switch (reason) {
        case sync_reason::usb_added:
            return;
        case sync_reason::usb_removed:
        case sync_reason::usb_ready:
            chosen_row_ = 0;
            updateScanFilesPresent();
            styleMain();
            if (file_list_shown_) {
                on_Button_next_5_clicked();
                if (state_ == State::Files)
                    enterFileList();
            }
            return;
        default:
            break;
    }
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

int SmartMapping::currentPage() const {
    return stackedWidget_->currentIndex();
}
