// The HDMI test sources: CTA-861 timings by code, plugging from the scene and at run time,
// and the hot-plug line the receivers drive.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include "board/sim/bounded_log.h"
#include "board/sim/hdmi_sources.h"
#include "tests/support/sim_test.h"

namespace {

class HdmiSourcesTest : public test::SimTest {};

// Totals and rates as CTA-861 lists them: total pixels x rate = pixel clock.
TEST_F(HdmiSourcesTest, CtaTimingsHaveTheStandardsTotalsAndRates) {
    auto p1080 = sim::VideoTiming::cta861(16);
    ASSERT_TRUE(p1080);
    EXPECT_EQ(p1080->hTotal(), 2200u);
    EXPECT_EQ(p1080->vTotal(), 1125u);
    EXPECT_EQ(p1080->refreshMilliHz(), 60000u);
    auto i1080 = sim::VideoTiming::cta861(5);
    ASSERT_TRUE(i1080);
    EXPECT_EQ(i1080->vTotal(), 1125u);
    EXPECT_EQ(i1080->vActiveFrame(), 1080u);
    EXPECT_EQ(i1080->refreshMilliHz(), 60000u);  // fields a second
    auto p2160 = sim::VideoTiming::cta861(97);
    ASSERT_TRUE(p2160);
    EXPECT_EQ(p2160->hTotal(), 4400u);
    EXPECT_EQ(p2160->vTotal(), 2250u);
    EXPECT_EQ(p2160->refreshMilliHz(), 60000u);
    EXPECT_EQ(sim::VideoTiming::cta861(31)->refreshMilliHz(), 50000u);
    EXPECT_EQ(sim::VideoTiming::cta861(17)->refreshMilliHz(), 50000u);
    EXPECT_FALSE(sim::VideoTiming::cta861(250));
}

TEST_F(HdmiSourcesTest, SceneAndRunTimePlugging) {
    QJsonObject fractional{{"input", 1}, {"vic", 16}, {"fractional", true}};
    QJsonObject uhd{{"input", 3}, {"vic", 97}, {"colour", "420"}};
    sim::setScene(QJsonObject{{"hdmi", QJsonArray{fractional, uhd}}});
    auto sources = sim::get<sim::HdmiSources>("hdmi-sources");
    ASSERT_TRUE(sources);
    EXPECT_FALSE(sources->source(0));
    ASSERT_TRUE(sources->source(1));
    EXPECT_EQ(sources->source(1)->pixelClockKHz, 148351u);
    EXPECT_EQ(sources->source(1)->refreshMilliHz(), 59940u);
    EXPECT_EQ(sources->source(3)->colour, sim::VideoTiming::Colour::YCbCr420);

    uint64_t before = sources->generation(1);
    sources->unplug(1);
    EXPECT_FALSE(sources->source(1));
    EXPECT_GT(sources->generation(1), before);
    sources->plug(1, *sim::VideoTiming::cta861(4));
    EXPECT_EQ(sources->source(1)->hActive, 1280);
}

// The AVI InfoFrame's C and EC codes of CTA-861 for each named colorimetry; without a name
// YCbCr announces BT.709 from 720 lines on and BT.601 below, RGB nothing.
TEST_F(HdmiSourcesTest, SceneColorimetryAndTmdsClock) {
    struct Case {
        const char* colorimetry;
        int vic;
        const char* colour;
        uint8_t c, ec;
    };
    const Case cases[] = {
        {"bt2020", 16, "444", 3, 6},  {"bt2020c", 16, "422", 3, 5}, {"xvycc709", 16, "444", 3, 1},
        {"xvycc601", 2, "444", 3, 0}, {"bt709", 2, "444", 2, 0},    {"bt601", 16, "", 1, 0},
        {"", 16, "422", 2, 0},        {"", 2, "444", 1, 0},         {"", 16, "", 0, 0},
        {"rec2020", 16, "", 0, 0}};
    for (const Case& c : cases) {
        sim::reset();
        QJsonObject entry{{"input", 2}, {"vic", c.vic}, {"colour", c.colour}};
        if (*c.colorimetry)
            entry.insert("colorimetry", c.colorimetry);
        sim::setScene(QJsonObject{{"hdmi", QJsonArray{entry}}});
        auto source = sim::get<sim::HdmiSources>("hdmi-sources")->source(2);
        ASSERT_TRUE(source) << c.colorimetry;
        // CTA-861: C in data byte 2 bits 7..6 beside 16:9 and the same active format, EC
        // in data byte 3 bits 6..4.
        const auto avi = source->aviData();
        EXPECT_EQ(avi[1], c.c << 6 | 0x28) << c.colorimetry << " vic " << c.vic;
        EXPECT_EQ(avi[2], c.ec << 4) << c.colorimetry << " vic " << c.vic;
        EXPECT_EQ(avi[3], c.vic) << c.colorimetry;
        EXPECT_FALSE(source->tmdsAbove1GHz);
    }
    sim::reset();
    QJsonObject fast{{"input", 3}, {"vic", 16}, {"tmdsAbove1GHz", true}};
    sim::setScene(QJsonObject{{"hdmi", QJsonArray{fast}}});
    auto source = sim::get<sim::HdmiSources>("hdmi-sources")->source(3);
    ASSERT_TRUE(source);
    EXPECT_TRUE(source->tmdsAbove1GHz);
    EXPECT_EQ(source->pixelClockKHz, 148500u);
}

TEST_F(HdmiSourcesTest, HotPlugLineRecordsItsEdges) {
    auto sources = sim::get<sim::HdmiSources>("hdmi-sources");
    EXPECT_FALSE(sources->hotPlug(2));
    sources->setHotPlug(2, true);
    sources->setHotPlug(2, true);
    sources->setHotPlug(2, false);
    auto edges = sources->hotPlugEdges(2);
    ASSERT_EQ(edges.size(), 2u);
    EXPECT_TRUE(edges[0].high);
    EXPECT_FALSE(edges[1].high);
    EXPECT_LE(edges[0].timeMs, edges[1].timeMs);
    EXPECT_TRUE(sources->hotPlugEdges(7).empty());
}

// A receiver that keeps toggling its hot-plug line leaves only the latest edges.
TEST_F(HdmiSourcesTest, HotPlugEdgesKeepTheNewestWithinTheLimit) {
    struct LimitRestore {
        size_t saved = sim::logLimit();
        ~LimitRestore() { sim::logLimit() = saved; }
    } restore;
    sim::logLimit() = 8;
    auto sources = sim::get<sim::HdmiSources>("hdmi-sources");
    for (int i = 0; i < 40; ++i)
        sources->setHotPlug(1, i % 2 == 0);
    double beforeLast = sim::nowMs();
    sources->setHotPlug(1, true);  // edge 41, rising
    auto edges = sources->hotPlugEdges(1);
    ASSERT_FALSE(edges.empty());
    EXPECT_LE(edges.size(), 8u);
    EXPECT_TRUE(edges.back().high);
    EXPECT_GE(edges.back().timeMs, beforeLast);
    for (size_t i = 1; i < edges.size(); ++i) {
        EXPECT_NE(edges[i].high, edges[i - 1].high) << "edges alternate, none lost in between";
        EXPECT_LE(edges[i - 1].timeMs, edges[i].timeMs);
    }
    EXPECT_TRUE(sources->hotPlugEdges(0).empty()) << "each input keeps its own";
}

}  // namespace
