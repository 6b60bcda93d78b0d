#include "board/sim/fpga_model.h"

#include <QJsonArray>
#include <cstdio>

namespace sim {
namespace {

Registration fpga0("fpga0", [] { return std::make_shared<FpgaModel>(0); });
Registration fpga1("fpga1", [] { return std::make_shared<FpgaModel>(1); });

constexpr uint8_t kRam = 1;
constexpr uint8_t kRegister = 2;

}  // namespace

FpgaModel::FpgaModel(int index) : index_(index) {
    QJsonObject regs =
        scene().value("fpga").toArray().at(index).toObject().value("registers").toObject();
    for (auto it = regs.begin(); it != regs.end(); ++it) {
        bool ok = false;
        unsigned number = it.key().toUInt(&ok);
        if (ok && number < regs_.size())
            regs_[number] = static_cast<uint8_t>(it.value().toInt());
    }
}

void FpgaModel::error(const std::string& what) {
    char text[128];
    std::snprintf(text, sizeof text, "FPGA %d: %s", index_, what.c_str());
    errors_.push_back(text);
}

std::vector<uint8_t>& FpgaModel::block(uint8_t number) {
    std::vector<uint8_t>& b = blocks_[number];
    if (b.empty())
        b.assign(kBlockSize, 0);
    return b;
}

void FpgaModel::transfer(bool commandLine, const std::vector<uint8_t>& tx,
                         std::vector<uint8_t>& rx) {
    std::lock_guard<std::mutex> lock(mutex_);
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
    p.mask = p.op == kRegister ? word >> 24 : 0;
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
        uint8_t& r = regs_[c.address];
        if (c.read)
            rx[0] = r;
        else
            r = (r & ~c.mask) | (tx[0] & c.mask);
        access.data = {c.read ? rx[0] : tx[0]};
    } else {
        std::vector<uint8_t>& b = block(c.block);
        for (size_t i = 0; i < tx.size(); ++i) {
            uint8_t& cell = b[(c.address + i) % kBlockSize];
            if (c.read)
                rx[i] = cell;
            else
                cell = tx[i];
        }
        access.data = c.read ? rx : tx;
    }
    log_.push_back(std::move(access));
}

uint8_t FpgaModel::reg(uint8_t number) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return regs_[number];
}

void FpgaModel::setReg(uint8_t number, uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    regs_[number] = value;
}

std::vector<uint8_t> FpgaModel::ram(uint8_t number, uint32_t address, uint32_t count) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> out(count, 0);
    auto found = blocks_.find(number);
    if (found == blocks_.end())
        return out;
    for (uint32_t i = 0; i < count; ++i)
        out[i] = found->second[(address + i) % kBlockSize];
    return out;
}

void FpgaModel::setRam(uint8_t number, uint32_t address, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t>& b = block(number);
    for (size_t i = 0; i < bytes.size(); ++i)
        b[(address + i) % kBlockSize] = bytes[i];
}

std::vector<FpgaModel::Access> FpgaModel::log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

std::vector<std::string> FpgaModel::protocolErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

void FpgaModel::clearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
    errors_.clear();
}

}  // namespace sim
