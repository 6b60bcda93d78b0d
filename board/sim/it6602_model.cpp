#include "board/sim/it6602_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "board/sim/bounded_log.h"

namespace sim {
namespace {

constexpr uint8_t kIdentity[4] = {0x54, 0x49, 0x02, 0x68};
constexpr uint8_t kBankRegister = 0x0F;

enum class K : uint8_t { Rw, Ro, W1c, Counter };

struct MapRow {
    uint8_t bank;
    uint8_t first;
    uint8_t last;
    K kind;
};

// Every register of the chip (0x0F, the bank register, is in every bank and not listed).
constexpr MapRow kRegisterMap[] = {
    {0, 0x00, 0x03, K::Ro},      {0, 0x05, 0x09, K::W1c},     {0, 0x0A, 0x0C, K::Ro},
    {0, 0x10, 0x12, K::Rw},      {0, 0x16, 0x18, K::Rw},      {0, 0x1D, 0x1E, K::Rw},
    {0, 0x20, 0x20, K::Rw},      {0, 0x22, 0x22, K::Rw},      {0, 0x25, 0x2B, K::Rw},
    {0, 0x31, 0x31, K::Rw},      {0, 0x35, 0x35, K::Rw},      {0, 0x37, 0x38, K::Rw},
    {0, 0x3A, 0x3A, K::Rw},      {0, 0x3D, 0x42, K::Rw},      {0, 0x49, 0x49, K::Rw},
    {0, 0x4B, 0x4B, K::Rw},      {0, 0x4D, 0x4D, K::Rw},      {0, 0x4E, 0x4E, K::Ro},
    {0, 0x50, 0x54, K::Rw},      {0, 0x58, 0x59, K::Rw},      {0, 0x60, 0x68, K::Rw},
    {0, 0x6A, 0x6A, K::Rw},      {0, 0x71, 0x71, K::Rw},      {0, 0x73, 0x74, K::Rw},
    {0, 0x77, 0x77, K::Rw},      {0, 0x7A, 0x7B, K::Rw},      {0, 0x7D, 0x7E, K::Rw},
    {0, 0x84, 0x85, K::Rw},      {0, 0x87, 0x87, K::Rw},      {0, 0x90, 0x92, K::Ro},
    {0, 0x99, 0x9A, K::Ro},      {0, 0x9C, 0xA8, K::Ro},      {0, 0xAA, 0xAC, K::Ro},
    {0, 0xB2, 0xB3, K::W1c},     {0, 0xB4, 0xB6, K::Counter}, {0, 0xB7, 0xB8, K::W1c},
    {0, 0xB9, 0xBB, K::Counter}, {0, 0xC0, 0xC0, K::Rw},      {0, 0xD0, 0xD0, K::W1c},
    {1, 0x10, 0x13, K::Rw},      {1, 0x28, 0x2C, K::Rw},      {1, 0x70, 0x84, K::Rw},
    {1, 0x8D, 0x9F, K::Rw},      {1, 0xB0, 0xB2, K::Rw},      {1, 0xB5, 0xB6, K::Rw},
    {1, 0xB8, 0xB9, K::Rw},      {1, 0xBC, 0xBC, K::Rw},      {1, 0xC0, 0xC2, K::Rw},
    {1, 0xC5, 0xC6, K::Rw},      {1, 0xC9, 0xC9, K::Rw},      {1, 0xCC, 0xCC, K::Rw},
    {1, 0xD0, 0xD0, K::Ro},      {1, 0xD5, 0xD8, K::Ro},      {1, 0xDD, 0xDF, K::Ro},
    {2, 0x14, 0x19, K::Ro},      {2, 0x30, 0x4E, K::Ro},      {2, 0xC0, 0xC2, K::Ro},
};

// Bank 0 registers the link and the measurements fill.
constexpr uint8_t kInterrupts[] = {0x05, 0x06, 0x07, 0x08, 0x09, 0xD0};
constexpr uint8_t kPortStatus0 = 0x0A, kPortStatus1 = 0x0B, kPllStatus = 0x0C;
constexpr uint8_t kReceiverReset = 0x10;
constexpr uint8_t kPortSelect = 0x51;
constexpr uint8_t kEqRestart[2] = {0x22, 0x3A};
constexpr uint8_t kEqControl[2] = {0x26, 0x3E};
constexpr uint8_t kEqValue[2] = {0x27, 0x3F};
constexpr uint8_t kOscillatorTrigger = 0x73, kOscillatorCount = 0x61;
constexpr uint8_t kPixelClockTrigger = 0x77;
constexpr uint8_t kEccFlags[2] = {0xB2, 0xB7};
constexpr uint8_t kEqInterrupt = 0xD0;
constexpr uint8_t kEqDone[2] = {0x10, 0x40}, kEqFail[2] = {0x20, 0x80};
// Bank 1 and bank 2.
constexpr uint8_t kHotPlug = 0xB0;
constexpr uint8_t kAmpValid[2] = {0xD0, 0xD8}, kAmplitude[2] = {0xD5, 0xDD};
constexpr uint8_t kAvi = 0x14, kVendorFrame = 0x30, kPixelClock = 0xC0;
constexpr unsigned kAviBytes = 6, kVendorBytes = 0x4E - 0x30 + 1;
constexpr int kRetryReads = 4;

// Pixel period: oscillator cycles over 128 pixel clocks.
constexpr uint32_t kPixelPeriodKHz = 3162000;

bool bit(uint8_t value, uint8_t mask) {
    return (value & mask) != 0;
}

// AVI infoframe checksum and data bytes 1..5 as the source sends them.
std::array<uint8_t, kAviBytes> aviOf(const VideoTiming& t) {
    std::array<uint8_t, kAviBytes> avi{};
    const std::array<uint8_t, 5> data = t.aviData();
    std::copy(data.begin(), data.end(), avi.begin() + 1);
    unsigned sum = 0x82 + 0x02 + 0x0D;
    for (unsigned i = 1; i < kAviBytes; ++i)
        sum += avi[i];
    avi[0] = static_cast<uint8_t>(0x100 - (sum & 0xFF));
    return avi;
}

std::string hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

}  // namespace

It6602Model::It6602Model(int input, std::shared_ptr<HdmiSources> sources)
    : input_(input), sources_(std::move(sources)) {
    std::copy(std::begin(kIdentity), std::end(kIdentity), regs_[0].begin());
}

It6602Model::Kind It6602Model::kindOf(int bank, uint8_t index) {
    if (index == kBankRegister)
        return Kind::Rw;
    for (const MapRow& row : kRegisterMap) {
        if (row.bank != bank || index < row.first || index > row.last)
            continue;
        switch (row.kind) {
            case K::Rw:
                return Kind::Rw;
            case K::Ro:
                return Kind::Ro;
            case K::W1c:
                return Kind::W1c;
            case K::Counter:
                return Kind::Counter;
        }
    }
    return Kind::None;
}

// The bank register itself lives in bank 0 and is reached from every bank.
int It6602Model::bankOf(uint8_t index) const {
    return index == kBankRegister ? 0 : regs_[0][kBankRegister] & 0x03;
}

void It6602Model::error(const char* what, int bank, uint8_t index) {
    appendBounded(errors_, std::string(what) + " bank " + std::to_string(bank) + " register " +
                               hex(index) + " (port 0 on input " + std::to_string(input_) + ")");
}

uint8_t It6602Model::reg(int bank, uint8_t index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (bank < 0 || bank >= kBanks)
        return 0;
    return index == kBankRegister ? regs_[0][index] : regs_[bank][index];
}

void It6602Model::setReg(int bank, uint8_t index, uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (bank < 0 || bank >= kBanks || index == kBankRegister || kindOf(bank, index) != Kind::Rw)
        return;
    if (bank == 0 && index == kPixelClockTrigger)
        value &= static_cast<uint8_t>(~0x01);  // reads 0
    at(bank, index) = value;
}

std::vector<It6602Model::Write> It6602Model::writes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_;
}

