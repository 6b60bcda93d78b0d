#include "board/sim/it6805_model.h"

#include <QJsonObject>
#include <cmath>
#include <cstdio>

#include "board/sim/bounded_log.h"
#include "board/sim/c331_input_measure.h"
#include "board/sim/c331_model.h"

namespace sim {

// One run of registers of the map: the banks it exists in (bit n = bank n), the bits the
// chip drives itself and the bits that are write-1-to-clear interrupt status.
struct It6805Model::MapRow {
    uint8_t banks;
    uint8_t first;
    uint8_t last;
    uint8_t readOnly;
    uint8_t clearOnWrite;
};

namespace {

Registration registration("it6805", [] { return std::make_shared<It6805Model>(); });

constexpr uint8_t kAll = 0xFF;
constexpr uint8_t kB0 = 0x01, kB1 = 0x02, kB2 = 0x04, kB3 = 0x08, kB4 = 0x10, kB5 = 0x20,
                  kB7 = 0x80;
constexpr uint8_t kCommonLast = 0x0F;  // 0x00..0x0F answer in every bank
constexpr uint32_t kHdmi20CharRateKHz = 340000;
constexpr uint16_t kPclkCountMax = 0x3FF;

// clang-format off
constexpr It6805Model::MapRow kMapRows[] = {
    // Every bank: identity, interrupt status of both ports, bank select.
    {kAll, 0x00, 0x04, 0xFF, 0x00},
    {kAll, 0x05, 0x0E, 0x00, 0xFF},
    {kAll, 0x0F, 0x0F, 0x00, 0x00},
    // Bank 0: common interrupts and status, resets, front-end control, measurement,
    // colour path, audio, reference-clock key.
    {kB0, 0x10, 0x12, 0x00, 0xFF},
    {kB0, 0x13, 0x15, 0xFF, 0x00},
    {kB0, 0x19, 0x19, 0xFF, 0x00},
    {kB0, 0x1C, 0x1C, 0x7F, 0x80},
    {kB0, 0x1D, 0x1D, 0x00, 0xFF},
    {kB0, 0x21, 0x24, 0x00, 0x00},
    {kB0, 0x28, 0x2D, 0x00, 0x00},
    {kB0, 0x32, 0x34, 0x00, 0x00},
    {kB0, 0x36, 0x36, 0x00, 0x00},
    {kB0, 0x39, 0x3F, 0x00, 0x00},
    {kB0, 0x41, 0x42, 0x00, 0x00},
    {kB0, 0x43, 0x43, 0xE0, 0x00},
    {kB0, 0x44, 0x47, 0x00, 0x00},
    {kB0, 0x48, 0x48, 0xFF, 0x00},
    {kB0, 0x49, 0x4A, 0x00, 0x00},
    {kB0, 0x4C, 0x4C, 0x00, 0x00},
    {kB0, 0x4F, 0x4F, 0x00, 0x00},
    {kB0, 0x59, 0x59, 0x00, 0x00},
    {kB0, 0x64, 0x64, 0x00, 0x00},
    {kB0, 0x67, 0x68, 0x00, 0x00},
    {kB0, 0x6B, 0x6C, 0x00, 0x00},
    {kB0, 0x6E, 0x6E, 0x00, 0x00},
    {kB0, 0x77, 0x77, 0x00, 0x00},
    {kB0, 0x7B, 0x7B, 0x00, 0x00},
    {kB0, 0x81, 0x81, 0x00, 0x00},
    {kB0, 0x86, 0x86, 0x00, 0x00},
    {kB0, 0x8A, 0x8A, 0x00, 0x00},
    {kB0, 0x8C, 0x8C, 0x00, 0x00},
    {kB0, 0x8F, 0x92, 0x00, 0x00},
    {kB0, 0x98, 0x99, 0xFF, 0x00},
    {kB0, 0x9A, 0x9A, 0x03, 0x00},
    {kB0, 0x9B, 0xAB, 0xFF, 0x00},
    {kB0, 0xB0, 0xB2, 0xFF, 0x00},
    {kB0, 0xB5, 0xB5, 0xFF, 0x00},
    {kB0, 0xB9, 0xB9, 0x00, 0xFF},
    {kB0, 0xBE, 0xBE, 0x00, 0xFF},
    {kB0, 0xC5, 0xC5, 0x00, 0x00},
    {kB0, 0xCE, 0xCE, 0x00, 0x00},
    {kB0, 0xCF, 0xCF, 0x20, 0x00},
    {kB0, 0xD4, 0xD5, 0x00, 0xFF},
    {kB0, 0xD6, 0xD6, 0xFF, 0x00},
    {kB0, 0xD8, 0xD9, 0x00, 0x00},
    {kB0, 0xF0, 0xF1, 0x00, 0x00},
    {kB0, 0xF6, 0xF6, 0x00, 0x00},
    {kB0, 0xF8, 0xF8, 0x00, 0x00},
    // Bank 1: output control, factory-memory read port, colour matrix, TTL output.
    {kB1, 0x10, 0x13, 0x00, 0x00},
    {kB1, 0x28, 0x2C, 0x00, 0x00},
    {kB1, 0x50, 0x51, 0x00, 0x00},
    {kB1, 0x54, 0x54, 0x00, 0x00},
    {kB1, 0x57, 0x58, 0x00, 0x00},
    {kB1, 0x5F, 0x5F, 0x00, 0x00},
    {kB1, 0x60, 0x62, 0xFF, 0x00},
    {kB1, 0x70, 0x86, 0x00, 0x00},
    {kB1, 0xB0, 0xB0, 0x00, 0x00},
    {kB1, 0xBD, 0xBD, 0x00, 0x00},
    {kB1, 0xC0, 0xC0, 0x00, 0x00},
    {kB1, 0xC4, 0xCA, 0x00, 0x00},
    // Bank 2: AVI InfoFrame data bytes 1..5, N and CTS.
    {kB2, 0x15, 0x19, 0xFF, 0x00},
    {kB2, 0xBE, 0xC2, 0xFF, 0x00},
    // Banks 3 and 7: front ends of ports 0 and 1.
    {kB3 | kB7, 0x27, 0x29, 0x00, 0x00},
    {kB3 | kB7, 0x3A, 0x3B, 0x00, 0x00},
    {kB3 | kB7, 0x48, 0x48, 0x00, 0x00},
    {kB3 | kB7, 0x59, 0x5A, 0xFF, 0x00},
    {kB3 | kB7, 0xA0, 0xA2, 0x00, 0x00},
    {kB3 | kB7, 0xA4, 0xA4, 0x00, 0x00},
    {kB3 | kB7, 0xA6, 0xA8, 0x00, 0x00},
    {kB3 | kB7, 0xAA, 0xAC, 0x00, 0x00},
    {kB3 | kB7, 0xE3, 0xE3, 0x00, 0x00},
    {kB3, 0xB0, 0xB0, 0x00, 0x00},
    {kB3, 0xE1, 0xE1, 0x00, 0x00},
    {kB3, 0xE5, 0xE5, 0x00, 0x00},
    {kB3, 0xF0, 0xF0, 0x00, 0x00},
    // Bank 3: the equaliser (engine set-up, per-channel EQ and DFE values, DFE and SAR
    // read-outs, the engine's values) and the bit-error counter.
    {kB3, 0x20, 0x22, 0x00, 0x00},
    {kB3, 0x26, 0x26, 0x00, 0x00},
    {kB3, 0x2C, 0x2D, 0x00, 0x00},
    {kB3, 0x30, 0x39, 0x00, 0x00},
    {kB3, 0x4A, 0x55, 0x00, 0x00},
    {kB3, 0x5D, 0x60, 0xFF, 0x00},
    {kB3, 0x63, 0x64, 0xFF, 0x00},
    {kB3, 0xD5, 0xD7, 0xFF, 0x00},
    {kB3, 0xE9, 0xE9, 0x00, 0x00},
    {kB3, 0xEA, 0xEB, 0xFF, 0x00},
    // Bank 4: port 1.
    {kB4, 0x3A, 0x3C, 0x00, 0x00},
    {kB4, 0x42, 0x43, 0x00, 0x00},
    {kB4, 0xC5, 0xC5, 0x00, 0x00},
    {kB4, 0xCE, 0xCE, 0x00, 0x00},
    // Bank 5: V-by-One transmitter.
    {kB5, 0x20, 0x20, 0x00, 0x00},
    {kB5, 0xC0, 0xC1, 0x00, 0x00},
    {kB5, 0xC6, 0xC7, 0x00, 0x00},
    {kB5, 0xC9, 0xC9, 0x00, 0x00},
    {kB5, 0xCB, 0xCB, 0x00, 0x00},
    {kB5, 0xD2, 0xD5, 0x00, 0x00},
    {kB5, 0xD7, 0xD7, 0x00, 0x00},
    {kB5, 0xDB, 0xDB, 0xFF, 0x00},
    {kB5, 0xDF, 0xDF, 0x00, 0x00},
    {kB5, 0xE1, 0xE1, 0x00, 0x00},
};
// clang-format on

bool lateRevision(uint8_t chipId) {
    return chipId == 0x10 || chipId == 0xE0;
}

std::string hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

}  // namespace

It6805Model::It6805Model()
    : sources_(get<HdmiSources>("hdmi-sources")), c331_(get<C331Model>("c331")) {
    QJsonObject config = scene().value("it6805").toObject();
    chipId_ = static_cast<uint8_t>(config.value("chipId").toInt(kDefaultChipId));
    refClockKHz_ =
        static_cast<uint32_t>(config.value("refClockKHz").toInt(static_cast<int>(refClockKHz_)));
    factoryValue_ = refClockKHz_ * 100;
    std::lock_guard<std::mutex> lock(mutex_);
    powerOn();
}

const It6805Model::MapRow* It6805Model::mapRow(unsigned bank, unsigned index) {
    for (const MapRow& row : kMapRows)
        if ((row.banks & (1u << bank)) && index >= row.first && index <= row.last)
            return &row;
    return nullptr;
}

// Called with the lock held (from the constructor and on leaving reset).
void It6805Model::powerOn() {
    for (auto& bank : regs_)
        bank.fill(0);
    latches_.fill(0);
    eq_.powerOn();
    regs_[0][0x9A] = 0x80;  // pixel-clock count running
    regs_[5][0xC9] = 0x79;  // V-by-One output off
    pointer_ = 0;
    keyFirst_ = unlocked_ = otpFresh_ = false;
    txClockStable_ = false;
    pclkLatched_ = 0;
    tmdsCarry_ = pclkCarry_ = 0;
    lastModeHdmi_ = true;
    lastRatio_ = false;
    lastAvi_ = {};
    last_ = observeLocked();
    updateOutputsLocked();
}

void It6805Model::setInReset(bool inReset) {
    std::lock_guard<std::mutex> lock(mutex_);
    I2cDevice::setInReset(inReset);
    if (inReset)
        updateOutputsLocked();
}

bool It6805Model::hotPlugHigh() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hotPlugDriven_;
}

