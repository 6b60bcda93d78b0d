#include "screens/sources/custommode.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <cstring>

#include "core/global.h"
#include "core/krxrampara.h"
#include "ui/language.h"
#include "ui/lockwindow.h"
#include "ui/mainwindow.h"
#include "ui/menuscreen.h"
#include "ui/pages.h"
#include "ui/panelkey.h"

CustomMode* g_custommode = nullptr;

namespace {

const FocusStyle kSlotStyle = {
    "color:rgb(255,255,255);background-color: rgb(33, 36, 53);border:1px solid "
    "rgb(255,255,255);border-radius:4px",
    "color:rgb(255,255,255);background-color: rgb(33, 36, 53);border:2px solid "
    "rgb(255,171,84);border-radius:4px",
    "color:rgb(110,110,120);background-color: rgb(24, 26, 40);border:1px solid "
    "rgb(70,70,80);border-radius:4px",
    "color:rgb(110,110,120);background-color: rgb(24, 26, 40);border:2px solid "
    "rgb(255,171,84);border-radius:4px",
};

constexpr size_t kModeBytes = RamParaImage::kSize - para::mode_copy_start;

QAbstractButton* button(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

}  // namespace

CustomMode::CustomMode(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName("CustomMode");
    setFixedSize(320, 240);
    move(0, 0);
    setAutoFillBackground(true);
    setStyleSheet("background-color: rgb(16, 16, 28);");
    setFocusPolicy(Qt::StrongFocus);
    title_ = new QLabel(this);
    title_->setObjectName("label_title");
    title_->setGeometry(11, 6, 298, 24);
    title_->setStyleSheet("color: rgb(255, 255, 255);");
    QFont font = title_->font();
    font.setPointSize(12);
    title_->setFont(font);
    std::vector<QWidget*> items;
    for (int s = 0; s < kSlots; ++s) {
        const int column = s % 4, row = s / 4;
        slotButton_[s] = button(this, QString("Button_mode%1").arg(s + 1),
                                QRect(14 + column * 74, 36 + row * 40, 70, 34));
        slotButton_[s]->setText(QString::number(s + 1));
        items.push_back(slotButton_[s]);
    }
    slots_.setStyle(kSlotStyle);
    slots_.setItems(items);
    actions_ = new QWidget(this);
    actions_->setObjectName("frame_actions");
    actions_->setGeometry(0, 198, 320, 42);
    load_ = button(actions_, "Button_load", QRect(10, 6, 94, 30));
    save_ = button(actions_, "Button_save", QRect(113, 6, 94, 30));
    delete_ = button(actions_, "Button_delete", QRect(216, 6, 94, 30));
    connect(load_, &QAbstractButton::clicked, this, &CustomMode::on_Button_load_clicked);
    connect(save_, &QAbstractButton::clicked, this, &CustomMode::on_Button_save_clicked);
    connect(delete_, &QAbstractButton::clicked, this, &CustomMode::on_Button_delete_clicked);
    actionRing_.setStyle(focus_style::pair);
    actionRing_.setItems({load_, save_, delete_});
    notes_ = new QLabel(this);
    notes_->setObjectName("label_note_OK");
    notes_->setGeometry(120, 212, 80, 16);
    notes_->setPixmap(QPixmap(":/png/OK_Enter.png"));
    slots_.select(g_mode_select < kSlots ? g_mode_select.load() : 0);
    showActions(false);
    language_changed();
}

void CustomMode::open() {
    if (!g_custommode)
        g_custommode = new CustomMode(nullptr);
    g_page_focus = page::custommode;
    g_custommode->show();
    g_custommode->raise();
    g_custommode->activateWindow();
}

void CustomMode::openByShortcut() {
    g_mode_shortcut_key = 1;
    open();
}

void CustomMode::openFromMainWindow() {
    g_mode_shortcut_key = 0;
    open();
}

void CustomMode::language_changed() {
    title_->setText(pickText("用户模式", "User mode", "Режимы", "Chế độ người dùng", "用戶模式"));
    load_->setText(pickText("调用", "Load", "Загрузить", "Tải", "調用"));
    save_->setText(pickText("保存", "Save", "Сохранить", "Lưu", "保存"));
    delete_->setText(pickText("删除", "Delete", "Удалить", "Xóa", "刪除"));
    showSlots();
}

void CustomMode::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
    else
        showSlots();
}

