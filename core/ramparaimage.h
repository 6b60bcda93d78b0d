// The 4096-byte parameter image shared by every subsystem, addressed by byte offset.
//
// The offsets are an external interface (the PC reads and writes the image by offset and
// the file stores bytes 768..4095): they must not move. Multi-byte fields are
// little-endian.
#pragma once

#include <cstddef>
#include <cstring>

#include "core/le.h"
#include "core/types.h"

struct RamParaImage {
    static constexpr size_t kSize = 4096;
    u8 bytes[kSize];

    u8& operator[](size_t offset) { return bytes[offset]; }
    u8 operator[](size_t offset) const { return bytes[offset]; }
    u8* data() { return bytes; }
    const u8* data() const { return bytes; }
    u16 u16At(size_t offset) const { return get_u16(bytes + offset); }
    void setU16(size_t offset, u16 value) { put_u16(bytes + offset, value); }
    bool sameU16(const RamParaImage& other, size_t offset) const {
        return u16At(offset) == other.u16At(offset);
    }
};

// Field offsets of the image.
namespace para {
constexpr size_t runtime_end = 768;  // 0..767 runtime, 768..4095 saved
constexpr size_t it6805_timing = 0;
constexpr size_t input_size = 256;  // 6 VideoSizePara entries
constexpr size_t language = 768;
constexpr size_t panel_lock = 772;
constexpr size_t wifi_off = 774;
constexpr size_t test_pattern = 864;
constexpr size_t current_user_mode = 866;
constexpr size_t save_user_mode = 868;
constexpr size_t mode_copy_start = 896;  // a user mode holds image bytes 896..4095
constexpr size_t edid_para = 896;        // 6 VideoSizePara entries
constexpr size_t splice_mode = 1376;
constexpr size_t led_width = 1378;
constexpr size_t led_height = 1380;
constexpr size_t led_x = 1382;
constexpr size_t led_y = 1384;
constexpr size_t och_num_h = 1386;
constexpr size_t och_num_v = 1388;
constexpr size_t och_w = 1390;
constexpr size_t och_h = 1392;
constexpr size_t panel_written_back = 1394;
constexpr size_t out1_x = 1408;
constexpr size_t out1_y = 1410;
constexpr size_t out1_width = 1412;
constexpr size_t out1_height = 1414;
constexpr size_t out2_x = 1416;
constexpr size_t out2_y = 1418;
constexpr size_t out2_width = 1420;
constexpr size_t out2_height = 1422;
constexpr size_t crop = 1472;  // 40 CropEntry records
constexpr int crop_count = 40;
constexpr size_t crop_size = 10;
constexpr size_t current_window = 2112;
constexpr size_t dbd_enable = 2114;
constexpr size_t fpga_para = 2116;
constexpr size_t switch_mode = 2118;
constexpr size_t osd_enable = 2124;
constexpr size_t picture_brightness = 2176;
constexpr size_t picture_contrast = 2178;
constexpr size_t picture_sharpness = 2180;
constexpr size_t picture_saturation = 2182;
constexpr size_t colour_temp_type = 2184;
constexpr size_t colour_temp_r = 2186;
constexpr size_t colour_temp_g = 2188;
constexpr size_t colour_temp_b = 2190;
constexpr size_t krx_layer = 2208;  // 16 u16 priorities
constexpr size_t window = 2272;     // 6 WindowPara records
constexpr int window_count = 6;
constexpr size_t window_size = 26;
constexpr size_t win_fade = 2816;  // 16 pairs of u16 fade-in, fade-out

// Fields of a window record, relative to window_at(w).
constexpr size_t win_enable = 0;
constexpr size_t win_attr = 4;
constexpr size_t win_source = 8;
constexpr size_t win_source_kind = 9;  // 0x80: win_source is a crop-table index
constexpr size_t win_x = 10;
constexpr size_t win_y = 12;
constexpr size_t win_w = 14;
constexpr size_t win_h = 16;
constexpr size_t win_output = 18;  // bit 0 black, 1 freeze, 2 switch effect, 8 dot-by-dot
constexpr size_t win_audio = 20;
constexpr size_t win_dbd_mode = 22;
constexpr u8 source_is_crop = 0x80;

constexpr size_t window_at(int w) {
    return window + window_size * static_cast<size_t>(w);
}
constexpr size_t crop_at(int i) {
    return crop + crop_size * static_cast<size_t>(i);
}
constexpr size_t edid_para_at(int p) {
    return edid_para + 6 * static_cast<size_t>(p);
}
constexpr size_t input_size_at(int p) {
    return input_size + 6 * static_cast<size_t>(p);
}
}  // namespace para

struct VideoSizePara {
    u16 width;
    u16 height;
    u16 refresh;
};

// One crop as the crop operations take and return it: {id, x, y, w, h}.
struct CROP_PARA {
    int id;
    int x;
    int y;
    int w;
    int h;
};
