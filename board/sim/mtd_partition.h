// MTD flash partitions ("/dev/mtd8", "/dev/mtd10") kept as files under the root.
//
// NAND-like: erase blocks fill 0xFF; programming may only clear bits of erased bytes, so a
// write over bytes that were not erased first is recorded as an error (and stored as the
// flash would store it: the AND of old and new).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "board/sim/flash_bytes.h"
#include "board/sim/sim.h"

namespace sim {

class MtdPartition : public Node {
public:
    MtdPartition(std::string node, uint32_t size, uint32_t eraseSize, uint32_t writeSize);

    int open(const std::string& path, int flags) override;
    int ioctl(int fd, unsigned long request, void* arg) override;
    ssize_t pread(int fd, void* buf, size_t count, off_t offset) override;
    ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) override;

    std::vector<uint8_t> contents() const;
    std::vector<std::string> errors() const;
    std::vector<std::string> protocolErrors() const override { return errors(); }
    void clearProtocolErrors() override;
    std::vector<uint32_t> erasedBlocks() const;
    std::vector<uint32_t> unlockedBlocks() const;
    void refuseErase(bool refuse);
    void refuseInfo(bool refuse);
    uint32_t size() const { return size_; }
    uint32_t eraseSize() const { return eraseSize_; }
    uint32_t writeSize() const { return writeSize_; }

private:
    void load();
    void persist(uint32_t offset, uint32_t count);
    int erase(const void* arg, bool unlockOnly);

    std::string node_;
    uint32_t size_, eraseSize_, writeSize_;
    mutable std::mutex mutex_;
    FlashBytes data_;
    bool loaded_ = false;
    std::vector<std::string> errors_;
    std::vector<uint32_t> erased_, unlocked_;
    bool refuseErase_ = false, refuseInfo_ = false;
};

}  // namespace sim
