#include "inputs/edid_images.h"

#include "inputs/edid_compose.h"
#include "inputs/velmosource.h"

namespace {

using edid::Range;
using edid::compose::Extension;
using edid::compose::Identity;
using edid::compose::Image;
using edid::compose::Timing;

constexpr Timing k1080p60{14850, 1920, 280, 88, 44, 1080, 45, 4, 5, 0x1E};
constexpr Timing k1600p60{26850, 2560, 160, 48, 32, 1600, 46, 3, 6, 0x1A};
constexpr Timing k2160p60{59400, 3840, 560, 176, 88, 2160, 90, 8, 10, 0x1E};

// The sizes of the fixed images (CTA-861 timings), in the order of edid::kFixedSizes.
constexpr Timing kFixedTimings[8] = {
    {7425, 1280, 370, 110, 40, 720, 30, 5, 5, 0x1E},     // 720p60
    {5405, 1440, 276, 32, 124, 480, 45, 9, 6, 0x18},     // 480p60, 1440 wide
    {9900, 1680, 520, 260, 40, 720, 30, 5, 5, 0x1E},     // 720p60, 64:27
    k1080p60,                                            //
    {19800, 2560, 440, 248, 44, 1080, 20, 4, 5, 0x1E},   // 1080p60, 64:27
    {10811, 2880, 552, 64, 248, 480, 45, 9, 6, 0x18},    // 480p60, 2880 wide
    {29700, 3840, 560, 176, 88, 2160, 90, 8, 10, 0x1E},  // 2160p30
    k2160p60,                                            //
};
constexpr u16 kFixedProducts[8] = {0x0041, 0x0040, 0x0039, 0x0043, 0x0039, 0x0039, 0x0038, 0x0037};

// HDMI 1.4 sink of the IT6602 inputs (300 MHz) and HDMI 2.0 sink of the IT6805 (600 MHz).
constexpr Extension kHdmi14{{16, 4, 3, 31, 19, 1}, 6, 60, 0};
constexpr Extension kHdmi20{{97, 16, 4, 3, 31, 19, 1, 95, 96}, 9, 68, 120};

// The CTA format of each fixed size, announced alone beside the 640x480 every HDMI sink
// takes; the 3840-wide ones need the HDMI 2.0 sink's limits.
constexpr u8 kFixedVics[8] = {4, 14, 82, 16, 90, 35, 95, 97};

constexpr Extension fixedExtension(int index) {
    return Extension{{kFixedVics[index], 1}, 2, 68, static_cast<u8>(index >= 6 ? 120 : 0)};
}

constexpr Image default6602(const char* name) {
    Image e{};
    edid::compose::putBase(e, Identity{"VLM", 0x0001, 3});
    edid::compose::putTiming(e, 54, k1080p60);
    edid::compose::putTiming(e, 72, k1600p60);
    edid::compose::putRange(e, 90, edid::kRange6602);
    edid::compose::putText(e, 108, 0xFC, name);
    edid::compose::putExtension(e, kHdmi14);
    edid::compose::seal(e);
    return e;
}

constexpr Image default6805(const char* name) {
    Image e{};
    edid::compose::putBase(e, Identity{"KRX", 0x6805, 3});
    edid::compose::putTiming(e, 54, k2160p60);
    edid::compose::putText(e, 72, 0xFF, "KRX_T47HDMI20");
    edid::compose::putText(e, 90, 0xFC, name);
    edid::compose::putRange(e, 108, edid::kRange6805);
    edid::compose::putExtension(e, kHdmi20);
    edid::compose::seal(e);
    return e;
}

constexpr Image fixedImage(int index) {
    Image e{};
    edid::compose::putBase(e, Identity{"VLM", kFixedProducts[index], 3});
    edid::compose::putTiming(e, 54, kFixedTimings[index]);
    edid::compose::putDummy(e, 72);
    edid::compose::putRange(e, 90, Range{23, 120, 15, 140, static_cast<u8>(index >= 6 ? 60 : 30)});
    edid::compose::putText(e, 108, 0xFC, "KRX-HDMI");
    edid::compose::putExtension(e, fixedExtension(index));
    edid::compose::seal(e);
    return e;
}

}  // namespace

std::array<u8, 1024> velmosource::velmo_default_edid_6602 =
    edid::compose::join<4>({default6602("KRX-EXT"), default6602("KRX-DVI"), default6602("KRX-HD1"),
                            default6602("KRX-HD2")});
std::array<u8, 512> velmosource::velmo_default_edid_6805 =
    edid::compose::join<2>({default6805("KRX_T47HD3"), default6805("KRX_T47HD4")});

EdidImage edid_table_1080p_0 = fixedImage(0);
EdidImage edid_table_1080p_1 = fixedImage(1);
EdidImage edid_table_1080p_2 = fixedImage(2);
EdidImage edid_table_1080p_3 = fixedImage(3);
EdidImage edid_table_1080p_4 = fixedImage(4);
EdidImage edid_table_1080p_5 = fixedImage(5);
EdidImage edid_table_1080p_6 = fixedImage(6);
EdidImage edid_table_1080p_7 = fixedImage(7);
EdidImage edid_table_4k_0 = fixedImage(0);
EdidImage edid_table_4k_1 = fixedImage(1);
EdidImage edid_table_4k_2 = fixedImage(2);
EdidImage edid_table_4k_3 = fixedImage(3);
EdidImage edid_table_4k_4 = fixedImage(4);
EdidImage edid_table_4k_5 = fixedImage(5);
EdidImage edid_table_4k_6 = fixedImage(6);
EdidImage edid_table_4k_7 = fixedImage(7);

u8* edidTable = velmosource::velmo_default_edid_6602.data() + 256;

namespace edid {

EdidImage* const table_1080p[8] = {&edid_table_1080p_0, &edid_table_1080p_1, &edid_table_1080p_2,
                                   &edid_table_1080p_3, &edid_table_1080p_4, &edid_table_1080p_5,
                                   &edid_table_1080p_6, &edid_table_1080p_7};
EdidImage* const table_4k[8] = {&edid_table_4k_0, &edid_table_4k_1, &edid_table_4k_2,
                                &edid_table_4k_3, &edid_table_4k_4, &edid_table_4k_5,
                                &edid_table_4k_6, &edid_table_4k_7};

bool blockSumsToZero(const u8* block) {
    u8 sum = 0;
    for (size_t i = 0; i < kBlock; ++i)
        sum = static_cast<u8>(sum + block[i]);
    return sum == 0;
}

bool looksValid(const u8* image) {
    if (image[0] != 0x00 || image[7] != 0x00)
        return false;
    for (int i = 1; i <= 6; ++i)
        if (image[i] != 0xFF)
            return false;
    return blockSumsToZero(image);
}

}  // namespace edid