It6805Model::Link It6805Model::observeLocked() const {
    Link link;
    if (!sources_)
        return link;
    link.generation = sources_->generation(kInput);
    std::optional<VideoTiming> source = sources_->source(kInput);
    if (!source)
        return link;
    link.fiveVolt = true;
    bool hotPlug = !inReset() && (regs_[3][0xAB] >> 6) == 3;
    link.tmds = hotPlug && !syncLost_ && source->pixelClockKHz > 0;
    link.hdmi = !source->dvi;
    link.yuv420 = link.hdmi && source->colour == VideoTiming::Colour::YCbCr420;
    VideoTiming t = *source;
    if (link.yuv420) {
        t.hActive /= 2;
        t.hFront /= 2;
        t.hSync /= 2;
        t.hBack /= 2;
        t.pixelClockKHz /= 2;
    }
    link.timing = t;
    link.charRateKHz = t.pixelClockKHz;
    link.hdmi20 = link.charRateKHz > kHdmi20CharRateKHz;
    link.above1GHz = link.hdmi20 || source->tmdsAbove1GHz;
    if (!link.hdmi)
        return link;
    if (aviGeneration_ != link.generation) {
        aviCache_ = source->aviData();
        aviGeneration_ = link.generation;
    }
    link.avi = aviCache_;
    return link;
}

