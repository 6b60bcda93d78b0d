#include "ui/lockwindow.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>

#include "core/global.h"
#include "core/krxrampara.h"
#include "screens/sources/custommode.h"
#include "ui/language.h"
#include "ui/mainwindow.h"
#include "ui/pages.h"
#include "ui/panelkey.h"

namespace {

const char* const kInputNames[4] = {"DVI", "HDMI1", "HDMI2", "HDMI3"};
const char* const kOnline[4] = {":/png/dvilv.png", ":/png/HDMI13_lv.png", ":/png/HDMI13_lv.png",
                                ":/png/HDMI20_lv.png"};
const char* const kOffline[4] = {":/png/DVI.png", ":/png/HDMI13_1.png", ":/png/HDMI13_1.png",
                                 ":/png/HDMI20.png"};

QLabel* label(QWidget* parent, const char* name, const QRect& geometry, int pixels,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    l->setAlignment(alignment);
    l->setStyleSheet("color: rgb(255, 255, 255);");
    QFont font = l->font();
    font.setPixelSize(pixels);
    l->setFont(font);
    return l;
}

// The input thread writes the entry while the panel shows it: read whole under its lock.
bool inputOnline(KrxRamPara& store, int input) {
    const VideoSizePara size = store.input_size(input);
    return size.width && size.height && size.refresh;
}

}  // namespace

LockWindow::LockWindow(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName("LockWindow");
    setFixedSize(320, 240);
    move(0, 0);
    setAutoFillBackground(true);
    setStyleSheet("background-color: rgb(16, 16, 28);");
    setFocusPolicy(Qt::StrongFocus);
    title_ = label(this, "label_title", QRect(11, 4, 120, 24), 18);
    title_->setText("T47N");
    lock_ = new QLabel(this);
    lock_->setObjectName("label_lock");
    lock_->setGeometry(130, 8, 16, 16);
    lock_->setPixmap(QPixmap(":/png/lock.png"));
    address_ =
        label(this, "label_ip", QRect(150, 4, 160, 24), 12, Qt::AlignRight | Qt::AlignVCenter);
    ledCaption_ = label(this, "label_led", QRect(11, 34, 298, 18), 12, Qt::AlignCenter);
    ledSize_ = label(this, "label_ledsize", QRect(11, 52, 298, 36), 30, Qt::AlignCenter);
    mode_ = label(this, "label_mode", QRect(11, 92, 298, 20), 13, Qt::AlignCenter);
    mode_->setStyleSheet("color: rgb(255,171,84);");
    for (int i = 0; i < 4; ++i) {
        const int x = 20 + i * 74;
        inputIcon_[i] = new QLabel(this);
        inputIcon_[i]->setObjectName(QString("sourceid%1pixmap").arg(i));
        inputIcon_[i]->setGeometry(x + 5, 120, 48, 32);
        inputName_[i] = label(this, "", QRect(x, 152, 58, 16), 11, Qt::AlignCenter);
        inputName_[i]->setObjectName(QString("sourceid%1name").arg(i));
        inputName_[i]->setText(kInputNames[i]);
    }
    window_ = label(this, "label_window", QRect(11, 176, 298, 20), 13, Qt::AlignCenter);
    auto* ok = new QLabel(this);
    ok->setObjectName("label_note_OK");
    ok->setGeometry(90, 216, 80, 16);
    ok->setPixmap(QPixmap(":/png/OK_Enter.png"));
    hint_ = label(this, "label_hint", QRect(172, 212, 120, 24), 12);
    language_changed();
}

void LockWindow::language_changed() {
    ledCaption_->setText(
        pickText("LED屏尺寸", "LED screen", "Экран LED", "Màn hình LED", "LED屏尺寸"));
    hint_->setText(pickText("主菜单", "Main menu", "Главное меню", "Menu chính", "主菜單"));
    showState();
}

void LockWindow::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
    else
        showState();
}

void LockWindow::showState() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    address_->setText(g_str_ip);
    lock_->setVisible(panelLocked());
    if (!store)
        return;
    const RamParaImage& image = store->ram_para;
    ledSize_->setText(
        QString("%1 x %2").arg(image.u16At(para::led_width)).arg(image.u16At(para::led_height)));
    const int current = store->KrxGetCurrentModeIndex();
    const QString mode = pickText("用户模式", "User mode", "Режим", "Chế độ", "用戶模式");
    mode_->setText(current > 0 ? QString("%1: %2").arg(mode).arg(current) : mode + ": -");
    showInputs();
    showWindow();
}

void LockWindow::showInputs() {
    KrxRamPara& store = *KrxRamPara::p_krxrampara_config;
    for (int i = 0; i < 4; ++i) {
        const bool online = inputOnline(store, i);
        inputIcon_[i]->setPixmap(QPixmap(online ? kOnline[i] : kOffline[i]));
        inputName_[i]->setStyleSheet(online ? "color: rgb(0, 214, 91);"
                                            : "color: rgb(140, 140, 150);");
    }
}

void LockWindow::showWindow() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    const u8 window = g_image_current;
    if (window >= para::window_count) {
        window_->clear();
        return;
    }
    short isCrop = 0;
    u8 cropIndex = 0;
    const int input =
        store->KrxGetImageSource(store->ram_para.data(), window, &isCrop, &cropIndex, 0);
    QString text = pickText("窗口", "Window", "Окно", "Cửa sổ", "窗口") +
                   QString(" %1: ").arg(window + 1) +
                   (input >= 0 && input < 4 ? kInputNames[input] : "-");
    const u16 output = store->ram_para.u16At(para::window_at(window) + para::win_output);
    if (output & 0x2)
        text += "  " + pickText("冻结", "Freeze", "Стоп-кадр", "Đóng băng", "凍結");
    if (output & 0x1)
        text += "  " + pickText("黑屏", "Black", "Чёрный", "Màn đen", "黑屏");
    window_->setText(text);
}

void LockWindow::openMainWindow() {
    hide();
    g_page_focus = page::mainwindow;
    if (g_mainwindow)
        g_mainwindow->showInFront();
}

void LockWindow::keyPressEvent(QKeyEvent* event) {
    tracePress("LockWindow", event->key());
}

void LockWindow::keyReleaseEvent(QKeyEvent* event) {
    const int code = event->key();
    const PanelKey key = panelKey(code);
    traceRelease("LockWindow", key, 0);
    if (key == PanelKey::Ok) {
        openMainWindow();
    } else if (key == PanelKey::Mode) {
        if (panelLocked())
            return;
        CustomMode::openByShortcut();
    }
    keyboard_.update_usb_keyEvent(code);
}
