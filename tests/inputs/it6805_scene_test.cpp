// The IT6805 driven by sources the scene plugs into input 3: an HDMI 1.x link whose TMDS
// clock the chip finds above 1 GHz or below, and YCbCr sources that announce their
// colorimetry in the AVI InfoFrame.
#include <QJsonArray>
#include <QJsonObject>
#include <string>
#include <vector>

#include "tests/inputs/it6805_fixture.h"

namespace {

using test::It6805Test;
using test::RegWrite;
using test::wroteInOrder;

QJsonObject sceneWith(QJsonObject source) {
    source.insert("input", 3);
    return QJsonObject{{"hdmi", QJsonArray{source}}};
}

struct TmdsClockCase {
    const char* name;
    bool above1GHz;
    uint8_t eq20, eq21;  // bank 3 0x20, 0x21 as the automatic EQ starts
    uint8_t fastBit;     // bank 3 0xA7 bit 6
    uint8_t clockBit;    // bank 3 0xB0 bit 3
};

void PrintTo(const TmdsClockCase& c, std::ostream* os) {
    *os << c.name;
}

class It6805TmdsClock : public It6805Test, public testing::WithParamInterface<TmdsClockCase> {
protected:
    QJsonObject boardScene() const override {
        return sceneWith({{"vic", 16}, {"tmdsAbove1GHz", GetParam().above1GHz}});
    }
};

// 1080p60 is an HDMI 1.x link, so the automatic EQ tunes it with the setting of its clock.
TEST_P(It6805TmdsClock, TheAutomaticEqAndTheClockPathFollowTheTmdsClock) {
    const TmdsClockCase& c = GetParam();
    const std::vector<RegWrite> automaticEq = {
        {0, 0x07, 0xFF, 0xFF},   {0, 0x23, 0xFF, 0xB0},   {0, 0x23, 0xFF, 0xA0},
        {3, 0x20, 0xFF, c.eq20}, {3, 0x21, 0xFF, c.eq21}, {3, 0x26, 0xFF, 0x00},
        {3, 0x27, 0xFF, 0x00},   {3, 0x28, 0xFF, 0x00},   {3, 0x29, 0xFF, 0x00},
        {3, 0x22, 0xFF, 0x38},   {3, 0x22, 0x04, 0x04},   {3, 0x22, 0x04, 0x00}};
    startUp();
    ASSERT_TRUE(runUntil([&] { return bool(wroteInOrder(chip->writes(), automaticEq)); }, 300))
        << wroteInOrder(chip->writes(), automaticEq).message();
    ASSERT_TRUE(runUntil([&] { return published(); }));
    EXPECT_EQ(chip->reg(3, 0x20), c.eq20);
    EXPECT_EQ(chip->reg(3, 0x21), c.eq21);
    EXPECT_EQ(chip->reg(3, 0xA7) & 0x40, c.fastBit);
    EXPECT_EQ(chip->reg(3, 0xB0) & 0x08, c.clockBit);
    EXPECT_EQ(inputSize().width, 1920);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

INSTANTIATE_TEST_SUITE_P(Clocks, It6805TmdsClock,
                         testing::Values(TmdsClockCase{"above1GHz", true, 0x36, 0x0E, 0x40, 0x00},
                                         TmdsClockCase{"below1GHz", false, 0x1B, 0x03, 0x00, 0x08}),
                         [](const testing::TestParamInfo<TmdsClockCase>& info) {
                             return std::string(info.param.name);
                         });

// YUV to RGB matrices of bank 1 0x70..0x85.
const std::vector<uint8_t> kBt601 = {0x04, 0x00, 0xA7, 0x4F, 0x09, 0x81, 0x39, 0xDD,
                                     0x3C, 0x4F, 0x09, 0xC4, 0x0C, 0x01, 0x00, 0x4F,
                                     0x09, 0xFD, 0x3F, 0x1F, 0x10, 0x00};
const std::vector<uint8_t> kBt709 = {0x04, 0x00, 0xA7, 0x4F, 0x09, 0xBA, 0x3B, 0x4B,
                                     0x3E, 0x4F, 0x09, 0x57, 0x0E, 0x02, 0x00, 0x4F,
                                     0x09, 0xFE, 0x3F, 0xE8, 0x10, 0x00};
const std::vector<uint8_t> kBt2020 = {0x04, 0x00, 0xA7, 0x4F, 0x09, 0xCC, 0x3A, 0x7E,
                                      0x3E, 0x4F, 0x09, 0x69, 0x0D, 0x0B, 0x00, 0x4F,
                                      0x09, 0xFE, 0x3F, 0x1D, 0x11, 0x00};

struct ColorimetryCase {
    const char* name;
    int vic;
    const char* colour;
    const char* colorimetry;
    const std::vector<uint8_t>* matrix;
};

void PrintTo(const ColorimetryCase& c, std::ostream* os) {
    *os << c.name;
}

class It6805Colorimetry : public It6805Test, public testing::WithParamInterface<ColorimetryCase> {
protected:
    QJsonObject boardScene() const override {
        const ColorimetryCase& c = GetParam();
        return sceneWith({{"vic", c.vic}, {"colour", c.colour}, {"colorimetry", c.colorimetry}});
    }
};

// The announced colorimetry picks the matrix, whatever the picture's size: BT.2020 needs
// colorimetry 3 with extended colorimetry 5 or 6, other extended ones give BT.601.
TEST_P(It6805Colorimetry, TheMatrixIsTheOneTheInfoFrameAnnounces) {
    const ColorimetryCase& c = GetParam();
    startUp();
    ASSERT_TRUE(runUntil([&] { return published(); })) << "never published";
    EXPECT_EQ(chip->reg(0, 0x6C) & 0x03, 0x03) << "YUV in, RGB out";
    std::vector<uint8_t> matrix;
    for (unsigned reg = 0x70; reg <= 0x85; ++reg)
        matrix.push_back(chip->reg(1, reg));
    EXPECT_EQ(matrix, *c.matrix);
    EXPECT_TRUE(sim::allProtocolErrors().empty()) << errors();
}

INSTANTIATE_TEST_SUITE_P(
    Announced, It6805Colorimetry,
    testing::Values(ColorimetryCase{"bt2020Ycc444", 16, "444", "bt2020", &kBt2020},
                    ColorimetryCase{"bt2020ConstantLuminance422", 16, "422", "bt2020c", &kBt2020},
                    ColorimetryCase{"xvYcc709IsNotBt2020", 16, "444", "xvycc709", &kBt601},
                    ColorimetryCase{"bt709OnStandardDefinition", 2, "444", "bt709", &kBt709},
                    ColorimetryCase{"bt601OnHighDefinition", 16, "422", "bt601", &kBt601}),
    [](const testing::TestParamInfo<ColorimetryCase>& info) {
        return std::string(info.param.name);
    });

}  // namespace
