// The c331 video processor as its SPI port sees it.
//
// 256 banks of 128 byte registers. Every access is one 2-byte message: byte 0 is the
// register address with bit 7 set for a write, byte 1 the data (a read returns the
// register in the second byte). Address 0 of every bank is the bank register: a write
// there selects the bank of the following accesses, a read returns it. A message of
// another length is a protocol error and changes nothing.
//
// The chip knows its register map (c331_register_map.h): a read or write of a register
// outside it, or a write of a read-only register, is a protocol error (the write is not
// stored, the read returns 0). Every other register reads back what was written, unless a
// behaviour of the chip answers for it.
//
// Behaviours are the parts of the chip that do more than keep what was written: status
// the chip raises, engines a write starts, what the outputs show. Each lives in a file of
// its own and registers itself (C331BehaviourRegistration); the model creates one of each
// and asks them, in turn, on every access of a mapped register.
//
// The chip runs a frame clock (frameHz frames a second, counted from power-on; 0 stops
// it, as with no output timing running) that behaviours use for what happens per frame.
//
// Scene: "c331": {"id": 36, "frameHz": 60, ...} (behaviours read their own keys).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "board/sim/sim.h"

namespace sim {

// What a behaviour sees of the chip: the register file and the frame clock. Behaviours
// use it with the model's lock held.
class C331Chip {
public:
    C331Chip();

    uint8_t stored(uint8_t bank, uint8_t address) const;
    void store(uint8_t bank, uint8_t address, uint8_t value);
    // A little-endian field of count stored registers.
    uint32_t storedField(uint8_t bank, uint8_t address, int count) const;

    uint64_t frame() const;  // frames since power-on
    void setFrameRate(double hz);
    // Every register as stored.
    const std::vector<uint8_t>& registers() const { return regs_; }

private:
    std::vector<uint8_t> regs_;
    Clock::time_point epoch_;
    double frameHz_ = 60;
    uint64_t frameBase_ = 0;  // frames counted before the last rate change
};

class C331Behaviour {
public:
    virtual ~C331Behaviour() = default;
    // A read of a mapped register: sets value and returns true when this behaviour answers
    // for it; false leaves the register to the next behaviour or the stored byte.
    virtual bool read(const C331Chip& chip, uint8_t bank, uint8_t address, uint8_t& value);
    // A write of a mapped register, after the register file stored it.
    virtual void written(C331Chip& chip, uint8_t bank, uint8_t address, uint8_t value);
    // What this part of the chip refused (a command it cannot carry out, a sequence out of
    // order); listed with the chip's own protocol errors.
    virtual std::vector<std::string> protocolErrors() const { return {}; }
    virtual void clearProtocolErrors() {}
};

using C331BehaviourFactory = std::function<std::unique_ptr<C331Behaviour>()>;
struct C331BehaviourRegistration {
    explicit C331BehaviourRegistration(C331BehaviourFactory factory);
};

class C331Model : public Part {
public:
    static constexpr uint8_t kIdBank = 0xB2;
    static constexpr uint8_t kIdAddress = 0x08;

    struct Access {
        uint64_t order;
        bool write;
        uint8_t bank;  // the bank in effect; for a bank select, the bank selected
        uint8_t address;
        uint8_t value;  // written, or returned
        double timeMs;  // board time of the access
    };

    C331Model();

    void transfer(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx);

    // The stored register (not the status the chip would overlay on a read).
    uint8_t reg(uint8_t bank, uint8_t address) const;
    // A little-endian field of count stored registers.
    uint32_t field(uint8_t bank, uint8_t address, int count) const;
    // Sets a stored register as the hardware would, read-only ones included.
    void setReg(uint8_t bank, uint8_t address, uint8_t value);
    uint8_t bank() const;

    void setFrameRate(double hz);
    uint64_t frame() const;

    // Runs fn on the chip's behaviour of type T under the model's lock: the faults and
    // conditions a test sets. False when the chip has no such behaviour.
    template <class T, class Fn>
    bool with(Fn fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& b : behaviours_) {
            if (T* own = dynamic_cast<T*>(b.get())) {
                fn(*own);
                return true;
            }
        }
        return false;
    }

    // Runs fn(behaviour, chip) on the chip's behaviour of type T under the model's lock:
    // what the chip shows, read together with what drives it. False when there is none.
    template <class T, class Fn>
    bool inspect(Fn fn) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& b : behaviours_) {
            if (T* own = dynamic_cast<T*>(b.get())) {
                fn(*own, static_cast<const C331Chip&>(chip_));
                return true;
            }
        }
        return false;
    }

    std::vector<Access> log() const;
    std::vector<Access> writes() const;  // the log without reads
    void clearLog();                     // the accesses; the protocol errors stay

    std::vector<std::string> protocolErrors() const override;
    void clearProtocolErrors() override;

private:
    uint8_t readLocked(uint8_t address);
    void writeLocked(uint8_t address, uint8_t value);
    void error(const std::string& what);

    mutable std::mutex mutex_;
    C331Chip chip_;
    std::vector<std::unique_ptr<C331Behaviour>> behaviours_;
    uint8_t bank_ = 0;
    uint64_t order_ = 0;
    std::vector<Access> log_;
    std::vector<std::string> errors_;
};

}  // namespace sim
