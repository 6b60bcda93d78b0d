// The screens of the front panel by the number that g_page_focus gives the one in front,
// and the reasons a refresh of the screen in front carries.
#pragma once

#include "core/types.h"

namespace page {
constexpr u8 home = 0;  // LockWindow
constexpr u8 mainwindow = 1;
constexpr u8 machinestate = 2;
constexpr u8 custommode = 4;
constexpr u8 option = 5;
constexpr u8 outputset = 6;
constexpr u8 linkoption = 10;
constexpr u8 imagequality = 11;
constexpr u8 advancedoption = 12;
constexpr u8 ledset = 13;
constexpr u8 netset = 14;
constexpr u8 lcdshow = 15;
constexpr u8 test_chart = 16;
constexpr u8 othersetup = 17;
constexpr u8 factory = 18;
constexpr u8 quality = 19;
constexpr u8 temperature = 20;
constexpr u8 linkcom = 21;
constexpr u8 linkwlan = 22;
constexpr u8 factoryage = 23;
constexpr u8 smartmapping = 24;
constexpr u8 rcv_recovery = 25;
constexpr u8 firmware_usbgrade = 26;
constexpr u8 last = 26;
}  // namespace page

namespace sync_reason {
constexpr int parameters = 1;
constexpr int mode_files = 2;
constexpr int port_links = 11;
constexpr int recovery = 99;
constexpr int usb_added = 100;
constexpr int usb_removed = 101;
constexpr int usb_ready = 102;
constexpr int alias_written = 103;
constexpr int usb_upgrade_done = 104;
constexpr int remote_upgrade_start = 105;
constexpr int remote_upgrade_end = 106;
}  // namespace sync_reason
