#include "board/sim/fpga_model.h"
#include "board/sim/bounded_log.h"

#include <QJsonArray>
#include <cstdio>

#include "board/sim/soc_window.h"

namespace sim {
namespace {

Registration fpga0("fpga0", [] { return FpgaModel::create(0); });
Registration fpga1("fpga1", [] { return FpgaModel::create(1); });

constexpr uint8_t kRam = 1;
constexpr uint8_t kRegister = 2;
constexpr uint16_t kPadHigh = 16;

// Registers and bits the FPGA drives itself.
constexpr uint8_t kLinkControl = 3;
constexpr uint8_t kTrain = 0x40;
constexpr uint8_t kEnable = 0x80;
constexpr uint8_t kStatus = 22;
constexpr uint8_t kStatusError = 0x08;
constexpr uint8_t kStatusLocked = 0x10;
constexpr uint8_t kStatusEvents = 0x60;
constexpr uint8_t kStatusReceived = 0x20;
constexpr uint8_t kStatusVideo = 0x80;
constexpr uint8_t kOutputControl = 23;
constexpr uint8_t kLock = 40;
constexpr uint8_t kLockBits = 0x1C;
constexpr uint8_t kLinksLow = 128;
constexpr uint8_t kLinksHigh = 144;
constexpr uint8_t kImageFirst = 28;

}  // namespace

FpgaModel::FpgaModel(int index) : index_(index) {
    QJsonObject own = scene().value("fpga").toArray().at(index).toObject();
    QJsonObject regs = own.value("registers").toObject();
    for (auto it = regs.begin(); it != regs.end(); ++it) {
        bool ok = false;
        unsigned number = it.key().toUInt(&ok);
        if (ok && number < sceneRegs_.size()) {
            sceneRegs_[number] = static_cast<uint8_t>(it.value().toInt());
            sceneSet_[number] = true;
        }
    }
    configMs_ = own.value("configMs").toDouble(kDefaultConfigMs);
    linkError_ = own.value("linkError").toBool(false);
    noLock_ = own.value("noLock").toBool(false);
    QJsonObject image = own.value("image").toObject();
    const char* const imageKeys[] = {"function", "day", "month", "year"};
    for (int i = 0; i < 4; ++i)
        image_[i] = static_cast<uint8_t>(image.value(imageKeys[i]).toInt(image_[i]));
    QJsonObject output = own.value("output").toObject();
    width_ = static_cast<uint16_t>(output.value("width").toInt(width_));
    height_ = static_cast<uint16_t>(output.value("height").toInt(height_));
    int hz = output.value("hz").toInt(60);
    period_ = hz > 0 ? kPeriodClockHz / static_cast<uint32_t>(hz) : 0;

    for (const QJsonValue& v : OutputPorts::sceneOutputs()) {
        QJsonObject port = v.toObject();
        int number = port.value("port").toInt(0);
        if (port.value("fpga").toInt(0) != index || number < 1 || number > 16)
            continue;
        links_ |= static_cast<uint16_t>(1u << (number - 1));
    }
    ports_ = std::make_shared<OutputPorts>(index);
}

std::shared_ptr<FpgaModel> FpgaModel::create(int index) {
    auto model = std::make_shared<FpgaModel>(index);
    model->attach();
    return model;
}

void FpgaModel::attach() {
    window_ = get<SocWindow>("/dev/mem");
    std::weak_ptr<FpgaModel> self = shared_from_this();
    window_->addListener([self](uint32_t offset, uint16_t value) {
        if (auto model = self.lock())
            model->padStored(offset, value);
    });
    // The service line is up to date whenever the program looks at it: answers the cards
    // send meanwhile raise it.
    window_->addReadListener(kServicePad[index_], [self] {
        if (auto model = self.lock()) {
            std::lock_guard<std::recursive_mutex> lock(model->mutex_);
            model->follow();
        }
    });
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (window_->word(kResetPad[index_]) & kPadHigh) {
        // Released before this model was first asked for: count from that store.
        auto stores = window_->changes(kResetPad[index_]);
        inReset_ = false;
        releasedAt_ = stores.empty() ? nowMs() : stores.back().timeMs;
    }
    follow();
}

void FpgaModel::padStored(uint32_t offset, uint16_t value) {
    if (offset != kResetPad[index_])
        return;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!(value & kPadHigh)) {
        enterReset();
    } else if (inReset_) {
        inReset_ = false;
        releasedAt_ = nowMs();
    }
}

