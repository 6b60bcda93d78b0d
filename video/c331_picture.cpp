// Picture quality of the output (brightness, contrast, saturation, colour temperature),
// sharpness of the windows' input channels and the built-in test patterns.
//
// Each operation re-states its whole field, but only the registers the chip does not
// already hold go out (write_held): the panel steps one value at a time and most of a
// re-statement stands as it was. What does go out is bracketed by the register-update
// hold, so the output never shows half a change.
#include <algorithm>
#include <vector>

#include "core/types.h"
#include "video/c331_log.h"
#include "video/c331_manage.h"
#include "video/c331_regs.h"

using c331reg::reg;

namespace {

constexpr int kBanks = c331reg::kChannelBanks;
constexpr int kOutputChannels = c331reg::kOutputChannels;
constexpr int kInputChannels = c331reg::kInputChannels;

// Output colour, bank 0x0C of each output channel.
constexpr u32 kBrightness[] = {reg(0x0C, 0x3A, 2), reg(0x0C, 0x3C, 2), reg(0x0C, 0x3E, 2)};
constexpr u32 kContrastEnable = reg(0x0C, 0x21);
constexpr u32 kContrast[] = {reg(0x0C, 0x28, 2), reg(0x0C, 0x2A, 2), reg(0x0C, 0x2C, 2)};
constexpr u32 kSaturationEnable = reg(0x0C, 0x14);
constexpr u32 kSaturation[] = {reg(0x0C, 0x1B, 2), reg(0x0C, 0x1D, 2), reg(0x0C, 0x1F, 2)};
constexpr u32 kColourMatrix = reg(0x0C, 0x5B, 2);      // nine, 2 addresses apart
constexpr u32 kOutputColourControl = reg(0x00, 0x59);  // eight, one per output
constexpr u32 kColourTempEnable = 0x20;
constexpr int kMatrixEntries = 9;

// Sharpness, bank 0x0B of each input channel.
constexpr u32 kSharpMode = reg(0x0B, 0x08);
constexpr u32 kSharpHGain = reg(0x0B, 0x09);
constexpr u32 kSharpHCoefficients = reg(0x0B, 0x0C);  // five
constexpr u32 kSharpHMode = reg(0x0B, 0x11);
constexpr u32 kSharpVGain = reg(0x0B, 0x12);
constexpr u32 kSharpVCoefficients = reg(0x0B, 0x15);  // five
constexpr u32 kSharpVEnable = reg(0x0B, 0x5E);
constexpr u8 kSharpOn = 6;
constexpr int kSharpLevelStart = 10;  // values below and at it leave sharpening off
constexpr int kGainMax = 255;         // the gain registers hold one byte

// Test-pattern generator, bank 0x08 of each input channel of window 0.
constexpr u32 kPatternType = reg(0x08, 0x57);     // four: type and modes
constexpr u32 kPatternSize = reg(0x08, 0x5B, 2);  // four, 2 addresses apart
constexpr u32 kPatternColour = reg(0x08, 0x63);   // R, G, B
constexpr u32 kPatternEnable = reg(0x08, 0x66);   // three
constexpr int kPatterns = 20;
constexpr int kWideWindow = 2048;
constexpr u16 kWideSize = 0x8000;

u32 step(u32 desc, int addresses) {
    return desc + (static_cast<u32>(addresses) << 8);
}

int level101(int v) {
    return ((v % 101) + 101) % 101;
}

// Colour-temperature gains (1.13 fixed point) of the fixed types 1 warm, 2 nature, 3 cool.
struct Gains {
    u16 r, g, b;
};
constexpr Gains kFixedGains[] = {
    {0, 0, 0}, {8845, 8113, 7056}, {8192, 8192, 8192}, {6944, 8282, 10978}};

// Sharpening coefficient sets by scale ratio, largest ratio first; the last is the
// fallback.
struct SharpSet {
    double above;
    u8 c[5];
};
constexpr SharpSet kHorizontalSets[] = {{2.5, {36, 43, 58, 4, 5}},
                                        {2.0, {30, 42, 0, 7, 0}},
                                        {1.25, {28, 46, 5, 3, 60}},
                                        {-1.0, {44, 49, 56, 63, 2}}};
constexpr SharpSet kVerticalSets[] = {{2.5, {42, 48, 59, 0, 0}},
                                      {2.0, {34, 47, 0, 0, 0}},
                                      {1.25, {28, 45, 5, 0, 0}},
                                      {-1.0, {44, 50, 56, 0, 0}}};

const u8* sharp_set(const SharpSet (&sets)[4], double ratio) {
    for (const SharpSet& s : sets)
        if (ratio > s.above)
            return s.c;
    return sets[3].c;
}

// One built-in pattern: the type and mode bytes (0x57..0x5A), the four sizes (0x5B..0x61),
// the colour and its enables. A zero is a register left cleared.
enum class FirstSize : u8 {
    Fixed,  // sizes[0] as given
    Solid,  // wide windows 0x8000; else 0 on the first channel, 3 on every further one
    Lines,  // wide windows 0x8000; else sizes[0]
};
struct Pattern {
    bool on;  // false: the generator stays cleared
    u8 type[4];
    FirstSize first;
    u16 sizes[4];
    u8 colour[3];
    u8 enable;  // into all three enables
};
constexpr Pattern kPatternTable[kPatterns] = {
    {true, {4, 0, 0, 0}, FirstSize::Solid, {0, 0, 0, 0}, {255, 0, 0}, 3},
    {true, {4, 0, 0, 0}, FirstSize::Solid, {0, 0, 0, 0}, {0, 255, 0}, 3},
    {true, {4, 0, 0, 0}, FirstSize::Solid, {0, 0, 0, 0}, {0, 0, 255}, 3},
    {true, {4, 0, 0, 0}, FirstSize::Solid, {0, 0, 0, 0}, {255, 255, 255}, 3},
    {true, {4, 0, 0, 0}, FirstSize::Solid, {0, 0, 0, 0}, {0, 0, 0}, 3},
    {true, {1, 0, 0, 0}, FirstSize::Fixed, {0x8000, 0, 480, 0}, {255, 255, 255}, 3},
    {true, {14, 0, 0, 0}, FirstSize::Lines, {14, 0, 1, 0}, {255, 255, 255}, 3},
    {true, {15, 0, 0, 0}, FirstSize::Lines, {15, 0, 0, 1}, {255, 255, 255}, 3},
    {false, {}, FirstSize::Fixed, {}, {}, 0},
    {false, {}, FirstSize::Fixed, {}, {}, 0},
    {true, {8, 48, 0, 0}, FirstSize::Fixed, {0x8000, 0, 32, 32}, {255, 255, 255}, 3},
    {true, {5, 0, 0, 0}, FirstSize::Fixed, {0x8000, 0, 240, 270}, {255, 255, 255}, 3},
    {true, {14, 0, 0, 0}, FirstSize::Fixed, {0x8000, 0, 1, 0}, {255, 255, 255}, 3},
    {true, {1, 0, 0, 0}, FirstSize::Fixed, {0x8000, 0, 480, 0}, {255, 255, 255}, 3},
    {true, {3, 0, 1, 0}, FirstSize::Fixed, {0x8000, 0, 0x8FFF, 0}, {0, 120, 0}, 0},
    {true, {3, 2, 1, 1}, FirstSize::Fixed, {0x8000, 0, 0x8FFF, 0x8FFF}, {0, 120, 0}, 0},
    {true, {6, 0, 0, 0}, FirstSize::Fixed, {0x8000, 0, 960, 0}, {255, 255, 255}, 3},
    {true, {9, 0, 0, 0}, FirstSize::Fixed, {0x8095, 0, 4, 0xF00}, {255, 255, 255}, 3},
    {true, {2, 0, 0, 0}, FirstSize::Fixed, {0x8000, 0, 0, 270}, {255, 255, 255}, 3},
    {true, {3, 1, 1, 1}, FirstSize::Fixed, {0x8000, 0, 0, 0x4FFF}, {255, 255, 255}, 3},
};

u16 first_size(const Pattern& p, bool wide, bool firstChannel) {
    switch (p.first) {
        case FirstSize::Solid:
            return wide ? kWideSize : (firstChannel ? 0 : 3);
        case FirstSize::Lines:
            return wide ? kWideSize : p.sizes[0];
        default:
            return p.sizes[0];
    }
}

// The generator registers of one input channel: cleared, then the pattern's.
void pattern_writes(std::vector<c331_manage::HeldWrite>& out, int ich, const Pattern* p, bool wide,
                    bool firstChannel) {
    const int o = kBanks * ich;
    for (int i = 0; i < 4; ++i)
        out.push_back({step(kPatternType, i), p ? p->type[i] : 0u, o, 0});
    for (int i = 0; i < 4; ++i) {
        u32 size = 0;
        if (p)
            size = i == 0 ? first_size(*p, wide, firstChannel) : p->sizes[i];
        out.push_back({step(kPatternSize, 2 * i), size, o, 0});
    }
    for (int i = 0; i < 3; ++i)
        out.push_back({step(kPatternColour, i), p ? p->colour[i] : 0u, o, 0});
    for (int i = 0; i < 3; ++i)
        out.push_back({step(kPatternEnable, i), p ? p->enable : 0u, o, 0});
}

}  // namespace

