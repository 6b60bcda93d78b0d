#include "board/sim/wall_clock.h"

#include "board/board.h"

namespace sim {
namespace {

Registration registration("wall-clock", [] { return std::make_shared<WallClock>(); });

}  // namespace

void WallClock::set(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    std::lock_guard<std::mutex> lock(mutex_);
    seconds_ = timegm(&t);
    set_ = true;
}

void WallClock::advance(long seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    seconds_ += seconds;
}

void WallClock::follow() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

bool WallClock::isSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
}

std::tm WallClock::now() const {
    std::tm t{};
    std::lock_guard<std::mutex> lock(mutex_);
    if (set_) {
        gmtime_r(&seconds_, &t);
        return t;
    }
    const std::time_t pc = std::time(nullptr);
    localtime_r(&pc, &t);
    return t;
}

}  // namespace sim

namespace board {

std::tm localTime() {
    if (auto clock = sim::get<sim::WallClock>("wall-clock"))
        return clock->now();
    return std::tm{};
}

}  // namespace board
