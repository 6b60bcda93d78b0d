#include "board/sim/spi_nor_flash.h"

#include <fcntl.h>
#include <unistd.h>

#include <QJsonArray>
#include <cstdio>
#include <filesystem>

#include "board/sim/bounded_log.h"

namespace sim {
namespace {

Registration flash0("fpga0-flash", [] { return std::make_shared<SpiNorFlash>(0); });
Registration flash1("fpga1-flash", [] { return std::make_shared<SpiNorFlash>(1); });

constexpr uint8_t kStatusBusy = 0x01;
constexpr uint8_t kStatusWel = 0x02;

uint32_t address24(const std::vector<uint8_t>& tx) {
    return static_cast<uint32_t>(tx[1]) << 16 | tx[2] << 8 | tx[3];
}

uint32_t eraseSize(uint8_t opcode) {
    switch (opcode) {
        case 0x20:
            return 4u << 10;
        case 0x52:
            return 32u << 10;
        default:
            return 64u << 10;
    }
}

}  // namespace

SpiNorFlash::SpiNorFlash(int index)
    : index_(index),
      file_(root() + "/sim/fpga" + std::to_string(index) + "-flash.bin"),
      data_(kSize) {
    QJsonObject config = scene().value("fpgaFlash").toArray().at(index).toObject();
    busyPolls_ = config.value("busyPolls").toInt(busyPolls_);
    QByteArray id = QByteArray::fromHex(config.value("uid").toString().toLatin1());
    for (size_t i = 0; i < uid_.size(); ++i)
        uid_[i] = i < static_cast<size_t>(id.size()) ? static_cast<uint8_t>(id[int(i)])
                                                     : static_cast<uint8_t>(0xA0 + index * 8 + i);
    fd_ = ::open(file_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ >= 0)
        data_.load(fd_);
}

SpiNorFlash::~SpiNorFlash() {
    if (fd_ >= 0)
        ::close(fd_);
}

void SpiNorFlash::persist(uint32_t address, uint32_t count) {
    if (fd_ < 0) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(file_).parent_path(), ec);
        fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0)
            return;
        address = 0;
        count = kSize;
    }
    if (!data_.save(fd_, address, count))
        error("contents could not be kept in " + file_);
}

void SpiNorFlash::error(const std::string& what) {
    char text[160];
    std::snprintf(text, sizeof text, "flash %d: %s", index_, what.c_str());
    appendBounded(errors_, std::string(text));
}

void SpiNorFlash::transfer(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (tx.empty())
        return;
    uint8_t opcode = tx[0];
    if (opcode == 0x05) {
        status(rx);
        return;
    }
    if (busyLeft_ > 0 || stuck_) {
        char what[64];
        std::snprintf(what, sizeof what, "command 0x%02x while busy", opcode);
        error(what);
        return;
    }
    switch (opcode) {
        case 0x06:
            wel_ = true;
            appendBounded(ops_, Operation{Op::WriteEnable, 0, 0});
            return;
        case 0x04:
            wel_ = false;
            return;
        case 0x20:
        case 0x52:
        case 0xD8:
            erase(opcode, tx);
            return;
        case 0x02:
            program(tx);
            return;
        case 0x0B:
            read(tx, rx, 5);
            return;
        case 0x03:
            read(tx, rx, 4);
            return;
        case 0x4B:
            uid(rx);
            return;
        default: {
            char what[64];
            std::snprintf(what, sizeof what, "unknown command 0x%02x", opcode);
            error(what);
        }
    }
}

void SpiNorFlash::status(std::vector<uint8_t>& rx) {
    statusReads_++;
    bool isBusy = stuck_ || busyLeft_ > 0;
    uint8_t value = (isBusy ? kStatusBusy : 0) | (wel_ ? kStatusWel : 0);
    for (size_t i = 1; i < rx.size(); ++i)
        rx[i] = value;
    if (busyLeft_ > 0)
        busyLeft_--;
}

bool SpiNorFlash::writable(const char* what) {
    if (wel_)
        return true;
    error(std::string(what) + " without write enable");
    return false;
}

bool SpiNorFlash::lostToPowerCut() {
    if (!cut_ && untilCut_ > 0 && --untilCut_ == 0)
        cut_ = true;
    if (!cut_)
        return false;
    lost_++;
    wel_ = false;
    return true;
}