void It6602Model::clearWrites() {
    std::lock_guard<std::mutex> lock(mutex_);
    writes_.clear();
}

std::vector<std::string> It6602Model::protocolErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

void It6602Model::clearProtocolErrors() {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.clear();
}

void It6602Model::setAmplitudes(int port, std::array<uint8_t, 3> amplitudes, bool valid) {
    std::lock_guard<std::mutex> lock(mutex_);
    eq_[port & 1].amplitudes = amplitudes;
    eq_[port & 1].valid = valid;
}

void It6602Model::setEqErrors(int port, uint8_t eqValue, int polls) {
    std::lock_guard<std::mutex> lock(mutex_);
    eq_[port & 1].errors[eqValue] = polls;
}

void It6602Model::setVendorInfoFrame(std::vector<uint8_t> frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    frame.resize(std::min<size_t>(frame.size(), kVendorBytes));
    vendorFrame_ = std::move(frame);
    vendorSent_ = false;
    remeasure_ = true;
}

void It6602Model::setMeasurementsZero(bool zero) {
    std::lock_guard<std::mutex> lock(mutex_);
    measurementsZero_ = zero;
    remeasure_ = true;
}

void It6602Model::setSyncLost(bool lost) {
    std::lock_guard<std::mutex> lock(mutex_);
    syncLost_ = lost;
}