void FpgaModel::follow() {
    if (!window_)
        return;
    if (!(window_->word(kResetPad[index_]) & kPadHigh)) {
        if (!inReset_)
            enterReset();
        return;
    }
    if (inReset_) {
        inReset_ = false;
        releasedAt_ = nowMs();
    }
    if (!configured_ && nowMs() - releasedAt_ >= configMs_)
        configure();
    if (configured_)
        collectAnswers();
}

void FpgaModel::collectAnswers() {
    if (ports_->advance(nowMs()))
        updateService();
}

void FpgaModel::enterReset() {
    inReset_ = true;
    configured_ = false;
    pending_ = false;
    ports_->fpgaReset();
    updateService();
}

void FpgaModel::configure() {
    configured_ = true;
    ++configurations_;
    regs_.fill(0);
    for (int i = 0; i < 4; ++i)
        regs_[kImageFirst + i] = image_[i];
    for (size_t r = 0; r < regs_.size(); ++r)
        if (sceneSet_[r])
            regs_[r] = sceneRegs_[r];
    blocks_.clear();
    ports_->fpgaReset();
    dropped_ = false;
    pending_ = false;
    updateService();
}

bool FpgaModel::locked() const {
    const uint8_t control = regs_[kLinkControl];
    return (control & kTrain) && (control & kEnable) && !linkError_ && !noLock_ && !dropped_;
}

uint8_t FpgaModel::presented(uint8_t number) const {
    if (ports_->ownsRegister(number))
        return ports_->readRegister(number);
    switch (number) {
        case kStatus: {
            uint8_t v = regs_[kStatus] &
                        static_cast<uint8_t>(~(kStatusError | kStatusLocked | kStatusVideo | 0x04));
            // A frame waiting in a receive buffer keeps the receive event up.
            if (ports_->holdsFrame())
                v |= kStatusReceived;
            if ((regs_[kLinkControl] & kTrain) && linkError_)
                v |= kStatusError;
            if (locked()) {
                v |= kStatusLocked;
                if ((regs_[kOutputControl] & 0x01) && width_ && height_ && period_)
                    v |= kStatusVideo;
            }
            return v;
        }
        case kLock:
            return static_cast<uint8_t>((regs_[kLock] & ~kLockBits) |
                                        (locked() ? lockBits_ & kLockBits : 0));
        case kLinksLow:
            return static_cast<uint8_t>(links_);
        case kLinksHigh:
            return static_cast<uint8_t>(links_ >> 8);
        default:
            return regs_[number];
    }
}

void FpgaModel::written(uint8_t number) {
    if (number == kLinkControl && !(regs_[kLinkControl] & (kTrain | kEnable)))
        dropped_ = false;  // a stopped link can be trained again
    if (number == kStatus)
        updateService();
}

void FpgaModel::updateService() {
    if (!window_)
        return;
    bool request = configured_ && (presented(kStatus) & kStatusEvents);
    window_->setWord(kServicePad[index_], request ? 1 : 0);
}

void FpgaModel::error(const std::string& what) {
    char text[128];
    std::snprintf(text, sizeof text, "FPGA %d: %s", index_, what.c_str());
    appendBounded(errors_, std::string(text));
}

void FpgaModel::record(Access access) {
    appendBounded(log_, std::move(access));
}

std::vector<uint8_t>& FpgaModel::block(uint8_t number) {
    std::vector<uint8_t>& b = blocks_[number];
    if (b.empty())
        b.assign(kBlockSize, 0);
    return b;
}

