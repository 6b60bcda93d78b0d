// One vocabulary for the four inputs on the panel: names, list order (HDMI inputs first,
// DVI last), small rich-text labels and the icons with and without signal. Ids are
// DSP_INPUT_PORT values: 0 "DVI", 1 "HDMI1", 2 "HDMI2", 3 "HDMI3".
#pragma once

#include <QString>

class QLabel;

class sourceinfo {
public:
    static QString get_source_name_by_sourceid(unsigned char id);
    static QString get_source_name_by_listseq(unsigned char pos);
    static unsigned char get_source_id_by_listseq(unsigned char pos);
    static unsigned char get_listseq_by_source_id(unsigned char id);
    // A template with one %1 for the name: green for the HDMI 2.0 input, white otherwise.
    static QString get_source_specialstyle0_by_sourceid(unsigned char id);
    // The name followed by "(value)", the brackets and value in blue.
    static QString get_source_specialstyle1_by_sourceid(unsigned char id, QString name,
                                                        unsigned char value);
    static void set_source_pixmap(QLabel* label, unsigned char id);
    static void set_sourceonline_pixmap(QLabel* label, unsigned char id, unsigned char online);
};
