// What the c331's outputs show, decoded from the chip's own registers: for every output
// channel, which chip port and which rectangle of its picture it shows, where in the
// channel's picture and at what scale; for every panel position, which channels are
// stacked there and how they blend. Tests state what a user should see of the wall and
// compare it with this, so a wrong register shows as a wrong picture.
//
// The registers as the chip uses them (channel c, input channel i: bank offset 16 * c, 16 * i):
//
// Output channel c
//   bank 0x00 0x08 + c bit 0   the channel is on
//   bank 0x08 0x28, 0x2A       start and end of the channel's picture in its line
//             0x2C, 0x2E       start and end of the channel's picture in its frame
//             0x40, 0x32       start and end of the window area in the line
//             0x44, 0x36       start and end of the window area in the frame
//             0x42, 0x46       pixels and lines read for the area (0: as many as it needs)
//             0x48, 0x49       1: the background colour 0x49 in place of the picture
//             0x08 (2)         bits 8..11: the input channel whose frames it shows; with
//                              bit 12, the input channel of output channel n instead
//             0x22 bit 0       mirrored left to right: the pixels read are shown last first
//   bank 0x16 0x08 + 4b (4)    read start in buffer b: one line step before the first line
//                              read
//             0x30             line step: pitch x 1024 units; 128 and above: 256 - pitch
//                              lines back, mirrored top to bottom: the read start is then
//                              one line after the first line of the lines read, and they
//                              are shown last first
//             0x6C (2)         the buffers read in turn, a nibble each; all four the same:
//                              one still frame
//   bank 0x0A 0x46 = 0xC7      zoom across, 0x49 (2): source pixels per output pixel
//                              (x 65536); a zoomed area that continues its window reads 4
//                              pixels before its first shown one
//             0x44 = 3         zoom down, 0x4E (2): source lines per output line
//
// Input channel i
//   bank 0x00 0x10 + i         the line it takes: 0, 2, 4, 6 parallel port 0..3; V-by-One
//                              receiver 0 (port 4) 8, 9, 10, receiver 1 (port 5) 12, 13, 14
//   bank 0x10 0x09             1 capture, 2 hold the frame, n + 8 run with input channel n
//             0x17, 0x19       capture start (the capture begins 7 clocks after it, counted
//                              from the line's sync) and width (0: the channel is idle)
//             0x1B, 0x1D       capture start line (the capture begins on the line before
//                              it, counted from the frame's sync) and height
//   bank 0x11 0x42, 0x47 (2)   shrink across on, kept pixels per input pixel (x 65536): of n
//                              pixels, ceil((n - 1) (r - 1) / 65536) + 1 are kept
//             0x49, 0x4C (2)   the same down
//   bank 0x16 0x1C + 4b (4)    where buffer b's picture starts; 0x31 its pitch (x 1024
//                              units a line); 0x65 the units of a pixel: 1: 16/5, 2: 8/3,
//                              3: 2, otherwise 4
//   bank 0x00 0x18 bit 4p      parallel port p brings two pixels a clock
//   bank 0x03 0x08 + 9q = 3    input pair q (channels 2q, 2q + 1) joins the lines of its two
//                              channels: from position 0x09 + 9q (2) of each line it takes
//                              half of 0x0B + 9q (2) pixels of the first, then as many of
//                              the second; both channels capture from the joined line
//
// A V-by-One receiver whose transmitter uses fewer than 4 lanes brings the whole picture,
// one pixel a clock, on its lines 8 and 9 (receiver 1: 12 and 13). With 4 or more lanes it
// splits every line: the left half on line 8 (12), the right half on line 9 (13) for 4
// lanes or line 10 (14) for 8; each of them at half the clock, its picture starting at half
// the position of the source's.
//
// Panel position u
//   bank 0x0E 0x09 (4)         the channels stacked there, bottom first: a nibble each,
//                              8 + channel
//   bank 0x0E 0x11 + 5s + k    (positions 0..3) weight of layer k (0..4, 128 full) where
//                              the layers 1..4 of set s (bit k - 1) cover the pixel
//
// Faults reported besides a picture that does not add up: a capture that takes pixels
// outside the picture of its line, and two input channels that write the same memory.
// Decoded here: progressive pictures; interlaced captures are not decoded, nor a zoomed
// area mirrored.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "board/sim/hdmi_sources.h"