// ---- the hold

bool c331_manage::holds_masked(const HeldWrite& w) const {
    u32 now = 0;
    if (!held(w.desc, w.bankOffset, now))
        return false;
    return (now & w.mask) == (w.value & w.mask);
}

int c331_manage::write_held(int fd, const std::vector<HeldWrite>& writes) {
    std::vector<const HeldWrite*> pending;
    for (const HeldWrite& w : writes) {
        const bool same = w.mask ? holds_masked(w) : holds(w.desc, w.value, w.bankOffset);
        if (!same)
            pending.push_back(&w);
    }
    if (pending.empty())
        return 0;
    set_rtct(fd, 2);
    for (const HeldWrite* w : pending) {
        if (w->mask)
            wr_mask_changed(w->desc, w->value, w->mask, w->bankOffset);
        else
            wr(w->desc, w->value, w->bankOffset);
    }
    set_rtct(fd, 1);
    return static_cast<int>(pending.size());
}

// ---- output colour

void c331_manage::c331_SetBrightness(int value) {
    const int level = level101(static_cast<u16>(value));
    // Truncates toward zero; the register takes 12 bits, two's complement.
    const u32 data = static_cast<u32>((level - 50) * 1024 / 50) & 0xFFF;
    std::vector<HeldWrite> writes;
    for (int c = 0; c < kOutputChannels; ++c)
        for (u32 desc : kBrightness)
            writes.push_back({desc, data, kBanks * c, 0});
    write_held(c331_fd, writes);
}

