#include "ui/numberkeyboard.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/language.h"
#include "ui/panelkey.h"

NumberKeyboard* g_numberkeyboard = nullptr;
QLineEdit* g_lineedit = nullptr;

namespace {

const FocusStyle kKeyStyle = {
    "color:rgb(255,255,255);background-color: rgb(33, 36, 53);border:1px solid "
    "rgb(90, 90, 110);border-radius:4px",
    "color:rgb(255,255,255);background-color: rgb(33, 36, 53);border:2px solid "
    "rgb(255,171,84);border-radius:4px",
    "", ""};

// The keypad's buttons, row by row: what each one does is decided by its text.
const char* const kKeys[] = {"7", "8", "9", "4", "5", "6",  "1",    "2",
                             "3", "C", "0", "X", ".", "OK", "Close"};

}  // namespace

NumberKeyboard::NumberKeyboard(QWidget* parent) : QDialog(parent, Qt::FramelessWindowHint) {
    setObjectName("NumberKeyboard");
    setGeometry(160, 0, 160, 240);
    setStyleSheet("background-color: rgb(16, 16, 28);");
    title_ = new QLabel(this);
    title_->setObjectName("label_title");
    title_->setGeometry(4, 2, 152, 22);
    title_->setAlignment(Qt::AlignCenter);
    title_->setStyleSheet("color: rgb(255, 255, 255);");
    entry_ = new QLineEdit(this);
    entry_->setObjectName("lineEdit_entry");
    entry_->setGeometry(4, 26, 152, 26);
    entry_->setReadOnly(true);
    entry_->setFocusPolicy(Qt::NoFocus);
    entry_->setAlignment(Qt::AlignRight);
    entry_->setStyleSheet(
        "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid white;");
    std::vector<QWidget*> items;
    for (int i = 0; i < 15; ++i) {
        auto* button = new QPushButton(QString::fromLatin1(kKeys[i]), this);
        button->setFocusPolicy(Qt::NoFocus);
        int row = i / 3, column = i % 3;
        if (i >= 13) {  // OK and Close share the last row with the dot
            column = i - 12;
            row = 4;
        }
        button->setGeometry(4 + column * 51, 56 + row * 36, 48, 33);
        connect(button, &QPushButton::clicked, this, [this, button] { pressButton(button); });
        items.push_back(button);
    }
    ok_ = static_cast<QAbstractButton*>(items[13]);
    close_ = static_cast<QAbstractButton*>(items[14]);
    focus_.setStyle(kKeyStyle);
    focus_.setItems(items);
    language_changed();
}

void NumberKeyboard::label_show(const QString& title, const QString& text) {
    title_->setText(title);
    entry_->setText(text);
    typed_.clear();
    language_changed();
}

void NumberKeyboard::language_changed() {
    ok_->setText(pickText("确定", "OK", "OK", "OK", "確定"));
    close_->setText(pickText("关闭", "Close", "Выход", "Đóng", "關閉"));
}

QString NumberKeyboard::entry() const {
    return entry_->text();
}

void NumberKeyboard::type(const QString& character) {
    typed_ += character;
    entry_->setText(typed_);
}

void NumberKeyboard::clearEntry() {
    typed_.clear();
    entry_->setText("0");
}

void NumberKeyboard::removeLast() {
    QString text = entry_->text();
    text.chop(1);
    entry_->setText(text);
    typed_ = text;
}

void NumberKeyboard::confirm() {
    emit sendKeyBoardUIDataToLineEdit(entry_->text());
    hide();
}

void NumberKeyboard::pressButton(QAbstractButton* button) {
    if (button == ok_)
        confirm();
    else if (button == close_)
        hide();
    else if (button->text() == "C")
        clearEntry();
    else if (button->text() == "X")
        removeLast();
    else
        type(button->text());
}

void NumberKeyboard::keyReleaseEvent(QKeyEvent* event) {
    const int code = event->key();
    const PanelKey key = panelKey(code);
    traceRelease("NumberKeyboard", key, focus_.ui_select());
    switch (key) {
        case PanelKey::Left:
            focus_.move(-1);
            return;
        case PanelKey::Right:
            focus_.move(1);
            return;
        case PanelKey::Ok:
            if (auto* button = qobject_cast<QAbstractButton*>(focus_.focused()))
                button->click();
            return;
        case PanelKey::Back:
            hide();
            return;
        default:
            break;
    }
    if ((code >= Qt::Key_0 && code <= Qt::Key_9) || code == Qt::Key_Period)
        type(QString(QChar(code)));
}
