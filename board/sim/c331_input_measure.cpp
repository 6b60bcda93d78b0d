#include "board/sim/c331_input_measure.h"

#include <QJsonArray>
#include <algorithm>

namespace sim {
namespace {

C331BehaviourRegistration registration([] { return std::make_unique<C331InputMeasure>(); });

constexpr uint8_t kMeasureBank = 0xAE;
constexpr uint8_t kActiveBank = 0xAF;
constexpr uint8_t kLockBank = 0xB2;
constexpr uint8_t kLockAddress = 0x63;
constexpr uint8_t kReceiverBank = 0x02;
constexpr int kParallelPorts = 4;
constexpr int kLanePairs = 4;
// The device input whose receiver feeds each port (-1: nothing connected).
constexpr int kInputOfPort[C331InputMeasure::kPorts] = {2, 1, 0, -1, -1, 3};

uint8_t laneMaskAddress(int rx) {
    return static_cast<uint8_t>(0x4F + 0x1C * rx);
}

bool laneLetIn(uint8_t mask, int lane) {
    return mask >> (7 - lane) & 1;
}

uint64_t rounded(uint64_t num, uint64_t den) {
    return (num + den / 2) / den;
}

}  // namespace

C331InputMeasure::C331InputMeasure() : sources_(get<HdmiSources>("hdmi-sources")) {
    QJsonArray lock = scene().value("c331").toObject().value("vbyoneLock").toArray();
    for (int rx = 0; rx < 2 && rx < lock.size(); ++rx)
        if (lock.at(rx).toBool())
            driven_[rx] = true;
    for (int p = 0; p < kParallelPorts; ++p) {
        place(kMeasureBank, 0x08 + 2 * p, 2, Kind::HTotal, p, -1);
        place(kMeasureBank, 0x20 + 2 * p, 2, Kind::VTotal, p, -1);
        place(kMeasureBank, 0x38 + 2 * p, 2, Kind::LinePeriod, p, -1);
        place(kMeasureBank, 0x50 + 3 * p, 3, Kind::FramePeriod, p, -1);
        place(kActiveBank, 0x08 + 2 * p, 2, Kind::ActiveWidth, p, -1);
    }
    for (int q = 0; q < 2; ++q) {
        const int port = kParallelPorts + q;
        place(kMeasureBank, 0x10 + 8 * q, 2, Kind::HTotal, port, -1);
        place(kMeasureBank, 0x28 + 8 * q, 2, Kind::VTotal, port, -1);
        place(kActiveBank, 0x10 + 8 * q, 2, Kind::ActiveWidth, port, -1);
        for (int k = 0; k < kLanePairs; ++k) {
            place(kMeasureBank, 0x40 + 8 * q + 2 * k, 2, Kind::LinePeriod, port, k);
            place(kMeasureBank, 0x5C + 0x0C * q + 3 * k, 3, Kind::FramePeriod, port, k);
        }
    }
}

void C331InputMeasure::place(uint8_t bank, int address, int bytes, Kind kind, int port, int pair) {
    Slot* bankSlots = slots_[bank == kActiveBank ? 1 : 0];
    for (int b = 0; b < bytes; ++b)
        bankSlots[address + b] = Slot{kind, static_cast<int8_t>(port), static_cast<int8_t>(pair),
                                      static_cast<uint8_t>(b)};
}

int C331InputMeasure::transmitterLanes(const VideoTiming& t) {
    const uint32_t khz = t.pixelClockKHz;
    int lanes;
    if (t.hActive >= 3840 && t.vActiveFrame() >= 2160)
        lanes = 8;
    else if (khz > 80000 && khz <= 160000)
        lanes = t.hActive > 2176 ? 4 : 2;
    else if (khz > 160000)
        lanes = 4;
    else
        lanes = 1;
    const bool quads = t.hTotal() % 4 == 0 && t.hActive % 4 == 0 && t.hBack % 4 == 0 &&
                       t.hFront % 4 == 0 && t.hSync % 4 == 0;
    return lanes == 4 && !quads ? 2 : lanes;
}

int C331InputMeasure::inputOfPort(int port) {
    return port >= 0 && port < kPorts ? kInputOfPort[port] : -1;
}

std::optional<VideoTiming> C331InputMeasure::arriving(const C331Chip& chip, int port) const {
    const int input = kInputOfPort[port];
    const int rx = port - kParallelPorts;
    const bool sent = rx >= 0 && sent_[rx];
    if ((input < 0 && !sent) || dropped_[port] || (!sources_ && !sent))
        return std::nullopt;
    if (rx >= 0 && driven_[rx] && !*driven_[rx])
        return std::nullopt;  // the transmitter sends nothing
    std::optional<VideoTiming> timing = sent ? sent_[rx] : sources_->source(input);
    if (!timing || timing->pixelClockKHz == 0 || timing->hTotal() == 0)
        return std::nullopt;
    if (port >= kParallelPorts &&
        !laneLetIn(chip.stored(kReceiverBank, laneMaskAddress(port - kParallelPorts)), 0))
        return std::nullopt;  // the receiver does not listen to the lanes
    return timing;
}

bool C331InputMeasure::locked(const C331Chip& chip, int rx) const {
    if (driven_[rx])
        return *driven_[rx];
    return arriving(chip, kParallelPorts + rx) && !badLane_[rx][0];
}

bool C331InputMeasure::pairMeasures(const C331Chip& chip, int rx, int pair,
                                    const VideoTiming& timing) const {
    const int lanes = transmitterLanes(timing);
    const int first = 2 * pair;
    if (first >= lanes)
        return false;
    const uint8_t mask = chip.stored(kReceiverBank, laneMaskAddress(rx));
    if (!laneLetIn(mask, first) || badLane_[rx][first])
        return false;
    return !(first + 1 < lanes && badLane_[rx][first + 1]);
}

uint32_t C331InputMeasure::measure(Kind kind, const VideoTiming& t) {
    const uint64_t pixelHz = uint64_t{t.pixelClockKHz} * 1000;
    const uint64_t fields = t.interlaced ? 2 : 1;
    switch (kind) {
        case Kind::HTotal:
            return t.hTotal() - 1;
        case Kind::VTotal:
            return t.interlaced ? uint32_t{t.vActive} + t.vFront + t.vSync + t.vBack : t.vTotal();
        case Kind::LinePeriod:
            return static_cast<uint32_t>(rounded(uint64_t{kMeasureClockHz} * t.hTotal(), pixelHz) -
                                         1);
        case Kind::FramePeriod:
            return static_cast<uint32_t>(
                rounded(uint64_t{kMeasureClockHz} * t.hTotal() * t.vTotal(), pixelHz * fields) - 1);
        case Kind::ActiveWidth:
            return t.hActive;
        case Kind::None:
            break;
    }
    return 0;
}

bool C331InputMeasure::read(const C331Chip& chip, uint8_t bank, uint8_t address, uint8_t& value) {
    if (bank == kLockBank && address == kLockAddress) {
        value = 0;
        for (int rx = 0; rx < 2; ++rx)
            if (locked(chip, rx))
                value = static_cast<uint8_t>(value | 1u << (5 + 2 * rx));
        return true;
    }
    if ((bank != kMeasureBank && bank != kActiveBank) || address >= 128)
        return false;
    auto pinned = pinned_.find(bank << 8 | address);
    if (pinned != pinned_.end()) {
        value = pinned->second;
        return true;
    }
    const Slot& slot = slots_[bank == kActiveBank ? 1 : 0][address];
    if (slot.kind == Kind::None)
        return false;
    value = 0xFF;
    const std::optional<VideoTiming> timing = arriving(chip, slot.port);
    if (!timing)
        return true;
    if (slot.port >= kParallelPorts) {
        const int rx = slot.port - kParallelPorts;
        if (!locked(chip, rx))
            return true;
        if (slot.pair >= 0 && !pairMeasures(chip, rx, slot.pair, *timing))
            return true;
    }
    const int bytes = slot.kind == Kind::FramePeriod ? 3 : 2;
    const uint32_t full = (1u << (8 * bytes)) - 1;
    const uint32_t field = std::min(measure(slot.kind, *timing), full);
    value = static_cast<uint8_t>(field >> (8 * slot.byte));
    return true;
}

void C331InputMeasure::dropSignal(int port, bool dropped) {
    if (port >= 0 && port < kPorts)
        dropped_[port] = dropped;
}

void C331InputMeasure::setBadLane(int rx, int lane, bool bad) {
    if (rx >= 0 && rx < 2 && lane >= 0 && lane < 8)
        badLane_[rx][lane] = bad;
}

void C331InputMeasure::setLock(int rx, bool locked) {
    if (rx == 0 || rx == 1)
        driven_[rx] = locked;
}

void C331InputMeasure::send(int rx, std::optional<VideoTiming> picture) {
    if (rx == 0 || rx == 1)
        sent_[rx] = picture;
}

void C331InputMeasure::pin(uint8_t bank, uint8_t address, int bytes, uint32_t value) {
    for (int b = 0; b < bytes && b < 4; ++b)
        pinned_[bank << 8 | (address + b)] = static_cast<uint8_t>(value >> (8 * b));
}

void C331InputMeasure::unpin(uint8_t bank, uint8_t address, int bytes) {
    for (int b = 0; b < bytes; ++b)
        pinned_.erase(bank << 8 | (address + b));
}

}  // namespace sim
