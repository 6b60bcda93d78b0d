#include "board/sim/hdmi_sources.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cmath>

#include "board/sim/bounded_log.h"

namespace sim {
namespace {

Registration registration("hdmi-sources", [] { return std::make_shared<HdmiSources>(); });

struct CtaRow {
    int vic;
    uint16_t hActive, hFront, hSync, hBack;
    uint16_t vActive, vFront, vSync, vBack;  // per field when interlaced
    bool positive;                           // both syncs
    bool interlaced;
    uint32_t pixelClockKHz;
};

// CTA-861 video timings (the 60 Hz rows at their integer rate; a 59.94 Hz source divides
// the pixel clock by 1.001).
constexpr CtaRow kCta861[] = {
    {1, 640, 16, 96, 48, 480, 10, 2, 33, false, false, 25175},
    {2, 720, 16, 62, 60, 480, 9, 6, 30, false, false, 27000},
    {3, 720, 16, 62, 60, 480, 9, 6, 30, false, false, 27000},
    {4, 1280, 110, 40, 220, 720, 5, 5, 20, true, false, 74250},
    {5, 1920, 88, 44, 148, 540, 2, 5, 15, true, true, 74250},
    {6, 1440, 38, 124, 114, 240, 4, 3, 15, false, true, 27000},
    {16, 1920, 88, 44, 148, 1080, 4, 5, 36, true, false, 148500},
    {17, 720, 12, 64, 68, 576, 5, 5, 39, false, false, 27000},
    {18, 720, 12, 64, 68, 576, 5, 5, 39, false, false, 27000},
    {19, 1280, 440, 40, 220, 720, 5, 5, 20, true, false, 74250},
    {20, 1920, 528, 44, 148, 540, 2, 5, 15, true, true, 74250},
    {31, 1920, 528, 44, 148, 1080, 4, 5, 36, true, false, 148500},
    {32, 1920, 638, 44, 148, 1080, 4, 5, 36, true, false, 74250},
    {33, 1920, 528, 44, 148, 1080, 4, 5, 36, true, false, 74250},
    {34, 1920, 88, 44, 148, 1080, 4, 5, 36, true, false, 74250},
    {93, 3840, 1276, 88, 296, 2160, 8, 10, 72, true, false, 297000},
    {94, 3840, 1056, 88, 296, 2160, 8, 10, 72, true, false, 297000},
    {95, 3840, 176, 88, 296, 2160, 8, 10, 72, true, false, 297000},
    {96, 3840, 1056, 88, 296, 2160, 8, 10, 72, true, false, 594000},
    {97, 3840, 176, 88, 296, 2160, 8, 10, 72, true, false, 594000},
};

VideoTiming::Colour colourNamed(const QString& name) {
    if (name == "444")
        return VideoTiming::Colour::YCbCr444;
    if (name == "422")
        return VideoTiming::Colour::YCbCr422;
    if (name == "420")
        return VideoTiming::Colour::YCbCr420;
    return VideoTiming::Colour::Rgb;
}

struct ColorimetryName {
    const char* name;
    VideoTiming::Colorimetry colorimetry;
};

constexpr ColorimetryName kColorimetryNames[] = {
    {"bt601", VideoTiming::Colorimetry::Bt601},
    {"bt709", VideoTiming::Colorimetry::Bt709},
    {"xvycc601", VideoTiming::Colorimetry::XvYcc601},
    {"xvycc709", VideoTiming::Colorimetry::XvYcc709},
    {"bt2020c", VideoTiming::Colorimetry::Bt2020Constant},
    {"bt2020", VideoTiming::Colorimetry::Bt2020},
};

VideoTiming::Colorimetry colorimetryNamed(const QString& name) {
    for (const ColorimetryName& row : kColorimetryNames)
        if (name == row.name)
            return row.colorimetry;
    return VideoTiming::Colorimetry::Default;
}

// The AVI InfoFrame's codes (CTA-861): Y of the colour format, C, and EC.
uint8_t colourFormat(VideoTiming::Colour colour) {
    switch (colour) {
        case VideoTiming::Colour::Rgb:
            return 0;
        case VideoTiming::Colour::YCbCr422:
            return 1;
        case VideoTiming::Colour::YCbCr444:
            return 2;
        case VideoTiming::Colour::YCbCr420:
            return 3;
    }
    return 0;
}

uint8_t colorimetryCode(const VideoTiming& t) {
    switch (t.colorimetry) {
        case VideoTiming::Colorimetry::Default:
            break;
        case VideoTiming::Colorimetry::Bt601:
            return 1;
        case VideoTiming::Colorimetry::Bt709:
            return 2;
        case VideoTiming::Colorimetry::XvYcc601:
        case VideoTiming::Colorimetry::XvYcc709:
        case VideoTiming::Colorimetry::Bt2020Constant:
        case VideoTiming::Colorimetry::Bt2020:
            return 3;
    }
    if (t.colour == VideoTiming::Colour::Rgb)
        return 0;
    return t.vActiveFrame() >= 720 ? 2 : 1;
}

uint8_t extendedColorimetryCode(VideoTiming::Colorimetry colorimetry) {
    switch (colorimetry) {
        case VideoTiming::Colorimetry::XvYcc709:
            return 1;
        case VideoTiming::Colorimetry::Bt2020Constant:
            return 5;
        case VideoTiming::Colorimetry::Bt2020:
            return 6;
        default:
            return 0;
    }
}

uint16_t field16(const QJsonObject& o, const char* key) {
    return static_cast<uint16_t>(o.value(key).toInt());
}

VideoTiming timingFromJson(const QJsonObject& o) {
    VideoTiming t;
    t.hActive = field16(o, "hActive");
    t.hFront = field16(o, "hFront");
    t.hSync = field16(o, "hSync");
    t.hBack = field16(o, "hBack");
    t.vActive = field16(o, "vActive");
    t.vFront = field16(o, "vFront");
    t.vSync = field16(o, "vSync");
    t.vBack = field16(o, "vBack");
    t.hSyncPositive = o.value("hSyncPositive").toBool(true);
    t.vSyncPositive = o.value("vSyncPositive").toBool(true);
    t.interlaced = o.value("interlaced").toBool(false);
    t.pixelClockKHz = static_cast<uint32_t>(o.value("pixelClockKHz").toInt());
    return t;
}

// One entry of the scene's "hdmi" list; nullopt when it names nothing usable.
std::optional<VideoTiming> sceneSource(const QJsonObject& entry) {
    std::optional<VideoTiming> timing;
    if (entry.contains("vic"))
        timing = VideoTiming::cta861(entry.value("vic").toInt());
    else if (entry.contains("timing"))
        timing = timingFromJson(entry.value("timing").toObject());
    if (!timing)
        return timing;
    if (entry.value("fractional").toBool(false))
        timing->pixelClockKHz = timing->pixelClockKHz * 1000 / 1001;
    timing->colour = colourNamed(entry.value("colour").toString());
    timing->colorimetry = colorimetryNamed(entry.value("colorimetry").toString());
    timing->dvi = entry.value("dvi").toBool(false);
    timing->tmdsAbove1GHz = entry.value("tmdsAbove1GHz").toBool(false);
    return timing;
}

}  // namespace

uint32_t VideoTiming::vTotal() const {
    uint32_t lines = vActive + vFront + vSync + vBack;
    return interlaced ? 2 * lines + 1 : lines;
}

uint32_t VideoTiming::refreshMilliHz() const {
    uint64_t pixelsPerFrame = static_cast<uint64_t>(hTotal()) * vTotal();
    if (pixelsPerFrame == 0)
        return 0;
    uint64_t hz1000 = static_cast<uint64_t>(pixelClockKHz) * 1000 * 1000;
    if (interlaced)
        hz1000 *= 2;
    return static_cast<uint32_t>((hz1000 + pixelsPerFrame / 2) / pixelsPerFrame);
}

std::array<uint8_t, 5> VideoTiming::aviData() const {
    return {static_cast<uint8_t>(colourFormat(colour) << 5),
            static_cast<uint8_t>(colorimetryCode(*this) << 6 | 0x28),
            static_cast<uint8_t>(extendedColorimetryCode(colorimetry) << 4), vic(), 0};
}

uint8_t VideoTiming::vic() const {
    for (const CtaRow& row : kCta861) {
        if (row.hActive != hActive || row.hFront != hFront || row.hSync != hSync ||
            row.hBack != hBack || row.vActive != vActive || row.vFront != vFront ||
            row.vSync != vSync || row.vBack != vBack || row.interlaced != interlaced)
            continue;
        const double ratio = static_cast<double>(pixelClockKHz) / row.pixelClockKHz;
        if (std::fabs(ratio - 1) < 0.002)
            return static_cast<uint8_t>(row.vic);
    }
    return 0;
}

std::optional<VideoTiming> VideoTiming::cta861(int vic) {
    for (const CtaRow& row : kCta861) {
        if (row.vic != vic)
            continue;
        VideoTiming t;
        t.hActive = row.hActive;
        t.hFront = row.hFront;
        t.hSync = row.hSync;
        t.hBack = row.hBack;
        t.vActive = row.vActive;
        t.vFront = row.vFront;
        t.vSync = row.vSync;
        t.vBack = row.vBack;
        t.hSyncPositive = t.vSyncPositive = row.positive;
        t.interlaced = row.interlaced;
        t.pixelClockKHz = row.pixelClockKHz;
        return t;
    }
    return std::nullopt;
}

HdmiSources::HdmiSources() {
    for (const QJsonValue& value : scene().value("hdmi").toArray()) {
        QJsonObject entry = value.toObject();
        int input = entry.value("input").toInt(-1);
        std::optional<VideoTiming> timing = sceneSource(entry);
        if (valid(input) && timing)
            sources_[input] = timing;
    }
}

void HdmiSources::plug(int input, const VideoTiming& timing) {
    if (!valid(input))
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    sources_[input] = timing;
    ++generation_[input];
}

void HdmiSources::unplug(int input) {
    if (!valid(input))
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    sources_[input].reset();
    ++generation_[input];
}

std::optional<VideoTiming> HdmiSources::source(int input) const {
    if (!valid(input))
        return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    return sources_[input];
}

uint64_t HdmiSources::generation(int input) const {
    if (!valid(input))
        return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    return generation_[input];
}

void HdmiSources::setHotPlug(int input, bool high) {
    if (!valid(input))
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (hotPlug_[input] == high)
        return;
    hotPlug_[input] = high;
    appendBounded(edges_[input], HotPlugEdge{nowMs(), high});
}

bool HdmiSources::hotPlug(int input) const {
    if (!valid(input))
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    return hotPlug_[input];
}

std::vector<HdmiSources::HotPlugEdge> HdmiSources::hotPlugEdges(int input) const {
    if (!valid(input))
        return {};
    std::lock_guard<std::mutex> lock(mutex_);
    return edges_[input];
}

}  // namespace sim
