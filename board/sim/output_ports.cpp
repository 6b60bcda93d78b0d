#include "board/sim/output_ports.h"
#include "board/sim/bounded_log.h"

#include <QJsonObject>
#include <algorithm>
#include <cstdio>

#include "board/sim/sim.h"

namespace sim {
namespace {

// Transmit side per pair: RAM block, low length register.
constexpr uint8_t kTxBlock[OutputPorts::kPairs] = {3, 5, 7, 9, 11, 13, 15, 17};
constexpr uint8_t kTxLength[OutputPorts::kPairs] = {26, 134, 136, 138, 154, 155, 156, 157};
constexpr uint8_t kTxHigh[2] = {27, 158};
constexpr uint8_t kStrobe[2] = {130, 146};
constexpr uint8_t kSelect[2] = {132, 148};
constexpr uint8_t kStatus[2] = {129, 145};
constexpr uint8_t kHold[2] = {131, 147};

// Receive side per buffer: RAM block, low length register; register 25 holds the high
// bits.
constexpr uint8_t kRxBlock[OutputPorts::kBuffers] = {2, 4, 6};
constexpr uint8_t kRxLength[OutputPorts::kBuffers] = {24, 133, 135};
constexpr uint8_t kRxHigh = 25;
constexpr int kAnsweringPorts = 6;
// What a receive buffer takes of an answer: its length field has 10 bits.
constexpr size_t kRxBytes = 1024;

// Registers the program reads and never writes.
constexpr uint8_t kReadOnly[] = {24, 25, 129, 133, 135, 137, 145, 149, 150, 151, 152, 153};
constexpr uint8_t kPlain[] = {26, 27, 132, 134, 136, 138, 148, 154, 155, 156, 157, 158};

// A card packet: header and check byte at least.
constexpr size_t kHeader = 11;
constexpr uint16_t kSearchAddress = 0x0FFE;
constexpr uint16_t kCardMask = 0x0FFF;
constexpr uint8_t kSearchOpcode = 0x10;
constexpr uint8_t kSearchKind = 0xAA;
constexpr size_t kSearchAnswer = 30;
// The multifunction card's address bit.
constexpr uint16_t kMultifunctionBit = 0x4000;

template <size_t N>
bool in(const uint8_t (&list)[N], uint8_t value) {
    return std::find(list, list + N, value) != list + N;
}

uint16_t u16At(const std::vector<uint8_t>& f, size_t at) {
    return static_cast<uint16_t>(f[at] | f[at + 1] << 8);
}

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

}  // namespace

QJsonArray OutputPorts::sceneOutputs() {
    QJsonValue outputs = scene().value("outputs");
    if (outputs.isArray())
        return outputs.toArray();
    return QJsonArray{QJsonObject{{"port", 1}, {"fpga", 0}, {"cards", 1}}};
}

OutputPorts::OutputPorts(int fpga) : fpga_(fpga) {
    for (const QJsonValue& v : sceneOutputs()) {
        QJsonObject entry = v.toObject();
        const int number = entry.value("port").toInt(0);
        if (entry.value("fpga").toInt(0) != fpga || number < 1 || number > kPorts)
            continue;
        const int port = number - 1;
        Chain& c = chains_[port];
        const int count = std::max(0, entry.value("cards").toInt(1));
        for (int i = 0; i < count; ++i)
            c.cards.emplace_back(port, i);
        c.multifunction = entry.value("multifunction").toBool(false);
        c.stuckBusy = entry.value("busy").toBool(false);
        c.configId = static_cast<uint32_t>(entry.value("configId").toDouble(0));
        c.recovery = static_cast<uint8_t>(entry.value("recovery").toInt(0xFF));
        for (const QJsonValue& f : entry.value("faults").toArray()) {
            QJsonObject fault = f.toObject();
            const int card = fault.value("card").toInt(-1);
            if (card < 0 || card >= count)
                continue;
            CardFaults& faults = c.cards[card].faults;
            faults.silent = fault.value("silent").toBool(false);
            faults.duplicate = fault.value("duplicate").toBool(false);
            faults.badCheck = fault.value("badCheck").toBool(false);
            faults.lateMs = fault.value("lateMs").toDouble(0);
        }
    }
}

bool OutputPorts::ownsRegister(uint8_t number) const {
    return in(kReadOnly, number) || in(kPlain, number) || in(kStrobe, number) || in(kHold, number);
}

bool OutputPorts::ownsBlock(uint8_t number) const {
    return number >= 2 && number <= 17;
}

bool OutputPorts::busy(int pair) const {
    return chains_[2 * pair].stuckBusy || chains_[2 * pair + 1].stuckBusy;
}

uint8_t OutputPorts::readRegister(uint8_t number) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int half = 0; half < 2; ++half) {
        if (number == kStatus[half]) {
            uint8_t v = 0;
            for (int k = 0; k < 4; ++k)
                if (busy(4 * half + k))
                    v |= static_cast<uint8_t>(2u << (2 * k));
            if (half == 0)
                for (int b = 0; b < kBuffers; ++b)
                    if (buffers_[b].full)
                        v |= static_cast<uint8_t>(1u << (2 * b));
            return v;
        }
        if (number == kHold[half]) {
            uint8_t v = 0;
            if (half == 0)
                for (int b = 0; b < kBuffers; ++b)
                    if (buffers_[b].full)
                        v |= static_cast<uint8_t>(1u << b);
            return v;
        }
        if (number == kStrobe[half])
            return 0;  // strobes and release bits do not stay set
    }
    for (int b = 0; b < kBuffers; ++b)
        if (number == kRxLength[b])
            return buffers_[b].full ? static_cast<uint8_t>(buffers_[b].frame.size() - 1) : 0;
    if (number == kRxHigh) {
        uint8_t v = 0;
        for (int b = 0; b < kBuffers; ++b)
            if (buffers_[b].full)
                v |= static_cast<uint8_t>(((buffers_[b].frame.size() - 1) >> 8 & 3) << (2 * b));
        return v;
    }
    return in(kPlain, number) ? regs_[number] : 0;
}

