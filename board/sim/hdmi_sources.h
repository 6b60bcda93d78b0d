// The video sources plugged into the device's four inputs (0 "DVI", 1 "HDMI1", 2 "HDMI2",
// 3 "HDMI3"), and the hot-plug line each input presents back to its source.
//
// A source is a cable with 5 V on it and a timing; unplugging removes both. The receiver
// models read the sources when they are accessed (a source changes under them as a cable
// does), and drive the hot-plug line of their input, which a test or the scene watches.
//
// Scene: "hdmi": [{"input": 1, "vic": 16}, {"input": 3, "vic": 97, "colour": "420"},
//                 {"input": 0, "timing": {"hActive": 1280, ...}, "dvi": true},
//                 {"input": 3, "vic": 16, "colour": "444", "colorimetry": "bt2020",
//                  "tmdsAbove1GHz": true}].
// A "vic" names a timing of CTA-861; "timing" gives every field of VideoTiming by name.
// "colorimetry" is what the AVI InfoFrame announces (below); "tmdsAbove1GHz" makes the
// receiver's clock detector find the link above 1 GHz (HDMI 2.0 rates always are).
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "board/sim/sim.h"

namespace sim {

struct VideoTiming {
    enum class Colour { Rgb, YCbCr444, YCbCr422, YCbCr420 };
    // The AVI InfoFrame's colorimetry (CTA-861 C) and extended colorimetry (EC):
    // Default: none for RGB, BT.709 for YCbCr of 720 lines or more, BT.601 below;
    // Bt601 C=1, Bt709 C=2, XvYcc601 C=3 EC=0, XvYcc709 C=3 EC=1,
    // Bt2020Constant (Y'cC'bcC'rc) C=3 EC=5, Bt2020 C=3 EC=6.
    enum class Colorimetry { Default, Bt601, Bt709, XvYcc601, XvYcc709, Bt2020Constant, Bt2020 };

    uint16_t hActive = 0, hFront = 0, hSync = 0, hBack = 0;
    // Lines of a frame; for an interlaced timing, of one field (vTotal() counts the frame).
    uint16_t vActive = 0, vFront = 0, vSync = 0, vBack = 0;
    bool hSyncPositive = true, vSyncPositive = true;
    bool interlaced = false;
    uint32_t pixelClockKHz = 0;
    Colour colour = Colour::Rgb;
    Colorimetry colorimetry = Colorimetry::Default;
    bool dvi = false;  // no HDMI framing: no AVI infoframe, no audio
    bool tmdsAbove1GHz = false;

    uint32_t hTotal() const { return hActive + hFront + hSync + hBack; }
    // Lines of a whole frame: both fields of an interlaced timing, with their half line.
    uint32_t vTotal() const;
    // Active lines of a whole frame.
    uint32_t vActiveFrame() const { return interlaced ? 2u * vActive : vActive; }
    // Frames (progressive) or fields (interlaced) per second, times 1000.
    uint32_t refreshMilliHz() const;
    // The AVI InfoFrame's data bytes 1..5 as the source sends them: colour format (Y,
    // byte 1 bits 6..5), colorimetry (C, byte 2 bits 7..6) with 16:9 and the same active
    // format, extended colorimetry (EC, byte 3 bits 6..4), the CTA-861 code, 0.
    std::array<uint8_t, 5> aviData() const;
    // The CTA-861 code of the timing, 0 when it is none of them (a 1000/1001 rate is the
    // same code).
    uint8_t vic() const;

    // A timing of CTA-861 by its video identification code; nullopt for codes not known here.
    static std::optional<VideoTiming> cta861(int vic);
};

class HdmiSources : public Part {
public:
    static constexpr int kInputs = 4;

    struct HotPlugEdge {
        double timeMs;
        bool high;
    };

    HdmiSources();

    void plug(int input, const VideoTiming& timing);
    void unplug(int input);
    std::optional<VideoTiming> source(int input) const;
    // Counts every plug and unplug of the input, so that a model notices a change it did
    // not see happen.
    uint64_t generation(int input) const;

    // The hot-plug line of an input as its receiver drives it (low until driven).
    void setHotPlug(int input, bool high);
    bool hotPlug(int input) const;
    std::vector<HotPlugEdge> hotPlugEdges(int input) const;

private:
    static bool valid(int input) { return input >= 0 && input < kInputs; }

    mutable std::mutex mutex_;
    std::optional<VideoTiming> sources_[kInputs];
    uint64_t generation_[kInputs] = {};
    bool hotPlug_[kInputs] = {};
    std::vector<HotPlugEdge> edges_[kInputs];
};

}  // namespace sim
