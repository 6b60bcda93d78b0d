// The device's clock as the program reads it (board::localTime).
//
// By default it follows the PC's local time. A test sets it to a date and time, where it
// stands still until it is set again or moved on, so that schedules and dated records
// can be checked to the second.
#pragma once

#include <ctime>
#include <mutex>

#include "board/sim/sim.h"

namespace sim {

class WallClock : public Part {
public:
    // From now on the clock reads this local date and time (month 1..12) until it is set
    // again or moved on.
    void set(int year, int month, int day, int hour, int minute, int second);
    // Moves a set clock on (or back) by whole seconds, across days, months and years.
    void advance(long seconds);
    // Back to the PC's local time.
    void follow();
    bool isSet() const;

    std::tm now() const;

private:
    mutable std::mutex mutex_;
    bool set_ = false;
    // The set date and time, counted as seconds of a calendar without time zones.
    std::time_t seconds_ = 0;
};

}  // namespace sim
