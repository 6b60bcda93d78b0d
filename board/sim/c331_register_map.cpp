#include "board/sim/c331_register_map.h"

#include <cstdio>

namespace sim {
namespace {

using Row = C331RegisterMap::Row;
constexpr uint8_t RO = C331RegisterMap::kReadOnly;

constexpr int kBanks = 256;
constexpr int kBankSize = 128;
constexpr int kChannelBanks = 16;

// bank, address, bytes, fields, step, channels, flags, name
constexpr Row kRows[] = {
    // ---- bank 0x00: global control
    {0x00, 0x08, 1, 8, 1, 1, 0, "channel control (0x08 + channel)"},
    {0x00, 0x10, 1, 8, 1, 1, 0, "input-channel source select (0x10 + ich)"},
    {0x00, 0x18, 2, 1, 2, 1, 0, "parallel input enable"},
    {0x00, 0x1A, 1, 4, 1, 1, 0, "input set-up 0x1A..0x1D"},
    {0x00, 0x1E, 2, 2, 2, 1, 0, "V-by-One receiver lane mode"},
    {0x00, 0x22, 1, 7, 1, 1, 0, "register-update timing"},
    {0x00, 0x29, 1, 1, 1, 1, 0, "register-update hold and status latch"},
    {0x00, 0x38, 1, 1, 1, 1, 0, "global 0x38"},
    {0x00, 0x39, 2, 1, 2, 1, 0, "V-by-One lane select"},
    {0x00, 0x46, 1, 1, 1, 1, 0, "global 0x46"},
    {0x00, 0x47, 1, 5, 1, 1, 0, "PLL words"},
    {0x00, 0x4C, 1, 5, 1, 1, 0, "second PLL words"},
    {0x00, 0x51, 1, 4, 1, 1, 0, "clock words"},
    {0x00, 0x55, 2, 1, 2, 1, 0, "output port timing control"},
    {0x00, 0x59, 1, 8, 1, 1, 0, "output colour control"},
    {0x00, 0x61, 1, 8, 1, 1, 0, "global 0x61..0x68"},
    {0x00, 0x69, 1, 8, 1, 1, 0, "output stitching control (0x69 + och)"},
    {0x00, 0x71, 1, 8, 1, 1, 0, "input-channel link (0x71 + ich)"},
    {0x00, 0x79, 1, 1, 1, 1, 0, "scaler kernel class"},
    {0x00, 0x7A, 1, 1, 1, 1, 0, "scaler kernel load"},

    // ---- bank 0x01: memory PHY
    {0x01, 0x08, 1, 1, 1, 1, 0, "memory PHY 0x08"},
    {0x01, 0x09, 4, 3, 4, 1, 0, "memory PHY 0x09..0x14"},
    {0x01, 0x15, 1, 5, 1, 1, 0, "memory PHY 0x15..0x19"},
    {0x01, 0x26, 1, 1, 1, 1, 0, "memory PHY release"},
    {0x01, 0x29, 4, 1, 4, 1, 0, "memory PHY 0x29"},
    {0x01, 0x2D, 1, 19, 1, 1, 0, "memory PHY 0x2D..0x3F"},
    {0x01, 0x40, 3, 8, 3, 1, 0, "memory PHY delays A"},
    {0x01, 0x58, 3, 8, 3, 1, 0, "memory PHY delays B"},
    {0x01, 0x70, 4, 1, 4, 1, 0, "memory PHY 0x70"},

    // ---- bank 0x02: V-by-One transmitters and receivers
    {0x02, 0x08, 1, 1, 1, 1, 0, "V-by-One transmitter 1 mode"},
    {0x02, 0x0A, 2, 1, 2, 1, 0, "V-by-One transmitter 1 PLL control"},
    {0x02, 0x10, 1, 1, 1, 1, 0, "V-by-One transmitter 1 0x10"},
    {0x02, 0x13, 1, 1, 1, 1, 0, "V-by-One transmitter 1 0x13"},
    {0x02, 0x18, 1, 1, 1, 1, 0, "V-by-One transmitter 1 band"},
    {0x02, 0x1C, 1, 1, 1, 1, 0, "V-by-One transmitter 1 PLL enable"},
    {0x02, 0x28, 1, 1, 1, 1, 0, "V-by-One transmitter 2 0x28"},
    {0x02, 0x2B, 1, 1, 1, 1, 0, "V-by-One transmitter 2 0x2B"},
    {0x02, 0x34, 1, 1, 1, 1, 0, "V-by-One transmitter 2 PLL enable"},
    {0x02, 0x40, 1, 2, 0x1C, 1, 0, "V-by-One receiver arm"},
    {0x02, 0x4C, 1, 2, 0x1C, 1, 0, "V-by-One receiver PLL (bit 3 frequency range)"},
    {0x02, 0x4F, 1, 2, 0x1C, 1, 0, "V-by-One receiver lane mask"},
    {0x02, 0x78, 1, 1, 1, 1, 0, "V-by-One transmitter 2 mode and band"},
    {0x02, 0x7A, 2, 1, 2, 1, 0, "V-by-One transmitter 2 PLL control"},
    {0x02, 0x7F, 1, 1, 1, 1, 0, "V-by-One PLL select"},

    // ---- bank 0x03: input front end
    {0x03, 0x08, 1, 4, 9, 1, 0, "input pair dual-pixel control"},
    {0x03, 0x09, 2, 4, 9, 1, 0, "input pair dual-pixel start"},
    {0x03, 0x0B, 2, 4, 9, 1, 0, "input pair dual-pixel width"},
    {0x03, 0x42, 1, 2, 1, 1, 0, "input front end 0x42, 0x43"},
    {0x03, 0x44, 1, 2, 8, 1, 0, "input horizontal sync width"},
    {0x03, 0x45, 1, 2, 8, 1, 0, "input vertical sync width"},
    {0x03, 0x55, 4, 1, 4, 1, 0, "V-by-One lane map 0"},
    {0x03, 0x5E, 4, 2, 4, 1, 0, "V-by-One lane maps 1, 2"},

    // ---- bank 0x04: OSD engine, blitter and serial-flash controller
    {0x04, 0x08, 1, 1, 1, 1, 0, "OSD engine command"},
    {0x04, 0x0B, 2, 1, 2, 1, 0, "blitter fill value"},
    {0x04, 0x0D, 4, 1, 4, 1, 0, "blitter source"},
    {0x04, 0x11, 4, 1, 4, 1, 0, "blitter destination"},
    {0x04, 0x17, 1, 1, 1, 1, RO, "blitter busy"},
    {0x04, 0x1B, 1, 1, 1, 1, 0, "blitter destination stride"},
    {0x04, 0x1C, 1, 1, 1, 1, 0, "blitter source stride"},
    {0x04, 0x1E, 2, 2, 2, 1, 0, "blitter width and height"},
    {0x04, 0x22, 1, 1, 1, 1, 0, "blitter flags"},
    {0x04, 0x23, 1, 4, 1, 1, 0, "text line set-up"},
    {0x04, 0x27, 2, 1, 2, 1, 0, "character FIFO address"},
    {0x04, 0x29, 1, 1, 1, 1, 0, "character FIFO data"},
    {0x04, 0x2A, 1, 1, 1, 1, 0, "character cell mode"},
    {0x04, 0x2B, 2, 1, 2, 1, 0, "OSD memory base"},
    {0x04, 0x47, 1, 1, 1, 1, 0, "flash controller mode"},
    {0x04, 0x48, 1, 1, 1, 1, 0, "flash command trigger"},
    {0x04, 0x49, 1, 1, 1, 1, 0, "flash page-program opcode"},
    {0x04, 0x4A, 1, 1, 1, 1, 0, "flash read opcode"},
    {0x04, 0x4B, 1, 1, 1, 1, 0, "flash erase/command opcode"},
    {0x04, 0x4C, 1, 1, 1, 1, 0, "flash write-enable opcode"},
    {0x04, 0x4D, 1, 1, 1, 1, 0, "flash read-status opcode"},
    {0x04, 0x4E, 4, 1, 4, 1, 0, "flash address"},
    {0x04, 0x52, 1, 1, 1, 1, 0, "flash data port"},
    {0x04, 0x53, 1, 1, 1, 1, 0, "B4_SFLDTCTL"},
    {0x04, 0x54, 1, 1, 1, 1, RO, "B4_SFLSTAT"},
    {0x04, 0x55, 1, 1, 1, 1, RO, "B4_SFLRDSR"},
    {0x04, 0x56, 4, 1, 4, 1, 0, "flash DMA length"},
    {0x04, 0x5A, 1, 1, 1, 1, 0, "flash DMA target"},
    {0x04, 0x5F, 1, 1, 1, 1, 0, "flash access mode"},
    {0x04, 0x60, 1, 1, 1, 1, 0, "flash 0x60"},

    // ---- bank 0x05: sync status and serial-flash pins
    {0x05, 0x08, 1, 2, 1, 1, 0, "vertical-sync arm (inputs, outputs)"},
    {0x05, 0x22, 1, 2, 1, 1, RO, "vertical-sync status (inputs, outputs)"},
    {0x05, 0x3C, 2, 2, 2, 1, 0, "flash pin set-up 0x3C, 0x3E"},
    {0x05, 0x42, 3, 1, 3, 1, 0, "flash pin set-up 0x42"},
    {0x05, 0x45, 2, 1, 2, 1, 0, "flash pin set-up 0x45"},
    {0x05, 0x7E, 2, 1, 2, 1, 0, "input 0x7E"},

    // ---- bank 0x06: sync polarity
    {0x06, 0x38, 4, 1, 4, 1, 0, "sync polarity, parallel inputs"},
    {0x06, 0x3C, 4, 1, 4, 1, 0, "sync polarity, V-by-One inputs"},

    // ---- banks 0x08 + 16c: output channels
    {0x08, 0x08, 2, 1, 2, 8, 0, "output channel control"},
    {0x08, 0x0A, 2, 2, 2, 8, 0, "output total width, height"},
    {0x08, 0x0F, 1, 1, 1, 1, 0, "output test control"},
    {0x08, 0x18, 2, 1, 2, 1, 0, "output test 0x18"},
    {0x08, 0x1D, 2, 1, 2, 8, 0, "output 0x1D"},
    {0x08, 0x22, 1, 1, 1, 8, 0, "output horizontal mirror"},
    {0x08, 0x28, 2, 8, 2, 8, 0, "output area starts and ends"},
    {0x08, 0x40, 2, 4, 2, 8, 0, "output active area"},
    {0x08, 0x48, 1, 1, 1, 8, 0, "background enable"},
    {0x08, 0x49, 3, 1, 3, 8, 0, "background colour"},
    {0x08, 0x57, 1, 4, 1, 8, 0, "pattern generator type and modes"},
    {0x08, 0x5B, 2, 4, 2, 8, 0, "pattern generator sizes"},
    {0x08, 0x63, 1, 3, 1, 8, 0, "pattern generator colour"},
    {0x08, 0x66, 1, 3, 1, 8, 0, "pattern generator colour enables"},

    // ---- banks 0x09 + 16k: OSD windows
    {0x09, 0x08, 2, 1, 2, 8, 0, "OSD window control"},
    {0x09, 0x0A, 2, 4, 2, 8, 0, "OSD 0x0A..0x11"},
    {0x09, 0x12, 2, 4, 2, 8, 0, "OSD window position and size"},
    {0x09, 0x1A, 4, 1, 4, 8, 0, "OSD window memory address"},
    {0x09, 0x1E, 1, 1, 1, 8, 0, "OSD window stride"},
    {0x09, 0x1F, 1, 1, 1, 1, 0, "OSD palette index"},
    {0x09, 0x20, 1, 1, 1, 1, 0, "OSD palette data"},
    {0x09, 0x3C, 1, 1, 1, 8, 0, "OSD scroll control"},
    {0x09, 0x3D, 1, 1, 1, 8, 0, "OSD scroll speed"},
    {0x09, 0x40, 2, 2, 2, 8, 0, "OSD scroll width, height"},

    // ---- banks 0x0A + 16c: output zoom
    {0x0A, 0x44, 1, 1, 1, 8, 0, "vertical zoom control"},
    {0x0A, 0x45, 1, 1, 1, 8, 0, "zoom 0x45"},
    {0x0A, 0x46, 1, 1, 1, 8, 0, "horizontal zoom control"},
    {0x0A, 0x47, 1, 2, 1, 8, 0, "horizontal zoom phase"},
    {0x0A, 0x49, 2, 1, 2, 8, 0, "horizontal zoom ratio"},
    {0x0A, 0x4B, 1, 3, 1, 8, 0, "vertical zoom phases"},
    {0x0A, 0x4E, 2, 1, 2, 8, 0, "vertical zoom ratio"},
    {0x0A, 0x68, 1, 24, 1, 8, 0, "vertical zoom kernel"},

    // ---- banks 0x0B + 16ich: sharpness
    {0x0B, 0x08, 1, 1, 1, 8, 0, "sharpness mode"},
    {0x0B, 0x09, 1, 1, 1, 8, 0, "horizontal sharpness gain"},
    {0x0B, 0x0C, 1, 5, 1, 8, 0, "horizontal sharpness coefficients"},
    {0x0B, 0x11, 1, 1, 1, 8, 0, "sharpness 0x11"},
    {0x0B, 0x12, 1, 1, 1, 8, 0, "vertical sharpness gain"},
    {0x0B, 0x15, 1, 5, 1, 8, 0, "vertical sharpness coefficients"},
    {0x0B, 0x5E, 1, 1, 1, 8, 0, "vertical sharpness enable"},

    // ---- banks 0x0C + 16c: output colour
    {0x0C, 0x14, 1, 1, 1, 8, 0, "saturation enable"},
    {0x0C, 0x1B, 2, 3, 2, 8, 0, "saturation"},
    {0x0C, 0x21, 1, 1, 1, 8, 0, "contrast enable"},
    {0x0C, 0x28, 2, 3, 2, 8, 0, "contrast"},
    {0x0C, 0x3A, 2, 3, 2, 8, 0, "brightness"},
    {0x0C, 0x49, 2, 9, 2, 8, 0, "colour matrix"},
    {0x0C, 0x5B, 2, 9, 2, 8, 0, "colour-temperature matrix"},

    // ---- banks 0x0E + 16u: output composition and layer blend
    {0x0E, 0x08, 1, 1, 1, 8, 0, "output source"},
    {0x0E, 0x09, 4, 1, 4, 8, 0, "overlay order"},
    {0x0E, 0x0D, 2, 1, 2, 8, 0, "output area control"},
    {0x0E, 0x0F, 2, 1, 2, 4, 0, "layer blend mode"},
    {0x0E, 0x11, 1, 80, 1, 4, 0, "layer blend coefficients"},

    // ---- banks 0x10 + 16ich: input channels
    {0x10, 0x09, 1, 1, 1, 8, 0, "input-channel control"},
    {0x10, 0x10, 1, 2, 1, 8, 0, "input channel 0x10, 0x11"},
    {0x10, 0x17, 2, 4, 2, 8, 0, "input-channel capture area"},
    {0x10, 0x28, 1, 1, 1, 8, 0, "input channel 0x28"},
    {0x10, 0x35, 2, 9, 2, 8, 0, "input-channel coefficients"},
    {0x10, 0x47, 1, 3, 1, 8, 0, "input channel 0x47..0x49"},
    {0x50, 0x4A, 1, 1, 1, 8, 0, "input change 0x4A"},
    {0x50, 0x4B, 3, 1, 3, 8, 0, "input change colour"},

    // ---- banks 0x11 + 16ich: input shrink
    {0x11, 0x42, 1, 5, 1, 8, 0, "input shrink 0x42..0x46"},
    {0x11, 0x47, 2, 1, 2, 8, 0, "input shrink 0x47"},
    {0x11, 0x49, 1, 3, 1, 8, 0, "input shrink 0x49..0x4B"},
    {0x11, 0x4C, 2, 1, 2, 8, 0, "input shrink 0x4C"},
    // A kernel load for both paths of path 7 reaches the ninth block.
    {0x11, 0x68, 1, 24, 1, 9, 0, "vertical shrink kernel"},

    // ---- banks 0x12 + 16ip: temporal noise reduction
    {0x12, 0x08, 1, 13, 1, 4, 0, "temporal NR"},

    // ---- banks 0x14 + 16ip: input processors
    {0x14, 0x08, 2, 2, 2, 4, 0, "input processor line and pixel totals"},
    {0x14, 0x0C, 1, 1, 1, 4, 0, "input processor 0x0C"},
    {0x14, 0x0D, 2, 1, 2, 4, 0, "input processor 0x0D"},
    {0x14, 0x0F, 2, 3, 2, 4, 0, "input processor active area"},
    {0x14, 0x15, 1, 1, 1, 4, 0, "motion-vector filter enable"},
    {0x14, 0x16, 1, 4, 1, 4, 0, "input processor 0x16..0x19"},
    {0x14, 0x1A, 1, 8, 1, 4, 0, "motion-vector thresholds"},
    {0x14, 0x22, 1, 2, 1, 4, 0, "input processor 0x22, 0x23"},
    {0x14, 0x2A, 1, 1, 1, 4, 0, "de-interlacer 0x2A"},
    {0x14, 0x2C, 1, 15, 1, 4, 0, "IP mode registers"},
    {0x14, 0x3B, 1, 3, 1, 4, 0, "comb filter"},
    {0x14, 0x42, 1, 9, 1, 4, 0, "IP mode group"},
    {0x14, 0x50, 1, 20, 1, 4, 0, "diagonal filter"},
    {0x14, 0x67, 1, 2, 1, 4, 0, "de-interlacer 0x67, 0x68"},
    {0x14, 0x6D, 2, 1, 2, 4, 0, "input processor 0x6D"},

    // ---- banks 0x15 + 16ip: noise reduction
    {0x15, 0x08, 1, 1, 1, 8, 0, "NR mode"},
    {0x15, 0x09, 1, 1, 1, 4, 0, "mosquito NR enable"},
    {0x15, 0x0A, 1, 29, 1, 4, 0, "mosquito NR"},
    {0x15, 0x28, 1, 7, 1, 4, 0, "mosquito NR 0x28..0x2E"},
    {0x15, 0x39, 2, 1, 2, 4, 0, "block NR control"},
    {0x15, 0x3B, 1, 18, 1, 4, 0, "block NR 0x3B..0x4C"},
    {0x15, 0x4D, 2, 2, 2, 4, 0, "block NR first group sizes"},
    {0x15, 0x51, 1, 3, 1, 4, 0, "block NR 0x51..0x53"},
    {0x15, 0x54, 2, 2, 2, 4, 0, "block NR second group sizes"},
    {0x15, 0x58, 1, 4, 1, 4, 0, "block NR 0x58..0x5B"},
    {0x15, 0x5C, 2, 4, 2, 4, 0, "block NR 0x5C..0x63"},
    {0x15, 0x64, 1, 3, 1, 4, 0, "block NR 0x64..0x66"},
    {0x15, 0x67, 2, 1, 2, 4, 0, "block NR 0x67"},
    {0x15, 0x69, 1, 2, 1, 4, 0, "block NR 0x69, 0x6A"},
    {0x15, 0x6B, 1, 1, 1, 4, 0, "horizontal/vertical NR enable"},
    {0x15, 0x6C, 1, 4, 1, 4, 0, "horizontal/vertical NR levels"},
    {0x15, 0x70, 1, 1, 1, 4, 0, "input processor enable"},

    // ---- banks 0x16 + 16k: frame memory
    {0x16, 0x08, 4, 5, 4, 8, 0, "memory read starts"},
    {0x16, 0x1C, 4, 5, 4, 8, 0, "memory write bases"},
    {0x16, 0x30, 1, 1, 1, 8, 0, "memory read pitch"},
    {0x16, 0x31, 1, 1, 1, 8, 0, "memory write pitch"},
    {0x16, 0x5B, 1, 1, 1, 8, 0, "memory interlace"},
    {0x16, 0x65, 1, 1, 1, 8, 0, "memory 0x65"},
    {0x16, 0x66, 3, 1, 3, 8, 0, "memory control"},
    {0x16, 0x6B, 1, 1, 1, 8, 0, "memory 0x6B"},
    {0x16, 0x6C, 2, 1, 2, 8, 0, "output memory control"},

    // ---- banks 0x17 + 16ip: input-processor frame buffers
    {0x17, 0x08, 4, 8, 4, 4, 0, "input-processor buffers"},
    {0x17, 0x58, 1, 1, 1, 4, 0, "input processor 0x58"},
    {0x17, 0x59, 2, 1, 2, 4, 0, "input-processor write mode"},
    {0x17, 0x5B, 4, 1, 4, 4, 0, "input processor 0x5B"},

    // ---- status: what the chip measures and raises
    {0xA8, 0x08, 2, 2, 2, 1, RO, "input processor 0 measured totals"},
    {0xA8, 0x3E, 1, 8, 5, 1, RO, "input vertical-sync status"},
    {0xAB, 0x47, 1, 8, 1, 1, RO, "field phase"},
    {0xAE, 0x08, 2, 4, 2, 1, RO, "HTOTAL, parallel ports"},
    {0xAE, 0x10, 2, 2, 8, 1, RO, "HTOTAL, V-by-One ports"},
    {0xAE, 0x20, 2, 4, 2, 1, RO, "VTOTAL, parallel ports"},
    {0xAE, 0x28, 2, 2, 8, 1, RO, "VTOTAL, V-by-One ports"},
    {0xAE, 0x38, 2, 4, 2, 1, RO, "FHW, parallel ports"},
    {0xAE, 0x40, 2, 8, 2, 1, RO, "V-by-One lane FHM"},
    {0xAE, 0x50, 3, 4, 3, 1, RO, "FVM, parallel ports"},
    {0xAE, 0x5C, 3, 8, 3, 1, RO, "V-by-One lane FVM"},
    {0xAF, 0x08, 2, 4, 2, 1, RO, "ACTHW, parallel ports"},
    {0xAF, 0x10, 2, 2, 8, 1, RO, "ACTHW, V-by-One ports"},
    {0xB2, 0x08, 1, 1, 1, 1, RO, "chip identity"},
    {0xB2, 0x63, 1, 1, 1, 1, RO, "V-by-One receiver lock"},
    // Input processors 1..3 measure in banks 6 apart from 0xA8; the second lies in the
    // port measures of bank 0xAE.
    {0xAE, 0x08, 2, 2, 2, 1, RO, "input processor 1 measured totals"},
    {0xB4, 0x08, 2, 2, 2, 1, RO, "input processor 2 measured totals"},
    {0xBA, 0x08, 2, 2, 2, 1, RO, "input processor 3 measured totals"},

    // ---- bank 0xFF: clock generator
    {0xFF, 0x01, 1, 4, 1, 1, 0, "clock generator 0x01..0x04"},
    {0xFF, 0x05, 3, 1, 3, 1, 0, "clock generator 0x05"},
};

size_t at(int bank, int address) {
    return static_cast<size_t>(bank) * kBankSize + static_cast<size_t>(address);
}

std::string hex(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

}  // namespace

const C331RegisterMap& C331RegisterMap::instance() {
    // Never destroyed: the program's threads may still reach the chip while the process
    // ends.
    static const C331RegisterMap* map = new C331RegisterMap;
    return *map;
}

C331RegisterMap::C331RegisterMap()
    : rows_(std::begin(kRows), std::end(kRows)), places_(static_cast<size_t>(kBanks) * kBankSize) {
    for (const Row& row : rows_) {
        for (int c = 0; c < row.channels; ++c) {
            const int bank = row.bank + kChannelBanks * c;
            for (int f = 0; f < row.fields; ++f) {
                const int first = row.address + row.step * f;
                bool whole = bank < kBanks && first + row.bytes <= kBankSize;
                if (!whole) {
                    conflicts_.push_back(std::string(row.name) + ": field past its bank");
                    continue;
                }
                for (int b = 0; b < row.bytes; ++b)
                    claim(row, c, f, static_cast<uint8_t>(bank), static_cast<uint8_t>(first + b));
            }
        }
    }
}

void C331RegisterMap::claim(const Row& row, int channel, int field, uint8_t bank, uint8_t address) {
    const uint8_t fieldAddress = static_cast<uint8_t>(row.address + row.step * field);
    Place& place = places_[at(bank, address)];
    if (!place.row) {
        place = Place{&row, channel, field, fieldAddress};
        ++registers_;
        if (address == fieldAddress)
            ++fields_;
        return;
    }
    bool same = place.fieldAddress == fieldAddress && place.row->bytes == row.bytes &&
                place.row->flags == row.flags;
    if (!same)
        conflicts_.push_back(describe(bank, address) + " also in " + row.name);
}

C331RegisterMap::Place C331RegisterMap::find(uint8_t bank, uint8_t address) const {
    if (address >= kBankSize)
        return {};
    return places_[at(bank, address)];
}

bool C331RegisterMap::readOnly(uint8_t bank, uint8_t address) const {
    const Place place = find(bank, address);
    return place.row && (place.row->flags & kReadOnly);
}

std::string C331RegisterMap::describe(uint8_t bank, uint8_t address) const {
    std::string text = "bank " + hex(bank) + " address " + hex(address);
    const Place place = find(bank, address);
    if (!place.row)
        return text;
    text += std::string(" (") + place.row->name;
    if (place.row->channels > 1)
        text += ", channel " + std::to_string(place.channel);
    return text + ")";
}

}  // namespace sim
