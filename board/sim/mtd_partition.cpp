#include "board/sim/mtd_partition.h"

#include <errno.h>
#include <fcntl.h>
#include <mtd/mtd-user.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "board/board.h"
#include "board/sim/bounded_log.h"

namespace sim {
namespace {

Registration mtd8("/dev/mtd8", [] {
    return std::make_shared<MtdPartition>("/dev/mtd8", 8u << 20, 128u << 10, 2048);
});
Registration mtd10("/dev/mtd10", [] {
    return std::make_shared<MtdPartition>("/dev/mtd10", 2u << 20, 128u << 10, 2048);
});

}  // namespace

MtdPartition::MtdPartition(std::string node, uint32_t size, uint32_t eraseSize, uint32_t writeSize)
    : node_(std::move(node)),
      size_(size),
      eraseSize_(eraseSize),
      writeSize_(writeSize),
      data_(size) {}

void MtdPartition::load() {
    if (loaded_)
        return;
    loaded_ = true;
    const int fd = ::open(board::path(node_).c_str(), O_RDONLY | O_CLOEXEC);
    const bool whole = fd >= 0 && data_.load(fd);
    if (fd >= 0)
        ::close(fd);
    if (!whole)
        persist(0, size_);
}

void MtdPartition::persist(uint32_t offset, uint32_t count) {
    std::string file = board::path(node_);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    if (!std::filesystem::exists(file))
        std::ofstream(file, std::ios::binary);
    std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(offset);
    std::vector<uint8_t> bytes = data_.copy(offset, count);
    out.write(reinterpret_cast<const char*>(bytes.data()), count);
}

int MtdPartition::open(const std::string& path, int flags) {
    std::lock_guard<std::mutex> lock(mutex_);
    load();
    return Node::open(path, flags);
}

int MtdPartition::erase(const void* arg, bool unlockOnly) {
    const erase_info_user* info = static_cast<const erase_info_user*>(arg);
    uint64_t start = info->start, length = info->length;
    if (start % eraseSize_ || length % eraseSize_ || start + length > size_ || length == 0) {
        errno = EINVAL;
        return -1;
    }
    if (refuseErase_) {
        errno = EIO;
        return -1;
    }
    for (uint64_t block = start; block < start + length; block += eraseSize_) {
        if (unlockOnly) {
            appendBounded(unlocked_, static_cast<uint32_t>(block));
            continue;
        }
        data_.erase(block, eraseSize_);
        appendBounded(erased_, static_cast<uint32_t>(block));
    }
    if (!unlockOnly)
        persist(static_cast<uint32_t>(start), static_cast<uint32_t>(length));
    return 0;
}

int MtdPartition::ioctl(int, unsigned long request, void* arg) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (request == MEMGETINFO) {
        if (refuseInfo_) {
            errno = EIO;
            return -1;
        }
        mtd_info_user* info = static_cast<mtd_info_user*>(arg);
        std::memset(info, 0, sizeof *info);
        info->type = MTD_NANDFLASH;
        info->flags = MTD_WRITEABLE;
        info->size = size_;
        info->erasesize = eraseSize_;
        info->writesize = writeSize_;
        info->oobsize = 64;
        return 0;
    }
    if (request == MEMERASE)
        return erase(arg, false);
    if (request == MEMUNLOCK)
        return erase(arg, true);
    errno = ENOTTY;
    return -1;
}

ssize_t MtdPartition::pread(int, void* buf, size_t count, off_t offset) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (offset < 0 || static_cast<uint64_t>(offset) >= size_)
        return 0;
    size_t n = std::min<uint64_t>(count, size_ - offset);
    data_.read(offset, static_cast<uint8_t*>(buf), n);
    return static_cast<ssize_t>(n);
}

ssize_t MtdPartition::pwrite(int, const void* buf, size_t count, off_t offset) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (offset < 0 || static_cast<uint64_t>(offset) + count > size_) {
        errno = ENOSPC;
        return -1;
    }
    const uint8_t* in = static_cast<const uint8_t*>(buf);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t cell = data_.get(offset + i);
        if (cell != 0xFF && in[i] != cell) {
            char text[96];
            std::snprintf(text, sizeof text, "%s: programmed 0x%02x over 0x%02x at 0x%lx",
                          node_.c_str(), in[i], cell, static_cast<unsigned long>(offset + i));
            appendBounded(errors_, std::string(text));
        }
        data_.set(offset + i, cell & in[i]);
    }
    persist(static_cast<uint32_t>(offset), static_cast<uint32_t>(count));
    return static_cast<ssize_t>(count);
}

std::vector<uint8_t> MtdPartition::contents() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return data_.copy(0, size_);
}

std::vector<std::string> MtdPartition::errors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

void MtdPartition::clearProtocolErrors() {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.clear();
}

std::vector<uint32_t> MtdPartition::erasedBlocks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return erased_;
}

std::vector<uint32_t> MtdPartition::unlockedBlocks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return unlocked_;
}

void MtdPartition::refuseErase(bool refuse) {
    std::lock_guard<std::mutex> lock(mutex_);
    refuseErase_ = refuse;
}

void MtdPartition::refuseInfo(bool refuse) {
    std::lock_guard<std::mutex> lock(mutex_);
    refuseInfo_ = refuse;
}

}  // namespace sim
