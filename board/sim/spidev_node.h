// The spidev nodes of the shared SPI bus: "/dev/spidev32766.0" (c331), ".1" (FPGA 0) and
// ".3" (configuration flash of FPGA 0). FPGA 1's nodes ".2" and ".4" are not there, as on
// the device's file system of this product.
//
// A node keeps spidev's settings (mode, bits per word, maximum clock; power-on 0, 8 and
// 1 MHz) and hands each SPI_IOC_MESSAGE to the bus as one message: the chip select stays
// active across the transfers of one request. A transfer without a clock of its own runs
// at the node's maximum. The bus (and with it the pads' power-on levels) exists from the
// first node on.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "board/sim/sim.h"

namespace sim {

class SpiBus;

class SpidevNode : public Node {
public:
    explicit SpidevNode(int chipSelect);

    int open(const std::string& path, int flags) override;
    int ioctl(int fd, unsigned long request, void* arg) override;

    // Faults: opens fail; after `skip` more messages, the next `count` SPI_IOC_MESSAGE
    // requests fail with EIO without reaching the bus (count < 0: all of them).
    void refuseOpen(bool refuse);
    void failMessages(uint64_t skip, int64_t count);

    uint8_t mode() const;
    uint32_t maxSpeedHz() const;

private:
    int message(const void* arg, size_t count);
    bool failThisMessage();

    const int chipSelect_;
    const std::shared_ptr<SpiBus> bus_;
    mutable std::mutex mutex_;
    uint8_t mode_ = 0;
    uint8_t bits_ = 8;
    uint32_t maxSpeedHz_ = 1000000;
    bool refuseOpen_ = false;
    uint64_t failSkip_ = 0;
    int64_t failCount_ = 0;
};

}  // namespace sim
