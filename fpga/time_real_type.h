// Calendar time as the clock, the schedules and the run-time record keep it.
#pragma once

#include "core/types.h"

struct TimeRealType {
    u8 second;
    u8 minute;
    u8 hour;
    u8 day;
    u8 weekday;
    u8 month;
    u16 year;
};
