// An output FPGA as its SPI link, its reset pad and its service line see it.
//
// SPI: while the FPGA's command line is high a message must be the 4-byte command word,
// least significant byte first: bit 0 read, bits 1..4 the command (1 RAM, 2 register),
// bits 8..15 the RAM block, bits 16..27 the RAM byte address (register access: bits
// 16..23 the register number, bits 24..31 the write mask). The next message, sent with
// the line low, is the data phase of that command: one byte for a register (a write
// changes only the masked bits), any length for a RAM block (4096 bytes per block; the
// address wraps inside the block). A command word of another length, a command that is
// neither 1 nor 2, a command word that replaces one whose data never came, or data
// without a command is a protocol error and changes nothing.
//
// Reset and configuration: the FPGA is held in reset while its reset pad (FPGA 0
// 0x207858, FPGA 1 0x207864; power-on low) reads low, and loads its image from its
// configuration flash for a while after the pad goes high. Until then it drives nothing:
// every message is ignored and reads return 0xFF. Configuration starts it afresh:
// registers zero except the image's identity (31 year, 30 month, 29 day as BCD, 28 the
// function number), the port links and the scene's registers; RAM blocks zero.
//
// What the FPGA itself drives:
// - register 22: bit 3 V-by-One error while the link is trained (register 3 bit 6) on a
//   faulty link; bit 4 locked once trained and enabled (register 3 bits 6 and 7) on a
//   sound link; bit 7 video present while locked, the output enabled (register 23 bit 0)
//   and the measured output non-zero; bits 5 and 6 are events that stay until written 0
//   (bit 5 also reads 1 while a receive buffer of the output ports holds a frame).
//   Register 40 bits 2..4 follow the lock. Clearing register 3 bits 6 and 7 drops the
//   lock, and retrains a link that had dropped.
// - registers 128 and 144: the link bitmap of output ports 0..7 and 8..15 (writes are
//   ignored);
// - RAM block 1 bytes 116..123: the output it measures, u16 width, u16 height and u32
//   frame period in 50 MHz cycles; RAM block 0 bytes 116..119: the size of the monitor on
//   its monitor output, u16 width and u16 height, 0 x 0 without one (writes there are
//   ignored);
// - the service line (FPGA 0 0x207908, FPGA 1 0x207910, bit 0) while an event bit of
//   register 22 is set.
//
// Scene:
//   "fpga": [{"registers": {"31": 37, ...}, "configMs": 100, "linkError": false,
//             "noLock": false, "image": {"year": 36, "month": 6, "day": 33,
//             "function": 1}, "output": {"width": 1920, "height": 1080, "hz": 60}}, {...}]
//   The image fields are the register bytes, BCD (year 36 = 0x24: 2024; day 33 = 0x21);
//   those above are the defaults.
//   "outputs": [{"port": 1, "fpga": 0, "cards": 1}, ...]: output ports (1-based as on the
//   panel) with a cable and receiving cards; default: port 1 of FPGA 0 with one card. The
//   ports and their cards, with their own keys, are the FPGA's OutputPorts
//   (output_ports.h): the registers and RAM blocks of the net ports are theirs, and a
//   frame waiting in a receive buffer holds register 22 bit 5 (and the service line) up
//   until the program has given every buffer back.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "board/sim/output_ports.h"
#include "board/sim/sim.h"

namespace sim {

class SocWindow;

class FpgaModel : public Part, public std::enable_shared_from_this<FpgaModel> {
public:
    static constexpr uint32_t kBlockSize = 4096;
    static constexpr uint32_t kResetPad[2] = {0x207858, 0x207864};
    static constexpr uint32_t kServicePad[2] = {0x207908, 0x207910};
    static constexpr uint8_t kMeasuredBlock = 1;
    static constexpr uint32_t kMeasuredAt = 116;
    static constexpr uint32_t kMeasuredBytes = 8;
    static constexpr uint8_t kMonitorBlock = 0;
    static constexpr uint32_t kMonitorAt = 116;
    static constexpr uint32_t kMonitorBytes = 4;
    static constexpr double kDefaultConfigMs = 100;
    static constexpr uint32_t kPeriodClockHz = 50000000;

    struct Access {
        double timeMs;
        std::array<uint8_t, 4> command;  // the command word as it came
        bool read;
        uint8_t op;  // 1 RAM, 2 register
        uint8_t block;
        uint16_t address;  // RAM address or register number
        uint8_t mask;
        std::vector<uint8_t> data;  // written, or returned
    };