bool CustomMode::slotSaved(int slot) const {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    return store && store->KrxUserModeSaved(slot);
}

void CustomMode::showSlots() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    const int current = store ? store->KrxGetCurrentModeIndex() : 0;
    for (int s = 0; s < kSlots; ++s) {
        slots_.setAvailable(slotButton_[s], slotSaved(s));
        slotButton_[s]->setText(s + 1 == current ? QString("%1 *").arg(s + 1)
                                                 : QString::number(s + 1));
    }
    actionRing_.setAvailable(load_, slotSaved(slots_.ui_select()));
    actionRing_.setAvailable(delete_, slotSaved(slots_.ui_select()));
}

void CustomMode::showActions(bool shown) {
    actionsShown_ = shown;
    actions_->setVisible(shown);
    notes_->setVisible(!shown);
    if (!shown)
        return;
    showSlots();
    actionRing_.select(slotSaved(slots_.ui_select()) ? 0 : 1);
}

void CustomMode::on_Button_load_clicked() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    const int slot = slots_.ui_select();
    if (!store || !store->KrxUserModeSaved(slot))
        return;
    applyToImage([store, slot](RamParaImage& image) {
        std::memcpy(image.data() + para::mode_copy_start, store->user_mode[slot].bytes + 2,
                    kModeBytes);
        image.setU16(para::current_user_mode, static_cast<u16>(slot + 1));
    });
    store->KrxCropSourceInit();
    showActions(false);
    showSlots();
}

void CustomMode::on_Button_save_clicked() {
    const u16 mode = static_cast<u16>(slots_.ui_select() + 1);
    applyToImage([mode](RamParaImage& image) { image.setU16(para::save_user_mode, mode); });
    showActions(false);
}

void CustomMode::on_Button_delete_clicked() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    const int slot = slots_.ui_select();
    if (!store || !store->KrxUserModeSaved(slot))
        return;
    store->mode_file_deal(slot, 1);
    showActions(false);
    showSlots();
}

void CustomMode::slot_Button_back_clicked() {
    setAttribute(Qt::WA_DeleteOnClose, true);
    close();
    if (g_custommode == this)
        g_custommode = nullptr;
    if (g_mode_shortcut_key) {
        g_mode_shortcut_key = 0;
        if (g_mainwindow)
            g_mainwindow->showHome();
        return;
    }
    g_page_focus = page::mainwindow;
    if (g_mainwindow)
        g_mainwindow->showInFront();
}

void CustomMode::keyPressEvent(QKeyEvent* event) {
    tracePress("CustomMode", event->key());
}

void CustomMode::keyReleaseEvent(QKeyEvent* event) {
    const int code = event->key();
    const PanelKey key = panelKey(code);
    FocusRing& ring = actionsShown_ ? actionRing_ : slots_;
    traceRelease("CustomMode", key, ring.ui_select());
    switch (key) {
        case PanelKey::Left:
        case PanelKey::Right:
            ring.move(key == PanelKey::Left ? -1 : 1);
            if (!actionsShown_)
                g_mode_select = slots_.ui_select();
            break;
        case PanelKey::Ok:
            if (actionsShown_)
                static_cast<QAbstractButton*>(actionRing_.focused())->click();
            else
                showActions(true);
            break;
        case PanelKey::Back:
            if (actionsShown_)
                showActions(false);
            else
                slot_Button_back_clicked();
            break;
        case PanelKey::Mode:
            if (panelLocked())
                return;
            break;
        case PanelKey::None:
            break;
    }
    keyboard_.update_usb_keyEvent(code);
}
