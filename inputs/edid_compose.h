// Compile-time composition of the EDID images: base block fields, descriptors and the
// CTA-861 extension, so that the images are data the compiler lays out, with their
// checksums computed rather than typed.
#pragma once

#include <array>
#include <cstddef>

#include "core/types.h"
#include "inputs/edid_images.h"

namespace edid::compose {

using Image = EdidImage;
using edid::Range;

// A detailed timing: pixel clock in 10 kHz units, sizes in pixels and lines.
struct Timing {
    u16 clock;
    u16 hact, hblank, hfront, hsync;
    u16 vact, vblank, vfront, vsync;
    u8 flags;  // byte 17: 0x1E digital separate sync, both polarities positive
};

// Image size of every detailed timing, and the screen size of the base block: a 1.6 m x
// 0.9 m LED wall.
constexpr u16 kImageWidthMm = 1600;
constexpr u16 kImageHeightMm = 900;

constexpr u8 lo(unsigned v) {
    return static_cast<u8>(v & 0xFF);
}

constexpr void putTiming(Image& e, size_t at, const Timing& t) {
    e[at + 0] = lo(t.clock);
    e[at + 1] = lo(t.clock >> 8);
    e[at + 2] = lo(t.hact);
    e[at + 3] = lo(t.hblank);
    e[at + 4] = lo(((t.hact >> 8) << 4) | ((t.hblank >> 8) & 0x0F));
    e[at + 5] = lo(t.vact);
    e[at + 6] = lo(t.vblank);
    e[at + 7] = lo(((t.vact >> 8) << 4) | ((t.vblank >> 8) & 0x0F));
    e[at + 8] = lo(t.hfront);
    e[at + 9] = lo(t.hsync);
    e[at + 10] = lo(((t.vfront & 0x0F) << 4) | (t.vsync & 0x0F));
    e[at + 11] = lo(((t.hfront >> 8) << 6) | ((t.hsync >> 8) << 4) | ((t.vfront >> 4) << 2) |
                    (t.vsync >> 4));
    e[at + 12] = lo(kImageWidthMm);
    e[at + 13] = lo(kImageHeightMm);
    e[at + 14] = lo(((kImageWidthMm >> 8) << 4) | (kImageHeightMm >> 8));
    e[at + 15] = 0;
    e[at + 16] = 0;
    e[at + 17] = t.flags;
}

// A display descriptor holding text (0xFC name, 0xFF serial number): up to 13 characters,
// ended by 0x0A and padded with spaces when shorter.
constexpr void putText(Image& e, size_t at, u8 tag, const char* text) {
    e[at + 0] = e[at + 1] = e[at + 2] = e[at + 4] = 0;
    e[at + 3] = tag;
    size_t i = 0;
    for (; text[i] && i < 13; ++i)
        e[at + 5 + i] = static_cast<u8>(text[i]);
    if (i < 13)
        e[at + 5 + i++] = 0x0A;
    for (; i < 13; ++i)
        e[at + 5 + i] = ' ';
}

constexpr void putRange(Image& e, size_t at, const Range& r) {
    const u8 bytes[18] = {0,          0,    0,    0xFD, 0,   r.minV, r.maxV, r.minH, r.maxH,
                          r.maxClock, 0x00, 0x0A, ' ',  ' ', ' ',    ' ',    ' ',    ' '};
    for (size_t i = 0; i < 18; ++i)
        e[at + i] = bytes[i];
}

constexpr void putDummy(Image& e, size_t at) {
    for (size_t i = 0; i < 18; ++i)
        e[at + i] = 0;
    e[at + 3] = 0x10;
}

// Base-block fields up to the descriptors.
struct Identity {
    char maker[4];  // three capitals
    u16 product;
    u8 revision;  // EDID 1.revision
};

constexpr void putBase(Image& e, const Identity& id) {
    const u8 header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    for (size_t i = 0; i < 8; ++i)
        e[i] = header[i];
    unsigned maker = (static_cast<unsigned>(id.maker[0] - '@') << 10) |
                     (static_cast<unsigned>(id.maker[1] - '@') << 5) |
                     static_cast<unsigned>(id.maker[2] - '@');
    e[8] = lo(maker >> 8);
    e[9] = lo(maker);
    e[10] = lo(id.product);
    e[11] = lo(id.product >> 8);
    e[12] = e[13] = e[14] = e[15] = 0;  // no serial number
    e[16] = 12;                         // week of manufacture
    e[17] = 2021 - 1990;
    e[18] = 1;
    e[19] = id.revision;
    // Digital input; EDID 1.4 adds 8 bits per colour on HDMI-a.
    e[20] = id.revision >= 4 ? 0xA2 : 0x80;
    e[21] = kImageWidthMm / 10;
    e[22] = kImageHeightMm / 10;
    e[23] = 120;  // gamma 2.2
    // RGB colour display with sRGB as its colour space; the first detailed timing is the
    // preferred (native) one.
    e[24] = id.revision >= 4 ? 0x06 : 0x0E;
    const u8 chroma[10] = {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54};
    for (size_t i = 0; i < 10; ++i)
        e[25 + i] = chroma[i];
    e[35] = 0x21;  // 640x480@60, 800x600@60
    e[36] = 0x08;  // 1024x768@60
    e[37] = 0x00;
    for (size_t i = 38; i < 54; ++i)
        e[i] = 0x01;  // no standard timings
    e[126] = 1;       // one extension
}

// What the CTA-861 extension announces: the video formats (VICs, the first one being the
// preferred timing's when it is a CTA format), and the TMDS limits of the HDMI block and,
// for an HDMI 2.0 sink, of the HDMI Forum block (5 MHz units, 0 for none).
struct Extension {
    u8 vics[12];
    u8 vicCount;
    u8 hdmiMaxTmds;
    u8 hfMaxTmds;
};

// The extension: video, two-channel LPCM audio, front speakers, video capability
// (selectable RGB range, everything underscanned), the HDMI block (physical address
// 1.0.0.0) and optionally the HDMI Forum block (SCDC), then no detailed timings.
constexpr void putExtension(Image& e, const Extension& x) {
    e[128] = 0x02;
    e[129] = 0x03;
    e[131] = 0xC1;  // underscan, basic audio, one native detailed timing
    size_t at = 132;
    e[at++] = static_cast<u8>(0x40 | x.vicCount);
    for (size_t i = 0; i < x.vicCount; ++i)
        e[at++] = x.vics[i];
    const u8 fixed[] = {0x23, 0x09, 0x07, 0x07,  // LPCM 2 ch, 32/44.1/48 kHz, 16/20/24 bit
                        0x83, 0x01, 0x00, 0x00,  // front left/right
                        0xE2, 0x00, 0x4A,        // video capability
                        0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00};
    for (u8 b : fixed)
        e[at++] = b;
    e[at++] = x.hdmiMaxTmds;
    if (x.hfMaxTmds) {
        const u8 forum[] = {0x67, 0xD8, 0x5D, 0xC4, 0x01, x.hfMaxTmds, 0x80, 0x00};
        for (u8 b : forum)
            e[at++] = b;
    }
    e[130] = static_cast<u8>(at - 128);
    for (; at < 255; ++at)
        e[at] = 0;
}

constexpr u8 sumOf(const Image& e, size_t from, size_t count) {
    unsigned sum = 0;
    for (size_t i = from; i < from + count; ++i)
        sum += e[i];
    return lo(sum);
}

constexpr void seal(Image& e) {
    e[127] = lo(0x100 - sumOf(e, 0, 127));
    e[255] = lo(0x100 - sumOf(e, 128, 127));
}

template <size_t N>
constexpr std::array<u8, 256 * N> join(const std::array<Image, N>& images) {
    std::array<u8, 256 * N> out{};
    for (size_t n = 0; n < N; ++n)
        for (size_t i = 0; i < 256; ++i)
            out[n * 256 + i] = images[n][i];
    return out;
}

}  // namespace edid::compose
