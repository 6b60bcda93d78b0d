#include "screens/settings/about.h"

#include <QLabel>
#include <QPushButton>

#include "screens/settings/settings_form.h"

About::About(QWidget* parent) : QDialog(parent) {
    setObjectName("About");
    setFixedSize(320, 240);
    setStyleSheet("background-color: rgb(16, 16, 28);");
    label_version_ =
        form::caption(this, "label_version", QRect(60, 80, 200, 30), 12, Qt::AlignCenter);
    label_version_->setText(QString::fromUtf8("版本号"));
    Button_back_ = form::button(this, "Button_back", QRect(110, 180, 100, 30), 10);
    Button_back_->setStyleSheet("color: rgb(255, 255, 255);\nborder:1px solid rgb(255, 255, 255);");
    Button_back_->setText(QString::fromUtf8("<主界面"));
    connect(Button_back_, &QPushButton::clicked, this, &QDialog::accept);
}