// Interrupts latch what changed on the input since the chip last looked.
void It6805Model::latchChangesLocked() {
    Link now = observeLocked();
    bool replugged = now.generation != last_.generation && now.fiveVolt && last_.fiveVolt;
    if (now.fiveVolt != last_.fiveVolt || replugged)
        latches_[0x05] |= 0x01;
    if (now.tmds != last_.tmds || (replugged && now.tmds)) {
        latches_[0x05] |= 0x04;
        latches_[0x10] |= 0x02;
        txClockStable_ = false;
        if (now.tmds) {
            latches_[0x05] |= 0x02;
            latches_[0x06] |= 0x01;
            latches_[0x1C] |= 0x80;
        }
    }
    if (now.tmds) {
        if (now.hdmi != lastModeHdmi_) {
            latches_[0x05] |= 0x10;
            lastModeHdmi_ = now.hdmi;
        }
        if (now.hdmi20 != lastRatio_) {
            latches_[0x08] |= 0x01;
            lastRatio_ = now.hdmi20;
        }
        if (now.hdmi && now.avi != lastAvi_) {
            latches_[0x12] |= 0x01;
            lastAvi_ = now.avi;
        }
    }
    last_ = now;
}

bool It6805Model::outputRunningLocked() const {
    if (!last_.tmds || outputUnstable_ || !txClockStable_ || (regs_[5][0xC9] & 0x01))
        return false;
    unsigned lanes = 1u << ((regs_[5][0xC0] >> 4) & 0x03);
    uint64_t pixelKHz = static_cast<uint64_t>(last_.timing.pixelClockKHz) * (last_.yuv420 ? 2 : 1);
    return pixelKHz <= static_cast<uint64_t>(kLaneMaxPixelKHz) * lanes;
}