void It6602Model::finishAutoEq() {
    std::lock_guard<std::mutex> lock(mutex_);
    runAutoEq(0);
}

void It6602Model::setOscillatorCount(uint32_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    oscillator_ = count & 0xFFFFFF;
}

void It6602Model::raiseInterrupt(uint8_t index, uint8_t bits) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (kindOf(0, index) == Kind::W1c)
        at(0, index) |= bits;
}

void It6602Model::powerOn() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& bank : regs_)
        bank.fill(0);
    std::copy(std::begin(kIdentity), std::end(kIdentity), regs_[0].begin());
    pointer_ = 0;
    link_ = Link{};
    vendorSent_ = false;
    remeasure_ = true;
    for (EqScript& eq : eq_) {
        eq.remaining = 0;
        eq.failPending = false;
    }
    if (sources_)
        sources_->setHotPlug(input_, false);
    refresh();
}

void It6602Model::started(bool) {
    std::lock_guard<std::mutex> lock(mutex_);
    refresh();
}

bool It6602Model::received(uint8_t value, bool first, double) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (first) {
        pointer_ = value;
        return true;
    }
    uint8_t index = static_cast<uint8_t>(pointer_);
    pointer_ = (pointer_ + 1) & 0xFF;
    writeRegister(bankOf(index), index, value);
    refresh();
    return true;
}

uint8_t It6602Model::sent() {
    std::lock_guard<std::mutex> lock(mutex_);
    uint8_t index = static_cast<uint8_t>(pointer_);
    pointer_ = (pointer_ + 1) & 0xFF;
    return readRegister(bankOf(index), index);
}

void It6602Model::writeRegister(int bank, uint8_t index, uint8_t value) {
    Kind kind = bank < kBanks ? kindOf(bank, index) : Kind::None;
    switch (kind) {
        case Kind::None:
            error("write outside the register map:", bank, index);
            return;
        case Kind::Ro:
            error("write to a read-only register:", bank, index);
            return;
        case Kind::W1c:
            at(bank, index) &= static_cast<uint8_t>(~value);
            break;
        case Kind::Counter:
            at(bank, index) = 0;
            break;
        case Kind::Rw:
            at(bank, index) = value;
            afterWrite(bank, index, value);
            break;
    }
    appendBounded(writes_, Write{static_cast<uint8_t>(bank), index, value});
}

uint8_t It6602Model::readRegister(int bank, uint8_t index) {
    if (index == kBankRegister)
        return regs_[0][index];
    if (bank >= kBanks || kindOf(bank, index) == Kind::None) {
        error("read outside the register map:", bank, index);
        return 0xFF;
    }
    if (bank == 0 && index == kEqInterrupt)
        retryAutoEq(0);
    for (int port = 0; port < 2 && bank == 0; ++port) {
        EqScript& eq = eq_[port];
        if (index != kEccFlags[port] || eq.remaining <= 0 || !manualEq(port))
            continue;
        at(0, index) |= 0x40;
        --eq.remaining;
    }
    return at(bank, index);
}

void It6602Model::afterWrite(int bank, uint8_t index, uint8_t value) {
    if (bank == 1 && index == kHotPlug && sources_)
        sources_->setHotPlug(input_, hotPlugHigh());
    if (bank != 0)
        return;
    for (int port = 0; port < 2; ++port) {
        if (index == kEqRestart[port] && bit(value, 0x04) && !manualEq(port))
            runAutoEq(port);
        if (index == kEqValue[port]) {
            auto found = eq_[port].errors.find(value);
            eq_[port].remaining = found == eq_[port].errors.end() ? 0 : found->second;
        }
    }
    if (index == kOscillatorTrigger && bit(value, 0x08))
        latchOscillator();
    if (index == kPixelClockTrigger && bit(value, 0x01)) {
        latchPixelClock();
        at(0, index) = static_cast<uint8_t>(value & ~0x01);
    }
}

bool It6602Model::hotPlugHigh() const {
    return (regs_[1][kHotPlug] & 0x03) == 0x03;
}

