// The version of this program as the device-information screen shows it and as the
// upgrade installer compares it: major, minor and patch number, and the build date in
// BCD (year 0x2024, month 0x12, day 0x16 is 2024-12-16).
#pragma once

#include "core/types.h"

namespace app_version {
constexpr u8 major = 11;
constexpr u8 minor = 2;
constexpr u8 patch = 0;
constexpr u16 year = 0x2024;
constexpr u8 month = 0x12;
constexpr u8 day = 0x16;
}  // namespace app_version
