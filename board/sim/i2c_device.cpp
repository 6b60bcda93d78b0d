#include "board/sim/i2c_device.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "board/sim/bounded_log.h"

namespace sim {

bool I2cDevice::select(bool read, double nowMs) {
    if (!present_ || inReset_)
        return false;
    if (nackNext_ > 0 && nackAfter_-- <= 0) {
        --nackNext_;
        return false;
    }
    if (busy(nowMs))
        return false;
    firstByte_ = !read;
    started(read);
    return true;
}

bool I2cDevice::writeByte(uint8_t value, double nowMs) {
    bool first = firstByte_;
    firstByte_ = false;
    return received(value, first, nowMs);
}

uint8_t I2cDevice::readByte() {
    return sent();
}

void I2cDevice::stop(double nowMs) {
    stopped(nowMs);
}

void I2cDevice::setInReset(bool inReset) {
    if (inReset_ && !inReset)
        powerOn();
    inReset_ = inReset;
}

I2cRegisterFile::I2cRegisterFile(unsigned size, std::vector<uint8_t> powerOnValues)
    : powerOn_(std::move(powerOnValues)), readOnly_(size, false) {
    powerOn_.resize(size, 0);
    regs_ = powerOn_;
}

void I2cRegisterFile::setReadOnly(unsigned first, unsigned count) {
    for (unsigned i = first; i < first + count && i < readOnly_.size(); ++i)
        readOnly_[i] = true;
}

void I2cRegisterFile::powerOn() {
    regs_ = powerOn_;
    pointer_ = 0;
}

bool I2cRegisterFile::received(uint8_t value, bool first, double) {
    if (first) {
        pointer_ = value;
        return pointer_ < regs_.size();
    }
    if (pointer_ >= regs_.size())
        return false;
    appendBounded(writes_, std::make_pair(static_cast<uint8_t>(pointer_), value));
    if (!readOnly_[pointer_])
        regs_[pointer_] = value;
    ++pointer_;
    return true;
}

uint8_t I2cRegisterFile::sent() {
    if (pointer_ >= regs_.size())
        return 0xFF;
    return regs_[pointer_++];
}

bool I2cSwitch::received(uint8_t value, bool, double) {
    control_ = value;
    written_ = true;
    return true;
}

void I2cSwitch::stopped(double) {
    if (written_)
        appendBounded(history_, control_);
    written_ = false;
}

I2cEeprom::I2cEeprom(std::string file, const std::string& initialContent) : file_(std::move(file)) {
    std::ifstream in(file_, std::ios::binary);
    std::vector<uint8_t> stored((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
    if (stored.size() == kSize) {
        data_ = stored;
        return;
    }
    data_ = sceneContent(initialContent);
    persist();
}

void I2cEeprom::setContents(const std::vector<uint8_t>& bytes) {
    data_ = bytes;
    data_.resize(kSize, 0xFF);
    persist();
}

void I2cEeprom::persist() const {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file_).parent_path(), ec);
    std::ofstream out(file_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data_.data()), static_cast<std::streamsize>(kSize));
}

bool I2cEeprom::busy(double nowMs) {
    if (nowMs >= busyUntil_)
        return false;
    ++busyRefusals_;
    return true;
}

void I2cEeprom::started(bool) {
    pending_.clear();
}

bool I2cEeprom::received(uint8_t value, bool first, double) {
    if (first) {
        address_ = value;
        return true;
    }
    if (writeProtect_) {
        ++protectedWrites_;
        return false;
    }
    pending_.emplace_back(address_, value);
    address_ = static_cast<uint8_t>((address_ & ~(kPage - 1)) | ((address_ + 1) & (kPage - 1)));
    return true;
}

uint8_t I2cEeprom::sent() {
    return data_[address_++];
}

void I2cEeprom::stopped(double nowMs) {
    if (pending_.empty())
        return;
    if (!stuck_) {
        for (const auto& [address, value] : pending_)
            data_[address] = value;
        persist();
    }
    pending_.clear();
    ++pagesProgrammed_;
    busyUntil_ = nowMs + writeCycleMs_;
}

std::vector<uint8_t> I2cEeprom::sceneContent(const std::string& kind) {
    if (kind == "blank")
        return std::vector<uint8_t>(kSize, 0xFF);
    // A plain monitor EDID, base block only: header, "SIM", version 1.3, one 1920x1080
    // at 60 Hz detailed timing and a name.
    std::vector<uint8_t> edid(kSize, 0xFF);
    const uint8_t base[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x4D, 0x2D, 0x01, 0x00,
                            0,    0,    0,    0,    0x01, 0x20, 0x01, 0x03, 0x80, 0x30, 0x1B, 0x78,
                            0x0A, 0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54, 0x00,
                            0x00, 0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
                            0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x02, 0x3A, 0x80, 0x18, 0x71, 0x38,
                            0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0xE0, 0x0E, 0x11, 0x00, 0x00, 0x1E};
    std::copy(std::begin(base), std::end(base), edid.begin());
    const uint8_t name[18] = {0,   0,   0,   0xFC, 0,   'S', 'I',  'M', '-',
                              'E', 'E', 'P', 'R',  'O', 'M', 0x0A, ' ', ' '};
    std::copy(std::begin(name), std::end(name), edid.begin() + 72);
    for (unsigned d = 90; d < 126; d += 18) {
        std::fill(edid.begin() + d, edid.begin() + d + 18, 0);
        edid[d + 3] = 0x10;  // dummy descriptor
    }
    edid[126] = 0;
    uint8_t sum = 0;
    for (unsigned i = 0; i < 127; ++i)
        sum = static_cast<uint8_t>(sum + edid[i]);
    edid[127] = static_cast<uint8_t>(0x100 - sum);
    if (kind == "corrupt")
        edid[127] = static_cast<uint8_t>(edid[127] + 1);
    return edid;
}

}  // namespace sim
