// Register fields of the c331 that the manager uses in more than one place, as
// descriptors (bank << 16 | address << 8 | byte count). Per-channel fields are given for
// channel 0; channel c lies 16 * c banks further (the bank offset of c331_drv).
#pragma once

#include "core/types.h"
#include "video/c331_drv.h"

namespace c331reg {

constexpr u32 reg(u8 bank, u8 address, u8 count = 1) {
    return c331_drv::descriptor(bank, address, count);
}

constexpr int kChannelBanks = 16;  // bank distance between two channels' blocks
constexpr int kOutputChannels = 8;
constexpr int kInputChannels = 8;
constexpr int kInputPorts = 6;
constexpr int kWindows = 6;

// Global block (bank 0x00).
constexpr u32 kPictEnable = reg(0x00, 0x18, 2);     // bit 4 * ch: parallel input ch on
constexpr u32 kVboLaneMode = reg(0x00, 0x1E, 2);    // + 2 * rx
constexpr u32 kRegUpdateTime = reg(0x00, 0x22, 1);  // 0x22..0x28, see set_rtct
constexpr u32 kRegUpdateHold = reg(0x00, 0x29, 1);  // bit 0 hold, 0x80 status latch
constexpr u32 kVboLaneSelect = reg(0x00, 0x39, 2);  // byte per receiver
constexpr u8 kHoldBit = 0x01;
constexpr u8 kStatusLatch = 0x80;

// V-by-One receivers (bank 0x02).
constexpr u32 kVboRxSelect = reg(0x02, 0x7F);  // 14/13 select receiver 0/1, 15 release
constexpr u32 kVboRxFrange = reg(0x02, 0x4C);  // + 0x1C * rx, bit 3 frequency range
constexpr u8 kFrangeBit = 0x08;

// Vertical-sync status (bank 0x05): arm a channel's bit, then wait for it.
constexpr u32 kInputSyncArm = reg(0x05, 0x08);
constexpr u32 kOutputSyncArm = reg(0x05, 0x09);
constexpr u32 kInputSync = reg(0x05, 0x22);
constexpr u32 kOutputSync = reg(0x05, 0x23);

// Sync polarity (bank 0x06).
constexpr u32 kSyncPolarity = reg(0x06, 0x38, 4);     // byte per parallel channel
constexpr u32 kSyncPolarityVbo = reg(0x06, 0x3C, 4);  // 16 bits per V-by-One receiver

// Output channel 0 (bank 0x08).
constexpr u32 kBackgroundEnable = reg(0x08, 0x48);
constexpr u32 kBackgroundColour = reg(0x08, 0x49, 3);
constexpr u32 kSlideBar = reg(0x08, 0x57);
constexpr u32 kSlideBarColour = reg(0x08, 0x63);  // 0x63..0x65 R, G, B
constexpr u32 kSlideBarEnable = reg(0x08, 0x66);  // 0x66..0x68

// Status banks.
constexpr u32 kInputStatus = reg(0xA8, 0x3E);  // + 5 * ch, 0xFF when raised
constexpr u32 kFieldPhase = reg(0xAB, 0x47);   // bits 0..1 output, 2..3 input field
constexpr u32 kVboFhm = reg(0xAE, 0x40, 2);    // + 8 * rx, four lanes 2 bytes apart
constexpr u32 kVboFvm = reg(0xAE, 0x5C, 3);    // + 0x0C * rx, four lanes 3 bytes apart
constexpr u32 kVboLock = reg(0xB2, 0x63);      // bit 5 + 2 * rx
constexpr u32 kIdentity = c331_drv::kIdDescriptor;

// Clock generator (bank 0xFF).
constexpr u32 kClockGenControl = reg(0xFF, 0x02);
constexpr u32 kClockGenPll = reg(0xFF, 0x04);

}  // namespace c331reg