void It6805Model::updateOutputsLocked() {
    bool hotPlug = !inReset() && (regs_[3][0xAB] >> 6) == 3;
    if (hotPlug != hotPlugDriven_) {
        hotPlugDriven_ = hotPlug;
        if (sources_)
            sources_->setHotPlug(kInput, hotPlug);
    }
    bool running = !inReset() && outputRunningLocked();
    if (running != lockPushed_) {
        lockPushed_ = running;
        if (c331_)
            c331_->with<C331InputMeasure>(
                [&](C331InputMeasure& receivers) { receivers.setLock(kVboReceiver, running); });
    }
}

unsigned It6805Model::tmdsRangeLocked() const {
    uint32_t rate = last_.charRateKHz;
    if (!last_.tmds || rate == 0)
        return 7;
    for (unsigned k = 10; k > 7; --k)
        if (static_cast<uint64_t>(refClockKHz_) * (1u << k) / rate <= 255)
            return k;
    return 7;
}

// Reference-clock periods over 2^k TMDS periods, minus one; the fraction is carried to
// the next sample so that the samples average to the true count.
uint8_t It6805Model::tmdsSampleLocked() {
    if (!last_.tmds || last_.charRateKHz == 0)
        return 0xFF;
    double exact =
        static_cast<double>(refClockKHz_) * (1u << tmdsRangeLocked()) / last_.charRateKHz;
    double carried = exact + tmdsCarry_;
    double count = std::floor(carried);
    tmdsCarry_ = carried - count;
    count = std::min(std::max(count, 1.0), 255.0);
    return static_cast<uint8_t>(count - 1);
}

// Reference-clock periods per 512 pixels.
uint16_t It6805Model::pclkSampleLocked() {
    if (!last_.tmds || last_.timing.pixelClockKHz == 0)
        return kPclkCountMax;
    double exact = 512.0 * refClockKHz_ / last_.timing.pixelClockKHz;
    double carried = exact + pclkCarry_;
    double count = std::floor(carried);
    pclkCarry_ = carried - count;
    return static_cast<uint16_t>(std::min(std::max(count, 1.0), double{kPclkCountMax}));
}

