// The EDID images the inputs present: a default image per input, fixed images for common
// sizes, and the image chosen by the last custom-EDID build.
//
// Every image is 256 bytes: a base block followed by one CTA-861 extension, each block
// summing to 0 modulo 256. They are writable: the custom-EDID builder patches them in place.
#pragma once

#include <array>
#include <cstddef>

#include "core/types.h"

using EdidImage = std::array<u8, 256>;

// Fixed images for inputs 0..2 and the same eight sizes for input 3, in the order
// 1280x720@60, 1440x480@60, 1680x720@60, 1920x1080@60, 2560x1080@60, 2880x480@60,
// 3840x2160@30, 3840x2160@60.
extern EdidImage edid_table_1080p_0, edid_table_1080p_1, edid_table_1080p_2, edid_table_1080p_3,
    edid_table_1080p_4, edid_table_1080p_5, edid_table_1080p_6, edid_table_1080p_7;
extern EdidImage edid_table_4k_0, edid_table_4k_1, edid_table_4k_2, edid_table_4k_3,
    edid_table_4k_4, edid_table_4k_5, edid_table_4k_6, edid_table_4k_7;

// The image the last custom-EDID build chose; the input thread writes what it points to.
extern u8* edidTable;

namespace edid {

constexpr size_t kBlock = 128;
constexpr size_t kFirstDescriptor = 54;
constexpr size_t kSecondDescriptor = 72;
constexpr size_t kDescriptorSize = 18;
constexpr size_t kProductCode = 10;
constexpr size_t kNameSuffix = 117;  // "KRX-" ends at 116 in the fixed images' name
constexpr size_t kChecksum = 127;

// One row of the fixed-image table.
struct FixedSize {
    int width;
    int height;
    int refresh;
};
constexpr FixedSize kFixedSizes[8] = {{1280, 720, 60},  {1440, 480, 60},  {1680, 720, 60},
                                      {1920, 1080, 60}, {2560, 1080, 60}, {2880, 480, 60},
                                      {3840, 2160, 30}, {3840, 2160, 60}};

// Range limits the default images announce (Hz, kHz, 10 MHz units).
struct Range {
    u8 minV, maxV;
    u8 minH, maxH;
    u8 maxClock;
};
constexpr Range kRange6602{23, 120, 15, 133, 30};
constexpr Range kRange6805{29, 75, 31, 140, 60};

extern EdidImage* const table_1080p[8];
extern EdidImage* const table_4k[8];

// A block is valid when its sum is 0 modulo 256.
bool blockSumsToZero(const u8* block);
// What the input thread accepts as an EEPROM holding an EDID: the 8-byte header and a
// base block that sums to 0.
bool looksValid(const u8* image);

}  // namespace edid
