// A plain dialog with one button, "exit", which closes it. Nothing in the program opens
// it: it has no page, no global pointer and no key handling of its own.
#pragma once

#include <QDialog>

class QPushButton;

class Dialog : public QDialog {
    Q_OBJECT
public:
    explicit Dialog(QWidget* parent = nullptr);

private:
    QPushButton* Button_exit_;
};