void c331_manage::c331_SetContrast(int value) {
    const u32 data = static_cast<u32>(level101(value) * 1023 / 100);
    std::vector<HeldWrite> writes;
    for (int c = 0; c < kOutputChannels; ++c) {
        writes.push_back({kContrastEnable, 1, kBanks * c, 1});
        for (u32 desc : kContrast)
            writes.push_back({desc, data, kBanks * c, 0});
    }
    write_held(c331_fd, writes);
}

void c331_manage::c331_SetSaturation(int value) {
    const u32 data = static_cast<u32>(level101(value) * 1023 / 100) & 0x7FF;
    std::vector<HeldWrite> writes;
    for (int c = 0; c < kOutputChannels; ++c) {
        writes.push_back({kSaturationEnable, 1, kBanks * c, 1});
        for (u32 desc : kSaturation)
            writes.push_back({desc, data, kBanks * c, 0});
    }
    write_held(c331_fd, writes);
}

void c331_manage::c331_SetColorTemp(u32 value) {
    const int type = static_cast<int>(value & 3);
    Gains gains = kFixedGains[type];
    if (type == 0) {
        // Custom: each gain byte in 1/128 of unity (8192).
        auto gain = [&](int shift) { return static_cast<u16>(((value >> shift) & 0xFF) * 64); };
        gains = Gains{gain(24), gain(16), gain(8)};
    }
    const u16 matrix[kMatrixEntries] = {gains.r, 0, 0, 0, gains.g, 0, 0, 0, gains.b};
    std::vector<HeldWrite> writes;
    for (int c = 0; c < kOutputChannels; ++c)
        writes.push_back({step(kOutputColourControl, c), kColourTempEnable, 0, kColourTempEnable});
    for (int c = 0; c < kOutputChannels; ++c)
        for (int i = 0; i < kMatrixEntries; ++i)
            writes.push_back({step(kColourMatrix, 2 * i), matrix[i], kBanks * c, 0});
    write_held(c331_fd, writes);
}