bool It6602Model::inReceiverReset() const {
    return bit(regs_[0][kReceiverReset], 0x01);
}

bool It6602Model::manualEq(int port) const {
    return bit(regs_[0][kEqControl[port]], 0x20);
}

It6602Model::Link It6602Model::linkNow(const std::optional<VideoTiming>& source) const {
    Link link;
    link.fiveV = source.has_value();
    link.clock = link.fiveV && hotPlugHigh();
    link.hdmi = link.clock && !source->dvi;
    link.scdt = link.clock && !bit(regs_[0][kPortSelect], 0x01) && !syncLost_;
    return link;
}

void It6602Model::refresh() {
    std::optional<VideoTiming> source = sources_ ? sources_->source(input_) : std::nullopt;
    uint64_t generation = sources_ ? sources_->generation(input_) : 0;
    if (inReceiverReset()) {
        for (uint8_t index : kInterrupts)
            at(0, index) = 0;
        link_ = Link{};
        writeStatus(link_);
        writeTiming(std::nullopt, false);
        std::fill_n(regs_[2].begin() + kAvi, kAviBytes, 0);
        vendorSent_ = false;
        remeasure_ = true;
        generation_ = generation;
        return;
    }
    Link now = linkNow(source);
    bool newTiming = generation != generation_;
    bool changed = newTiming || !(now == link_) || remeasure_;
    raiseLinkChanges(now, newTiming && link_.clock && now.clock);
    link_ = now;
    generation_ = generation;
    remeasure_ = false;
    if (changed) {
        writeStatus(now);
        writeTiming(source, now.clock);
        writeInfoFrames(source, now.hdmi);
    }
}

void It6602Model::raiseLinkChanges(const Link& now, bool newTiming) {
    uint8_t port0 = 0;
    if (now.fiveV != link_.fiveV)
        port0 |= 0x01;
    bool clockChange = now.clock != link_.clock || newTiming;
    if (clockChange) {
        port0 |= 0x02 | 0x04;
        if (!now.clock || newTiming)
            port0 |= 0x08;
        if (now.clock)
            port0 |= 0x10;
    }
    if (now.hdmi != link_.hdmi)
        port0 |= 0x20;
    at(0, 0x05) |= port0;
    if (now.scdt != link_.scdt || (newTiming && now.scdt))
        at(0, 0x07) |= 0x02;
    if (clockChange && now.clock)
        runAutoEq(0);
    if (!now.clock)
        eq_[0].failPending = false;
}

void It6602Model::writeStatus(const Link& now) {
    at(0, kPortStatus0) = static_cast<uint8_t>(now.fiveV | now.clock << 3 | now.hdmi << 4 |
                                               now.clock << 6 | now.scdt << 7);
    at(0, kPortStatus1) = 0;
    at(0, kPllStatus) = now.clock ? 0x40 : 0x00;
    bool audio = now.hdmi && now.scdt;
    at(0, 0xAA) = audio ? 0x80 : 0x00;
    at(0, 0xAB) = audio ? 2 : 0;
    at(0, 0xAC) = audio ? 0x02 : 0;
}

