#include "screens/settings/dialog.h"

#include <QPushButton>

#include "screens/settings/settings_form.h"

Dialog::Dialog(QWidget* parent) : QDialog(parent) {
    setObjectName("Dialog");
    setFixedSize(320, 240);
    setStyleSheet("background-color: rgb(16, 16, 28);");
    Button_exit_ = form::button(this, "Button_exit", QRect(110, 105, 100, 30), 10);
    Button_exit_->setStyleSheet("color: rgb(255, 255, 255);\nborder:1px solid rgb(255, 255, 255);");
    Button_exit_->setText(QString::fromUtf8("退出"));
    connect(Button_exit_, &QPushButton::clicked, this, &QDialog::accept);
}
