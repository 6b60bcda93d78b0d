#include "screens/maintenance/maintenance_form.h"

#include <QComboBox>

namespace form {

const FocusStyle kListStyle = {
    "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid "
    "rgb(255,255,255);\n}\nQComboBox:drop-down{\nborder-style:none\n}",
    "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid "
    "rgb(255,171,84);\n}\nQComboBox:drop-down{\nborder-style:none\n}",
    "", ""};
const char kListEditing[] =
    "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid "
    "rgb(255,0,0);\n}\nQComboBox:drop-down{\nborder-style:none\n}";

QComboBox* list(QWidget* parent, const char* name, const QRect& geometry, int pointSize) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setFocusPolicy(Qt::NoFocus);
    QFont font = box->font();
    font.setPointSize(pointSize);
    box->setFont(font);
    box->setStyleSheet(kListStyle.idle);
    return box;
}

}  // namespace form