void FpgaModel::transfer(bool commandLine, const std::vector<uint8_t>& tx,
                         std::vector<uint8_t>& rx) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    follow();
    if (!configured_) {
        ++ignored_;
        return;
    }
    if (commandLine)
        command(tx);
    else
        data(tx, rx);
}

void FpgaModel::command(const std::vector<uint8_t>& tx) {
    if (pending_)
        error("command word without its data phase");
    pending_ = false;
    if (tx.size() != 4) {
        error("command word of " + std::to_string(tx.size()) + " bytes");
        return;
    }
    uint32_t word = tx[0] | tx[1] << 8 | tx[2] << 16 | static_cast<uint32_t>(tx[3]) << 24;
    Pending p;
    p.bytes = {tx[0], tx[1], tx[2], tx[3]};
    p.read = word & 1;
    p.op = (word >> 1) & 0x0F;
    p.block = (word >> 8) & 0xFF;
    p.address = p.op == kRegister ? (word >> 16) & 0xFF : (word >> 16) & 0x0FFF;
    p.mask = p.op == kRegister ? static_cast<uint8_t>(word >> 24) : 0;
    if (p.op != kRam && p.op != kRegister) {
        error("unknown command " + std::to_string(p.op));
        return;
    }
    command_ = p;
    pending_ = true;
}

void FpgaModel::data(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx) {
    if (!pending_) {
        error("data of " + std::to_string(tx.size()) + " bytes without a command");
        return;
    }
    pending_ = false;
    const Pending& c = command_;
    Access access{nowMs(), c.bytes, c.read, c.op, c.block, c.address, c.mask, {}};
    if (c.op == kRegister) {
        if (tx.size() != 1) {
            error("register data phase of " + std::to_string(tx.size()) + " bytes");
            return;
        }
        const uint8_t number = static_cast<uint8_t>(c.address);
        if (c.read) {
            rx[0] = presented(number);
        } else if (ports_->ownsRegister(number)) {
            ports_->writeRegister(number, c.mask, tx[0], links_, nowMs());
            collectAnswers();
            updateService();
        } else {
            uint8_t& r = regs_[number];
            r = static_cast<uint8_t>((r & ~c.mask) | (tx[0] & c.mask));
            written(number);
        }
        access.data = {c.read ? rx[0] : tx[0]};
    } else if (ports_->ownsBlock(c.block)) {
        if (c.read)
            ports_->readRam(c.block, c.address, rx.data(), rx.size());
        else
            ports_->writeRam(c.block, c.address, tx.data(), tx.size());
        access.data = c.read ? rx : tx;
    } else {
        std::vector<uint8_t>& b = block(c.block);
        const bool lost = !c.read && ramFault_[c.block];
        for (size_t i = 0; i < tx.size(); ++i) {
            const uint32_t address = (c.address + i) % kBlockSize;
            uint8_t value = 0;
            const bool byFpga = driven(c.block, address, value);
            if (c.read)
                rx[i] = byFpga ? value : b[address];
            else if (!byFpga && !lost)
                b[address] = tx[i];
        }
        access.data = c.read ? rx : tx;
    }
    record(std::move(access));
}

uint8_t FpgaModel::reg(uint8_t number) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const_cast<FpgaModel*>(this)->follow();
    return presented(number);
}

void FpgaModel::setReg(uint8_t number, uint8_t value) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    follow();
    if (number == kLinksLow)
        links_ = static_cast<uint16_t>((links_ & 0xFF00) | value);
    else if (number == kLinksHigh)
        links_ = static_cast<uint16_t>((links_ & 0x00FF) | value << 8);
    regs_[number] = value;
    written(number);
}

std::vector<uint8_t> FpgaModel::ram(uint8_t number, uint32_t address, uint32_t count) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const_cast<FpgaModel*>(this)->follow();
    if (ports_->ownsBlock(number))
        return ports_->peekRam(number, address, count);
    std::vector<uint8_t> out(count, 0);
    auto found = blocks_.find(number);
    if (found == blocks_.end())
        return out;
    for (uint32_t i = 0; i < count; ++i)
        out[i] = found->second[(address + i) % kBlockSize];
    return out;
}

