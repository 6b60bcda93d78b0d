#include "ui/mainwindow.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QToolButton>

#include "core/global.h"
#include "core/guithread.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "screens/maintenance/factoryage.h"
#include "screens/settings/machinestate.h"
#include "screens/sources/custommode.h"
#include "ui/agelog.h"
#include "ui/firmwareupdate.h"
#include "ui/language.h"
#include "ui/lockwindow.h"
#include "ui/menuscreen.h"
#include "ui/numberkeyboard.h"
#include "ui/option.h"
#include "ui/outputset.h"
#include "ui/pages.h"
#include "ui/panelkey.h"
#include "ui/tip.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent, Qt::FramelessWindowHint) {
    setObjectName("MainWindow");
    setFixedSize(320, 240);
    move(0, 0);
    auto* central = new QWidget(this);
    central->setObjectName("centralwidget");
    central->setStyleSheet("background-color: rgb(16, 16, 28);");
    setCentralWidget(central);
    title_ = new QLabel(central);
    title_->setObjectName("label_title");
    title_->setGeometry(QRect(QPoint(11, 6), QPoint(269, 31)));
    title_->setStyleSheet("color: rgb(255, 255, 255);");
    QFont font = title_->font();
    font.setPointSize(12);
    title_->setFont(font);
    machinestate_ = addEntry("machinestate", 15, 38, ":/png/machinestate.png");
    usermode_ = addEntry("usermode", 165, 38, ":/png/usermode.png");
    tools_ = addEntry("tools", 15, 128, ":/png/setting.png");
    output_ = addEntry("output", 165, 128, ":/png/output.png");
    connect(machinestate_, &QAbstractButton::clicked, this, &MainWindow::on_machinestate_clicked);
    connect(usermode_, &QAbstractButton::clicked, this, &MainWindow::on_usermode_clicked);
    connect(tools_, &QAbstractButton::clicked, this, &MainWindow::on_tools_clicked);
    connect(output_, &QAbstractButton::clicked, this, &MainWindow::on_output_clicked);
    auto* ok = new QLabel(central);
    ok->setObjectName("label_note_OK");
    ok->setGeometry(QRect(QPoint(75, 220), QPoint(155, 236)));
    ok->setPixmap(QPixmap(":/png/OK_Enter.png"));
    auto* back = new QLabel(central);
    back->setObjectName("label_note_back");
    back->setGeometry(QRect(QPoint(176, 220), QPoint(231, 236)));
    back->setPixmap(QPixmap(":/png/back_return.png"));
    focus_.setStyle(focus_style::hub);
    focus_.setItems({machinestate_, usermode_, tools_, output_});
    setFocusPolicy(Qt::StrongFocus);
    g_numberkeyboard = new NumberKeyboard(nullptr);
    g_tip = new TIP(nullptr);
    language_changed();
}

QAbstractButton* MainWindow::addEntry(const QString& name, int x, int y, const QString& icon) {
    auto* button = new QToolButton(centralWidget());
    button->setObjectName(name);
    button->setGeometry(x, y, 140, 80);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(QPixmap(icon));
    button->setIconSize(QSize(36, 36));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QFont font = button->font();
    font.setPointSize(10);
    button->setFont(font);
    return button;
}

void MainWindow::language_changed() {
    title_->setText(pickText("主菜单", "Main menu", "Главное меню", "Menu chính", "主菜單"));
    machinestate_->setText(pickText("设备信息", "Devices", "Устроство", "Thiết bị", "設備信息"));
    usermode_->setText(
        pickText("用户模式", "User mode", "Режимы", "Chế độ người dùng", "用戶模式"));
    tools_->setText(pickText("系统设置", "Setting", "Настройки", "Cài đặt", "系統設置"));
    output_->setText(pickText("输出设置", "Output", "Выход", "Đầu ra", "輸出設置"));
}

void MainWindow::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

void MainWindow::on_machinestate_clicked() {
    openScreen(g_machinestate, page::machinestate);
}

void MainWindow::on_usermode_clicked() {
    CustomMode::openFromMainWindow();
}

void MainWindow::on_tools_clicked() {
    openScreen(g_option, page::option);
}

void MainWindow::on_output_clicked() {
    openScreen(g_outputset, page::outputset);
}

void MainWindow::showInFront() {
    g_page_focus = page::mainwindow;
    language_changed();
    raise();
    activateWindow();
}

void MainWindow::showHome() {
    g_page_focus = page::home;
    if (!g_lockwindow)
        return;
    g_lockwindow->syncUpdate();
    g_lockwindow->show();
    g_lockwindow->raise();
    g_lockwindow->activateWindow();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    tracePress("MainWindow", event->key());
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    const int code = event->key();
    const PanelKey key = panelKey(code);
    traceRelease("MainWindow", key, focus_.ui_select());
    switch (key) {
        case PanelKey::Left:
            focus_.move(-1);
            break;
        case PanelKey::Right:
            focus_.move(1);
            break;
        case PanelKey::Ok:
            if (auto* button = qobject_cast<QAbstractButton*>(focus_.focused()))
                button->click();
            break;
        case PanelKey::Back:
            showHome();
            break;
        case PanelKey::Mode:
            if (panelLocked())
                return;
            CustomMode::openByShortcut();
            break;
        case PanelKey::None:
            break;
    }
    keyboard_.update_usb_keyEvent(code);
}

void MainWindow::update_start() {
    onGuiThread([] {
        if (!g_mainwindow)
            return;
        if (!g_move_update)
            g_move_update = new FirmwareUpdate(nullptr);
        g_move_update->show();
        g_move_update->raise();
    });
}

void MainWindow::update_over() {
    onGuiThread([] {
        if (!g_move_update)
            return;
        g_move_update->setAttribute(Qt::WA_DeleteOnClose, true);
        g_move_update->close();
        g_move_update = nullptr;
    });
}

void MainWindow::slot_update_timer_ticks() {
    ++G_timeTicks;
    if (g_update_flag && g_move_update)
        g_move_update->step();
    if (g_tip_flag && g_tip)
        g_tip->tick();
    rebootTick();
    agingTick();
}

void MainWindow::rebootTick() {
    if (!g_app_reset_flag || rebootRequested_)
        return;
    if (Utils::getTimeSpace(G_reboot_tickTicks) < kRebootDelayTicks)
        return;
    rebootRequested_ = true;
    Utils::system_mutex("reboot");
}

void MainWindow::agingTick() {
    if (Utils::getTimeSpace(G_factoryage_ticks) < kAgeLogPeriodTicks)
        return;
    const AgeLogSource& source = ageLogSource();
    if (source.ready && source.read && pc_cmd_valid == 0 && source.ready())
        getagelog();
    if (g_factoryage)
        g_factoryage->update_agelog();
    G_factoryage_ticks = G_timeTicks.load();
}

void MainWindow::getagelog() {
    const AgeLogSource& source = ageLogSource();
    if (!source.read)
        return;
    QDateTime now;
    {
        std::lock_guard<std::mutex> lock(Utils::_system_mutex);
        now = QDateTime::currentDateTime();
    }
    appendAgeLogLine(now.toString("MM-dd hh:mm"), source.read());
}
