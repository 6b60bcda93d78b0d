// Colour handling of the IT6602 driver: DVI against HDMI, the AVI infoframe's colour format,
// colorimetry and range, and the converter's matrices against ITU-R BT.601 and BT.709.
//
// A matrix is 3 offset bytes, then 9 coefficients of 14 bits (two's complement, low byte
// first, 0x0800 = 1.0), row by row, rows and columns in the channel order G/Y, R/Cr, B/Cb.
// The expected coefficients are computed here from the standards' Kr and Kb.
#include <cmath>
#include <string>

#include "tests/inputs/it6602_fixture.h"

namespace {

using test::It6602Test;
using Colour = sim::VideoTiming::Colour;
using Coefficients = std::array<std::array<double, 3>, 3>;

struct Standard {
    double kr, kb;
};
constexpr Standard kBt601{0.299, 0.114};
constexpr Standard kBt709{0.2126, 0.0722};
// Studio range: 219 steps of luma (16..235), 224 of chroma (16..240), of 255.
constexpr double kFullOverLuma = 255.0 / 219.0;
constexpr double kFullOverChroma = 255.0 / 224.0;
// Seven steps of 1/2048: the tables are rounded, some to six steps.
constexpr double kTolerance = 7.0 / 2048.0;

// Y'CbCr to R'G'B' (R = Y + 2(1-Kr)Cr, B = Y + 2(1-Kb)Cb, G from Y = Kr R + Kg G + Kb B).
Coefficients yuvToRgb(Standard s, double lumaGain, double chromaGain) {
    double kg = 1 - s.kr - s.kb;
    return {{{lumaGain, -2 * (1 - s.kr) * s.kr / kg * chromaGain,
              -2 * (1 - s.kb) * s.kb / kg * chromaGain},
             {lumaGain, 2 * (1 - s.kr) * chromaGain, 0},
             {lumaGain, 0, 2 * (1 - s.kb) * chromaGain}}};
}

// R'G'B' to Y'CbCr: Y = Kr R + Kg G + Kb B, Cr = (R - Y) / 2(1-Kr), Cb = (B - Y) / 2(1-Kb).
Coefficients rgbToYuv(Standard s, double lumaGain, double chromaGain) {
    double kg = 1 - s.kr - s.kb;
    return {{{kg * lumaGain, s.kr * lumaGain, s.kb * lumaGain},
             {-kg / (2 * (1 - s.kr)) * chromaGain, 0.5 * chromaGain,
              -s.kb / (2 * (1 - s.kr)) * chromaGain},
             {-kg / (2 * (1 - s.kb)) * chromaGain, -s.kr / (2 * (1 - s.kb)) * chromaGain,
              0.5 * chromaGain}}};
}

Coefficients diagonal(double gain) {
    return {{{gain, 0, 0}, {0, gain, 0}, {0, 0, gain}}};
}

Coefficients decode(const u8* m) {
    Coefficients c{};
    for (int i = 0; i < 9; ++i) {
        int v = (m[3 + 2 * i] | m[4 + 2 * i] << 8) & 0x3FFF;
        if (v & 0x2000)
            v -= 0x4000;
        c[i / 3][i % 3] = v / 2048.0;
    }
    return c;
}

void expectCoefficients(const Coefficients& actual, const Coefficients& expected,
                        const std::string& what) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(actual[r][c], expected[r][c], kTolerance)
                << what << " row " << r << " column " << c;
}

TEST(It6602Matrices, EveryTableIsTheStandardsConversion) {
    using D = velmo_it6602;
    expectCoefficients(decode(D::bCSCMtx_RGB_16_235_RGB_0_255), diagonal(kFullOverLuma),
                       "RGB 16..235 to 0..255");
    expectCoefficients(decode(D::bCSCMtx_RGB_0_255_RGB_16_235), diagonal(1 / kFullOverLuma),
                       "RGB 0..255 to 16..235");
    // Studio-range Y'CbCr to full-range R'G'B', and to studio-range R'G'B'.
    expectCoefficients(decode(D::bCSCMtx_YUV2RGB_ITU709_0_255),
                       yuvToRgb(kBt709, kFullOverLuma, kFullOverChroma), "YUV to RGB 709 0_255");
    expectCoefficients(decode(D::bCSCMtx_YUV2RGB_ITU601_0_255),
                       yuvToRgb(kBt601, kFullOverLuma, kFullOverChroma), "YUV to RGB 601 0_255");
    expectCoefficients(decode(D::bCSCMtx_YUV2RGB_ITU709_16_235),
                       yuvToRgb(kBt709, 1, kFullOverChroma / kFullOverLuma),
                       "YUV to RGB 709 16_235");
    expectCoefficients(decode(D::bCSCMtx_YUV2RGB_ITU601_16_235),
                       yuvToRgb(kBt601, 1, kFullOverChroma / kFullOverLuma),
                       "YUV to RGB 601 16_235");
    // Full-range and studio-range R'G'B' to studio-range Y'CbCr.
    expectCoefficients(decode(D::bCSCMtx_RGB2YUV_ITU709_0_255),
                       rgbToYuv(kBt709, 1 / kFullOverLuma, 1 / kFullOverChroma),
                       "RGB to YUV 709 0_255");
    expectCoefficients(decode(D::bCSCMtx_RGB2YUV_ITU601_0_255),
                       rgbToYuv(kBt601, 1 / kFullOverLuma, 1 / kFullOverChroma),
                       "RGB to YUV 601 0_255");
    expectCoefficients(decode(D::bCSCMtx_RGB2YUV_ITU709_16_235),
                       rgbToYuv(kBt709, 1, kFullOverLuma / kFullOverChroma),
                       "RGB to YUV 709 16_235");
    expectCoefficients(decode(D::bCSCMtx_RGB2YUV_ITU601_16_235),
                       rgbToYuv(kBt601, 1, kFullOverLuma / kFullOverChroma),
                       "RGB to YUV 601 16_235");
}

