// The EDID images the program can write, checked against edid-decode and the worked
// examples of the custom-EDID builder.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "inputs/edid_images.h"
#include "inputs/velmosource.h"
#include "tests/inputs/edid_decode.h"

namespace {

using test::edidDecode;
using test::EdidReport;

const u8* default6602(int image) {
    return velmosource::velmo_default_edid_6602.data() + 256 * image;
}
const u8* default6805(int image) {
    return velmosource::velmo_default_edid_6805.data() + 256 * image;
}

std::string nameOf(const u8* image) {
    for (int at = 54; at < 126; at += 18) {
        if (image[at] || image[at + 1] || image[at + 3] != 0xFC)
            continue;
        std::string text(reinterpret_cast<const char*>(image + at + 5), 13);
        return text.substr(0, text.find('\n'));
    }
    return {};
}

u8 sum128(const u8* block) {
    u8 sum = 0;
    for (int i = 0; i < 128; ++i)
        sum = static_cast<u8>(sum + block[i]);
    return sum;
}

void expectSums(const u8* image) {
    EXPECT_EQ(sum128(image), 0) << "base block";
    EXPECT_EQ(sum128(image + 128), 0) << "extension";
    EXPECT_EQ(image[126], 1);
}

bool hasHeader(const u8* image) {
    const u8 header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    return std::equal(header, header + 8, image);
}

bool says(const EdidReport& r, const std::string& text) {
    return r.output.find(text) != std::string::npos;
}

void expectDecodes(const u8* image, int width, int height, double refresh,
                   const std::string& name) {
    EdidReport r = edidDecode(image);
    ASSERT_TRUE(r.ran) << "edid-decode is needed (Debian package edid-decode)";
    EXPECT_TRUE(r.passed) << r.output;
    EXPECT_EQ(r.width, width) << r.output;
    EXPECT_EQ(r.height, height);
    EXPECT_NEAR(r.refresh, refresh, 0.5);
    EXPECT_EQ(r.name, name);
}

TEST(EdidImages, DefaultImagesAnnounceTheirTimingsAndNames) {
    const char* names6602[4] = {"KRX-EXT", "KRX-DVI", "KRX-HD1", "KRX-HD2"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(names6602[i]);
        const u8* image = default6602(i);
        expectSums(image);
        EXPECT_TRUE(hasHeader(image));
        // "VLM", product 1
        EXPECT_EQ(image[8], 0x59);
        EXPECT_EQ(image[9], 0x8D);
        EXPECT_EQ(image[10], 0x01);
        EXPECT_EQ(image[11], 0x00);
        // EDID 1.3: edid-decode takes HDMI's vendor block only in a 1.3 base block.
        EXPECT_EQ(image[18], 1);
        EXPECT_EQ(image[19], 3);
        expectDecodes(image, 1920, 1080, 60, names6602[i]);
        EdidReport r = edidDecode(image);
        // 1920x1080 at 148.5 MHz, blanking 280 (88, 44) and 45 (4, 5).
        EXPECT_TRUE(says(r, "1920x1080   60.000000 Hz  16:9     67.500 kHz    148.500000 MHz"));
        EXPECT_TRUE(says(r, "Hfront   88 Hsync  44 Hback  148"));
        EXPECT_TRUE(says(r, "Vfront    4 Vsync   5 Vback   36"));
        // 2560x1600 at 268.5 MHz, blanking 160 (48, 32) and 46 (3, 6).
        EXPECT_TRUE(says(r, "2560x1600"));
        EXPECT_TRUE(says(r, "268.500000 MHz"));
        EXPECT_TRUE(says(r, "Hfront   48 Hsync  32 Hback   80"));
        EXPECT_TRUE(says(r, "Vfront    3 Vsync   6 Vback   37"));
        EXPECT_TRUE(says(r, "23-120 Hz V, 15-133 kHz H, max dotclock 300 MHz"));
    }
    const char* names6805[2] = {"KRX_T47HD3", "KRX_T47HD4"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(names6805[i]);
        const u8* image = default6805(i);
        expectSums(image);
        EXPECT_TRUE(hasHeader(image));
        EXPECT_EQ(image[10] | image[11] << 8, 0x6805);
        EXPECT_EQ(image[18], 1);
        EXPECT_EQ(image[19], 3);
        expectDecodes(image, 3840, 2160, 60, names6805[i]);
        EdidReport r = edidDecode(image);
        EXPECT_TRUE(says(r, "Manufacturer: KRX"));
        EXPECT_TRUE(says(r, "Display Product Serial Number: 'KRX_T47HDMI20'"));
        EXPECT_TRUE(says(r, "29-75 Hz V, 31-140 kHz H, max dotclock 600 MHz"));
        // 3840x2160 at 594 MHz, blanking 560 (176, 88) and 90 (8, 10).
        EXPECT_TRUE(says(r, "594.000000 MHz"));
        EXPECT_TRUE(says(r, "Hfront  176 Hsync  88 Hback  296"));
        EXPECT_TRUE(says(r, "Vfront    8 Vsync  10 Vback   72"));
    }
}

TEST(EdidImages, FixedImagesCarryTheCtaTimingOfTheirRow) {
    const struct {
        int width, height, refresh;
        double clockMhz;
        u16 product;
    } rows[8] = {{1280, 720, 60, 74.25, 0x41}, {1440, 480, 60, 54.05, 0x40},
                 {1680, 720, 60, 99, 0x39},    {1920, 1080, 60, 148.5, 0x43},
                 {2560, 1080, 60, 198, 0x39},  {2880, 480, 60, 108.11, 0x39},
                 {3840, 2160, 30, 297, 0x38},  {3840, 2160, 60, 594, 0x37}};
    for (int i = 0; i < 8; ++i) {
        for (EdidImage* table : {edid::table_1080p[i], edid::table_4k[i]}) {
            SCOPED_TRACE(std::to_string(rows[i].width) + "x" + std::to_string(rows[i].height));
            const u8* image = table->data();
            expectSums(image);
            EXPECT_TRUE(hasHeader(image));
            EXPECT_EQ(image[8], 0x59) << "VLM";
            EXPECT_EQ(image[9], 0x8D);
            EdidReport r = edidDecode(image);
            ASSERT_TRUE(r.ran);
            EXPECT_TRUE(r.passed) << r.output;
            EXPECT_EQ(r.width, rows[i].width);
            EXPECT_EQ(r.height, rows[i].height);
            EXPECT_NEAR(r.refresh, rows[i].refresh, 0.1);
            EXPECT_NEAR(r.clockMhz, rows[i].clockMhz, 0.005);
            // Product codes of the 4K tables are renamed by the builder, not here.
            if (table == edid::table_1080p[i]) {
                EXPECT_EQ(image[10] | image[11] << 8, rows[i].product);
                EXPECT_EQ(r.name, "KRX-HDMI");
            }
        }
    }
}

TEST(EdidImages, FixedSizesPickTheTableAndNameTheInput) {
    ASSERT_TRUE(velmosource::Set_Custom_HDMI_EDID(1920, 1080, 60, 1));
    EXPECT_EQ(edidTable, edid_table_1080p_3.data());
    EXPECT_EQ(nameOf(edidTable), "KRX-HD1");
    expectDecodes(edidTable, 1920, 1080, 60, "KRX-HD1");

    ASSERT_TRUE(velmosource::Set_Custom_HDMI_EDID(1280, 720, 60, 0));
    EXPECT_EQ(edidTable, edid_table_1080p_0.data());
    EXPECT_EQ(nameOf(edidTable), "KRX-DVI");

    ASSERT_TRUE(velmosource::Set_Custom_HDMI_EDID(3840, 2160, 30, 3));
    EXPECT_EQ(edidTable, edid_table_4k_6.data());
    EXPECT_EQ(edidTable[10], 0x14);
    EXPECT_EQ(edidTable[11], 0x00);
    EXPECT_EQ(nameOf(edidTable), "KRX-HD3");
    expectDecodes(edidTable, 3840, 2160, 30, "KRX-HD3");

    // 3840x2160 at 50 is not a fixed row: it is computed into the IT6805's default image.
    ASSERT_TRUE(velmosource::Set_Custom_HDMI_EDID(3840, 2160, 50, 3));
    EXPECT_EQ(edidTable, velmosource::velmo_default_edid_6805.data());
}

TEST(EdidImages, WorkedExamplesOfTheComputedTiming) {
    // 1920x1080 at 50 on input 1: 50 x 2080 x 1142 / 10000 = 11876 (118.76 MHz).
    ASSERT_TRUE(velmosource::Set_Custom_HDMI_EDID(1920, 1080, 50, 1));
    u8* image = velmosource::velmo_default_edid_6602.data() + 512;
    EXPECT_EQ(edidTable, image);
    EXPECT_EQ(image[54] | image[55] << 8, 11876);
    EXPECT_EQ(image[56], 0x80);  // 1920 low byte
    EXPECT_EQ(image[57], 160);   // H blanking
    EXPECT_EQ(image[58], 0x70);
    EXPECT_EQ(image[61], 0x40);  // 1080 high nibble, V blanking below 256
    EXPECT_EQ(image[64], 0x3A);
    EXPECT_EQ(image[65], 0x00);
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(image[72 + i], image[54 + i]) << "second descriptor byte " << i;
    EdidReport r = edidDecode(image);
    EXPECT_TRUE(r.passed) << r.output;
    EXPECT_EQ(r.width, 1920);
    EXPECT_EQ(r.height, 1080);
    EXPECT_NEAR(r.clockMhz, 118.76, 1e-6);
    EXPECT_EQ(r.name, "KRX-HD1");

    // 1024x768 at 60 on input 3: totals 1584 x 858, 8154 (81.54 MHz).
    ASSERT_TRUE(velmosource::Set_Custom_HDMI_EDID(1024, 768, 60, 3));
    image = velmosource::velmo_default_edid_6805.data();
    EXPECT_EQ(image[54] | image[55] << 8, 8154);
    EXPECT_EQ(image[58], 0x42);
    EXPECT_EQ(image[64], 0x8A);
    r = edidDecode(image);
    EXPECT_TRUE(r.passed) << r.output;
    EXPECT_NE(r.output.find("Hfront  176 Hsync  88 Hback  296"), std::string::npos);
    EXPECT_NE(r.output.find("Vfront    8 Vsync  10 Vback   72"), std::string::npos);
    EXPECT_EQ(r.name, "KRX_T47HD3");
}

TEST(EdidImages, CustomSizesFromEdidParaPassEdidDecode) {
    const int sizes[][3] = {{1920, 1080, 50}, {1024, 768, 60},  {1366, 768, 60},
                            {800, 600, 75},   {1920, 1200, 60}, {2560, 1440, 60},
                            {4095, 2160, 30}, {3840, 1080, 60}, {1920, 1080, 120},
                            {720, 576, 50},   {640, 480, 60},   {1920, 1080, 24}};
    for (int input = 0; input < 4; ++input) {
        for (const auto& s : sizes) {
            SCOPED_TRACE("input " + std::to_string(input) + " " + std::to_string(s[0]) + "x" +
                         std::to_string(s[1]) + "@" + std::to_string(s[2]));
            ASSERT_TRUE(velmosource::Set_Custom_HDMI_EDID(s[0], s[1], s[2], input));
            expectSums(edidTable);
            EdidReport r = edidDecode(edidTable);
            ASSERT_TRUE(r.ran);
            EXPECT_TRUE(r.passed) << r.output;
            EXPECT_EQ(r.width, s[0]);
            EXPECT_EQ(r.height, s[1]);
            EXPECT_NEAR(r.refresh, s[2], 0.5);
        }
    }
}

TEST(EdidImages, SizesNoEdidCanCarryKeepThePreviousImage) {
    ASSERT_TRUE(velmosource::Set_Custom_HDMI_EDID(1366, 768, 60, 2));
    u8* chosen = edidTable;
    EdidImage before;
    std::copy(chosen, chosen + 256, before.begin());
    const int refused[][3] = {
        {0, 1080, 60},
        {4096, 1080, 60},
        {1920, 0, 60},
        {1920, 4096, 60},
        {1920, 1080, 0},
        {1920, 1080, 241},
        {-1920, 1080, 60},
        {4000, 4000, 240},  // 32-bit arithmetic would wrap;
                            // 64-bit finds 4.2 GHz
        {3840, 2160, 120},  // 1.2 GHz: beyond a descriptor's 655.35 MHz
        {640, 480, 1},      // below a detailed timing's 10 MHz
    };
    for (const auto& s : refused) {
        SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]) + "@" +
                     std::to_string(s[2]));
        EXPECT_FALSE(velmosource::Set_Custom_HDMI_EDID(s[0], s[1], s[2], 2));
        EXPECT_EQ(edidTable, chosen);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), chosen));
    }
    EXPECT_FALSE(velmosource::Set_Custom_HDMI_EDID(1920, 1080, 60, 4));
    EXPECT_FALSE(velmosource::Set_Custom_HDMI_EDID(1920, 1080, 60, -1));
    EXPECT_EQ(edidTable, chosen);
}

}  // namespace
