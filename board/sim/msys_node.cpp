#include "board/sim/msys_node.h"

#include <errno.h>

#include <cstring>

#include "board/sim/soc_window.h"

namespace sim {
namespace {

Registration registration("/dev/msys", [] { return std::make_shared<MsysNode>(); });

constexpr size_t kBlockSize = 20;

uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

int MsysNode::open(const std::string& path, int flags) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (refuseOpen_) {
            errno = ENOENT;
            return -1;
        }
    }
    return Node::open(path, flags);
}

int MsysNode::ioctl(int, unsigned long request, void* arg) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (request != kRequestWindow) {
        errno = ENOTTY;
        return -1;
    }
    requests_++;
    uint8_t* block = static_cast<uint8_t*>(arg);
    if (refuseRequest_ || load32(block) != kVersion || load32(block + 16) != kBlockSize) {
        errno = EINVAL;
        return -1;
    }
    uint64_t base = SocWindow::kBase;
    uint32_t size = SocWindow::kSize;
    std::memcpy(block + 4, &base, sizeof base);
    std::memcpy(block + 12, &size, sizeof size);
    return 0;
}

void MsysNode::refuseOpen(bool refuse) {
    std::lock_guard<std::mutex> lock(mutex_);
    refuseOpen_ = refuse;
}

void MsysNode::refuseRequest(bool refuse) {
    std::lock_guard<std::mutex> lock(mutex_);
    refuseRequest_ = refuse;
}

int MsysNode::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

}  // namespace sim