void FpgaModel::setRam(uint8_t number, uint32_t address, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    follow();
    if (ports_->ownsBlock(number)) {
        ports_->pokeRam(number, address, bytes);
        return;
    }
    std::vector<uint8_t>& b = block(number);
    for (size_t i = 0; i < bytes.size(); ++i)
        b[(address + i) % kBlockSize] = bytes[i];
}

void FpgaModel::setConfigDelayMs(double ms) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    configMs_ = ms;
    follow();
}

bool FpgaModel::inReset() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const_cast<FpgaModel*>(this)->follow();
    return inReset_;
}

bool FpgaModel::configured() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const_cast<FpgaModel*>(this)->follow();
    return configured_;
}

int FpgaModel::configurations() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return configurations_;
}

uint64_t FpgaModel::ignoredMessages() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return ignored_;
}

void FpgaModel::setLinks(uint16_t ports) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    links_ = ports;
}

uint16_t FpgaModel::links() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return links_;
}

int FpgaModel::cards(int port) const {
    return ports_->cards(port);
}

bool FpgaModel::driven(uint8_t number, uint32_t address, uint8_t& value) const {
    if (number == kMeasuredBlock && address >= kMeasuredAt &&
        address < kMeasuredAt + kMeasuredBytes) {
        const uint8_t measured[kMeasuredBytes] = {
            static_cast<uint8_t>(width_),        static_cast<uint8_t>(width_ >> 8),
            static_cast<uint8_t>(height_),       static_cast<uint8_t>(height_ >> 8),
            static_cast<uint8_t>(period_),       static_cast<uint8_t>(period_ >> 8),
            static_cast<uint8_t>(period_ >> 16), static_cast<uint8_t>(period_ >> 24)};
        value = measured[address - kMeasuredAt];
        return true;
    }
    if (number == kMonitorBlock && address >= kMonitorAt && address < kMonitorAt + kMonitorBytes) {
        const uint8_t monitor[kMonitorBytes] = {
            static_cast<uint8_t>(monitorWidth_), static_cast<uint8_t>(monitorWidth_ >> 8),
            static_cast<uint8_t>(monitorHeight_), static_cast<uint8_t>(monitorHeight_ >> 8)};
        value = monitor[address - kMonitorAt];
        return true;
    }
    return false;
}

void FpgaModel::setMonitor(uint16_t width, uint16_t height) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    monitorWidth_ = width;
    monitorHeight_ = height;
}

void FpgaModel::setOutput(uint16_t width, uint16_t height, uint32_t periodCycles) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    width_ = width;
    height_ = height;
    period_ = periodCycles;
}

void FpgaModel::setLinkError(bool error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    linkError_ = error;
}

void FpgaModel::setNoLock(bool noLock) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    noLock_ = noLock;
}

void FpgaModel::setLockBits(uint8_t bits) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    lockBits_ = bits;
}

void FpgaModel::dropLink() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    dropped_ = true;
}

void FpgaModel::setRamWriteFault(uint8_t number, bool fault) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    ramFault_[number] = fault;
}

void FpgaModel::raiseEvent(uint8_t bits) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    follow();
    regs_[kStatus] |= bits & kStatusEvents;
    updateService();
}

bool FpgaModel::serviceRequested() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const_cast<FpgaModel*>(this)->follow();
    return window_ && (window_->word(kServicePad[index_]) & 1);
}

std::vector<FpgaModel::Access> FpgaModel::log() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return log_;
}

std::vector<std::string> FpgaModel::protocolErrors() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<std::string> all = errors_;
    for (const std::string& e : ports_->errors())
        all.push_back(e);
    return all;
}

void FpgaModel::clearProtocolErrors() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    errors_.clear();
    ports_->clearErrors();
}

void FpgaModel::clearLog() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    log_.clear();
}

}  // namespace sim
