#include "core/wakeup.h"

#include <pthread.h>

#include <chrono>
#include <cstring>

#include "board/board.h"

bool Wakeup::wait(unsigned period_us) {
    const unsigned held = override_us_;
    const std::chrono::microseconds period(held ? held : board::waitMicroseconds(period_us));
    std::unique_lock<std::mutex> lock(mutex_);
    waiting_ = true;
    ++begun_;
    const bool requested = cv_.wait_for(lock, period, [this] { return pending_; });
    waiting_ = false;
    pending_ = false;
    if (requested)
        ++woken_;
    else
        ++timed_out_;
    return requested;
}

void Wakeup::notify() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = true;
    }
    cv_.notify_one();
}

void name_this_thread(const char* name) {
    char shortName[16] = {};
    std::strncpy(shortName, name, sizeof shortName - 1);
    pthread_setname_np(pthread_self(), shortName);
}
