// The USB key board of the front panel: its presence and its LED output report.
#pragma once

#include <array>

#include "core/types.h"

constexpr unsigned short kKeyBoardVendor = 0x28E9;
constexpr unsigned short kKeyBoardProduct = 0x0380;

// 1 when the key board is among the HID devices, else 0 (also when hidapi cannot start).
int check_hiddev();

// The key-LED report: byte 0 the window LEDs (bit n: window n is the one being edited),
// byte 1 the source LEDs (bit n: that window shows input n), byte 2 bit 0 freeze and bit 1
// black of that window, byte 3 bit 0 the panel lock, byte 4 bit 0 an upgrade in progress.
using KeyLedReport = std::array<u8, 5>;

// Sends a report to the key board (after the report number 0); false when the board
// cannot be opened or the write fails.
bool writeKeyLedReport(const KeyLedReport& report);
