// Pieces the settings screens build their forms from: the white title, the framed box
// that holds a screen's rows, captions, value fields and the buttons worked by the keys.
#pragma once

#include <QRect>
#include <QString>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class My_lineEdit;

namespace form {

// A centred white title.
QLabel* title(QWidget* parent, const char* name, const QRect& geometry, int pointSize);
// The box of a screen's rows: dark, with a thin white rounded border.
QFrame* frame(QWidget* parent, const char* name, const QRect& geometry);
// A white caption.
QLabel* caption(QWidget* parent, const char* name, const QRect& geometry, int pointSize,
                Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
// A value field worked by the panel keys (no keyboard focus of its own): a plain field,
// or one whose touch opens the keypad.
QLineEdit* field(QWidget* parent, const char* name, const QRect& geometry, int pointSize);
My_lineEdit* keypadField(QWidget* parent, const char* name, const QRect& geometry, int pointSize);
QPushButton* button(QWidget* parent, const char* name, const QRect& geometry, int pointSize);
// A label showing a picture scaled to it.
QLabel* picture(QWidget* parent, const char* name, const QRect& geometry, const QString& png);

}  // namespace form
