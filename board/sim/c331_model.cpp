#include "board/sim/c331_model.h"

#include <cstdio>

#include "board/sim/bounded_log.h"
#include "board/sim/c331_register_map.h"

namespace sim {
namespace {

Registration registration("c331", [] { return std::make_shared<C331Model>(); });

constexpr size_t kBankSize = 128;

size_t at(uint8_t bank, uint8_t address) {
    return bank * kBankSize + (address & 0x7F);
}

std::vector<C331BehaviourFactory>& behaviourFactories() {
    static std::vector<C331BehaviourFactory>* factories = new std::vector<C331BehaviourFactory>;
    return *factories;
}

}  // namespace

C331Chip::C331Chip() : regs_(256 * kBankSize, 0), epoch_(Clock::now()) {}

uint8_t C331Chip::stored(uint8_t bank, uint8_t address) const {
    return regs_[at(bank, address)];
}

void C331Chip::store(uint8_t bank, uint8_t address, uint8_t value) {
    regs_[at(bank, address)] = value;
}

uint32_t C331Chip::storedField(uint8_t bank, uint8_t address, int count) const {
    uint32_t value = 0;
    for (int i = 0; i < count && i < 4; ++i)
        value |= static_cast<uint32_t>(stored(bank, static_cast<uint8_t>(address + i))) << (8 * i);
    return value;
}

uint64_t C331Chip::frame() const {
    double seconds = std::chrono::duration<double>(Clock::now() - epoch_).count();
    return frameBase_ + static_cast<uint64_t>(seconds * frameHz_);
}

void C331Chip::setFrameRate(double hz) {
    frameBase_ = frame();
    epoch_ = Clock::now();
    frameHz_ = hz < 0 ? 0 : hz;
}

bool C331Behaviour::read(const C331Chip&, uint8_t, uint8_t, uint8_t&) {
    return false;
}

void C331Behaviour::written(C331Chip&, uint8_t, uint8_t, uint8_t) {}

C331BehaviourRegistration::C331BehaviourRegistration(C331BehaviourFactory factory) {
    behaviourFactories().push_back(std::move(factory));
}

C331Model::C331Model() {
    QJsonObject c331 = scene().value("c331").toObject();
    chip_.store(kIdBank, kIdAddress, static_cast<uint8_t>(c331.value("id").toInt(0x24)));
    chip_.setFrameRate(c331.value("frameHz").toDouble(60));
    for (const C331BehaviourFactory& make : behaviourFactories())
        behaviours_.push_back(make());
}

void C331Model::error(const std::string& what) {
    appendBounded(errors_, what);
}

uint8_t C331Model::readLocked(uint8_t address) {
    if (address == 0)
        return bank_;
    const C331RegisterMap& map = C331RegisterMap::instance();
    if (!map.mapped(bank_, address)) {
        error("read of unmapped register " + map.describe(bank_, address));
        return 0;
    }
    uint8_t value = 0;
    for (auto& b : behaviours_)
        if (b->read(chip_, bank_, address, value))
            return value;
    return chip_.stored(bank_, address);
}

void C331Model::writeLocked(uint8_t address, uint8_t value) {
    if (address == 0) {
        bank_ = value;
        return;
    }
    const C331RegisterMap& map = C331RegisterMap::instance();
    const char* refused = !map.mapped(bank_, address)    ? "unmapped"
                          : map.readOnly(bank_, address) ? "read-only"
                                                         : nullptr;
    if (refused) {
        char what[32];
        std::snprintf(what, sizeof what, "write of 0x%02X to ", value);
        error(what + std::string(refused) + " register " + map.describe(bank_, address));
        return;
    }
    chip_.store(bank_, address, value);
    for (auto& b : behaviours_)
        b->written(chip_, bank_, address, value);
}

void C331Model::transfer(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx) {
    // The board clock takes the registry's lock: read it before taking this model's.
    const double time = nowMs();
    std::lock_guard<std::mutex> lock(mutex_);
    if (tx.size() != 2) {
        error("message of " + std::to_string(tx.size()) + " bytes");
        return;
    }
    bool write = tx[0] & 0x80;
    uint8_t address = tx[0] & 0x7F;
    if (!write) {
        rx[0] = 0x00;
        rx[1] = readLocked(address);
        appendBounded(log_, Access{order_++, false, bank_, address, rx[1], time});
        return;
    }
    writeLocked(address, tx[1]);
    appendBounded(log_, Access{order_++, true, bank_, address, tx[1], time});
}

uint8_t C331Model::reg(uint8_t bank, uint8_t address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return address == 0 ? bank_ : chip_.stored(bank, address);
}

uint32_t C331Model::field(uint8_t bank, uint8_t address, int count) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return chip_.storedField(bank, address, count);
}

void C331Model::setReg(uint8_t bank, uint8_t address, uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    chip_.store(bank, address, value);
}

uint8_t C331Model::bank() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bank_;
}

void C331Model::setFrameRate(double hz) {
    std::lock_guard<std::mutex> lock(mutex_);
    chip_.setFrameRate(hz);
}

uint64_t C331Model::frame() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return chip_.frame();
}

std::vector<C331Model::Access> C331Model::log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

std::vector<C331Model::Access> C331Model::writes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Access> out;
    for (const Access& a : log_)
        if (a.write)
            out.push_back(a);
    return out;
}

void C331Model::clearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

std::vector<std::string> C331Model::protocolErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> all = errors_;
    for (const auto& b : behaviours_) {
        std::vector<std::string> own = b->protocolErrors();
        all.insert(all.end(), own.begin(), own.end());
    }
    return all;
}

void C331Model::clearProtocolErrors() {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.clear();
    for (auto& b : behaviours_)
        b->clearProtocolErrors();
}

}  // namespace sim
