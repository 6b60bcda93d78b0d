// The custom-EDID builder: a fixed image for the common sizes, otherwise the input's
// default image with its preferred timing recomputed.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/global.h"
#include "inputs/edid_images.h"
#include "inputs/velmosource.h"

namespace {

// Blanking of a computed timing: IT6602 inputs use reduced blanking, the IT6805 the
// CTA-861 4K blanking.
struct Blanking {
    int hfront, hsync, hblank;
    int vfront, vsync, vblank;
};
constexpr Blanking kBlanking6602{48, 32, 160, 3, 10, 62};
constexpr Blanking kBlanking6805{176, 88, 560, 8, 10, 90};

// What a detailed timing descriptor can carry.
constexpr int kMaxActive = 4095;
constexpr int kMaxRefresh = 240;
constexpr long long kMinClock = 1000;       // 10 kHz units: sinks take anything slower as junk
constexpr long long kMaxClock = 65535;      // 10 kHz units: 655.35 MHz
constexpr long long kMaxLineRateKhz = 255;  // what a range-limits descriptor can announce
constexpr u8 kRangeTag = 0xFD;

constexpr const char* kInputSuffix[4] = {"DVI", "HD1", "HD2", "HD3"};

int fixedIndex(int width, int height, int refresh) {
    for (int i = 0; i < 8; ++i) {
        const edid::FixedSize& row = edid::kFixedSizes[i];
        if (row.width == width && row.height == height && row.refresh == refresh)
            return i;
    }
    return -1;
}

void nameFixedImage(u8* image, int input) {
    std::memcpy(image + edid::kNameSuffix, kInputSuffix[input], 3);
    image[edid::kNameSuffix + 3] = 0x0A;
    image[edid::kNameSuffix + 4] = ' ';
}

void putComputedTiming(u8* image, int width, int height, int clock, const Blanking& b) {
    u8* d = image + edid::kFirstDescriptor;
    d[0] = static_cast<u8>(clock);
    d[1] = static_cast<u8>(clock >> 8);
    d[2] = static_cast<u8>(width);
    d[3] = static_cast<u8>(b.hblank);
    d[4] = static_cast<u8>(((width >> 8) << 4) | ((b.hblank >> 8) & 0x0F));
    d[5] = static_cast<u8>(height);
    d[6] = static_cast<u8>(b.vblank);
    d[7] = static_cast<u8>((height >> 8) << 4);
    d[8] = static_cast<u8>(b.hfront);
    d[9] = static_cast<u8>(b.hsync);
    d[10] = static_cast<u8>((b.vfront << 4) | b.vsync);
    d[11] = 0;
    // The second descriptor repeats the first whole, so that no half-overwritten
    // descriptor is left behind.
    std::memcpy(image + edid::kSecondDescriptor, d, edid::kDescriptorSize);
}

// The line and frame rates of a computed timing, rounded outwards to what a range-limits
// descriptor holds (kHz and Hz).
struct Rates {
    long long lineMin, lineMax, frameMin, frameMax, clockMax;
};

Rates ratesOf(long long clock, int htotal, int vtotal) {
    long long hz = clock * 10000;
    long long frame = static_cast<long long>(htotal) * vtotal;
    return Rates{hz / htotal / 1000, (hz / htotal + 999) / 1000, hz / frame,
                 (hz + frame - 1) / frame, (clock + 999) / 1000};
}

// A computed timing must lie inside the image's range limits, or sources are told it is
// out of range: the limits become the image's own, widened to take the timing in.
void widenRange(u8* image, const edid::Range& own, const Rates& r) {
    for (size_t at = edid::kSecondDescriptor; at + edid::kDescriptorSize < edid::kChecksum;
         at += edid::kDescriptorSize) {
        u8* d = image + at;
        if (d[0] || d[1] || d[3] != kRangeTag)
            continue;
        d[5] = static_cast<u8>(std::min<long long>(own.minV, r.frameMin));
        d[6] = static_cast<u8>(std::max<long long>(own.maxV, r.frameMax));
        d[7] = static_cast<u8>(std::min<long long>(own.minH, r.lineMin));
        d[8] = static_cast<u8>(std::max<long long>(own.maxH, r.lineMax));
        d[9] = static_cast<u8>(std::max<long long>(own.maxClock, r.clockMax));
    }
}

}  // namespace

unsigned char velmosource::CalcSum4LCD(unsigned char start, unsigned char* data, unsigned long n) {
    unsigned char sum = start;
    for (unsigned long i = 0; i < n; ++i)
        sum = static_cast<unsigned char>(sum + data[i]);
    return sum;
}

bool velmosource::Set_Custom_HDMI_EDID(int width, int height, int refresh, int input) {
    if (input < 0 || input > 3)
        return false;
    int fixed = fixedIndex(width, height, refresh);
    u8* image = nullptr;
    if (fixed >= 0) {
        image = (input == 3 ? edid::table_4k[fixed] : edid::table_1080p[fixed])->data();
        if (input == 3) {
            image[edid::kProductCode] = 0x14;
            image[edid::kProductCode + 1] = 0x00;
        }
        nameFixedImage(image, input);
    } else {
        if (width < 1 || width > kMaxActive || height < 1 || height > kMaxActive || refresh < 1 ||
            refresh > kMaxRefresh) {
            if (debugOn())
                std::printf("\n edid size %dx%d@%d refused, input %d\n", width, height, refresh,
                            input);
            return false;
        }
        const Blanking& b = input == 3 ? kBlanking6805 : kBlanking6602;
        int htotal = width + b.hblank, vtotal = height + b.vblank;
        long long clock = static_cast<long long>(refresh) * htotal * vtotal / 10000;
        Rates rates = ratesOf(clock, htotal, vtotal);
        if (clock < kMinClock || clock > kMaxClock || rates.lineMin < 1 ||
            rates.lineMax > kMaxLineRateKhz || rates.frameMin < 1) {
            if (debugOn())
                std::printf("\n edid pixel clock %lld0 kHz refused, input %d\n", clock, input);
            return false;
        }
        image = input == 3 ? velmo_default_edid_6805.data()
                           : velmo_default_edid_6602.data() + 256 * (input + 1);
        putComputedTiming(image, width, height, static_cast<int>(clock), b);
        widenRange(image, input == 3 ? edid::kRange6805 : edid::kRange6602, rates);
    }
    image[edid::kChecksum] = static_cast<u8>(0x100 - CalcSum4LCD(0, image, edid::kChecksum));
    edidTable = image;
    return true;
}
