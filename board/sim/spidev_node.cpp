#include "board/sim/spidev_node.h"

#include <errno.h>
#include <linux/spi/spidev.h>
#include <sys/ioctl.h>

#include <cstring>
#include <vector>

#include "board/sim/spi_bus.h"

namespace sim {
namespace {

Registration node0("/dev/spidev32766.0", [] { return std::make_shared<SpidevNode>(0); });
Registration node1("/dev/spidev32766.1", [] { return std::make_shared<SpidevNode>(1); });
Registration node3("/dev/spidev32766.3", [] { return std::make_shared<SpidevNode>(3); });

bool isMessage(unsigned long request) {
    return _IOC_TYPE(request) == SPI_IOC_MAGIC && _IOC_NR(request) == 0 &&
           _IOC_DIR(request) == _IOC_WRITE;
}

}  // namespace

SpidevNode::SpidevNode(int chipSelect) : chipSelect_(chipSelect), bus_(get<SpiBus>("spi-bus")) {}

int SpidevNode::open(const std::string& path, int flags) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (refuseOpen_) {
            errno = ENODEV;
            return -1;
        }
    }
    return Node::open(path, flags);
}

void SpidevNode::refuseOpen(bool refuse) {
    std::lock_guard<std::mutex> lock(mutex_);
    refuseOpen_ = refuse;
}

void SpidevNode::failMessages(uint64_t skip, int64_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    failSkip_ = skip;
    failCount_ = count;
}

uint8_t SpidevNode::mode() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mode_;
}

uint32_t SpidevNode::maxSpeedHz() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return maxSpeedHz_;
}

bool SpidevNode::failThisMessage() {
    if (failCount_ == 0)
        return false;
    if (failSkip_ > 0) {
        failSkip_--;
        return false;
    }
    if (failCount_ > 0)
        failCount_--;
    return true;
}

int SpidevNode::ioctl(int, unsigned long request, void* arg) {
    if (isMessage(request)) {
        size_t size = _IOC_SIZE(request);
        if (size == 0 || size % sizeof(spi_ioc_transfer)) {
            errno = EINVAL;
            return -1;
        }
        return message(arg, size / sizeof(spi_ioc_transfer));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    switch (request) {
        case SPI_IOC_WR_MODE: {
            uint8_t mode = *static_cast<const uint8_t*>(arg);
            if (mode > 3) {
                errno = EINVAL;
                return -1;
            }
            mode_ = mode;
            return 0;
        }
        case SPI_IOC_RD_MODE:
            *static_cast<uint8_t*>(arg) = mode_;
            return 0;
        case SPI_IOC_WR_BITS_PER_WORD: {
            uint8_t bits = *static_cast<const uint8_t*>(arg);
            if (bits != 0 && bits != 8) {
                errno = EINVAL;
                return -1;
            }
            bits_ = 8;
            return 0;
        }
        case SPI_IOC_RD_BITS_PER_WORD:
            *static_cast<uint8_t*>(arg) = bits_;
            return 0;
        case SPI_IOC_WR_MAX_SPEED_HZ: {
            uint32_t speed = *static_cast<const uint32_t*>(arg);
            if (speed == 0) {
                errno = EINVAL;
                return -1;
            }
            maxSpeedHz_ = speed;
            return 0;
        }
        case SPI_IOC_RD_MAX_SPEED_HZ:
            *static_cast<uint32_t*>(arg) = maxSpeedHz_;
            return 0;
        default:
            errno = ENOTTY;
            return -1;
    }
}

int SpidevNode::message(const void* arg, size_t count) {
    const spi_ioc_transfer* xfers = static_cast<const spi_ioc_transfer*>(arg);
    uint8_t mode;
    uint32_t maxSpeed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (size_t i = 0; i < count; ++i)
            if (xfers[i].bits_per_word != 0 && xfers[i].bits_per_word != 8) {
                errno = EINVAL;
                return -1;
            }
        if (failThisMessage()) {
            errno = EIO;
            return -1;
        }
        mode = mode_;
        maxSpeed = maxSpeedHz_;
    }
    std::vector<uint8_t> tx;
    double busNs = 0;
    for (size_t i = 0; i < count; ++i) {
        const spi_ioc_transfer& x = xfers[i];
        const uint8_t* src = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(x.tx_buf));
        if (src)
            tx.insert(tx.end(), src, src + x.len);
        else
            tx.insert(tx.end(), x.len, 0);
        uint32_t speed = x.speed_hz ? x.speed_hz : maxSpeed;
        busNs += x.len * 8 * 1e9 / speed;
    }
    std::vector<uint8_t> rx;
    uint32_t firstSpeed = xfers[0].speed_hz ? xfers[0].speed_hz : maxSpeed;
    bus_->message(chipSelect_, mode, tx, rx, firstSpeed, busNs);
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        uint8_t* dst = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(xfers[i].rx_buf));
        if (dst && xfers[i].len)
            std::memcpy(dst, rx.data() + at, xfers[i].len);
        at += xfers[i].len;
    }
    return static_cast<int>(tx.size());
}

}  // namespace sim
