// The aging (burn-in) log: every 180 s the main window's tick appends one line with the
// local time and three registers of FPGA 0 ("MM-dd hh:mm", register 42, register 40,
// register 43, separated by single blanks), keeps the newest 3360 lines, and counts how
// far register 42 advanced between the last two lines.
//
// The FPGA side is reached through a source (installFpgaAgeLogSource at start-up: FPGA 0
// through the FPGA manager); while there is no manager the tick adds no line. The tick redraws an
// open aging screen every 180 s.
#pragma once

#include <QString>
#include <functional>

#include "core/types.h"

struct AgeLogRegisters {
    u8 reg40;
    u8 reg42;
    u8 reg43;
};

struct AgeLogSource {
    // True while a line may be taken: the FPGA manager exists and its link is good.
    std::function<bool()> ready;
    // Reads FPGA 0's registers 40, 42 and 43 afresh.
    std::function<AgeLogRegisters()> read;
};

constexpr size_t kAgeLogLines = 3360;
constexpr u32 kAgeLogPeriodTicks = 18000;

void setAgeLogSource(AgeLogSource source);
// The device's source: FPGA 0 through the FPGA manager, while it exists.
void installFpgaAgeLogSource();
const AgeLogSource& ageLogSource();

// Appends one line made of time (already formatted "MM-dd hh:mm") and the registers,
// drops the oldest line past the limit and counts the advance of register 42.
void appendAgeLogLine(const QString& time, const AgeLogRegisters& registers);
