// The built-in default parameter image, in the layout of the parameter file: marker
// 0xAA 0xAA, image bytes 768..4095 from index 2 (image byte n at index n - 766), a zero
// tail. Built at compile time from the tables below; every field not named is 0.
#include "core/krxrampara.h"

namespace {

struct Word {
    size_t offset;  // image offset
    u16 value;
};

constexpr Word kWords[] = {
    {para::language, 0},
    {770, 100},  // no reader, kept as the device has always shipped it
    {para::led_width, 1920},
    {para::led_height, 1080},
    {para::och_num_h, 1},
    {para::och_num_v, 1},
    {para::och_w, 1920},
    {para::och_h, 1080},
    {para::out1_x, 0},
    {para::out1_y, 0},
    {para::out1_width, 1920},
    {para::out1_height, 1080},
    {para::out2_x, 0},
    {para::out2_y, 0},
    {para::out2_width, 1920},
    {para::out2_height, 1080},
    {para::picture_brightness, 100},
    {para::picture_contrast, 50},
    {para::picture_sharpness, 10},
    {para::picture_saturation, 50},
    {para::colour_temp_type, 2},  // nature
    {para::colour_temp_r, 64},
    {para::colour_temp_g, 64},
    {para::colour_temp_b, 64},
    {2270, 1},  // no reader
};

// Custom EDID size per input port.
constexpr VideoSizePara kEdid[] = {
    {1920, 1080, 60}, {1920, 1080, 60}, {1920, 1080, 60},
    {1920, 1080, 60}, {3840, 2160, 60}, {3840, 2160, 60},
};

// Every crop entry, and the 24 entries' worth of bytes after the table, hold one unused
// crop: port 2, not valid, the full 1920 x 1080 picture.
constexpr u16 kCropPattern[] = {0x0002, 0, 0, 1920, 1080};
constexpr size_t kCropPatternEnd = 2112;

// Window records: window 0 shown, the others hidden; all on port 1, full screen.
struct WindowDefault {
    u16 enable;
    u8 source_port;
    u16 x, y, w, h;
};
constexpr WindowDefault kWindows[] = {
    {1, 1, 0, 0, 1920, 1080}, {0, 1, 0, 0, 1920, 1080}, {0, 1, 0, 0, 1920, 1080},
    {0, 1, 0, 0, 1920, 1080}, {0, 1, 0, 0, 1920, 1080}, {0, 1, 0, 0, 1920, 1080},
};

constexpr int kLayers = 16;  // krx_layer entry w = w

class FileImage {
public:
    constexpr FileImage() {
        bytes[0] = 0xAA;
        bytes[1] = 0xAA;
        for (const Word& word : kWords)
            put(word.offset, word.value);
        for (int p = 0; p < 6; ++p) {
            put(para::edid_para_at(p), kEdid[p].width);
            put(para::edid_para_at(p) + 2, kEdid[p].height);
            put(para::edid_para_at(p) + 4, kEdid[p].refresh);
        }
        for (size_t at = para::crop; at < kCropPatternEnd; at += para::crop_size) {
            for (size_t k = 0; k < 5; ++k)
                put(at + 2 * k, kCropPattern[k]);
        }
        for (int w = 0; w < kLayers; ++w)
            put(para::krx_layer + 2 * w, static_cast<u16>(w));
        for (int w = 0; w < para::window_count; ++w) {
            const size_t at = para::window_at(w);
            put(at + para::win_enable, kWindows[w].enable);
            bytes[fileIndex(at + para::win_source)] = kWindows[w].source_port;
            put(at + para::win_x, kWindows[w].x);
            put(at + para::win_y, kWindows[w].y);
            put(at + para::win_w, kWindows[w].w);
            put(at + para::win_h, kWindows[w].h);
        }
    }

    u8 bytes[4096] = {};

private:
    static constexpr size_t fileIndex(size_t imageOffset) { return imageOffset - 766; }
    constexpr void put(size_t imageOffset, u16 value) {
        bytes[fileIndex(imageOffset)] = static_cast<u8>(value);
        bytes[fileIndex(imageOffset) + 1] = static_cast<u8>(value >> 8);
    }
};

constexpr FileImage kDefaultImage;

}  // namespace

const u8 (&default_para_ramlist)[4096] = kDefaultImage.bytes;