    explicit FpgaModel(int index);
    // Creates the model and lets it follow its reset pad.
    static std::shared_ptr<FpgaModel> create(int index);

    void transfer(bool commandLine, const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx);

    // The register as the FPGA presents it (status bits included). Setting register 128
    // or 144 sets the port links.
    uint8_t reg(uint8_t number) const;
    void setReg(uint8_t number, uint8_t value);
    std::vector<uint8_t> ram(uint8_t block, uint32_t address, uint32_t count) const;
    void setRam(uint8_t block, uint32_t address, const std::vector<uint8_t>& bytes);

    // Reset and configuration.
    void setConfigDelayMs(double ms);
    bool inReset() const;
    bool configured() const;
    int configurations() const;  // images loaded since power-on
    uint64_t ignoredMessages() const;

    // What the FPGA sees.
    void setLinks(uint16_t ports);  // bit p: output port p (0-based) has a link
    uint16_t links() const;
    int cards(int port) const;  // receiving cards on output port 0..15
    // The output ports and their chains of receiving cards.
    std::shared_ptr<OutputPorts> ports() const { return ports_; }
    void setOutput(uint16_t width, uint16_t height, uint32_t periodCycles);
    // The monitor on the FPGA's monitor output (0 x 0: none).
    void setMonitor(uint16_t width, uint16_t height);
    // Faults of the V-by-One link: an error at every training, a link that never locks,
    // a locked link that drops until it is trained again.
    void setLinkError(bool error);
    void setNoLock(bool noLock);
    void dropLink();
    // Which of register 40's lock bits (2..4, 0x1C: all three) a locked link shows; fewer
    // than three: a lane of the link that does not lock.
    void setLockBits(uint8_t bits);
    // Writes to a RAM block are lost (a RAM that does not keep what it is given).
    void setRamWriteFault(uint8_t block, bool fault);
    // Raises event bits of register 22 (bits 5, 6) with the service request.
    void raiseEvent(uint8_t bits);
    bool serviceRequested() const;

    std::vector<Access> log() const;
    std::vector<std::string> protocolErrors() const override;
    void clearProtocolErrors() override;
    void clearLog();  // the accesses; the protocol errors stay

private:
    struct Pending {
        std::array<uint8_t, 4> bytes;
        bool read;
        uint8_t op, block, mask;
        uint16_t address;
    };

    void attach();
    void padStored(uint32_t offset, uint16_t value);
    void follow();  // reset pad and configuration delay, under mutex_
    void enterReset();
    void configure();
    bool locked() const;
    uint8_t presented(uint8_t number) const;
    void written(uint8_t number);
    void updateService();
    void command(const std::vector<uint8_t>& tx);
    void data(const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx);
    std::vector<uint8_t>& block(uint8_t number);
    void error(const std::string& what);
    void record(Access access);
    // A RAM byte the FPGA drives itself (what it measures): its value. Writes there are
    // ignored.
    bool driven(uint8_t block, uint32_t address, uint8_t& value) const;
    // Answers the ports collected: the receive event stays raised while one waits.
    void collectAnswers();

    const int index_;
    std::shared_ptr<SocWindow> window_;
    mutable std::recursive_mutex mutex_;
    std::array<uint8_t, 256> regs_{};
    std::array<uint8_t, 256> sceneRegs_{};
    std::array<bool, 256> sceneSet_{};
    std::map<uint8_t, std::vector<uint8_t>> blocks_;
    bool pending_ = false;
    Pending command_{};
    std::vector<Access> log_;
    std::vector<std::string> errors_;

    bool inReset_ = true;
    bool configured_ = false;
    double releasedAt_ = 0;
    double configMs_ = kDefaultConfigMs;
    int configurations_ = 0;
    uint64_t ignored_ = 0;

    uint8_t image_[4] = {0x01, 0x21, 0x06, 0x24};  // registers 28..31
    uint16_t links_ = 0;
    std::shared_ptr<OutputPorts> ports_;
    uint16_t width_ = 1920, height_ = 1080;
    uint32_t period_ = kPeriodClockHz / 60;
    uint16_t monitorWidth_ = 0, monitorHeight_ = 0;
    bool linkError_ = false;
    bool noLock_ = false;
    bool dropped_ = false;
    uint8_t lockBits_ = 0x1C;
    std::map<uint8_t, bool> ramFault_;
};

}  // namespace sim
