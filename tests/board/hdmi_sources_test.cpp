// The HDMI test sources: CTA-861 timings by code, plugging from the scene and at run time,
// and the hot-plug line the receivers drive.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

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

}  // namespace