void OutputPorts::writeRegister(uint8_t number, uint8_t mask, uint8_t value, uint16_t links,
                                double nowMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (in(kReadOnly, number)) {
        error("write to register " + std::to_string(number) + ", which the FPGA drives");
        return;
    }
    const uint8_t set = value & mask;
    const uint8_t cleared = static_cast<uint8_t>(~value & mask);
    for (int half = 0; half < 2; ++half) {
        if (number == kStrobe[half]) {
            if (half == 0)
                releaseStrobe(set & 0x0F);
            else if (set & 0x0F)
                error("give-back of a receive buffer of ports 8..15, which has none");
            for (int k = 0; k < 4; ++k)
                if (set & (0x10 << k))
                    strobe(4 * half + k, links, nowMs);
            return;
        }
        if (number == kHold[half]) {
            if (half == 0)
                releaseDone(cleared & 0x0F);
            return;
        }
    }
    for (int k = 0; k < kPairs; ++k) {
        const bool length =
            number == kTxLength[k] || (number == kTxHigh[k / 4] && (mask >> (2 * (k % 4)) & 3));
        if (length && busy(k))
            error("length of pair " + std::to_string(k) + " written while it sends");
    }
    regs_[number] = static_cast<uint8_t>((regs_[number] & ~mask) | set);
}

void OutputPorts::releaseStrobe(uint8_t bits) {
    for (int b = 0; b < 4; ++b) {
        if (!(bits & (1u << b)))
            continue;
        if (b >= kBuffers || !buffers_[b].full) {
            error("give-back of receive buffer " + std::to_string(b) + ", which holds nothing");
            continue;
        }
        buffers_[b].releasing = true;
    }
}

void OutputPorts::releaseDone(uint8_t cleared) {
    for (int b = 0; b < kBuffers; ++b) {
        Buffer& buffer = buffers_[b];
        if (!(cleared & (1u << b)) || !buffer.releasing)
            continue;
        buffer.releasing = false;
        buffer.full = false;
        buffer.frame.clear();
    }
    land();
}

