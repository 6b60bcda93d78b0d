// The one numeric keypad of the panel (g_numberkeyboard), made by the main window and
// placed on the right half of the screen. A screen sets its title and starting text with
// label_show and runs it modally; OK hands the entry to the screen through
// sendKeyBoardUIDataToLineEdit, the close key leaves without a result.
//
// Keys: Left and Right walk the keypad's buttons, OK presses the focused one, Back is
// the close key; digit and dot keys of a keyboard type directly.
#pragma once

#include <QDialog>
#include <QString>

#include "ui/focusring.h"

class QLabel;
class QLineEdit;
class QAbstractButton;

class NumberKeyboard : public QDialog {
    Q_OBJECT
public:
    explicit NumberKeyboard(QWidget* parent = nullptr);

    void label_show(const QString& title, const QString& text);
    void language_changed();
    QString entry() const;

signals:
    void sendKeyBoardUIDataToLineEdit(QString text);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void type(const QString& character);
    void clearEntry();
    void removeLast();
    void confirm();
    void pressButton(QAbstractButton* button);

    QLabel* title_;
    QLineEdit* entry_;
    QAbstractButton* ok_;
    QAbstractButton* close_;
    QString typed_;
    FocusRing focus_;
};

extern NumberKeyboard* g_numberkeyboard;
// The field whose keypad is open; set and used by the keypad screens.
extern QLineEdit* g_lineedit;
