// The keys of the front panel. The USB key board sends them as ordinary key events, with
// a letter code or a function-key code for each of the five keys; both count the same.
#pragma once

#include "core/types.h"

enum class PanelKey { None, Left, Right, Ok, Back, Mode };

namespace keycode {
constexpr int left = 0x53;            // 'S'
constexpr int right = 0x52;           // 'R'
constexpr int ok = 0x51;              // 'Q'
constexpr int back = 0x4F;            // 'O'
constexpr int mode = 0x4D;            // 'M'
constexpr int left_fn = 0x01000033;   // F4
constexpr int right_fn = 0x01000034;  // F5
constexpr int ok_fn = 0x01000035;     // F6
constexpr int back_fn = 0x010000B7;   // power-off key
constexpr int mode_fn = 0x01000063;   // stop key
}  // namespace keycode

PanelKey panelKey(int code);

// The debug lines every screen writes for its keys (the toolkit's debug output, whatever
// the debug switch says). A press is traced only for the two function codes of OK and
// Back; a release names the key, the screen and, for Left and Right, the focus index
// before the move.
void tracePress(const char* screen, int code);
void traceRelease(const char* screen, PanelKey key, u8 ui_select);