void OutputPorts::strobe(int pair, uint16_t links, double nowMs) {
    const std::string name = "pair " + std::to_string(pair);
    if (busy(pair)) {
        error("send strobe of " + name + " while it sends");
        return;
    }
    const uint8_t select = regs_[kSelect[pair / 4]];
    const uint8_t pairBits = static_cast<uint8_t>(3u << (2 * (pair % 4)));
    if ((select & pairBits) == 0 || (select & (select - 1)) != 0) {
        error("send strobe of " + name + " with port select " + hex(select));
        return;
    }
    const int port = (pair / 4) * 8 + __builtin_ctz(select);
    const uint32_t last =
        regs_[kTxLength[pair]] | ((regs_[kTxHigh[pair / 4]] >> (2 * (pair % 4)) & 3u) << 8);
    const uint32_t n = last + 1;
    if (n > loaded_[pair]) {
        error("frame of " + std::to_string(n) + " bytes sent on " + name + " with " +
              std::to_string(loaded_[pair]) + " loaded");
        return;
    }
    loaded_[pair] = 0;
    const Frame& ram = block(kTxBlock[pair]);
    deliver(port, Frame(ram.begin(), ram.begin() + n), links & (1u << port), nowMs);
}

void OutputPorts::deliver(int port, const Frame& frame, bool linked, double nowMs) {
    appendBounded(sent_, Sent{nowMs, port, linked, frame});
    Chain& c = chains_[port];
    if (!linked || c.cards.empty())
        return;
    const std::string where = " on port " + std::to_string(port);
    if (frame.size() < kHeader) {
        error("frame of " + std::to_string(frame.size()) + " bytes" + where);
        return;
    }
    if (xorOf(frame.data(), frame.size() - 1) != frame.back()) {
        error("frame with a bad check byte" + where);
        return;
    }
    const uint16_t destination = u16At(frame, 0);
    if ((destination & 0xC000) == kMultifunctionBit) {
        if (c.multifunction && ((destination >> 12) & 3) == (port & 3))
            multifunctionAnswer(port, frame, nowMs);
        return;
    }
    if (destination & 0xC000)
        return;
    const uint16_t index = destination & kCardMask;
    if (index == kSearchAddress && frame[9] == kSearchOpcode && frame[5] == kSearchKind) {
        search(port, frame, nowMs);
        return;
    }
    const bool all = index >= kSearchAddress;
    if (!all && index >= c.cards.size())
        return;
    for (ReceivingCard& card : c.cards) {
        if (!all && card.index() != index)
            continue;
        const std::string objection = card.take(frame);
        if (!objection.empty())
            error("card " + std::to_string(card.index()) + where + ": " + objection);
    }
    // A packet to the whole chain is answered once, by its last card.
    const ReceivingCard& answering = all ? c.cards.back() : c.cards[index];
    if (!answering.faults.silent)
        schedule(port, answering.answer(frame), answering.faults, nowMs);
}

void OutputPorts::search(int port, const Frame& request, double nowMs) {
    const Chain& c = chains_[port];
    Frame out(kSearchAnswer, 0);
    std::copy(request.begin(), request.begin() + 10, out.begin());
    out[0] = request[2];
    out[1] = request[3];
    out[8] = 0;
    out[10] = 0;  // status
    out[11] = static_cast<uint8_t>(c.cards.size());
    out[12] = static_cast<uint8_t>(c.cards.size() >> 8);
    out[13] = c.multifunction ? 1 : 0;
    for (int i = 0; i < 4; ++i)
        out[18 + i] = static_cast<uint8_t>(c.configId >> (8 * i));
    out[22] = c.recovery;
    // The chain's count comes back from its last card.
    const ReceivingCard& last = c.cards.back();
    last.seal(out);
    CardFaults faults = last.faults;
    faults.silent = false;
    schedule(port, out, faults, nowMs);
}

