// What the c331 measures at its six input ports, answered from the video sources plugged
// into the device's inputs, through the receiver that feeds each port:
//
//   input 2 -> HDMI receiver channel 2 -> parallel port 0
//   input 1 -> HDMI receiver channel 1 -> parallel port 1
//   input 0 -> HDMI receiver channel 0 -> parallel port 2
//   input 3 -> HDMI 2.0 receiver, V-by-One lanes -> V-by-One receiver 1 (port 5)
//
// Parallel port 3 and V-by-One receiver 0 (port 4) have nothing connected.
//
// Measures (bank 0xAE unless said; p parallel port 0..3, q V-by-One receiver 0..1):
//   total width - 1      0x08 + 2p, 0x10 + 8q              2 bytes
//   total lines          0x20 + 2p, 0x28 + 8q              2 bytes (of a field when interlaced)
//   line period - 1      0x38 + 2p; lane pair k of q: 0x40 + 8q + 2k     2 bytes
//   frame period - 1     0x50 + 3p; lane pair k of q: 0x5C + 0x0C q + 3k 3 bytes
//   active width         bank 0xAF 0x08 + 2p, 0x10 + 8q    2 bytes
//   receiver lock        bank 0xB2 0x63, bit 5 + 2q
// Periods count the 200 MHz measuring clock; an interlaced source's frame period is that
// of a field. A port at which nothing arrives reads all ones in every measure.
//
// V-by-One: the HDMI 2.0 receiver sends its picture on 8 lanes from 3840 x 2160 on, else on
// 4 above 160 MHz or when wider than 2176 pixels from 80 MHz on, on 2 from 80 MHz on and on
// 1 below; 4 lanes become 2 when a horizontal figure is not a multiple of 4. A receiver
// locks while a picture arrives and its lane mask (bank 0x02 0x4F + 0x1C q; lane n is bit
// 7 - n) lets lane 0 in. Its port measures read while it is locked; lane pair k (lanes 2k,
// 2k + 1) measures while the transmitter uses the pair, the mask lets its first lane in
// and none of its lanes in use is bad.
//
// A V-by-One transmitter on the board (the HDMI 2.0 receiver's model) or a test can drive
// a receiver's link instead (setLock): locked, its lock bit reads set and it takes what
// arrives; unlocked, it takes nothing. A test can also connect a transmitter of its own to
// a receiver (send): the receiver then takes that transmitter's picture, whatever the
// device's inputs carry; receiver 0 (port 4) gets a picture only this way.
//
// Faults a test injects: the signal at a port dropped (the source stays plugged), a bad
// V-by-One lane, and a measure pinned to a value (a counter that reads what a test wants,
// whatever arrives).
//
// Scene: "c331": {"vbyoneLock": [true, false]} drives receiver 0's link locked from power-on.
#pragma once

#include <map>
#include <memory>
#include <optional>

#include "board/sim/c331_model.h"
#include "board/sim/hdmi_sources.h"

namespace sim {

class C331InputMeasure : public C331Behaviour {
public:
    static constexpr int kPorts = 6;
    static constexpr uint32_t kMeasureClockHz = 200000000;

    C331InputMeasure();

    bool read(const C331Chip& chip, uint8_t bank, uint8_t address, uint8_t& value) override;

    void dropSignal(int port, bool dropped);
    void setBadLane(int rx, int lane, bool bad);
    // Drives the link of receiver rx from now on.
    void setLock(int rx, bool locked);
    // A transmitter of the test's on receiver rx's link sends this picture (nullopt: the
    // transmitter is taken away).
    void send(int rx, std::optional<VideoTiming> picture);
    // A field of bytes registers of bank 0xAE or 0xAF reads value until unpinned.
    void pin(uint8_t bank, uint8_t address, int bytes, uint32_t value);
    void unpin(uint8_t bank, uint8_t address, int bytes);

    // The V-by-One lanes the transmitter of a timing uses.
    static int transmitterLanes(const VideoTiming& timing);
    // The device input whose receiver feeds a port, -1 for none.
    static int inputOfPort(int port);
    // The picture arriving at a port now, if any.
    std::optional<VideoTiming> picture(const C331Chip& chip, int port) const {
        return port >= 0 && port < kPorts ? arriving(chip, port) : std::nullopt;
    }

private:
    enum class Kind : uint8_t { None, HTotal, VTotal, LinePeriod, FramePeriod, ActiveWidth };
    struct Slot {
        Kind kind = Kind::None;
        int8_t port = 0;
        int8_t pair = -1;  // V-by-One lane pair, -1 for the port's own measure
        uint8_t byte = 0;  // of the field, least significant first
    };
    void place(uint8_t bank, int address, int bytes, Kind kind, int port, int pair);
    // The source whose picture arrives at the port, or none.
    std::optional<VideoTiming> arriving(const C331Chip& chip, int port) const;
    bool locked(const C331Chip& chip, int rx) const;
    bool pairMeasures(const C331Chip& chip, int rx, int pair, const VideoTiming& timing) const;
    static uint32_t measure(Kind kind, const VideoTiming& timing);

    std::shared_ptr<HdmiSources> sources_;
    Slot slots_[2][128];             // banks 0xAE, 0xAF
    std::map<int, uint8_t> pinned_;  // bank << 8 | address
    bool dropped_[kPorts] = {};
    bool badLane_[2][8] = {};
    std::optional<bool> driven_[2];
    std::optional<VideoTiming> sent_[2];
};

}  // namespace sim
