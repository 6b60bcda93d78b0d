// The processor's address space as the RAM commands see it: the parameter image, the
// user-mode slots and the emulated controller areas of the FPGA manager. A request must
// lie inside one area; nothing is read or written otherwise.
#pragma once

#include "core/types.h"

namespace processor_map {

constexpr u32 kImage = 0x00000;  // 4096 bytes of the live parameter image
constexpr u32 kImageSize = 4096;
constexpr u32 kUserModes = 0x01000;  // slot n (1..16) at n << 12, 4096 bytes each
constexpr u32 kUserModeWindow = 0x1000;
constexpr u32 kUserModesEnd = 0x11000;
// The emulated controller of the FPGA manager.
constexpr u32 kCommandArea = 0x20000;  // MCU_RAM_CMD, 1024 bytes
constexpr u32 kExtendArea = 0x21000;   // MCU_RAM_EXTEND, 1024 bytes, read only
constexpr u32 kParaRam = 0x30000;      // parameter RAM of FPGA f at + 0x1000 f, 1024 bytes
constexpr u32 kBackPara = 0x32000;     // back-parameter block of FPGA f at + 0x1000 f, 136 bytes,
                                       // read only
constexpr u32 kFpgaStride = 0x1000;

// Reads count bytes at address into out; false (nothing read) when the range is not
// inside one readable area.
bool read(u32 address, u16 count, u8* out);
// Writes count bytes at address; false (nothing written) when the range is not inside
// one writable area or the area refused the write. A write to the image does not raise
// the apply request.
bool write(u32 address, const u8* data, u16 count);

}  // namespace processor_map