void OutputPorts::multifunctionAnswer(int port, const Frame& request, double nowMs) {
    MultifunctionCard& card = chains_[port].vmf;
    std::string objection;
    const Frame out = card.take(request, nowMs, objection);
    if (!objection.empty())
        error(objection + " on port " + std::to_string(port));
    if (out.empty())
        return;
    CardFaults faults;
    faults.lateMs = card.faults.lateMs;
    schedule(port, out, faults, nowMs);
}

void OutputPorts::schedule(int port, const Frame& frame, const CardFaults& faults, double nowMs) {
    if (port >= kAnsweringPorts)
        return;
    const double due = nowMs + std::max(0.0, faults.lateMs);
    queue(due, port / 2, frame);
    if (faults.duplicate)
        queue(due, port / 2, frame);
}

void OutputPorts::queue(double dueMs, int buffer, const Frame& frame) {
    if (pending_.size() >= kAnswersOnTheWay) {
        ++dropped_;
        return;
    }
    pending_.push_back({dueMs, buffer, frame});
}

bool OutputPorts::advance(double nowMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Pending& a, const Pending& b) { return a.dueMs < b.dueMs; });
    auto due = std::find_if(pending_.begin(), pending_.end(),
                            [nowMs](const Pending& p) { return p.dueMs > nowMs; });
    for (auto it = pending_.begin(); it != due; ++it) {
        std::deque<Frame>& waiting = buffers_[it->buffer].waiting;
        if (waiting.size() >= kWaitingAnswers) {
            ++dropped_;
            continue;
        }
        waiting.push_back(std::move(it->frame));
        land();
    }
    pending_.erase(pending_.begin(), due);
    land();
    const bool arrived = arrived_;
    arrived_ = false;
    return arrived;
}

void OutputPorts::land() {
    for (int b = 0; b < kBuffers; ++b) {
        Buffer& buffer = buffers_[b];
        if (buffer.full || buffer.waiting.empty())
            continue;
        buffer.frame = std::move(buffer.waiting.front());
        buffer.waiting.pop_front();
        // A longer answer fills the buffer's RAM and the rest is lost, its check byte with it.
        if (buffer.frame.size() > kRxBytes) {
            buffer.frame.resize(kRxBytes);
            ++cut_;
        }
        buffer.full = true;
        Frame& ram = block(kRxBlock[b]);
        std::copy(buffer.frame.begin(), buffer.frame.end(), ram.begin());
        arrived_ = true;
    }
}

bool OutputPorts::holdsFrame() const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Buffer& b : buffers_)
        if (b.full)
            return true;
    return false;
}

void OutputPorts::fpgaReset() {
    std::lock_guard<std::mutex> lock(mutex_);
    regs_.fill(0);
    blocks_.clear();
    loaded_.fill(0);
    buffers_ = {};
    pending_.clear();
    arrived_ = false;
}

OutputPorts::Frame& OutputPorts::block(uint8_t number) {
    Frame& b = blocks_[number];
    if (b.empty())
        b.assign(kBlockSize, 0);
    return b;
}

void OutputPorts::readRam(uint8_t number, uint32_t address, uint8_t* out, size_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Frame& b = block(number);
    for (size_t i = 0; i < n; ++i)
        out[i] = b[(address + i) % kBlockSize];
}

void OutputPorts::writeRam(uint8_t number, uint32_t address, const uint8_t* in, size_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (number % 2 == 0) {
        error("write to receive RAM block " + std::to_string(number));
        return;
    }
    const int pair = (number - 3) / 2;
    if (busy(pair))
        error("RAM of pair " + std::to_string(pair) + " loaded while it sends");
    Frame& b = block(number);
    for (size_t i = 0; i < n; ++i)
        b[(address + i) % kBlockSize] = in[i];
    if (address <= loaded_[pair])
        loaded_[pair] = std::max<uint32_t>(loaded_[pair], static_cast<uint32_t>(address + n));
}

