// Multi-byte fields of byte buffers (frames, images, EEPROMs, flash records) are
// little-endian on the wire and in files. Read and write them only through these: a cast
// of a byte pointer to a wider type depends on the host's byte order and alignment, and
// the device's ARM core faults or reads garbage on an unaligned wide load.
#pragma once

#include "core/types.h"

inline u16 get_u16(const u8* p) {
    return static_cast<u16>(p[0] | (p[1] << 8));
}
inline u32 get_u32(const u8* p) {
    return static_cast<u32>(p[0]) | static_cast<u32>(p[1]) << 8 | static_cast<u32>(p[2]) << 16 |
           static_cast<u32>(p[3]) << 24;
}
inline void put_u16(u8* p, u16 v) {
    p[0] = static_cast<u8>(v);
    p[1] = static_cast<u8>(v >> 8);
}
inline void put_u32(u8* p, u32 v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<u8>(v >> (8 * i));
}
