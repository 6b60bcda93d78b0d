#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPixmap>

#include "inputs/sourceinfo.h"

namespace {

TEST(SourceInfo, NamesAndListOrder) {
    const char* names[4] = {"DVI", "HDMI1", "HDMI2", "HDMI3"};
    for (unsigned char id = 0; id < 4; ++id)
        EXPECT_EQ(sourceinfo::get_source_name_by_sourceid(id), names[id]);
    EXPECT_TRUE(sourceinfo::get_source_name_by_sourceid(4).isEmpty());
    EXPECT_TRUE(sourceinfo::get_source_name_by_sourceid(255).isEmpty());

    const char* list[4] = {"HDMI1", "HDMI2", "HDMI3", "DVI"};
    for (unsigned char pos = 0; pos < 4; ++pos) {
        EXPECT_EQ(sourceinfo::get_source_name_by_listseq(pos), list[pos]);
        unsigned char id = sourceinfo::get_source_id_by_listseq(pos);
        EXPECT_EQ(sourceinfo::get_source_name_by_sourceid(id), list[pos]);
        EXPECT_EQ(sourceinfo::get_listseq_by_source_id(id), pos);
    }
    EXPECT_TRUE(sourceinfo::get_source_name_by_listseq(4).isEmpty());
    EXPECT_EQ(sourceinfo::get_source_id_by_listseq(9), 0);
    EXPECT_EQ(sourceinfo::get_listseq_by_source_id(9), 0);
}

TEST(SourceInfo, RichTextLabels) {
    EXPECT_EQ(sourceinfo::get_source_specialstyle0_by_sourceid(3).arg("HDMI3"),
              "<font style = 'font-size:9px' color = #51BB28 >HDMI3</font>");
    EXPECT_EQ(sourceinfo::get_source_specialstyle0_by_sourceid(0).arg("DVI"),
              "<font style = 'font-size:9px' color = #ffffff >DVI</font>");
    EXPECT_EQ(sourceinfo::get_source_specialstyle0_by_sourceid(7),
              sourceinfo::get_source_specialstyle0_by_sourceid(1));

    const QString blue = "<font style = 'font-size:9px' color = #4777ff >%1</font>";
    EXPECT_EQ(sourceinfo::get_source_specialstyle1_by_sourceid(3, "HDMI3", 60),
              "<font style = 'font-size:9px' color = #12BB32 >HDMI3</font>" + blue.arg("(") +
                  blue.arg("60") + blue.arg(")"));
    EXPECT_EQ(sourceinfo::get_source_specialstyle1_by_sourceid(1, "HDMI1", 5),
              "<font style = 'font-size:9px' color = #ffffff >HDMI1</font>" + blue.arg("(") +
                  blue.arg("5") + blue.arg(")"));
    EXPECT_TRUE(sourceinfo::get_source_specialstyle1_by_sourceid(4, "X", 1).isEmpty());
}

// The label shows the image of the resource named for the id and state; a resource
// missing from the program is a failure of its own.
void expectShows(QLabel& label, const char* resource) {
    QPixmap wanted(resource);
    ASSERT_FALSE(wanted.isNull()) << resource << " is not among the program's resources";
    EXPECT_FALSE(label.pixmap(Qt::ReturnByValue).isNull()) << "no image for " << resource;
    EXPECT_EQ(label.pixmap(Qt::ReturnByValue).toImage(), wanted.toImage()) << resource;
}

TEST(SourceInfo, IconsFollowTheIdAndTheSignal) {
    QLabel label;
    sourceinfo::set_sourceonline_pixmap(&label, 0, 1);
    expectShows(label, ":/png/dvilv.png");
    sourceinfo::set_sourceonline_pixmap(&label, 2, 0);
    expectShows(label, ":/png/HDMI13_1.png");
    sourceinfo::set_sourceonline_pixmap(&label, 3, 1);
    expectShows(label, ":/png/HDMI20_lv.png");
    sourceinfo::set_source_pixmap(&label, 1);
    expectShows(label, ":/png/HDMI13.png");
    sourceinfo::set_source_pixmap(&label, 9);
    sourceinfo::set_sourceonline_pixmap(&label, 9, 1);
    expectShows(label, ":/png/HDMI13.png");  // other ids leave the label alone
    sourceinfo::set_source_pixmap(nullptr, 1);
}

}  // namespace
