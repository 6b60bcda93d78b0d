// Test-side writer of receiving-card recovery packages and stand-alone scan-parameter
// files, written from the format tables alone (it shares nothing with the reader):
//
// package:  0..2 reserved, 3 packed-file count, 12 bytes per packed file (type, 3 reserved,
//           u32 length, u32 offset from the package start), then the packed files
// screen file (type 10): 32-byte head (u32 para len at 4, para CRC at 8, XY len at 12, XY
//           CRC at 16, screen count at 20), 52 bytes per screen (u32 config id, u32 net use,
//           28 reserved, u32 para offset, u32 para len, u32 XY offset, u32 XY len)
// XY file (type 11): 16-byte head, then per screen: u16 net count, 2 reserved, 12 bytes per
//           net (u16 port, u16 cards, u32 offset and u32 length of the net block from the
//           start of the screen's XY block); a net block holds card blocks (u16 count,
//           2 reserved, 18-byte records) one after the other, then the operations' data
// smart-debugging file (type 12): 16-byte head, then per screen a block (u16 count,
//           2 reserved, 18-byte records, then the data)
// record:   u32 data offset from the start of its block, u32 data length, u32 target
//           address, u32 time in ms, type, target
// scan file: 16-byte head, then one block at 16 (records at 20 + 18i, data at 16 + offset)
//
// All fields little-endian.
#pragma once

#include <cstdint>
#include <vector>

namespace recoverytest {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

struct Op {
    uint8_t type;
    uint8_t target;
    uint32_t address;
    uint32_t timeMs;
    Bytes data;
};

// Operation types and targets as the format names them.
constexpr uint8_t kWrite = 1, kRam2Flash = 2, kActiveFirmware = 3, kUpgrade = 4, kReconfig = 5,
                  kSleep = 6, kSearchRxc = 7, kUserDefined = 16;
constexpr uint8_t kRam = 1, kRegister = 2;

inline Op ramWrite(uint32_t address, Bytes data, uint32_t timeMs = 2000) {
    return {kWrite, kRam, address, timeMs, std::move(data)};
}

// Bytes counting from 0 (mod 251, so that no run of them repeats on 256-byte edges).
inline Bytes pattern(size_t n, uint8_t seed = 0) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>((i + seed) % 251);
    return b;
}

// Card blocks one after the other, then the data of every record; record offsets count
// from the start of the whole (the block that holds the records).
inline Bytes cardBlocks(const std::vector<std::vector<Op>>& cards) {
    size_t blocks = 0;
    for (const auto& ops : cards)
        blocks += 4 + 18 * ops.size();
    Bytes out(blocks, 0);
    size_t at = 0;
    for (const auto& ops : cards) {
        put16(out, at, static_cast<uint32_t>(ops.size()));
        for (size_t i = 0; i < ops.size(); ++i) {
            const size_t r = at + 4 + 18 * i;
            put32(out, r, static_cast<uint32_t>(out.size()));
            put32(out, r + 4, static_cast<uint32_t>(ops[i].data.size()));
            put32(out, r + 8, ops[i].address);
            put32(out, r + 12, ops[i].timeMs);
            out[r + 16] = ops[i].type;
            out[r + 17] = ops[i].target;
            append(out, ops[i].data);
        }
        at += 4 + 18 * ops.size();
    }
    return out;
}

// One operation block (the smart-debugging block of a screen or of a scan file).
inline Bytes opsBlock(const std::vector<Op>& ops) {
    return cardBlocks({ops});
}

// A stand-alone scan-parameter file.
inline Bytes scanFile(const std::vector<Op>& ops) {
    Bytes out(16, 0xEE);  // the head is not interpreted
    append(out, opsBlock(ops));
    return out;
}

struct Net {
    uint16_t port;
    uint16_t cards;                     // as the package gives it
    std::vector<std::vector<Op>> card;  // card blocks 0, 1, ...
};

struct Screen {
    uint32_t configId;
    std::vector<Op> para;  // smart-debugging block; none when empty and !withPara
    bool withPara = false;
    std::vector<Net> nets;
    bool withXy = true;
};

inline Bytes xyBlock(const std::vector<Net>& nets) {
    Bytes out(4 + 12 * nets.size(), 0);
    put16(out, 0, static_cast<uint32_t>(nets.size()));
    for (size_t n = 0; n < nets.size(); ++n) {
        const Bytes block = cardBlocks(nets[n].card);
        const size_t e = 4 + 12 * n;
        put16(out, e, nets[n].port);
        put16(out, e + 2, nets[n].cards);
        put32(out, e + 4, static_cast<uint32_t>(out.size()));
        put32(out, e + 8, static_cast<uint32_t>(block.size()));
        append(out, block);
    }
    return out;
}

struct PackedFile {
    uint8_t type;
    Bytes bytes;
};

// A package of the given packed files, laid out after the entries in that order.
// `claimed`, when not negative, is written as the count instead of the real one.
inline Bytes pack(const std::vector<PackedFile>& files, int claimed = -1) {
    Bytes out(4 + 12 * files.size(), 0);
    out[3] = static_cast<uint8_t>(claimed >= 0 ? claimed : static_cast<int>(files.size()));
    for (size_t i = 0; i < files.size(); ++i) {
        const size_t e = 4 + 12 * i;
        out[e] = files[i].type;
        put32(out, e + 4, static_cast<uint32_t>(files[i].bytes.size()));
        put32(out, e + 8, static_cast<uint32_t>(out.size()));
        append(out, files[i].bytes);
    }
    return out;
}

// The three packed files of a package describing `screens`: screen file, XY file and
// (when a screen has a parameter part) smart-debugging file.
inline std::vector<PackedFile> packageFiles(const std::vector<Screen>& screens) {
    Bytes xy(16, 0xDD), smart(16, 0xCC);
    Bytes screen(32 + 52 * screens.size(), 0);
    screen[2] = 1;
    screen[20] = static_cast<uint8_t>(screens.size());
    bool anyPara = false;
    for (size_t s = 0; s < screens.size(); ++s) {
        const size_t e = 32 + 52 * s;
        put32(screen, e, screens[s].configId);
        put32(screen, e + 4, 0x5A5A);  // net use: not read
        if (screens[s].withPara) {
            const Bytes block = opsBlock(screens[s].para);
            put32(screen, e + 36, static_cast<uint32_t>(smart.size()));
            put32(screen, e + 40, static_cast<uint32_t>(block.size()));
            append(smart, block);
            anyPara = true;
        }
        if (screens[s].withXy) {
            const Bytes block = xyBlock(screens[s].nets);
            put32(screen, e + 44, static_cast<uint32_t>(xy.size()));
            put32(screen, e + 48, static_cast<uint32_t>(block.size()));
            append(xy, block);
        }
    }
    put32(screen, 4, static_cast<uint32_t>(smart.size()));
    put32(screen, 12, static_cast<uint32_t>(xy.size()));
    std::vector<PackedFile> files = {{10, screen}, {11, xy}};
    if (anyPara)
        files.push_back({12, smart});
    return files;
}

inline Bytes package(const std::vector<Screen>& screens) {
    return pack(packageFiles(screens));
}

}  // namespace recoverytest
