#include "board/sim/plain_register_chip.h"

#include <algorithm>
#include <cstdio>

#include "board/sim/bounded_log.h"

namespace sim {
namespace {

std::string hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

}  // namespace

PlainRegisterChip::PlainRegisterChip(std::string name, std::vector<Range> map,
                                     std::vector<std::pair<uint8_t, uint8_t>> powerOnValues)
    : name_(std::move(name)), map_(std::move(map)), powerOn_(std::move(powerOnValues)) {
    powerOn();
}

// The IT66121's registers that its driver reaches: identification, reset, interrupt status
// and clear, system status, the DDC master and the video output controls.
std::shared_ptr<PlainRegisterChip> PlainRegisterChip::it66121() {
    return std::make_shared<PlainRegisterChip>(
        "IT66121",
        std::vector<Range>{{0x00, 0x03, true},
                           {0x04, 0x04, false},
                           {0x06, 0x07, false},
                           {0x0C, 0x0E, false},
                           {0x10, 0x17, false},
                           {0x61, 0x62, false},
                           {0x64, 0x64, false},
                           {0xEE, 0xEE, false}},
        std::vector<std::pair<uint8_t, uint8_t>>{{0x00, 0x54}, {0x01, 0x49}});
}

// The SiI9022A's TPI registers: video mode, input and output formats, the AVI InfoFrame,
// TMDS and power control, the DE generator, internal-register access and TPI mode select.
std::shared_ptr<PlainRegisterChip> PlainRegisterChip::sii9022() {
    return std::make_shared<PlainRegisterChip>("SiI9022", std::vector<Range>{{0x00, 0x1A, false},
                                                                             {0x1E, 0x1E, false},
                                                                             {0x60, 0x60, false},
                                                                             {0x62, 0x69, false},
                                                                             {0xBC, 0xBE, false},
                                                                             {0xC7, 0xC7, false}});
}

// The CDCE913's whole register space stays open until its set-up is started.
std::shared_ptr<PlainRegisterChip> PlainRegisterChip::cdce913() {
    return std::make_shared<PlainRegisterChip>("CDCE913", std::vector<Range>{{0x00, 0xFF, false}});
}

const PlainRegisterChip::Range* PlainRegisterChip::rangeOf(unsigned index) const {
    for (const Range& r : map_)
        if (index >= r.first && index <= r.last)
            return &r;
    return nullptr;
}

void PlainRegisterChip::powerOn() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::fill(std::begin(regs_), std::end(regs_), 0);
    for (const auto& [index, value] : powerOn_)
        regs_[index] = value;
    pointer_ = 0;
}

bool PlainRegisterChip::received(uint8_t value, bool first, double) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (first) {
        pointer_ = value;
        return true;
    }
    const Range* range = rangeOf(pointer_);
    if (!range)
        errorLocked("write " + hex(value) + " to register " + hex(pointer_) + " outside the map");
    appendBounded(writes_, std::make_pair(static_cast<uint8_t>(pointer_), value));
    if (!range || !range->readOnly)
        regs_[pointer_] = value;
    pointer_ = (pointer_ + 1) & 0xFF;
    return true;
}

uint8_t PlainRegisterChip::sent() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!rangeOf(pointer_))
        errorLocked("read of register " + hex(pointer_) + " outside the map");
    uint8_t value = regs_[pointer_];
    pointer_ = (pointer_ + 1) & 0xFF;
    return value;
}

uint8_t PlainRegisterChip::reg(unsigned index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return index < 256 ? regs_[index] : 0;
}

void PlainRegisterChip::setReg(unsigned index, uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < 256)
        regs_[index] = value;
}

std::vector<std::pair<uint8_t, uint8_t>> PlainRegisterChip::writes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_;
}

void PlainRegisterChip::clearWrites() {
    std::lock_guard<std::mutex> lock(mutex_);
    writes_.clear();
}

std::vector<std::string> PlainRegisterChip::protocolErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

void PlainRegisterChip::clearProtocolErrors() {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.clear();
}

void PlainRegisterChip::errorLocked(const std::string& text) {
    appendBounded(errors_, text, 1000);
}

}  // namespace sim
