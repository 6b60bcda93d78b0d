// Pauses of the start-up that wait for hardware to settle.
#pragma once

namespace board {

// How long start-up waits before it looks for the USB key board: on the device the board
// needs time to enumerate after power-on; on a PC its HID devices are already there.
unsigned keyBoardSettleMilliseconds();
// How long the FPGA manager pauses after its soft initialisation, before its thread starts:
// on the device the FPGAs are still loading their configuration after power-on; the
// simulated FPGAs are configured at once (and report their own reset delays).
unsigned fpgaSettleMilliseconds();

}  // namespace board