OutputPorts::Frame OutputPorts::peekRam(uint8_t number, uint32_t address, uint32_t count) const {
    std::lock_guard<std::mutex> lock(mutex_);
    Frame out(count, 0);
    auto found = blocks_.find(number);
    if (found != blocks_.end())
        for (uint32_t i = 0; i < count; ++i)
            out[i] = found->second[(address + i) % kBlockSize];
    return out;
}

void OutputPorts::pokeRam(uint8_t number, uint32_t address, const Frame& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    Frame& b = block(number);
    for (size_t i = 0; i < bytes.size(); ++i)
        b[(address + i) % kBlockSize] = bytes[i];
}

OutputPorts::Chain* OutputPorts::chain(int port) {
    return port >= 0 && port < kPorts ? &chains_[port] : nullptr;
}

int OutputPorts::cards(int port) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return port >= 0 && port < kPorts ? static_cast<int>(chains_[port].cards.size()) : 0;
}

void OutputPorts::setCards(int port, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    Chain* c = chain(port);
    if (!c)
        return;
    count = std::max(0, count);
    while (static_cast<int>(c->cards.size()) > count)
        c->cards.pop_back();
    while (static_cast<int>(c->cards.size()) < count)
        c->cards.emplace_back(port, static_cast<int>(c->cards.size()));
}

void OutputPorts::setFaults(int port, int card, const CardFaults& faults) {
    std::lock_guard<std::mutex> lock(mutex_);
    Chain* c = chain(port);
    if (c && card >= 0 && card < static_cast<int>(c->cards.size()))
        c->cards[card].faults = faults;
}

void OutputPorts::setMultifunction(int port, bool present) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Chain* c = chain(port))
        c->multifunction = present;
}

void OutputPorts::setLightLevel(int port, bool reading, uint8_t level) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Chain* c = chain(port))
        c->vmf.setLight(reading, level);
}

void OutputPorts::setMultifunctionSilent(int port, bool silent) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Chain* c = chain(port))
        c->vmf.faults.silent = silent;
}

void OutputPorts::setMultifunctionFaults(int port, const MultifunctionCard::Faults& faults) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Chain* c = chain(port))
        c->vmf.faults = faults;
}

void OutputPorts::setMultifunctionOutputs(int port, bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Chain* c = chain(port))
        c->vmf.setOutputs(on);
}

void OutputPorts::setMultifunctionRam0(int port, size_t at, uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Chain* c = chain(port))
        c->vmf.setRam0(at, value);
}

MultifunctionCard OutputPorts::multifunctionCard(int port) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return port >= 0 && port < kPorts ? chains_[port].vmf : MultifunctionCard{};
}

void OutputPorts::setConfigId(int port, uint32_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Chain* c = chain(port))
        c->configId = id;
}

void OutputPorts::setRecoveryResult(int port, uint8_t card) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Chain* c = chain(port))
        c->recovery = card;
}

void OutputPorts::setStuckBusy(int port, bool stuck) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Chain* c = chain(port))
        c->stuckBusy = stuck;
}

void OutputPorts::releaseLate() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Pending& p : pending_)
        p.dueMs = 0;
}

void OutputPorts::answer(int port, const Frame& frame, double delayMs, double nowMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    CardFaults faults;
    faults.lateMs = delayMs;
    schedule(port, frame, faults, nowMs);
}

ReceivingCard OutputPorts::card(int port, int index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (port < 0 || port >= kPorts || index < 0 ||
        index >= static_cast<int>(chains_[port].cards.size()))
        return ReceivingCard(port, index);
    return chains_[port].cards[index];
}

std::vector<OutputPorts::Sent> OutputPorts::sent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
}

int OutputPorts::cutAnswers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cut_;
}

uint64_t OutputPorts::droppedAnswers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

void OutputPorts::clearSent() {
    std::lock_guard<std::mutex> lock(mutex_);
    sent_.clear();
}

std::vector<std::string> OutputPorts::errors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

void OutputPorts::clearErrors() {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.clear();
}

void OutputPorts::error(const std::string& what) {
    appendBounded(errors_, "ports of FPGA " + std::to_string(fpga_) + ": " + what);
}

}  // namespace sim