uint8_t It6805Model::timingRegisterLocked(unsigned index) const {
    if (!last_.tmds)
        return 0;
    const VideoTiming& t = last_.timing;
    uint32_t hTotal = t.hTotal();
    uint32_t vTotal = t.vActive + t.vFront + t.vSync + t.vBack;  // one field
    auto lo = [](uint32_t v) { return static_cast<uint8_t>(v & 0xFF); };
    auto hi = [](uint32_t v) { return static_cast<uint8_t>((v >> 8) & 0x3F); };
    switch (index) {
        case 0x9B:
            return lo(hTotal);
        case 0x9C:
            return hi(hTotal);
        case 0x9D:
            return lo(t.hActive);
        case 0x9E:
            return hi(t.hActive);
        case 0xAA:
            return static_cast<uint8_t>((t.vSyncPositive ? 0x40 : 0) |
                                        (t.hSyncPositive ? 0x20 : 0) | (avMute_ ? 0x08 : 0));
        default:
            break;
    }
    if (lateRevision(chipId_)) {
        switch (index) {
            case 0x9F:
                return lo(t.hSync);
            case 0xA0:
                return hi(t.hSync);
            case 0xA1:
                return lo(t.hFront);
            case 0xA2:
                return hi(t.hFront);
            case 0xA3:
                return lo(vTotal);
            case 0xA4:
                return hi(vTotal);
            case 0xA5:
                return lo(t.vActive);
            case 0xA6:
                return hi(t.vActive);
            case 0xA7:
                return lo(t.vSync);
            case 0xA8:
                return hi(t.vSync);
            case 0xA9:
                return lo(t.vFront);
            case 0xAB:
                return hi(t.vFront);
            default:
                return 0;
        }
    }
    switch (index) {
        case 0x9F:
            return lo(t.hSync);
        case 0xA0:
            return lo(t.hFront);
        case 0xA1:
            return static_cast<uint8_t>(((t.hFront >> 4) & 0xF0) | ((t.hSync >> 8) & 0x01));
        case 0xA2:
            return lo(vTotal);
        case 0xA3:
            return hi(vTotal);
        case 0xA4:
            return lo(t.vActive);
        case 0xA5:
            return hi(t.vActive);
        case 0xA6:
            return lo(t.vSync);
        case 0xA7:
            return lo(t.vFront);
        case 0xA8:
            return static_cast<uint8_t>(((t.vFront >> 4) & 0xF0) | ((t.vSync >> 8) & 0x01));
        default:
            return 0;
    }
}

