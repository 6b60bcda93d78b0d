// Chips on the simulated I2C bus, seen from their pins: an address phase that is
// acknowledged or not, bytes written (each acknowledged or not), bytes read, and the stop
// that ends a transfer. Repeated starts inside one transfer keep a device's state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class I2cDevice {
public:
    virtual ~I2cDevice() = default;

    // Address phase of a (repeated) start; true when the device acknowledges.
    bool select(bool read, double nowMs);
    // A data byte from the master; true when acknowledged.
    bool writeByte(uint8_t value, double nowMs);
    uint8_t readByte();
    // The transfer ended (stop condition, or the master gave up after a NACK).
    void stop(double nowMs);

    // Faults: a device that is absent never acknowledges; nackNext makes count address
    // phases go unanswered after the next `after` ones (a glitch on the bus).
    void setPresent(bool present) { present_ = present; }
    void nackNext(int count, int after = 0) {
        nackNext_ = count;
        nackAfter_ = after;
    }
    // A device held in its reset does not answer; leaving reset restores power-on state.
    void setInReset(bool inReset);
    bool inReset() const { return inReset_; }

protected:
    virtual void powerOn() {}
    virtual bool busy(double /*nowMs*/) { return false; }
    virtual void started(bool /*read*/) {}
    virtual bool received(uint8_t value, bool first, double nowMs) = 0;
    virtual uint8_t sent() = 0;
    virtual void stopped(double /*nowMs*/) {}

private:
    bool present_ = true;
    bool inReset_ = false;
    int nackNext_ = 0;
    int nackAfter_ = 0;
    bool firstByte_ = false;
};

// A device whose first written byte is a register pointer that advances with every data
// byte, read or written. Registers marked read-only ignore writes (identification).
class I2cRegisterFile : public I2cDevice {
public:
    explicit I2cRegisterFile(unsigned size, std::vector<uint8_t> powerOnValues = {});

    uint8_t reg(unsigned index) const { return regs_.at(index); }
    void setReg(unsigned index, uint8_t value) { regs_.at(index) = value; }
    void setReadOnly(unsigned first, unsigned count);
    unsigned size() const { return static_cast<unsigned>(regs_.size()); }
    // The data bytes written, as (register, value), in order (the newest of a long run).
    const std::vector<std::pair<uint8_t, uint8_t>>& writes() const { return writes_; }
    void clearWrites() { writes_.clear(); }

protected:
    void powerOn() override;
    bool received(uint8_t value, bool first, double nowMs) override;
    uint8_t sent() override;

private:
    std::vector<uint8_t> powerOn_;
    std::vector<uint8_t> regs_;
    std::vector<bool> readOnly_;
    std::vector<std::pair<uint8_t, uint8_t>> writes_;
    unsigned pointer_ = 0;
};

// An I2C channel switch: every byte written becomes its control register (the last one of
// a message wins), each set bit connects one downstream channel; a read returns it.
class I2cSwitch : public I2cDevice {
public:
    uint8_t control() const { return control_; }
    // The control value each write transfer left behind, in order (the newest of a long
    // run).
    const std::vector<uint8_t>& history() const { return history_; }
    void clearHistory() { history_.clear(); }

protected:
    void powerOn() override { control_ = 0; }
    bool received(uint8_t value, bool first, double nowMs) override;
    uint8_t sent() override { return control_; }
    void stopped(double nowMs) override;

private:
    uint8_t control_ = 0;
    bool written_ = false;
    std::vector<uint8_t> history_;
};

// A 24C02-type EEPROM: 256 bytes, 8-byte pages, contents kept in a file. The first written
// byte sets the word address; data bytes fill the page buffer (wrapping inside the page)
// and are programmed at the stop, after which the chip ignores its address for the write
// cycle time. While the write-protect pin is high, data bytes are not acknowledged.
class I2cEeprom : public I2cDevice {
public:
    static constexpr unsigned kSize = 256;
    static constexpr unsigned kPage = 8;

    I2cEeprom(std::string file, const std::string& initialContent);

    std::vector<uint8_t> contents() const { return data_; }
    void setContents(const std::vector<uint8_t>& bytes);
    void setWriteProtect(bool on) { writeProtect_ = on; }
    bool writeProtect() const { return writeProtect_; }
    void setWriteCycleMs(double ms) { writeCycleMs_ = ms; }
    // A worn-out part: writes are acknowledged but nothing is stored.
    void setStuck(bool stuck) { stuck_ = stuck; }
    unsigned pagesProgrammed() const { return pagesProgrammed_; }
    // Address phases that came while a write cycle was running (acknowledge polling).
    unsigned busyRefusals() const { return busyRefusals_; }
    // Data bytes that arrived while the chip was write protected.
    unsigned protectedWrites() const { return protectedWrites_; }

    // The contents the board uses for "valid", "blank" and "corrupt" in a scene.
    static std::vector<uint8_t> sceneContent(const std::string& kind);

protected:
    bool busy(double nowMs) override;
    void started(bool read) override;
    bool received(uint8_t value, bool first, double nowMs) override;
    uint8_t sent() override;
    void stopped(double nowMs) override;

private:
    void persist() const;

    std::string file_;
    std::vector<uint8_t> data_;
    std::vector<std::pair<uint8_t, uint8_t>> pending_;
    uint8_t address_ = 0;
    bool writeProtect_ = true;
    bool stuck_ = false;
    double writeCycleMs_ = 5.0;
    double busyUntil_ = -1.0;
    unsigned pagesProgrammed_ = 0;
    unsigned busyRefusals_ = 0;
    unsigned protectedWrites_ = 0;
};

}  // namespace sim