class It6602Colour : public It6602Test {
protected:
    // The converter as the chip holds it: register 0x65 bits 0..1 and bank 1 0x70..0x84.
    u8 converter(int ch) { return chip(ch).reg(0, 0x65) & 0x03; }
    Coefficients matrix(int ch) {
        u8 m[21];
        for (int i = 0; i < 21; ++i)
            m[i] = chip(ch).reg(1, static_cast<u8>(0x70 + i));
        return decode(m);
    }
    void show(int ch, const sim::VideoTiming& t) {
        sources->unplug(ch);
        ASSERT_TRUE(passUntil([&] { return record(ch).nosignal == 1; }));
        sources->plug(ch, t);
        ASSERT_TRUE(pictureOn(ch));
    }
    static constexpr u8 kBypass = 0, kRgbRange = 1, kYuvToRgb = 3;
};

TEST_F(It6602Colour, DviIsRgbAndItsColorimetryFollowsTheClock) {
    show(0, cta(16, Colour::Rgb, true));
    EXPECT_EQ(driver(0).flags & IT6602_dev_data::kHdmiMode, 0);
    EXPECT_EQ(driver(0).input_video_mode, 0x10) << "RGB, ITU-709 for a 148.5 MHz clock";
    EXPECT_EQ(converter(0), kBypass);
    EXPECT_EQ(chip(0).reg(0, 0x9A), 21) << "the period the rule compares with 52";

    show(0, cta(1, Colour::Rgb, true));
    EXPECT_EQ(driver(0).input_video_mode, 0x00) << "RGB, ITU-601 for 25.175 MHz";
    EXPECT_EQ(converter(0), kBypass);
    pass(20);
    EXPECT_EQ(chip(0).reg(0, 0x7D) & 0x01, 0) << "no audio from DVI";
}

TEST_F(It6602Colour, HdmiRgbIsExpandedOnlyWhenItsRangeIsLimited) {
    // CTA-861: RGB of a CE format (VIC 16) is limited range by default, of VIC 1 full range.
    show(1, cta(16));
    EXPECT_TRUE(driver(1).flags & IT6602_dev_data::kHdmiMode);
    EXPECT_EQ(driver(1).avi_vic, 16);
    EXPECT_EQ(driver(1).avi_rgb_range, 1);
    EXPECT_EQ(converter(1), kRgbRange);
    expectCoefficients(matrix(1), diagonal(kFullOverLuma), "limited RGB expanded");
    EXPECT_EQ(chip(1).reg(0, 0x67) & 0x78, 0x78);
    EXPECT_EQ(chip(1).reg(0, 0x68), 0xED);

    show(1, cta(1));
    EXPECT_EQ(driver(1).avi_rgb_range, 2);
    EXPECT_EQ(converter(1), kBypass);
}

TEST_F(It6602Colour, HdmiYCbCrIsConvertedWithItsColorimetry) {
    show(2, cta(16, Colour::YCbCr444));
    EXPECT_EQ(driver(2).avi_colour_mode, 2);
    EXPECT_EQ(driver(2).avi_colorimetry, 2);
    EXPECT_EQ(converter(2), kYuvToRgb);
    expectCoefficients(matrix(2), yuvToRgb(kBt709, kFullOverLuma, kFullOverChroma), "BT.709");

    show(2, cta(2, Colour::YCbCr422));
    EXPECT_EQ(driver(2).avi_colour_mode, 1);
    EXPECT_EQ(driver(2).avi_colorimetry, 1);
    EXPECT_EQ(converter(2), kYuvToRgb);
    expectCoefficients(matrix(2), yuvToRgb(kBt601, kFullOverLuma, kFullOverChroma), "BT.601");
}

TEST_F(It6602Colour, HdmiAudioIsTurnedOnAndDviDropsIt) {
    show(1, cta(16));
    ASSERT_TRUE(passUntil([&] { return driver(1).audio_state == ASTATE_AudioOn; }));
    EXPECT_EQ(chip(1).reg(0, 0x7D) & 0x01, 0x01);
    EXPECT_EQ(driver(1).audio_channels, 2);

    // The same cable turns to DVI: no audio, and the output is set up for RGB again.
    sources->plug(1, cta(31, Colour::YCbCr444, true));
    ASSERT_TRUE(passUntil([&] { return inputSize(1).refresh == 50; }));
    ASSERT_TRUE(pictureOn(1));
    pass(5);
    EXPECT_NE(driver(1).audio_state, ASTATE_AudioOn);
    EXPECT_EQ(chip(1).reg(0, 0x7D) & 0x01, 0);
    EXPECT_EQ(converter(1), kBypass);
}

}  // namespace