namespace sim {

class C331Model;

struct PictureRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const PictureRect& o) const {
        return x == o.x && y == o.y && w == o.w && h == o.h;
    }
};

struct ChannelPicture {
    bool on = false;
    bool background = false;        // shows its background colour in place of the picture
    PictureRect area;               // in the channel's picture
    int input = -1;                 // device input 0 DVI, 1 HDMI1, 2 HDMI2, 3 HDMI3; -1 none
    int port = -1;                  // the chip port whose picture it shows; -1 none
    PictureRect source;             // of the input's picture
    double hScale = 0, vScale = 0;  // area size / source size
    bool frozen = false;
    bool hMirror = false, vMirror = false;
    std::vector<std::string> faults;  // what does not add up
    bool shows() const { return on && !background && port >= 0 && area.w > 0 && area.h > 0; }
};

// One layer's part in a pixel of a panel position.
struct PixelSource {
    int channel = -1;
    int input = -1;    // device input; -1: none (the background, or a port no input feeds)
    int port = -1;     // -1: the channel's background
    int x = 0, y = 0;  // pixel of the input's picture
    int weight = 0;    // 128: full
};

class C331Picture {
public:
    static constexpr int kChannels = 8;
    static constexpr int kPorts = 6;

    // The chip as its registers stand now.
    static C331Picture of(C331Model& chip);
    C331Picture(std::vector<uint8_t> registers,
                std::array<std::optional<VideoTiming>, kPorts> pictures);

    ChannelPicture channel(int och) const { return channels_[och]; }
    // The channels stacked at a panel position, bottom first.
    std::vector<int> layers(int position) const;
    // What a pixel of a panel position shows: every layer with a weight there.
    std::vector<PixelSource> at(int position, int x, int y) const;
    // The port picture a pixel of a position shows in full, if exactly one does.
    std::optional<PixelSource> visible(int position, int x, int y) const;
    // What is wrong with what an input channel writes (its capture, its memory).
    const std::vector<std::string>& inputFaults(int ich) const { return ichFaults_[ich]; }
    std::string describe() const;

private:
    uint32_t field(int bank, int address, int count) const;
    uint8_t reg(int bank, int address) const { return registers_[bank * 128 + address]; }
    ChannelPicture decode(int och) const;
    int inputChannelOf(int och, std::string& fault) const;
    // A line an input channel takes: its picture's pixels from position `start` on, `width`
    // of them, are pixels `offset` on of the port's picture.
    struct Line {
        int port = -1;
        int start = 0, width = 0, offset = 0;
        int perClock = 1;  // pixels a capture clock
    };
    // What an input channel captures and where it stores it.
    struct Capture {
        bool active = false;           // captures (a width and a height) into memory with a pitch
        int port = -1;                 // -1: nothing arrives on its line
        int captured = 0, height = 0;  // pixels and lines captured
        int hKept = 0, vKept = 0;      // after shrinking
        long long units = 0, unitsDiv = 1;
        long long pitch = 0;  // units a line
        uint32_t base[5] = {};
        int srcX = 0, srcY = 0;  // of the port's picture, at the first pixel captured
        long long lineUnits() const { return (units * hKept + unitsDiv - 1) / unitsDiv; }
    };
    struct Stored;
    // The line that source select `source` brings, if any.
    std::optional<Line> lineOf(int source) const;
    // The line input channel ich captures from: its own, or its pair's joined line.
    std::optional<Line> captureLine(int ich, std::string& fault) const;
    void capture(int ich);
    void findSharedMemory();
    std::optional<Stored> storedAt(long long address, int buffer) const;
    // The address of stored pixel x of line y, counted from input channel ich's picture.
    long long addressIn(int ich, int buffer, int x, int y) const;

    std::vector<uint8_t> registers_;
    std::array<std::optional<VideoTiming>, kPorts> pictures_;
    std::vector<Capture> captures_;
    std::vector<std::string> ichFaults_[kChannels];
    ChannelPicture channels_[kChannels];
};

}  // namespace sim
