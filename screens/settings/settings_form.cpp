#include "screens/settings/settings_form.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "ui/my_lineedit.h"

namespace form {

namespace {

void setPointSize(QWidget* widget, int pointSize) {
    QFont font = widget->font();
    font.setPointSize(pointSize);
    widget->setFont(font);
}

template <class T>
T* place(T* widget, const char* name, const QRect& geometry, int pointSize) {
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    widget->setFocusPolicy(Qt::NoFocus);
    setPointSize(widget, pointSize);
    return widget;
}

}  // namespace

QLabel* title(QWidget* parent, const char* name, const QRect& geometry, int pointSize) {
    return caption(parent, name, geometry, pointSize, Qt::AlignCenter);
}

QFrame* frame(QWidget* parent, const char* name, const QRect& geometry) {
    auto* box = new QFrame(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setStyleSheet(QString("#%1{background-color: rgb(16, 16, 28);border:1px solid rgb(255, "
                               "255, 255);\nborder-radius:6px;padding:2px 4px}")
                           .arg(name));
    return box;
}

QLabel* caption(QWidget* parent, const char* name, const QRect& geometry, int pointSize,
                Qt::Alignment alignment) {
    auto* label = place(new QLabel(parent), name, geometry, pointSize);
    label->setStyleSheet("color: rgb(255, 255, 255);");
    label->setAlignment(alignment);
    return label;
}

QLineEdit* field(QWidget* parent, const char* name, const QRect& geometry, int pointSize) {
    auto* edit = place(new QLineEdit(parent), name, geometry, pointSize);
    edit->setReadOnly(true);
    edit->setStyleSheet(
        "color: rgb(255, 255, 255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid "
        "rgb(255, 255, 255);");
    return edit;
}

My_lineEdit* keypadField(QWidget* parent, const char* name, const QRect& geometry, int pointSize) {
    auto* edit = place(new My_lineEdit(parent), name, geometry, pointSize);
    edit->setReadOnly(true);
    return edit;
}

QPushButton* button(QWidget* parent, const char* name, const QRect& geometry, int pointSize) {
    return place(new QPushButton(parent), name, geometry, pointSize);
}

QLabel* picture(QWidget* parent, const char* name, const QRect& geometry, const QString& png) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setScaledContents(true);
    label->setPixmap(QPixmap(png));
    return label;
}

}  // namespace form
