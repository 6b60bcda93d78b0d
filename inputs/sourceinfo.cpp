#include "inputs/sourceinfo.h"

#include <QLabel>
#include <QPixmap>

namespace {

constexpr const char* kNames[4] = {"DVI", "HDMI1", "HDMI2", "HDMI3"};
// Input id at each list position.
constexpr unsigned char kListOrder[4] = {1, 2, 3, 0};

constexpr const char* kWhite = "<font style = 'font-size:9px' color = #ffffff >%1</font>";
constexpr const char* kLightGreen = "<font style = 'font-size:9px' color = #51BB28 >%1</font>";
constexpr const char* kGreen = "<font style = 'font-size:9px' color = #12BB32 >%1</font>";
constexpr const char* kBlue = "<font style = 'font-size:9px' color = #4777ff >%1</font>";

constexpr const char* kIcons[4] = {":/png/DVI.png", ":/png/HDMI13.png", ":/png/HDMI13.png",
                                   ":/png/HDMI20.png"};
constexpr const char* kOnlineIcons[4] = {":/png/dvilv.png", ":/png/HDMI13_lv.png",
                                         ":/png/HDMI13_lv.png", ":/png/HDMI20_lv.png"};
constexpr const char* kOfflineIcons[4] = {":/png/DVI.png", ":/png/HDMI13_1.png",
                                          ":/png/HDMI13_1.png", ":/png/HDMI20.png"};

}  // namespace

QString sourceinfo::get_source_name_by_sourceid(unsigned char id) {
    return id < 4 ? QString(kNames[id]) : QString();
}

QString sourceinfo::get_source_name_by_listseq(unsigned char pos) {
    return pos < 4 ? QString(kNames[kListOrder[pos]]) : QString();
}

unsigned char sourceinfo::get_source_id_by_listseq(unsigned char pos) {
    return pos < 4 ? kListOrder[pos] : 0;
}

unsigned char sourceinfo::get_listseq_by_source_id(unsigned char id) {
    for (unsigned char pos = 0; pos < 4; ++pos)
        if (kListOrder[pos] == id)
            return pos;
    return 0;
}

QString sourceinfo::get_source_specialstyle0_by_sourceid(unsigned char id) {
    return QString(id == 3 ? kLightGreen : kWhite);
}

QString sourceinfo::get_source_specialstyle1_by_sourceid(unsigned char id, QString name,
                                                         unsigned char value) {
    if (id > 3)
        return QString();
    QString blue(kBlue);
    return QString(id == 3 ? kGreen : kWhite).arg(name) + blue.arg("(") +
           blue.arg(QString::number(value)) + blue.arg(")");
}

void sourceinfo::set_source_pixmap(QLabel* label, unsigned char id) {
    if (!label || id > 3)
        return;
    label->setPixmap(QPixmap(kIcons[id]));
}

void sourceinfo::set_sourceonline_pixmap(QLabel* label, unsigned char id, unsigned char online) {
    if (!label || id > 3)
        return;
    label->setPixmap(QPixmap(online ? kOnlineIcons[id] : kOfflineIcons[id]));
}
