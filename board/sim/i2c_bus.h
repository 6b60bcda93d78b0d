// The input board's I2C bus behind "/dev/i2c-0".
//
// Topology (8-bit addresses):
//   0xEE channel switch -> 0x02/0x04/0x08: IT6602 channels 0..2 (0x94), 0x20: IT6805 (0x90)
//   0xE0 channel switch -> 0x02/0x04/0x08/0x20: EDID EEPROM of input 0..3 (0xA0),
//                          0x80: the set-up device 0xD0 (63 registers)
//   0x40 port expander: register 0 bit 0 is the EEPROMs' write protect (1 = protected),
//        bits 6, 5, 4, 2 select the source of inputs 0..3
//   0x98 IT66121 (SDI card), 0x76 SiI9022, 0xCA CDCE913: chips the program carries drivers
//        for but does not start (PlainRegisterChip, each with its register map)
//   0xEE channel 0x20 also reaches the IT6805's CEC engine at 0xC8 (It6805CecModel), its
//        EDID RAM at 0xA8 and its LVDS/auxiliary block at 0xB4 (it6805_blocks.h)
// A device answers only while it is routed and out of reset; the receivers' reset lines
// are the SoC window's GPIO words. A transfer stops at the first byte nobody acknowledges
// and the ioctl then fails with ENXIO, as the kernel reports a NACK. Each IT6602 channel is
// an It6602Model with the source of its input; the IT6805 is an It6805Model.
//
// Scene: "edid": ["valid" | "blank" | "corrupt", ...] per input, used when the EEPROM's
// file ("<root>/dev/i2c-0-eeprom<i>") does not exist yet.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "board/sim/i2c_device.h"
#include "board/sim/it6602_model.h"
#include "board/sim/it6805_blocks.h"
#include "board/sim/it6805_cec_model.h"
#include "board/sim/it6805_model.h"
#include "board/sim/plain_register_chip.h"
#include "board/sim/sim.h"

namespace sim {

class I2cBus : public Node {
public:
    static constexpr uint32_t kRxResetGpio = 0x207940;
    static constexpr uint32_t kHdmi20ResetGpio = 0x207944;

    // One message of a transfer as it happened on the bus.
    struct Message {
        uint8_t address;  // 8-bit form
        bool read;
        std::vector<uint8_t> bytes;  // written, or read back
        bool acked;                  // every phase of the message was acknowledged
        uint8_t receiverChannels;    // control of switch 0xEE at the time
        uint8_t edidChannels;        // control of switch 0xE0 at the time
    };
    struct Transfer {
        double timeMs;
        std::vector<Message> messages;
        bool ok;
    };

    I2cBus();

    int open(const std::string& path, int flags) override;
    void closed(int fd) override;
    int ioctl(int fd, unsigned long request, void* arg) override;
    ssize_t read(int fd, void* buf, size_t count) override;
    ssize_t write(int fd, const void* buf, size_t count) override;

    I2cSwitch& receiverSwitch() { return *receiverSwitch_; }
    I2cSwitch& edidSwitch() { return *edidSwitch_; }
    I2cRegisterFile& expander() { return *expander_; }
    I2cEeprom& eeprom(int input) { return *eeproms_.at(static_cast<size_t>(input)); }
    I2cRegisterFile& d0() { return *d0_; }
    It6602Model& it6602(int channel) { return *it6602_.at(static_cast<size_t>(channel)); }
    It6805Model& it6805() { return *it6805_; }
    It6805CecModel& it6805Cec() { return *cec_; }
    PlainRegisterChip& it6805EdidRam() { return *edidRam_; }
    PlainRegisterChip& it6805Lvds() { return *lvds_; }
    // 0xCA, 0x98 or 0x76.
    PlainRegisterChip& dormant(uint8_t address);

    // What the chips on the bus refused, each prefixed with its chip.
    std::vector<std::string> protocolErrors() const override;
    void clearProtocolErrors() override;

    std::vector<Transfer> log() const;
    void clearLog();
    // Messages of the log addressed to one device (8-bit address).
    std::vector<Message> messagesTo(uint8_t address) const;

private:
    struct Route {
        uint8_t address7;
        std::shared_ptr<I2cDevice> device;
        I2cSwitch* behind;  // null on the main segment
        uint8_t channel;
    };

    std::vector<I2cDevice*> reachable(uint8_t address7);
    bool transfer(std::vector<Message>& messages, std::vector<uint8_t*> readBuffers);
    void followSocWindow();
    void followResetLines(uint32_t offset, uint16_t value);
    void followExpander();

    mutable std::mutex mutex_;
    std::shared_ptr<I2cSwitch> receiverSwitch_, edidSwitch_;
    std::shared_ptr<I2cRegisterFile> expander_, d0_;
    std::shared_ptr<It6805Model> it6805_;
    std::shared_ptr<It6805CecModel> cec_;
    std::shared_ptr<PlainRegisterChip> edidRam_, lvds_;
    std::array<std::shared_ptr<It6602Model>, 3> it6602_;
    std::array<std::shared_ptr<I2cEeprom>, 4> eeproms_;
    std::map<uint8_t, std::shared_ptr<PlainRegisterChip>> dormant_;
    std::vector<Route> routes_;
    std::map<int, uint8_t> slaveAddress_;
    std::vector<Transfer> log_;
    bool socWired_ = false;
};

}  // namespace sim
