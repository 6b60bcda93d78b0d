#include "board/sim/c331_picture.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "board/sim/c331_input_measure.h"
#include "board/sim/c331_model.h"

namespace sim {
namespace {

constexpr int kBlock = 16;  // banks between two channels' register blocks
constexpr int kOne = 65536;
constexpr int kBuffers = 5;
constexpr int kZoomAcross = 0xC7;
constexpr int kZoomDown = 3;
constexpr int kZoomLead = 4;
constexpr int kCaptureLead = 7;

struct Units {
    long long u, d;
};
Units units_of(int mode) {
    switch (mode) {
        case 1:
            return {16, 5};
        case 2:
            return {8, 3};
        case 3:
            return {2, 1};
        default:
            return {4, 1};
    }
}

int kept(int n, int ratio) {
    if (ratio <= 0 || ratio >= kOne || n <= 1)
        return n;
    return static_cast<int>((static_cast<long long>(n - 1) * (ratio - 1) + kOne - 1) / kOne) + 1;
}

// The source pixel of stored pixel x when n source pixels were kept as s.
int unshrunk(int x, int n, int s) {
    if (s <= 1 || n == s)
        return x;
    return static_cast<int>(std::lround(static_cast<double>(x) * (n - 1) / (s - 1)));
}

}  // namespace

// A stored pixel: which input channel wrote it and where it lies in that channel's capture.
struct C331Picture::Stored {
    int ich;
    int x, y;  // stored pixel and line of the channel's picture
    int port;
    int srcX, srcY;  // of the port's picture
};

C331Picture C331Picture::of(C331Model& chip) {
    std::vector<uint8_t> registers;
    std::array<std::optional<VideoTiming>, kPorts> pictures;
    chip.inspect<C331InputMeasure>([&](C331InputMeasure& measure, const C331Chip& c) {
        registers = c.registers();
        for (int p = 0; p < kPorts; ++p)
            pictures[static_cast<size_t>(p)] = measure.picture(c, p);
    });
    return C331Picture(std::move(registers), pictures);
}

C331Picture::C331Picture(std::vector<uint8_t> registers,
                         std::array<std::optional<VideoTiming>, kPorts> pictures)
    : registers_(std::move(registers)), pictures_(pictures), captures_(kChannels) {
    registers_.resize(256 * 128);
    for (int i = 0; i < kChannels; ++i)
        capture(i);
    findSharedMemory();
    for (int c = 0; c < kChannels; ++c)
        channels_[c] = decode(c);
}

uint32_t C331Picture::field(int bank, int address, int count) const {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= static_cast<uint32_t>(reg(bank, address + i)) << (8 * i);
    return value;
}

int C331Picture::inputChannelOf(int och, std::string& fault) const {
    int c = och;
    for (int depth = 0; depth < kChannels; ++depth) {
        const uint32_t word = field(0x08 + kBlock * c, 0x08, 2);
        const int n = static_cast<int>((word >> 8) & 0x0F);
        if (!(word & 0x1000))
            return n < 8 ? n : -1;
        if (n >= kChannels || n == c)
            break;
        c = n;
    }
    fault = "output channel " + std::to_string(och) + " follows no input channel";
    return -1;
}

std::optional<C331Picture::Line> C331Picture::lineOf(int source) const {
    if (source <= 6 && source % 2 == 0) {
        const int port = source / 2;
        const std::optional<VideoTiming>& t = pictures_[static_cast<size_t>(port)];
        if (!t)
            return std::nullopt;
        Line line;
        line.port = port;
        line.start = t->hSync + t->hBack;
        line.width = t->hActive;
        line.perClock = (field(0x00, 0x18, 2) >> (4 * port) & 1) ? 2 : 1;
        return line;
    }
    const int rx = source >= 8 && source <= 10 ? 0 : source >= 12 && source <= 14 ? 1 : -1;
    if (rx < 0)
        return std::nullopt;
    const int port = 4 + rx;
    const int k = source - 8 - 4 * rx;
    const std::optional<VideoTiming>& t = pictures_[static_cast<size_t>(port)];
    if (!t)
        return std::nullopt;
    const int lanes = C331InputMeasure::transmitterLanes(*t);
    Line line;
    line.port = port;
    line.start = t->hSync + t->hBack;
    line.width = t->hActive;
    if (lanes < 4)
        return k == 2 ? std::nullopt : std::optional<Line>(line);
    // Two lines of half the clock: the left half, then the right half.
    const int half = t->hActive / 2;
    line.start /= 2;
    if (k == 0) {
        line.width = half;
        return line;
    }
    if (k != (lanes > 4 ? 2 : 1))
        return std::nullopt;
    line.width = t->hActive - half;
    line.offset = half;
    return line;
}

std::optional<C331Picture::Line> C331Picture::captureLine(int ich, std::string& fault) const {
    const int q = ich / 2;
    if (reg(0x03, 0x08 + 9 * q) != 3)
        return lineOf(reg(0x00, 0x10 + ich));
    const std::optional<Line> a = lineOf(reg(0x00, 0x10 + 2 * q));
    const std::optional<Line> b = lineOf(reg(0x00, 0x10 + 2 * q + 1));
    const int start = static_cast<int>(field(0x03, 0x09 + 9 * q, 2));
    const int half = static_cast<int>(field(0x03, 0x0B + 9 * q, 2)) / 2;
    const std::string pair = "input pair " + std::to_string(q);
    if (!a || !b) {
        fault = pair + " joins a line that brings nothing";
        return std::nullopt;
    }
    auto within = [&](const Line& l) {
        return start >= l.start && start + half <= l.start + l.width;
    };
    const int first = a->offset + start - a->start;
    const int second = b->offset + start - b->start;
    if (a->port != b->port || !within(*a) || !within(*b) || second != first + half) {
        fault = pair + " joins two lines that do not continue each other";
        return std::nullopt;
    }
    Line joined;
    joined.port = a->port;
    joined.start = start;
    joined.width = 2 * half;
    joined.offset = first;
    return joined;
}

void C331Picture::capture(int ich) {
    Capture& c = captures_[static_cast<size_t>(ich)];
    const int b10 = 0x10 + kBlock * ich, b11 = 0x11 + kBlock * ich, b16 = 0x16 + kBlock * ich;
    const int width = static_cast<int>(field(b10, 0x19, 2));
    c.height = static_cast<int>(field(b10, 0x1D, 2));
    c.pitch = static_cast<long long>(reg(b16, 0x31)) * 1024;
    c.active = width != 0 && c.height != 0 && c.pitch > 0;
    if (!c.active)
        return;
    std::string fault;
    const std::optional<Line> line = captureLine(ich, fault);
    if (!fault.empty())
        ichFaults_[ich].push_back(fault);
    const int perClock = line ? line->perClock : 1;
    c.captured = width * perClock;
    c.hKept = kept(c.captured, reg(b11, 0x42) ? static_cast<int>(field(b11, 0x47, 2)) : kOne);
    c.vKept = kept(c.height, reg(b11, 0x49) ? static_cast<int>(field(b11, 0x4C, 2)) : kOne);
    const Units m = units_of(reg(b16, 0x65));
    c.units = m.u;
    c.unitsDiv = m.d;
    for (int b = 0; b < kBuffers; ++b)
        c.base[b] = field(b16, 0x1C + 4 * b, 4);
    if (!line)
        return;
    const VideoTiming& t = *pictures_[static_cast<size_t>(line->port)];
    c.port = line->port;
    const int position = static_cast<int>(field(b10, 0x17, 2)) * perClock + kCaptureLead;
    const int firstLine = static_cast<int>(field(b10, 0x1B, 2)) - 1;
    const int vStart = t.vSync + t.vBack;
    c.srcX = line->offset + position - line->start;
    c.srcY = firstLine - vStart;
    const bool across =
        position >= line->start && position + c.captured <= line->start + line->width;
    const bool down = firstLine >= vStart && firstLine + c.height <= vStart + t.vActive;
    if (!across || !down)
        ichFaults_[ich].push_back("input channel " + std::to_string(ich) +
                                  " captures outside the picture of its line");
}

namespace {

long long floor_div(long long a, long long b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

bool meet(long long lo1, long long hi1, long long lo2, long long hi2) {
    return lo1 < hi2 && lo2 < hi1;
}

// Whether the lines of b, written from base d units after a's, fall on a's: both with
// the same pitch P, a's lines wa units wide (ha of them), b's wb (hb).
bool lines_meet(long long d, long long P, long long wa, long long ha, long long wb, long long hb) {
    const long long dy = floor_div(d, P);
    const long long dx = d - dy * P;
    // A line of b begins dx into a line of a and may run on into the lines after it.
    for (long long m = 0; m == 0 || dx + wb > m * P; ++m) {
        const bool across = m == 0 ? dx < wa : wa > 0;
        if (across && meet(dy + m, dy + m + hb, 0, ha))
            return true;
    }
    return false;
}

}  // namespace

void C331Picture::findSharedMemory() {
    for (int i = 0; i < kChannels; ++i) {
        for (int j = i + 1; j < kChannels; ++j) {
            const Capture& a = captures_[static_cast<size_t>(i)];
            const Capture& b = captures_[static_cast<size_t>(j)];
            if (!a.active || !b.active || a.pitch != b.pitch)
                continue;
            bool shared = false;
            for (int k = 0; k < kBuffers && !shared; ++k) {
                const long long d = static_cast<int32_t>(b.base[k] - a.base[k]);
                shared = lines_meet(d, a.pitch, a.lineUnits(), a.vKept, b.lineUnits(), b.vKept) ||
                         lines_meet(-d, a.pitch, b.lineUnits(), b.vKept, a.lineUnits(), a.vKept);
            }
            if (!shared)
                continue;
            const std::string fault = "input channels " + std::to_string(i) + " and " +
                                      std::to_string(j) + " write the same memory";
            ichFaults_[i].push_back(fault);
            ichFaults_[j].push_back(fault);
        }
    }
}

std::optional<C331Picture::Stored> C331Picture::storedAt(long long address, int buffer) const {
    for (int i = 0; i < kChannels; ++i) {
        const Capture& c = captures_[static_cast<size_t>(i)];
        if (!c.active)
            continue;
        // Addresses wrap at 32 bits, as the chip's do.
        const long long offset =
            static_cast<uint32_t>(static_cast<uint32_t>(address) - c.base[buffer]);
        const long long line = offset / c.pitch;
        const long long unitsIn = offset % c.pitch;
        if (line >= c.vKept || unitsIn >= c.lineUnits())
            continue;
        Stored s;
        s.ich = i;
        s.x = static_cast<int>((unitsIn * c.unitsDiv + c.units - 1) / c.units);
        s.y = static_cast<int>(line);
        s.port = c.port;
        s.srcX = c.srcX + unshrunk(s.x, c.captured, c.hKept);
        s.srcY = c.srcY + unshrunk(s.y, c.height, c.vKept);
        return s;
    }
    return std::nullopt;
}

long long C331Picture::addressIn(int ich, int buffer, int x, int y) const {
    const int b16 = 0x16 + kBlock * ich;
    const Units m = units_of(reg(b16, 0x65));
    return static_cast<long long>(field(b16, 0x1C + 4 * buffer, 4)) + (m.u * x) / m.d +
           static_cast<long long>(y) * reg(b16, 0x31) * 1024;
}

ChannelPicture C331Picture::decode(int och) const {
    ChannelPicture p;
    const int b08 = 0x08 + kBlock * och, b0A = 0x0A + kBlock * och, b16 = 0x16 + kBlock * och;
    p.on = reg(0x00, 0x08 + och) & 1;
    p.background = reg(b08, 0x48) == 1;
    p.hMirror = reg(b08, 0x22) & 1;
    const int h0 = static_cast<int>(field(b08, 0x28, 2));
    const int h1 = static_cast<int>(field(b08, 0x2A, 2));
    const int v0 = static_cast<int>(field(b08, 0x2C, 2));
    const int v1 = static_cast<int>(field(b08, 0x2E, 2));
    const int x0 = std::clamp(static_cast<int>(field(b08, 0x40, 2)), h0, h1);
    const int x1 = std::clamp(static_cast<int>(field(b08, 0x32, 2)), x0, h1);
    const int y0 = std::clamp(static_cast<int>(field(b08, 0x44, 2)), v0, v1);
    const int y1 = std::clamp(static_cast<int>(field(b08, 0x36, 2)), y0, v1);
    p.area = PictureRect{x0 - h0, y0 - v0, x1 - x0, y1 - y0};
    const uint32_t rotation = field(b16, 0x6C, 2);
    p.frozen = (rotation & 0xF) == (rotation >> 4 & 0xF) &&
               (rotation & 0xF) == (rotation >> 8 & 0xF) &&
               (rotation & 0xF) == (rotation >> 12 & 0xF);
    if (!p.on || p.area.w == 0 || p.area.h == 0)
        return p;
    std::string fault;
    const int ich = inputChannelOf(och, fault);
    if (ich < 0) {
        p.faults.push_back(fault);
        return p;
    }
    const int pitchReg = reg(b16, 0x30);
    p.vMirror = pitchReg >= 128;
    const long long step = (p.vMirror ? -(256 - pitchReg) : pitchReg) * 1024LL;
    // The shown span in stored pixels and lines from the first one, zoom undone.
    const bool zoomAcross = reg(b0A, 0x46) == kZoomAcross;
    const bool zoomDown = reg(b0A, 0x44) == kZoomDown;
    if ((p.hMirror && zoomAcross) || (p.vMirror && zoomDown)) {
        p.faults.push_back("mirrored and zoomed: not decoded");
        return p;
    }
    const int hz = static_cast<int>(field(b0A, 0x49, 2));
    const int vz = static_cast<int>(field(b0A, 0x4E, 2));
    // A zoom by r shows of n output pixels ceil((n - 1) (r - 1) / 65536) + 1 source pixels.
    auto span = [](bool zoom, int ratio, int out) { return zoom ? kept(out, ratio) : out; };
    const int across = span(zoomAcross, hz, p.area.w);
    const int down = span(zoomDown, vz, p.area.h);
    // Every buffer the channel reads must hold the same part of the same picture.
    std::optional<Stored> first, last;
    bool consistent = true;
    std::vector<int> read;  // the input channels whose pictures it reads
    for (int b = 0; b < kBuffers; ++b) {
        bool used = false;
        for (int n = 0; n < 4; ++n)
            used = used || static_cast<int>(rotation >> (4 * n) & 0xF) == b;
        if (!used)
            continue;
        const std::optional<Stored> f = storedAt(field(b16, 0x08 + 4 * b, 4) + step, b);
        if (!f) {
            p.faults.push_back("buffer " + std::to_string(b) + " reads outside every picture");
            return p;
        }
        // A zoomed area that continues its window reads lead pixels (lines) first.
        int leadX = 0, leadY = 0;
        const uint32_t word = field(b08, 0x08, 2);
        const int leader = word & 0x1000 ? static_cast<int>((word >> 8) & 0x0F) : och;
        if ((zoomAcross || zoomDown) && leader != och && leader < kChannels) {
            const std::optional<Stored> l =
                storedAt(field(0x16 + kBlock * leader, 0x08 + 4 * b, 4) + step, b);
            leadX = l && zoomAcross && f->x > l->x ? kZoomLead : 0;
            leadY = l && zoomDown && f->y > l->y ? kZoomLead : 0;
        }
        const std::optional<Stored> a =
            storedAt(addressIn(f->ich, b, f->x + leadX, f->y + leadY), b);
        std::optional<Stored> z;
        // A zoom rounded up may reach one pixel (line) past the stored picture: the scaler
        // repeats the last one.
        for (int backX = 0; backX <= (zoomAcross ? 1 : 0) && !z; ++backX)
            for (int backY = 0; backY <= (zoomDown ? 1 : 0) && !z; ++backY)
                z = storedAt(addressIn(f->ich, b, f->x + leadX + across - 1 - backX,
                                       f->y + leadY + down - 1 - backY),
                             b);
        if (!a || !z) {
            p.faults.push_back("buffer " + std::to_string(b) + " reads past the picture");
            return p;
        }
        for (int i : {a->ich, z->ich})
            if (std::find(read.begin(), read.end(), i) == read.end())
                read.push_back(i);
        if (first && (first->srcX != a->srcX || first->srcY != a->srcY || last->srcX != z->srcX ||
                      last->srcY != z->srcY || first->port != a->port))
            consistent = false;
        first = a;
        last = z;
    }
    if (!first) {
        p.faults.push_back("reads no buffer");
        return p;
    }
    if (!consistent)
        p.faults.push_back("its buffers hold different pictures");
    if (first->port != last->port)
        p.faults.push_back("shows two ports");
    const bool partner = reg(0x10 + kBlock * first->ich, 0x09) == ich + 8;
    if (first->ich != ich && !partner)
        p.faults.push_back("shows input channel " + std::to_string(first->ich) +
                           " in the frames of input channel " + std::to_string(ich));
    for (int i : read)
        for (const std::string& f : ichFaults_[i])
            if (std::find(p.faults.begin(), p.faults.end(), f) == p.faults.end())
                p.faults.push_back(f);
    if (first->port < 0 || !pictures_[static_cast<size_t>(first->port)]) {
        p.faults.push_back("its port brings no picture");
        return p;
    }
    p.port = first->port;
    p.input = C331InputMeasure::inputOfPort(p.port);
    p.source = PictureRect{first->srcX, first->srcY, last->srcX - first->srcX + 1,
                           last->srcY - first->srcY + 1};
    p.hScale = static_cast<double>(p.area.w) / p.source.w;
    p.vScale = static_cast<double>(p.area.h) / p.source.h;
    const uint8_t control = reg(0x10 + kBlock * first->ich, 0x09);
    p.frozen = p.frozen || control == 2;
    return p;
}

std::vector<int> C331Picture::layers(int position) const {
    std::vector<int> out;
    if (position < 0 || position >= kChannels)
        return out;
    const uint32_t word = field(0x0E + kBlock * position, 0x09, 4);
    for (int k = 0; k < 8; ++k) {
        const uint32_t nibble = word >> (4 * k) & 0xF;
        if (!(nibble & 8))
            break;
        out.push_back(static_cast<int>(nibble & 7));
    }
    return out;
}

std::vector<PixelSource> C331Picture::at(int position, int x, int y) const {
    std::vector<PixelSource> out;
    const std::vector<int> stack = layers(position);
    auto covers = [&](int och) {
        const ChannelPicture& c = channels_[och];
        return c.on && c.area.w > 0 && x >= c.area.x && x < c.area.x + c.area.w && y >= c.area.y &&
               y < c.area.y + c.area.h;
    };
    int set = 0;
    for (size_t k = 1; k < stack.size() && k <= 4; ++k)
        if (covers(stack[k]))
            set |= 1 << (k - 1);
    for (size_t k = 0; k < stack.size(); ++k) {
        const int och = stack[k];
        if (!covers(och))
            continue;
        int weight = 128;
        if (position < 4)
            weight =
                k <= 4 ? reg(0x0E + kBlock * position, 0x11 + 5 * set + static_cast<int>(k)) : 0;
        if (weight == 0)
            continue;
        const ChannelPicture& c = channels_[och];
        PixelSource s;
        s.channel = och;
        s.weight = weight;
        if (c.shows()) {
            s.input = c.input;
            s.port = c.port;
            const int dx = c.hMirror ? c.area.w - 1 - (x - c.area.x) : x - c.area.x;
            const int dy = c.vMirror ? c.area.h - 1 - (y - c.area.y) : y - c.area.y;
            s.x = c.source.x + static_cast<int>(static_cast<long long>(dx) * c.source.w / c.area.w);
            s.y = c.source.y + static_cast<int>(static_cast<long long>(dy) * c.source.h / c.area.h);
        }
        out.push_back(s);
    }
    return out;
}

std::optional<PixelSource> C331Picture::visible(int position, int x, int y) const {
    const std::vector<PixelSource> all = at(position, x, y);
    if (all.size() != 1 || all[0].weight != 128 || all[0].port < 0)
        return std::nullopt;
    return all[0];
}

std::string C331Picture::describe() const {
    std::ostringstream s;
    for (int c = 0; c < kChannels; ++c) {
        const ChannelPicture& p = channels_[c];
        s << "OCH" << c << (p.on ? " on" : " off");
        if (p.background)
            s << " background";
        if (p.frozen)
            s << " frozen";
        s << " area " << p.area.x << "," << p.area.y << " " << p.area.w << "x" << p.area.h;
        if (p.port >= 0)
            s << " input " << p.input << " (port " << p.port << ") " << p.source.x << ","
              << p.source.y << " " << p.source.w << "x" << p.source.h;
        if (p.hMirror || p.vMirror)
            s << " mirrored" << (p.hMirror ? " left-right" : "")
              << (p.vMirror ? " top-bottom" : "");
        for (const std::string& f : p.faults)
            s << " [" << f << "]";
        s << "\n";
    }
    for (int i = 0; i < kChannels; ++i)
        for (const std::string& f : ichFaults_[i])
            s << "ICH" << i << " [" << f << "]\n";
    for (int u = 0; u < kChannels; ++u) {
        s << "position " << u << ":";
        for (int och : layers(u))
            s << " " << och;
        s << "\n";
    }
    return s.str();
}

}  // namespace sim
