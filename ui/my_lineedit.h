// A field of a keypad screen: touching it asks its screen to open the shared keypad.
#pragma once

#include <QLineEdit>

class My_lineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit My_lineEdit(QWidget* parent = nullptr);

signals:
    void send_show(QString text);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