// ---- sharpness

void c331_manage::c331_SetSharpness(int value) {
    const int level = value <= kSharpLevelStart ? 0 : value - kSharpLevelStart;
    c331_log("[c331_SetSharpness] value:%d, level:%d\n", value, level);
    wr_mask_changed(kContrastEnable, 1, 1);
    for (int w = 0; w < std::min(wincnt, kWindows); ++w) {
        const int port = pm.PM_INPUT[w];
        // A window without an input (no port) or without a signal is left as it is.
        if (port < 0 || port >= kPorts || PI_PORT_INFO[port].STATE == 0)
            continue;
        sharpen_window(c331_fd, w, level);
    }
}

void c331_manage::sharpen_window(int fd, int slot, int level) {
    const int port = pm.PM_INPUT[slot];
    const u8 mode = level > 0 ? kSharpOn : 0;
    const int gain = std::min(static_cast<int>(level * 12.8), kGainMax);
    const _ImageWindowDef_st& in = IWIN[slot];
    const _ImageWindowDef_st& out = OWIN[slot];
    const double rh = in.HW > 0 ? static_cast<double>(out.HW) / in.HW : 0;
    const int lines = in.VW * (1 + (PI_PORT_INFO[port].IP == 1 ? 1 : 0));
    const double rv = lines > 0 ? static_cast<double>(out.VW) / lines : 0;
    static const u8 kOff[5] = {0, 0, 0, 0, 0};
    const u8* h = level > 0 ? sharp_set(kHorizontalSets, rh) : kOff;
    const u8* v = level > 0 ? sharp_set(kVerticalSets, rv) : kOff;
    // The window's own channels, up to the end of its list.
    std::vector<HeldWrite> writes;
    for (int i = 0; i < kInputChannels && ich_list[slot][i] >= 0; ++i) {
        const int o = kBanks * ich_list[slot][i];
        wr_changed(kSharpMode, mode, o);
        for (int k = 0; k < 5; ++k)
            writes.push_back({step(kSharpHCoefficients, k), h[k], o, 0});
        writes.push_back({kSharpHGain, static_cast<u32>(gain), o, 0});
        writes.push_back({kSharpHMode, mode, o, 0});
        writes.push_back({kSharpVEnable, 1, o, 0});
        for (int k = 0; k < 5; ++k)
            writes.push_back({step(kSharpVCoefficients, k), v[k], o, 0});
        writes.push_back({kSharpVGain, static_cast<u32>(gain), o, 0});
    }
    write_held(fd, writes);
}

// ---- test patterns

int c331_manage::c331_SetPattern(int value) {
    if (wincnt > 1) {
        c331_log("\t wincnt:%d OOR, return fail\r\n", wincnt);
        return -1;
    }
    std::vector<int> channels;
    for (int i = 0; i < kInputChannels && ich_list[0][i] >= 0; ++i)
        channels.push_back(ich_list[0][i]);
    c331_log("\r\n[c331_SetPattern] pattern:%d,chcnt=%d\r\n", value,
             static_cast<int>(channels.size()));
    const Pattern* p = nullptr;
    if (value != 0) {
        const int index = ((value - 1) % kPatterns + kPatterns) % kPatterns;
        p = kPatternTable[index].on ? &kPatternTable[index] : nullptr;
    } else {
        c331_log("    turn off pattern\r");
    }
    pattern_gen = value != 0;
    const bool wide = gWininfo[0].w > kWideWindow;
    std::vector<HeldWrite> writes;
    for (size_t i = 0; i < channels.size(); ++i)
        pattern_writes(writes, channels[i], p, wide, i == 0);
    set_rtct(c331_fd, 2);
    for (const HeldWrite& w : writes)
        wr_changed(w.desc, w.value, w.bankOffset);
    set_input_bkg2(c331_fd, 0, 0);
    set_rtct(c331_fd, 1);
    return 0;
}
