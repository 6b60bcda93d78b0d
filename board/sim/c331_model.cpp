#include "board/sim/c331_model.h"

#include <cstdio>

namespace sim {
namespace {

Registration registration("c331", [] { return std::make_shared<C331Model>(); });

constexpr size_t kBankSize = 128;

size_t at(uint8_t bank, uint8_t address) {
    return bank * kBankSize + (address & 0x7F);
}

}  // namespace

C331Model::C331Model() : regs_(256 * kBankSize, 0) {
    regs_[at(kIdBank, kIdAddress)] =
        static_cast<uint8_t>(scene().value("c331").toObject().value("id").toInt(0x24));
}

void C331Model::transfer(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (tx.size() != 2) {
        char what[64];
        std::snprintf(what, sizeof what, "message of %zu bytes", tx.size());
        errors_.push_back(what);
        return;
    }
    bool write = tx[0] & 0x80;
    uint8_t address = tx[0] & 0x7F;
    if (!write) {
        rx[0] = 0x00;
        rx[1] = address == 0 ? bank_ : regs_[at(bank_, address)];
        log_.push_back(Access{order_++, false, bank_, address, rx[1]});
        return;
    }
    if (address == 0)
        bank_ = tx[1];
    else if (!(bank_ == kIdBank && address == kIdAddress))
        regs_[at(bank_, address)] = tx[1];
    log_.push_back(Access{order_++, true, bank_, address, tx[1]});
}

uint8_t C331Model::reg(uint8_t bank, uint8_t address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return address == 0 ? bank_ : regs_[at(bank, address)];
}

void C331Model::setReg(uint8_t bank, uint8_t address, uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    regs_[at(bank, address)] = value;
}

uint8_t C331Model::bank() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bank_;
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

std::vector<std::string> C331Model::protocolErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

void C331Model::clearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
    errors_.clear();
}

}  // namespace sim
