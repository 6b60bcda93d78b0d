#include "ui/menuscreen.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QToolButton>
#include <algorithm>

#include "core/krxrampara.h"
#include "screens/sources/custommode.h"
#include "ui/my_lineedit.h"
#include "ui/numberkeyboard.h"
#include "ui/panelkey.h"
#include "video/c331_manage.h"

namespace {

std::vector<MenuScreen*>& stack() {
    static std::vector<MenuScreen*> screens;
    return screens;
}

void forget(MenuScreen* screen) {
    auto& screens = stack();
    screens.erase(std::remove(screens.begin(), screens.end(), screen), screens.end());
}

}  // namespace

MenuScreen::MenuScreen(const char* traceName, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint), traceName_(traceName) {
    setObjectName(traceName);
    setFixedSize(320, 240);
    move(0, 0);
    setStyleSheet("background-color: rgb(16, 16, 28);");
    setFocusPolicy(Qt::StrongFocus);
    stack().push_back(this);
}

MenuScreen::~MenuScreen() {
    forget(this);
    if (clearPointer_)
        clearPointer_();
}

const std::vector<MenuScreen*>& MenuScreen::openScreens() {
    return stack();
}

void MenuScreen::closeAllScreens() {
    while (!stack().empty())
        stack().back()->closeScreen();
}

void MenuScreen::closeScreen() {
    forget(this);
    setAttribute(Qt::WA_DeleteOnClose, true);
    close();
    if (clearPointer_)
        clearPointer_();
}

void MenuScreen::backTo(const std::function<void()>& parentRefresh, u8 parentPage) {
    closeScreen();
    if (parentRefresh)
        parentRefresh();
    g_page_focus = parentPage;
}

void MenuScreen::keyOk() {
    if (auto* button = qobject_cast<QAbstractButton*>(focus.focused()))
        button->click();
}

bool MenuScreen::keyMode() {
    if (panelLocked())
        return false;
    closeAllScreens();
    CustomMode::openByShortcut();
    return true;
}

void MenuScreen::keyPressEvent(QKeyEvent* event) {
    tracePress(traceName_, event->key());
}

void MenuScreen::keyReleaseEvent(QKeyEvent* event) {
    const int code = event->key();
    const PanelKey key = panelKey(code);
    traceKey(key);
    switch (key) {
        case PanelKey::Left:
            keyLeft();
            break;
        case PanelKey::Right:
            keyRight();
            break;
        case PanelKey::Ok:
            keyOk();
            break;
        case PanelKey::Back:
            keyBack();
            break;
        case PanelKey::Mode:
            if (!keyMode())
                return;
            break;
        case PanelKey::None:
            break;
    }
    keyboard.update_usb_keyEvent(code);
}

QLabel* MenuScreen::addTitle(const QRect& geometry, int pointSize) {
    auto* title = new QLabel(this);
    title->setObjectName("label_title");
    title->setGeometry(geometry);
    title->setStyleSheet("color: rgb(255, 255, 255);");
    QFont font = title->font();
    font.setPointSize(pointSize);
    title->setFont(font);
    return title;
}

QAbstractButton* MenuScreen::addButton(const QString& objectName, const QRect& geometry,
                                       const QString& icon) {
    auto* button = new QToolButton(this);
    button->setObjectName(objectName);
    button->setGeometry(geometry);
    button->setFocusPolicy(Qt::NoFocus);
    if (!icon.isEmpty()) {
        button->setIcon(QPixmap(icon));
        button->setIconSize(QSize(36, 36));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    }
    QFont font = button->font();
    font.setPointSize(9);
    button->setFont(font);
    return button;
}

void MenuScreen::addKeyNotes() {
    auto* ok = new QLabel(this);
    ok->setObjectName("label_note_OK");
    ok->setGeometry(QRect(QPoint(75, 220), QPoint(155, 236)));
    ok->setPixmap(QPixmap(":/png/OK_Enter.png"));
    auto* back = new QLabel(this);
    back->setObjectName("label_note_back");
    back->setGeometry(QRect(QPoint(176, 220), QPoint(231, 236)));
    back->setPixmap(QPixmap(":/png/back_return.png"));
}

void MenuScreen::connectKeypad(const std::vector<My_lineEdit*>& fields) {
    for (My_lineEdit* field : fields)
        connect(field, SIGNAL(send_show(QString)), this, SLOT(show_numberkeyboard_ui(QString)));
}

void MenuScreen::showKeypad(QLineEdit* field, const QString& title) {
    if (!g_numberkeyboard || !field)
        return;
    g_lineedit = field;
    keypadField_ = field;
    editedField_ = field->objectName();
    g_numberkeyboard->label_show(title, field->text());
    const QMetaObject::Connection result =
        connect(g_numberkeyboard, SIGNAL(sendKeyBoardUIDataToLineEdit(QString)), this,
                SLOT(confirmString(QString)));
    g_numberkeyboard->exec();
    disconnect(result);
}

bool MenuScreen::askKeypad(const QString& title, const QString& text, QString* entry) {
    if (!g_numberkeyboard)
        return false;
    bool confirmed = false;
    QString typed;
    g_numberkeyboard->label_show(title, text);
    const QMetaObject::Connection result =
        connect(g_numberkeyboard, &NumberKeyboard::sendKeyBoardUIDataToLineEdit, this,
                [&confirmed, &typed](const QString& text) {
                    confirmed = true;
                    typed = text;
                });
    g_numberkeyboard->exec();
    disconnect(result);
    if (confirmed && entry)
        *entry = typed;
    return confirmed;
}

void applyToImage(const std::function<void(RamParaImage&)>& edit) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return;
    ParaLock lock;
    edit(store->ram_para);
    c331_manage::para_update = 1;
}