// The bits the chip drives itself.
uint8_t It6805Model::statusLocked(unsigned bank, unsigned index) const {
    static constexpr uint8_t kIdentity[4] = {0x54, 0x49, 0x05, 0x68};
    if (index < 4)
        return kIdentity[index];
    if (index == 0x04)
        return chipId_;
    const Link& l = last_;
    bool audio = l.tmds && l.hdmi && audio_.present;
    if (bank == 0) {
        switch (index) {
            case 0x13:
                return static_cast<uint8_t>((l.fiveVolt ? 0x01 : 0) |
                                            (l.tmds && l.hdmi ? 0x02 : 0) | (l.tmds ? 0x18 : 0) |
                                            (l.tmds && allLockedLocked() ? 0xA4 : 0));
            case 0x14:
                return l.tmds
                           ? static_cast<uint8_t>(0x02 | eq_.lockBits(regs_[3]) |
                                                  (l.hdmi20 ? 0x40 : 0) | (l.above1GHz ? 0x01 : 0))
                           : 0;
            case 0x19:
                return static_cast<uint8_t>((l.tmds ? 0x80 : 0) |
                                            (outputRunningLocked() ? 0x02 : 0));
            case 0x43: {
                static constexpr uint8_t kRangeBits[4] = {0x00, 0x20, 0x40, 0x80};
                return kRangeBits[tmdsRangeLocked() - 7];
            }
            case 0x48: {
                if (!l.tmds || !l.charRateKHz)
                    return 0xFF;
                double exact =
                    static_cast<double>(refClockKHz_) * (1u << tmdsRangeLocked()) / l.charRateKHz;
                return static_cast<uint8_t>(std::min(std::max(std::lround(exact), 1L), 255L) - 1);
            }
            case 0x98:
                if (!l.tmds)
                    return 0;
                return static_cast<uint8_t>((depthCode_ & 0xF0) | (l.timing.interlaced ? 0x02 : 0));
            case 0x99:
                return static_cast<uint8_t>(pclkLatched_ & 0xFF);
            case 0x9A:
                return static_cast<uint8_t>((pclkLatched_ >> 8) & 0x03);
            case 0xB1:
                return audio ? 0x80 : 0x00;
            case 0xB5:
                return audio ? static_cast<uint8_t>((audio_.code & 0x0F) |
                                                    ((audio_.code & 0x30) << 2))
                             : 0x00;
            default:
                return index >= 0x9B && index <= 0xAB ? timingRegisterLocked(index) : 0;
        }
    }
    if (bank == 1) {
        if (index == 0x60)
            return unlocked_ && (regs_[1][0x5F] & 0x04) && !otpStuck_ ? 0x19 : 0x00;
        return regs_[1][index];  // 0x61/0x62: what the last read command fetched
    }
    if (bank == 2) {
        if (index >= 0x15 && index <= 0x19)
            return l.tmds ? l.avi[index - 0x15] : 0;
        if (!audio)
            return 0;
        uint32_t n = audio_.n.value_or(6144);
        uint32_t cts = audio_.cts.value_or(l.charRateKHz);  // 48 kHz with N 6144
        switch (index) {
            case 0xBE:
                return static_cast<uint8_t>(n >> 12);
            case 0xBF:
                return static_cast<uint8_t>(n >> 4);
            case 0xC0:
                return static_cast<uint8_t>((n & 0x0F) | ((cts & 0x0F) << 4));
            case 0xC1:
                return static_cast<uint8_t>(cts >> 12);
            case 0xC2:
                return static_cast<uint8_t>(cts >> 4);
            default:
                return 0;
        }
    }
    if (bank == 3)
        return eq_.status(index, regs_[3]).value_or(0);
    if (bank == 5 && index == 0xDB)
        return txClockStable_ && l.tmds ? 0x10 : 0x00;
    return 0;
}

bool It6805Model::allLockedLocked() const {
    return eq_.lockBits(regs_[3]) == 0x38;
}

uint8_t It6805Model::readLocked(unsigned bank, unsigned index) const {
    unsigned storageBank = index <= kCommonLast ? 0 : bank;
    uint8_t stored = regs_[storageBank][index];
    const MapRow* row = mapRow(bank, index);
    if (!row)
        return stored;
    uint8_t value = stored & static_cast<uint8_t>(~(row->readOnly | row->clearOnWrite));
    value |= static_cast<uint8_t>(statusLocked(bank, index) & row->readOnly);
    value |= static_cast<uint8_t>(latches_[index] & row->clearOnWrite);
    return value;
}

uint8_t It6805Model::consumeLocked(unsigned bank, unsigned index) {
    if (!mapRow(bank, index))
        errorLocked("read of bank " + std::to_string(bank) + " register " + hex(index) +
                    " outside the map");
    if (bank == 0 && index == 0x48)
        return tmdsSampleLocked();
    // Character errors keep coming while the link makes them: cleared, the flag is set again.
    if (bank == 0 && index == 0xBE && last_.tmds && eq_.errorsNow(regs_[3]))
        latches_[0xBE] |= 0x01;
    return readLocked(bank, index);
}

void It6805Model::writeLocked(unsigned bank, unsigned index, uint8_t value) {
    const MapRow* row = mapRow(bank, index);
    if (!row)
        errorLocked("write " + hex(value) + " to bank " + std::to_string(bank) + " register " +
                    hex(index) + " outside the map");
    else if (row->readOnly == 0xFF)
        errorLocked("write " + hex(value) + " to read-only bank " + std::to_string(bank) +
                    " register " + hex(index));
    if (row && row->clearOnWrite)
        latches_[index] &= static_cast<uint8_t>(~(value & row->clearOnWrite));
    uint8_t& stored = regs_[index <= kCommonLast ? 0 : bank][index];
    uint8_t old = stored;
    stored = value;
    appendBounded(writes_, Write{static_cast<uint8_t>(bank), static_cast<uint8_t>(index), value});
    sideEffectsLocked(bank, index, old, value);
}

