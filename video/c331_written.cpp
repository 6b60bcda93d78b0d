// What the manager last wrote into each register of the chip, so that the window code
// sends only what changes: a window move rewrites the whole set-up of every window, and
// most of it stands as it was. Only plain set-up registers are written this way; requests,
// triggers and status latches are always sent.
//
// Every write of the manager records its bytes (wr), a masked write forgets them (its
// result is the chip's), and the bring-up starts from nothing known. The chip's set-up
// registers change only when written.
#include "video/c331_drv.h"
#include "video/c331_manage.h"

namespace {

constexpr int kBankSize = 128;
constexpr u16 kKnown = 0x100;

int index_of(int bank, int address) {
    return bank * kBankSize + address;
}

// The bytes of a field: bank (offset included) and first address; false when the field
// lies outside the chip.
bool field_of(u32 desc, int bankOffset, int& bank, int& address, int& count) {
    bank = static_cast<int>((desc >> 16) & 0xFF) + bankOffset;
    address = static_cast<int>((desc >> 8) & 0xFF);
    count = static_cast<int>(desc & 0xFF);
    return bank >= 0 && bank <= 0xFF && count >= 1 && count <= 4 && address >= 1 &&
           address + count <= kBankSize;
}

}  // namespace

void c331_manage::note_written(u32 desc, u32 value, int bankOffset) {
    int bank, address, count;
    if (!written_regs || !field_of(desc, bankOffset, bank, address, count))
        return;
    for (int i = 0; i < count; ++i)
        written_regs[index_of(bank, address + i)].store(
            static_cast<u16>(kKnown | ((value >> (8 * i)) & 0xFF)), std::memory_order_relaxed);
}

void c331_manage::forget_written(u32 desc, int bankOffset) {
    int bank, address, count;
    if (!written_regs || !field_of(desc, bankOffset, bank, address, count))
        return;
    for (int i = 0; i < count; ++i)
        written_regs[index_of(bank, address + i)].store(0, std::memory_order_relaxed);
}

bool c331_manage::held(u32 desc, int bankOffset, u32& value) const {
    int bank, address, count;
    if (!written_regs || !field_of(desc, bankOffset, bank, address, count))
        return false;
    value = 0;
    for (int i = 0; i < count; ++i) {
        const u16 byte = written_regs[index_of(bank, address + i)].load(std::memory_order_relaxed);
        if (!(byte & kKnown))
            return false;
        value |= static_cast<u32>(byte & 0xFF) << (8 * i);
    }
    return true;
}

bool c331_manage::holds(u32 desc, u32 value, int bankOffset) const {
    u32 now;
    const int count = static_cast<int>(desc & 0xFF);
    const u32 mask = count >= 4 ? 0xFFFFFFFFu : (1u << (8 * count)) - 1;
    return held(desc, bankOffset, now) && now == (value & mask);
}

int c331_manage::wr_changed(u32 desc, u32 value, int bankOffset) {
    if (holds(desc, value, bankOffset))
        return 1;
    return wr(desc, value, bankOffset);
}

int c331_manage::wr_mask_changed(u32 desc, u32 value, u32 mask, int bankOffset) {
    u32 now;
    if (!held(desc, bankOffset, now))
        return wr_mask(desc, value, mask, bankOffset);
    return wr_changed(desc, (now & ~mask) | (value & mask), bankOffset);
}

void c331_manage::forget_all_written() {
    if (!written_regs)
        return;
    for (int i = 0; i < 256 * kBankSize; ++i)
        written_regs[i].store(0, std::memory_order_relaxed);
}
