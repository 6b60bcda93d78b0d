#include "board/sim/spi_bus.h"
#include "board/sim/bounded_log.h"

#include <algorithm>
#include <cstdio>

#include "board/sim/c331_model.h"
#include "board/sim/fpga_model.h"
#include "board/sim/soc_window.h"
#include "board/sim/spi_nor_flash.h"

namespace sim {
namespace {

Registration registration("spi-bus", [] { return std::make_shared<SpiBus>(); });

constexpr uint16_t kHigh = 16;

// Power-on levels of the pads the bus looks at (pull-ups on the board).
constexpr struct {
    uint32_t offset;
    uint16_t level;
} kPowerOn[] = {
    {SpiBus::kRoute0, kHigh},         {SpiBus::kRoute1, kHigh},
    {SpiBus::kFlashSelect[0], kHigh}, {SpiBus::kFlashSelect[1], kHigh},
    {SpiBus::kFpgaCommand[1], kHigh},
};

// The device each node's chip select reaches.
constexpr SpiTarget kNodeTarget[] = {SpiTarget::C331, SpiTarget::Fpga0, SpiTarget::Fpga1,
                                     SpiTarget::Flash0, SpiTarget::Flash1};

SpiTarget nodeTarget(int chipSelect) {
    if (chipSelect < 0 || chipSelect >= static_cast<int>(std::size(kNodeTarget)))
        return SpiTarget::None;
    return kNodeTarget[chipSelect];
}

}  // namespace

const char* targetName(SpiTarget target) {
    static const char* const names[] = {"c331", "FPGA 0", "FPGA 1", "flash 0", "flash 1", "none"};
    return names[static_cast<int>(target)];
}

SpiBus::SpiBus() : window_(get<SocWindow>("/dev/mem")) {
    for (const auto& pad : kPowerOn)
        if (window_->changes(pad.offset).empty())
            window_->setWord(pad.offset, pad.level);
}

bool SpiBus::high(uint32_t offset) const {
    return window_->word(offset) & kHigh;
}

SpiTarget SpiBus::routed() const {
    bool r0 = high(kRoute0), r1 = high(kRoute1);
    if (r0 && r1)
        return SpiTarget::C331;
    if (r0)
        return high(kFlashSelect[0]) ? SpiTarget::Fpga0 : SpiTarget::Flash0;
    if (r1)
        return high(kFlashSelect[1]) ? SpiTarget::Fpga1 : SpiTarget::Flash1;
    return SpiTarget::None;
}

void SpiBus::fail(int chipSelect, const std::string& what) {
    appendBounded(errors_, BusError{nowMs(), chipSelect, what});
}

void SpiBus::deliver(SpiTarget target, const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx) {
    switch (target) {
        case SpiTarget::C331:
            if (!c331_)
                c331_ = get<C331Model>("c331");
            c331_->transfer(tx, rx);
            return;
        case SpiTarget::Fpga0:
        case SpiTarget::Fpga1: {
            int f = target == SpiTarget::Fpga0 ? 0 : 1;
            if (!fpga_[f])
                fpga_[f] = get<FpgaModel>(f == 0 ? "fpga0" : "fpga1");
            fpga_[f]->transfer(high(kFpgaCommand[f]), tx, rx);
            return;
        }
        case SpiTarget::Flash0:
        case SpiTarget::Flash1: {
            int f = target == SpiTarget::Flash0 ? 0 : 1;
            if (!flash_[f])
                flash_[f] = get<SpiNorFlash>(f == 0 ? "fpga0-flash" : "fpga1-flash");
            flash_[f]->transfer(tx, rx);
            return;
        }
        case SpiTarget::None:
            return;
    }
}

void SpiBus::message(int chipSelect, uint8_t mode, const std::vector<uint8_t>& tx,
                     std::vector<uint8_t>& rx, uint32_t speedHz, double busNs) {
    std::lock_guard<std::mutex> lock(mutex_);
    rx.assign(tx.size(), 0xFF);
    SpiTarget target = routed();
    SpiTarget expected = nodeTarget(chipSelect);
    char what[96];
    bool delivered = false;
    if (target == SpiTarget::None) {
        std::snprintf(what, sizeof what, "message on .%d: no device routed", chipSelect);
        fail(chipSelect, what);
    } else if (target != expected) {
        std::snprintf(what, sizeof what, "message on .%d while the bus is routed to %s", chipSelect,
                      targetName(target));
        fail(chipSelect, what);
    } else if (mode != 3) {
        std::snprintf(what, sizeof what, "message on .%d in mode %d", chipSelect, mode);
        fail(chipSelect, what);
    } else {
        deliver(target, tx, rx);
        delivered = true;
    }
    SpiTarget counted = delivered ? target : SpiTarget::None;
    Counters& c = counters_[static_cast<int>(counted)];
    c.messages++;
    c.bytes += tx.size();
    c.busNs += busNs;
    size_t head = std::min(tx.size(), kHeadBytes);
    appendBounded(messages_,
                  Message{nowMs(), chipSelect, counted, speedHz, static_cast<uint32_t>(tx.size()),
                          std::vector<uint8_t>(tx.begin(), tx.begin() + head)});
}

SpiBus::Counters SpiBus::counters(SpiTarget target) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counters_[static_cast<int>(target)];
}

std::vector<SpiBus::BusError> SpiBus::errors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

std::vector<SpiBus::Message> SpiBus::messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

void SpiBus::clearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
    for (Counters& c : counters_)
        c = Counters();
}

std::vector<std::string> SpiBus::protocolErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const BusError& e : errors_) {
        char head[64];
        std::snprintf(head, sizeof head, "chip select %d at %.3f ms: ", e.chipSelect, e.timeMs);
        out.push_back(head + e.what);
    }
    return out;
}

void SpiBus::clearProtocolErrors() {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.clear();
}

}  // namespace sim