void It6805Model::sideEffectsLocked(unsigned bank, unsigned index, uint8_t old, uint8_t value) {
    auto rose = [&](uint8_t bit) { return !(old & bit) && (value & bit); };
    if (bank == 0 && index == 0xF8) {
        unlocked_ = keyFirst_ && value == 0xA5;
        keyFirst_ = value == 0xC3;
    } else if (bank == 0 && index == 0x9A && (old & 0x80) && !(value & 0x80)) {
        pclkLatched_ = pclkSampleLocked();
    } else if (bank == 1 && index == 0x57 && (value & 0x01)) {
        otpFresh_ = true;
    } else if (bank == 1 && index == 0x54 && value == 0x04) {
        otpCommandLocked();
    } else if ((bank == 3 || bank == 7) && index == 0x3A && rose(0x80) && !caofStuck_) {
        latches_[bank == 3 ? 0x08 : 0x0D] |= 0x10;
    } else if (bank == 3 && index == 0x22 && rose(0x04)) {
        latches_[0x07] |= eq_.engineStarted(last_.tmds);
    } else if (bank == 3 && index == 0xE9) {
        eq_.counterWritten(old, value, regs_[3], last_.tmds && (regs_[0][0x3B] & 0x08));
    } else if (bank == 5 && index == 0xC0 && old != value) {
        txClockStable_ = false;
    } else if (bank == 5 && index == 0xD2 && rose(0x10)) {
        txClockStable_ = last_.tmds;
    }
}

// One word of the factory memory into 0x61 (low) and 0x62 (high).
void It6805Model::otpCommandLocked() {
    uint16_t word = 0xFFFF;
    bool ready = unlocked_ && (regs_[1][0x5F] & 0x04) && !otpStuck_ && (regs_[1][0x57] & 0x01);
    if (ready && otpFresh_) {
        otpFresh_ = false;
    } else if (ready) {
        uint16_t address = static_cast<uint16_t>((regs_[1][0x51] << 8) | regs_[1][0x50]);
        uint16_t page = static_cast<uint16_t>(factoryPage_ << 8);
        uint8_t flags = factoryHundredths_ ? 0xC0 : 0x00;
        word = 0;
        if (address == 0x0000 && factoryPage_ == 0)
            word = 0x6805;
        else if (address == 0x0100 && factoryPage_ == 0)
            word = 0x0001;
        else if (address == (page | 0xB0))
            word = static_cast<uint16_t>(factoryValue_ & 0xFFFF);
        else if (address == (page | 0xB1))
            word = static_cast<uint16_t>((flags << 8) | ((factoryValue_ >> 16) & 0xFF));
    }
    regs_[1][0x61] = static_cast<uint8_t>(word & 0xFF);
    regs_[1][0x62] = static_cast<uint8_t>(word >> 8);
}

void It6805Model::errorLocked(const std::string& text) {
    appendBounded(errors_, text, 1000);
}

void It6805Model::started(bool) {
    std::lock_guard<std::mutex> lock(mutex_);
    latchChangesLocked();
    updateOutputsLocked();
}

bool It6805Model::received(uint8_t value, bool first, double) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (first) {
        pointer_ = value;
        return true;
    }
    writeLocked(bankLocked(), pointer_, value);
    pointer_ = (pointer_ + 1) & 0xFF;
    return true;
}

uint8_t It6805Model::sent() {
    std::lock_guard<std::mutex> lock(mutex_);
    uint8_t value = consumeLocked(bankLocked(), pointer_);
    pointer_ = (pointer_ + 1) & 0xFF;
    return value;
}

void It6805Model::stopped(double) {
    std::lock_guard<std::mutex> lock(mutex_);
    updateOutputsLocked();
}

uint8_t It6805Model::reg(unsigned bank, unsigned index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (bank > 7 || index > 0xFF)
        return 0;
    return readLocked(bank, index);
}

std::vector<It6805Model::Write> It6805Model::writes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_;
}

