// A plain dialog with the words "version" and a button back to the main screen, which
// closes it. Nothing in the program opens it: it has no page, no global pointer and no
// key handling of its own.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class About : public QDialog {
    Q_OBJECT
public:
    explicit About(QWidget* parent = nullptr);

private:
    QLabel* label_version_;
    QPushButton* Button_back_;
};
