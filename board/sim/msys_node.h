// "/dev/msys": the SoC's memory-system driver, asked where the register window lies.
//
// Request 0x5315 takes a 20-byte block {u32 version 0x4D530100; u64 physical address;
// u32 size; u32 size of the block, 20} (packed, little-endian) and fills in the address
// and size of the window behind "/dev/mem". A block with another version or size is
// refused with EINVAL.
//
// Faults: the node cannot be opened; the request is refused.
#pragma once

#include <cstdint>
#include <mutex>

#include "board/sim/sim.h"

namespace sim {

class MsysNode : public Node {
public:
    static constexpr unsigned long kRequestWindow = 0x5315;
    static constexpr uint32_t kVersion = 0x4D530100;

    int open(const std::string& path, int flags) override;
    int ioctl(int fd, unsigned long request, void* arg) override;

    void refuseOpen(bool refuse);
    void refuseRequest(bool refuse);
    int requests() const;

private:
    mutable std::mutex mutex_;
    bool refuseOpen_ = false;
    bool refuseRequest_ = false;
    int requests_ = 0;
};

}  // namespace sim