void It6805Model::clearWrites() {
    std::lock_guard<std::mutex> lock(mutex_);
    writes_.clear();
}

void It6805Model::setChipId(uint8_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    chipId_ = id;
}

void It6805Model::setReferenceClock(uint32_t kHz) {
    std::lock_guard<std::mutex> lock(mutex_);
    refClockKHz_ = kHz;
    factoryValue_ = kHz * 100;
    factoryHundredths_ = true;
    factoryPage_ = 0;
}

void It6805Model::setFactoryValue(uint32_t value, bool hundredths, unsigned page) {
    std::lock_guard<std::mutex> lock(mutex_);
    factoryValue_ = value & 0xFFFFFF;
    factoryHundredths_ = hundredths;
    factoryPage_ = page == 4 ? 4 : 0;
}

void It6805Model::setCalibrationStuck(bool stuck) {
    std::lock_guard<std::mutex> lock(mutex_);
    caofStuck_ = stuck;
}

void It6805Model::setFactoryMemoryStuck(bool stuck) {
    std::lock_guard<std::mutex> lock(mutex_);
    otpStuck_ = stuck;
}

void It6805Model::setSyncLost(bool lost) {
    std::lock_guard<std::mutex> lock(mutex_);
    syncLost_ = lost;
}

void It6805Model::setAudio(bool present, uint32_t n, uint32_t cts, uint8_t channelStatusCode) {
    std::lock_guard<std::mutex> lock(mutex_);
    audio_.present = present;
    audio_.n = n;
    audio_.cts = cts;
    audio_.code = channelStatusCode;
}

void It6805Model::setAvMute(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    avMute_ = on;
}

void It6805Model::setColourDepthCode(uint8_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    depthCode_ = code;
}

void It6805Model::setOutputUnstable(bool unstable) {
    std::lock_guard<std::mutex> lock(mutex_);
    outputUnstable_ = unstable;
}

void It6805Model::raiseInterrupt(uint8_t reg, uint8_t bits) {
    std::lock_guard<std::mutex> lock(mutex_);
    const MapRow* row = mapRow(0, reg);
    if (row)
        latches_[reg] |= bits & row->clearOnWrite;
}

bool It6805Model::outputRunning() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !inReset() && outputRunningLocked();
}

unsigned It6805Model::laneCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return 1u << ((regs_[5][0xC0] >> 4) & 0x03);
}

void It6805Model::setEqOutcome(uint8_t interruptBits) {
    std::lock_guard<std::mutex> lock(mutex_);
    eq_.setOutcome(interruptBits);
}

void It6805Model::setEqEngineValues(const std::array<uint8_t, 3>& values) {
    std::lock_guard<std::mutex> lock(mutex_);
    eq_.setEngineValues(values);
}

void It6805Model::setBitErrors(int channel, It6805Equaliser::Errors errors) {
    std::lock_guard<std::mutex> lock(mutex_);
    eq_.setErrors(channel, errors);
}

void It6805Model::setBitErrors(int channel, uint8_t eqValue, It6805Equaliser::Errors errors) {
    std::lock_guard<std::mutex> lock(mutex_);
    eq_.setErrors(channel, eqValue, errors);
}

void It6805Model::setDfeReadings(int channel, int rsIndex, const std::array<uint8_t, 4>& abcd) {
    std::lock_guard<std::mutex> lock(mutex_);
    eq_.setDfe(channel, rsIndex, abcd);
}

void It6805Model::setEqResultFlags(int channel, uint16_t flags) {
    std::lock_guard<std::mutex> lock(mutex_);
    eq_.setResultFlags(channel, flags);
}

void It6805Model::setBitErrorCounterDead(bool dead) {
    std::lock_guard<std::mutex> lock(mutex_);
    eq_.setCounterDead(dead);
}

uint8_t It6805Model::eqValue(int channel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return eq_.value(channel, regs_[3]);
}

unsigned It6805Model::eqEngineStarts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return eq_.engineStarts();
}

unsigned It6805Model::bitErrorMeasurements() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return eq_.measurements();
}

std::vector<std::string> It6805Model::protocolErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

void It6805Model::clearProtocolErrors() {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.clear();
}

}  // namespace sim
