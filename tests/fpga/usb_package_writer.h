// Builds USB upgrade packages byte by byte from the format's tables, for the installer's
// and the upgrade screen's tests. It shares nothing with the program's reader.
//
// Package head, 49 bytes: 0 file type, 1 file version, 2 publish type (0x80: only what
// differs from what runs), 18 u16 controller type (0x8D52 for this device), 47 u16 the
// number of child heads. Child head, 21 bytes, child k at 49 + 21 k: 0 type (10
// application, 7 FPGA 0 image, 8 FPGA 1 image, 13 OSD font), 1 u32 length, 5 u32 offset
// of the payload, 9 six version bytes (year, month, day, hardware, software, function),
// 15 u32 flash address, 19 u16 sector count. FPGA image payload: a 64-byte head with 16
// type, 17 version, 18 u16 controller class, 20 class, 23 four version bytes and 31 u32
// the image length; the image follows. Font payload: a 35-byte head (0 'P', 5 encoding,
// 17 width, 18 height), then the glyphs. Every number is little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace usbpkg {

using Bytes = std::vector<uint8_t>;
using Version = std::array<uint8_t, 6>;

// The version of the running program: 2024-12-16, hardware 11, software 2, function 0.
constexpr Version kRunningApp = {24, 12, 16, 11, 2, 0};
constexpr Version kNewApp = {25, 3, 1, 11, 3, 0};

inline void le16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void le32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Bytes that differ from their neighbours, so that a misplaced byte shows.
inline Bytes pattern(size_t n, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes b(n);
    for (auto& x : b)
        x = static_cast<uint8_t>(random());
    return b;
}

struct Child {
    uint8_t type;
    Bytes payload;
    Version version{};
    // What the head says instead of the payload's real length or place.
    std::optional<uint32_t> length{};
    std::optional<uint32_t> offset{};
};

struct Package {
    uint8_t publish = 0;
    uint16_t controller = 0x8D52;
    std::vector<Child> children;
    // A head count other than the number of children.
    std::optional<uint16_t> count{};
};

// The package: head, child heads, then the payloads back to back in child order.
inline Bytes build(const Package& p) {
    const size_t heads = 49 + 21 * p.children.size();
    Bytes out(heads);
    out[0] = 0x01;  // file type
    out[1] = 0x02;  // file version
    out[2] = p.publish;
    le16(out, 18, p.controller);
    le16(out, 47, p.count.value_or(static_cast<uint16_t>(p.children.size())));
    for (size_t k = 0; k < p.children.size(); ++k) {
        const Child& c = p.children[k];
        const size_t at = 49 + 21 * k;
        out[at] = c.type;
        le32(out, at + 1, c.length.value_or(static_cast<uint32_t>(c.payload.size())));
        le32(out, at + 5, c.offset.value_or(static_cast<uint32_t>(out.size())));
        for (int i = 0; i < 6; ++i)
            out[at + 9 + i] = c.version[i];
        le32(out, at + 15, 0x1000u * static_cast<uint32_t>(k));
        le16(out, at + 19, 1);
        out.insert(out.end(), c.payload.begin(), c.payload.end());
    }
    return out;
}

// An FPGA image payload: the 64-byte image head, then the image.
inline Bytes fpgaImage(const Bytes& image, std::optional<uint32_t> length = std::nullopt) {
    Bytes out(64, 0);
    out[16] = 1;  // FCG
    out[17] = 3;
    le16(out, 18, 0x0102);
    out[20] = 0;  // sending card
    out[23] = 24;
    out[24] = 12;
    out[25] = 16;
    out[26] = 1;
    le32(out, 31, length.value_or(static_cast<uint32_t>(image.size())));
    out.insert(out.end(), image.begin(), image.end());
    return out;
}

// A font library of `total` bytes: its 35-byte head, then glyph bytes.
inline Bytes font(uint8_t encoding, uint8_t height, size_t total, uint32_t seed = 7) {
    Bytes out = pattern(total, seed);
    for (size_t i = 0; i < 35 && i < total; ++i)
        out[i] = 0;
    out[0] = 'P';
    out[5] = encoding;
    out[17] = height;
    out[18] = height;
    return out;
}

}  // namespace usbpkg
