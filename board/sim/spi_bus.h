// The device's one SPI bus: the c331, FPGA 0 and FPGA 1, and the configuration flash of
// each FPGA, behind a pair of routing pads in the SoC window.
//
// Each spidev message is decided at the moment it is sent, from the pads as they stand:
//
//   route0 (0x207900)  route1 (0x207810)  device
//   high               high               c331
//   high               low                FPGA 0, or its flash while flash select 0
//                                         (0x207860) is low
//   low                high               FPGA 1, or its flash while flash select 1
//                                         (0x207950) is low
//   low                low                nothing
//
// A pad reads high when bit 4 of its word is set (the program writes 16 or 0). An FPGA
// takes a message as a command word while its command line (FPGA 0 0x207838, FPGA 1
// 0x207954) is high and as data while it is low. A message that reaches no device, that
// arrives on a node other than the routed chip's (".0" c331, ".1" FPGA 0, ".2" FPGA 1,
// ".3" flash of FPGA 0, ".4" flash of FPGA 1) or in a clock mode other than 3 is not
// delivered: it is recorded as a bus error and the receive bytes read 0xFF.
//
// The board pulls the flash selects and the FPGA 1 command line up and leaves the routing
// on the c331: those are the pads' levels until the program first drives them.
//
// Per device the bus counts messages, bytes and bus time at each transfer's clock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "board/sim/sim.h"

namespace sim {

class C331Model;
class FpgaModel;
class SocWindow;
class SpiNorFlash;

enum class SpiTarget { C331, Fpga0, Fpga1, Flash0, Flash1, None };
const char* targetName(SpiTarget target);

class SpiBus : public Part {
public:
    // SoC window offsets of the pads that steer the bus.
    static constexpr uint32_t kRoute0 = 0x207900;
    static constexpr uint32_t kRoute1 = 0x207810;
    static constexpr uint32_t kFpgaCommand[2] = {0x207838, 0x207954};
    static constexpr uint32_t kFlashSelect[2] = {0x207860, 0x207950};

    struct Counters {
        uint64_t messages = 0;
        uint64_t bytes = 0;
        double busNs = 0;  // clock time of the bits, at each transfer's speed
    };
    struct BusError {
        double timeMs;
        int chipSelect;
        std::string what;
    };
    struct Message {
        double timeMs;
        int chipSelect;
        SpiTarget target;  // None when not delivered
        uint32_t speedHz;  // of the first transfer
        uint32_t length;
        std::vector<uint8_t> head;  // the first bytes sent, at most kHeadBytes
    };
    static constexpr size_t kHeadBytes = 8;

    SpiBus();

    // One message on the node of chipSelect: tx and rx have the same length; busNs is its
    // clock time. Fills rx with what the bus returned.
    void message(int chipSelect, uint8_t mode, const std::vector<uint8_t>& tx,
                 std::vector<uint8_t>& rx, uint32_t speedHz, double busNs);

    // Which device the pads route to now.
    SpiTarget routed() const;

    Counters counters(SpiTarget target) const;
    std::vector<BusError> errors() const;
    std::vector<Message> messages() const;
    void clearLog();  // messages and counters; the errors stay

    // The errors as text: "chip select 1 at 12.345 ms: what".
    std::vector<std::string> protocolErrors() const override;
    void clearProtocolErrors() override;

private:
    bool high(uint32_t offset) const;
    void deliver(SpiTarget target, const std::vector<uint8_t>& tx, std::vector<uint8_t>& rx);
    void fail(int chipSelect, const std::string& what);

    std::shared_ptr<SocWindow> window_;
    mutable std::mutex mutex_;
    std::shared_ptr<C331Model> c331_;
    std::shared_ptr<FpgaModel> fpga_[2];
    std::shared_ptr<SpiNorFlash> flash_[2];
    Counters counters_[6];
    std::vector<BusError> errors_;
    std::vector<Message> messages_;
};

}  // namespace sim