void SpiNorFlash::erase(uint8_t opcode, const std::vector<uint8_t>& tx) {
    if (tx.size() != 4) {
        error("erase command of " + std::to_string(tx.size()) + " bytes");
        return;
    }
    if (!writable("erase") || lostToPowerCut())
        return;
    uint32_t size = eraseSize(opcode);
    uint32_t start = (address24(tx) % kSize) & ~(size - 1);
    data_.erase(start, size);
    persist(start, size);
    appendBounded(ops_, Operation{Op::Erase, start, size});
    wel_ = false;
    busyLeft_ = busyPolls_;
}

void SpiNorFlash::program(const std::vector<uint8_t>& tx) {
    if (tx.size() < 4) {
        error("program command of " + std::to_string(tx.size()) + " bytes");
        return;
    }
    if (!writable("program") || lostToPowerCut())
        return;
    uint32_t start = address24(tx) % kSize;
    uint32_t page = start & ~(kPage - 1);
    // The chip latches the data into its page buffer (wrapping inside the page; of more
    // than a page only the last 256 bytes stay) and then clears bits of the array.
    std::array<int, kPage> latch;
    latch.fill(-1);
    size_t count = tx.size() - 4;
    for (size_t i = 0; i < count; ++i)
        latch[(start + i) % kPage] = tx[4 + i];
    bool reported = false;
    for (uint32_t i = 0; i < kPage; ++i) {
        if (latch[i] < 0)
            continue;
        const uint8_t cell = data_.get(page + i);
        uint8_t wanted = static_cast<uint8_t>(latch[i]);
        if ((cell & wanted) != wanted && !reported) {
            char what[96];
            std::snprintf(what, sizeof what, "programmed 0x%02x over 0x%02x at 0x%06x", wanted,
                          cell, page + i);
            error(what);
            reported = true;
        }
        data_.set(page + i, cell & wanted);
    }
    persist(page, kPage);
    appendBounded(ops_, Operation{Op::Program, start, static_cast<uint32_t>(count)});
    wel_ = false;
    busyLeft_ = busyPolls_;
}

void SpiNorFlash::read(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx, size_t dataAt) {
    if (tx.size() < dataAt) {
        error("read command of " + std::to_string(tx.size()) + " bytes");
        return;
    }
    uint32_t start = address24(tx);
    for (size_t i = dataAt; i < tx.size(); ++i)
        rx[i] = data_.get((start + i - dataAt) % kSize);
    appendBounded(ops_, Operation{Op::Read, start, static_cast<uint32_t>(tx.size() - dataAt)});
}

void SpiNorFlash::uid(std::vector<uint8_t>& rx) {
    for (size_t i = 5; i < rx.size() && i - 5 < uid_.size(); ++i)
        rx[i] = uid_[i - 5];
    appendBounded(ops_, Operation{Op::UniqueId, 0, 0});
}

std::vector<uint8_t> SpiNorFlash::contents(uint32_t address, uint32_t count) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> out(count);
    for (uint32_t i = 0; i < count; ++i)
        out[i] = data_.get((address + i) % kSize);
    return out;
}

void SpiNorFlash::setContents(uint32_t address, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < bytes.size(); ++i)
        data_.set((address + i) % kSize, bytes[i]);
    persist(0, kSize);
}

std::array<uint8_t, 8> SpiNorFlash::uniqueId() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return uid_;
}

void SpiNorFlash::stickBusy(bool stuck) {
    std::lock_guard<std::mutex> lock(mutex_);
    stuck_ = stuck;
}

bool SpiNorFlash::busy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stuck_ || busyLeft_ > 0;
}

void SpiNorFlash::cutPowerAt(uint64_t k) {
    std::lock_guard<std::mutex> lock(mutex_);
    untilCut_ = k;
    cut_ = false;
}

bool SpiNorFlash::powerCut() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cut_;
}

uint64_t SpiNorFlash::lostOperations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lost_;
}

std::vector<SpiNorFlash::Operation> SpiNorFlash::operations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ops_;
}

std::vector<SpiNorFlash::Operation> SpiNorFlash::operations(Op op) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Operation> out;
    for (const Operation& o : ops_)
        if (o.op == op)
            out.push_back(o);
    return out;
}

uint64_t SpiNorFlash::statusReads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return statusReads_;
}

std::vector<std::string> SpiNorFlash::errors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

void SpiNorFlash::clearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    ops_.clear();
    statusReads_ = 0;
}

void SpiNorFlash::clearProtocolErrors() {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.clear();
}

}  // namespace sim
