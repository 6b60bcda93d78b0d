// How long start-up waits before it looks for the USB key board: on the device the board
// needs time to enumerate after power-on; on a PC its HID devices are already there.
#pragma once

namespace board {

unsigned keyBoardSettleMilliseconds();

}  // namespace board
