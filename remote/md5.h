// MD5 message digest (RFC 1321): the whole-file check of a remote file transfer.
#pragma once

#include <array>
#include <cstddef>

#include "core/types.h"

class MD5 {
public:
    using Digest = std::array<u8, 16>;

    MD5();
    void update(const u8* data, size_t length);
    // The digest of everything fed so far; the object must not be fed afterwards.
    Digest finish();

    static Digest of(const u8* data, size_t length);

private:
    void block(const u8* chunk);

    u32 state_[4];
    u64 length_ = 0;  // bytes fed
    u8 pending_[64];
    size_t used_ = 0;
};