void It6602Model::writeTiming(const std::optional<VideoTiming>& source, bool clock) {
    for (int index : {0x90, 0x91, 0x92, 0x99, 0x9A})
        at(0, static_cast<uint8_t>(index)) = 0;
    for (unsigned index = 0x9C; index <= 0xA8; ++index)
        at(0, static_cast<uint8_t>(index)) = 0;
    pixelClockKHz_ = 0;
    if (!clock || !source || measurementsZero_ || source->pixelClockKHz == 0)
        return;
    const VideoTiming& t = *source;
    pixelClockKHz_ = t.pixelClockKHz;
    at(0, 0x9A) = static_cast<uint8_t>(std::min<uint32_t>(255, kPixelPeriodKHz / t.pixelClockKHz));
    // The widest range whose divider still fits in 8 bits.
    double tmdsMHz = t.pixelClockKHz / 1000.0;
    uint8_t range = 12288 / tmdsMHz <= 255 ? 2 : (6144 / tmdsMHz <= 255 ? 1 : 0);
    double divider = 3072.0 * (1 << range) / tmdsMHz;
    at(0, 0x90) = range;
    at(0, 0x91) = static_cast<uint8_t>(std::min<long>(255, std::lround(divider)));
    at(0, 0x99) = static_cast<uint8_t>((t.interlaced ? 0x02 : 0x00) | 4 << 4);
    uint32_t hTotal = t.hTotal();
    uint32_t vTotal = t.vActive + t.vFront + t.vSync + t.vBack;  // one field when interlaced
    at(0, 0x9C) = static_cast<uint8_t>(hTotal);
    at(0, 0x9D) = static_cast<uint8_t>((hTotal >> 8) & 0x3F);
    at(0, 0x9E) = static_cast<uint8_t>(t.hActive);
    at(0, 0x9F) = static_cast<uint8_t>((t.hActive >> 8) & 0x3F);
    at(0, 0xA0) = static_cast<uint8_t>(t.hSync);
    at(0, 0xA1) = static_cast<uint8_t>(((t.hSync >> 8) & 0x01) | ((t.hFront >> 8) & 0x0F) << 4);
    at(0, 0xA2) = static_cast<uint8_t>(t.hFront);
    at(0, 0xA3) = static_cast<uint8_t>(vTotal);
    at(0, 0xA4) = static_cast<uint8_t>(((vTotal >> 8) & 0x0F) | ((t.vActive >> 8) & 0x0F) << 4);
    at(0, 0xA5) = static_cast<uint8_t>(t.vActive);
    at(0, 0xA6) = static_cast<uint8_t>(t.vSync & 0x1F);
    at(0, 0xA7) = static_cast<uint8_t>(t.vFront & 0x3F);
    at(0, 0xA8) = static_cast<uint8_t>((t.hSyncPositive ? 0x01 : 0) | (t.vSyncPositive ? 0x08 : 0));
}

// The infoframe buffers keep the last frame received; a received frame that differs from it
// raises its interrupt.
void It6602Model::writeInfoFrames(const std::optional<VideoTiming>& source, bool hdmi) {
    if (!hdmi || !source) {
        vendorSent_ = false;
        return;
    }
    std::array<uint8_t, kAviBytes> avi = aviOf(*source);
    if (!std::equal(avi.begin(), avi.end(), regs_[2].begin() + kAvi)) {
        std::copy(avi.begin(), avi.end(), regs_[2].begin() + kAvi);
        at(0, 0x09) |= 0x01;
    }
    if (vendorFrame_.empty() || vendorSent_)
        return;
    std::fill_n(regs_[2].begin() + kVendorFrame, kVendorBytes, 0);
    std::copy(vendorFrame_.begin(), vendorFrame_.end(), regs_[2].begin() + kVendorFrame);
    vendorSent_ = true;
    at(0, 0x08) |= 0x04;
}

void It6602Model::runAutoEq(int port) {
    EqScript& eq = eq_[port];
    if (port == 1)  // nothing on the wire of port 1: no clock to equalise
        return;
    at(1, kAmpValid[port]) = eq.valid ? 0x3F : 0x00;
    for (int channel = 0; channel < 3; ++channel)
        at(1, static_cast<uint8_t>(kAmplitude[port] + channel)) = eq.amplitudes[channel];
    at(0, kEqInterrupt) |= eq.valid ? kEqDone[port] : kEqFail[port];
    eq.failPending = !eq.valid;
    eq.readsSinceFail = 0;
}

// A failed automatic equalisation is retried on its own: "failed" rises again at the
// fourth read of the interrupt register after it was cleared.
void It6602Model::retryAutoEq(int port) {
    EqScript& eq = eq_[port];
    if (!eq.failPending)
        return;
    if (manualEq(port) || !link_.clock) {
        eq.failPending = false;
        return;
    }
    if (bit(at(0, kEqInterrupt), kEqFail[port]) || ++eq.readsSinceFail < kRetryReads)
        return;
    at(0, kEqInterrupt) |= kEqFail[port];
    eq.readsSinceFail = 0;
}

void It6602Model::latchPixelClock() {
    uint32_t kHz = std::min<uint32_t>(pixelClockKHz_, 0xFFFFF);
    at(2, kPixelClock) = static_cast<uint8_t>((kHz & 0x0F) << 4);
    at(2, kPixelClock + 1) = static_cast<uint8_t>(kHz >> 12);
    at(2, kPixelClock + 2) = static_cast<uint8_t>(kHz >> 4);
}

void It6602Model::latchOscillator() {
    at(0, kOscillatorCount) = static_cast<uint8_t>(oscillator_);
    at(0, kOscillatorCount + 1) = static_cast<uint8_t>(oscillator_ >> 8);
    at(0, kOscillatorCount + 2) = static_cast<uint8_t>(oscillator_ >> 16);
}

}  // namespace sim
