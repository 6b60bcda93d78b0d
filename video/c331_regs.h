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
constexpr u32 kChannelControl = reg(0x00, 0x08);    // + channel: bit 0 output channel on
constexpr u32 kInputSelect = reg(0x00, 0x10);       // + ich: source code of the input channel
constexpr u32 kOutputStitch = reg(0x00, 0x69);      // + och
constexpr u32 kInputLink = reg(0x00, 0x71);         // + ich
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

// Input pairs (bank 0x03): dual-pixel capture of pair q at 9 * q.
constexpr u32 kDualControl = reg(0x03, 0x08);
constexpr u32 kDualStart = reg(0x03, 0x09, 2);
constexpr u32 kDualWidth = reg(0x03, 0x0B, 2);

// Vertical-sync status (bank 0x05): arm a channel's bit, then wait for it.
constexpr u32 kInputSyncArm = reg(0x05, 0x08);
constexpr u32 kOutputSyncArm = reg(0x05, 0x09);
constexpr u32 kInputSync = reg(0x05, 0x22);
constexpr u32 kOutputSync = reg(0x05, 0x23);

// Sync polarity (bank 0x06).
constexpr u32 kSyncPolarity = reg(0x06, 0x38, 4);     // byte per parallel channel
constexpr u32 kSyncPolarityVbo = reg(0x06, 0x3C, 4);  // 16 bits per V-by-One receiver

// Output channel 0 (bank 0x08). The window area of a channel runs from the starts (0x40,
// 0x44) to the ends (0x32, 0x36), in the channel's timing; 0x42 and 0x46 are the pixels and
// lines the channel reads for it (0: as many as the area needs).
constexpr u32 kOutputControl = reg(0x08, 0x08, 2);  // bits 8..11 input channel, bit 12 follow
constexpr u32 kOutHMirror = reg(0x08, 0x22);
constexpr u32 kOutHEnd = reg(0x08, 0x32, 2);
constexpr u32 kOutVEnd = reg(0x08, 0x36, 2);
constexpr u32 kOutHStart = reg(0x08, 0x40, 2);
constexpr u32 kOutHSize = reg(0x08, 0x42, 2);
constexpr u32 kOutVStart = reg(0x08, 0x44, 2);
constexpr u32 kOutVSize = reg(0x08, 0x46, 2);
constexpr u32 kBackgroundEnable = reg(0x08, 0x48);
constexpr u32 kBackgroundColour = reg(0x08, 0x49, 3);
constexpr u32 kSlideBar = reg(0x08, 0x57);
constexpr u32 kSlideBarColour = reg(0x08, 0x63);  // 0x63..0x65 R, G, B
constexpr u32 kSlideBarEnable = reg(0x08, 0x66);  // 0x66..0x68

// Output zoom of channel 0 (bank 0x0A): ratios in 1/65536 of a source pixel per output
// pixel.
constexpr u32 kVZoomControl = reg(0x0A, 0x44);
constexpr u32 kHZoomControl = reg(0x0A, 0x46);
constexpr u32 kHZoomPhase = reg(0x0A, 0x47);  // 0x47, 0x48
constexpr u32 kHZoomRatio = reg(0x0A, 0x49, 2);
constexpr u32 kVZoomPhase = reg(0x0A, 0x4B);  // 0x4B..0x4D
constexpr u32 kVZoomRatio = reg(0x0A, 0x4E, 2);
constexpr u32 kVZoomTable = reg(0x0A, 0x68);  // 24 taps

// Composition of panel position 0 (bank 0x0E): the channels stacked there, bottom first
// (a nibble each, channel + 8), and, for positions 0..3, the layer blend: 16 sets of five
// weights (layers 0..4), one per combination of layers 1..4 present.
constexpr u32 kOverlayOrder = reg(0x0E, 0x09, 4);
constexpr u32 kBlendMode = reg(0x0E, 0x0F, 2);
constexpr u32 kBlendCoefficient = reg(0x0E, 0x11);  // + 5 * set + layer

// Input channel 0 (bank 0x10): control (1 capture, 2 hold the frame, ich + 8 follow
// channel ich) and the capture window in the port's timing.
constexpr u32 kInputControl = reg(0x10, 0x09);
constexpr u32 kCaptureHStart = reg(0x10, 0x17, 2);
constexpr u32 kCaptureWidth = reg(0x10, 0x19, 2);
constexpr u32 kCaptureVStart = reg(0x10, 0x1B, 2);
constexpr u32 kCaptureHeight = reg(0x10, 0x1D, 2);

// Input shrink of channel 0 (bank 0x11): on/off and ratio (kept pixels per input pixel,
// in 1/65536) each way; the rest are phases.
constexpr u32 kHShrinkOn = reg(0x11, 0x42);
constexpr u32 kHShrinkRatio = reg(0x11, 0x47, 2);
constexpr u32 kVShrinkOn = reg(0x11, 0x49);
constexpr u32 kVShrinkRatio = reg(0x11, 0x4C, 2);
constexpr u32 kShrinkSetup[] = {
    reg(0x11, 0x42),    reg(0x11, 0x43), reg(0x11, 0x44), reg(0x11, 0x45), reg(0x11, 0x46),
    reg(0x11, 0x47, 2), reg(0x11, 0x49), reg(0x11, 0x4A), reg(0x11, 0x4B), reg(0x11, 0x4C, 2)};

// Frame memory of channel 0 (bank 0x16): what output channel 0 reads (five buffers, a
// line step of pitch x 1024 units; a pitch of 128 or more steps back by 256 - pitch) and
// what input channel 0 writes (bases, pitch, write mode, buffer rotation).
constexpr u32 kReadStart = reg(0x16, 0x08, 4);  // + 4 * buffer
constexpr u32 kWriteBase = reg(0x16, 0x1C, 4);  // + 4 * buffer
constexpr u32 kReadPitch = reg(0x16, 0x30);
constexpr u32 kWritePitch = reg(0x16, 0x31);
constexpr u32 kWriteMode = reg(0x16, 0x65);  // 1: 16/5 units a pixel, 2: 8/3, 3: 2, else 4
constexpr u32 kMemoryControl = reg(0x16, 0x66, 3);
constexpr u32 kOutputMemory = reg(0x16, 0x6C, 2);

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
