// How a worker thread waits between its passes: for its polling period at most, and no
// longer than until another thread raises a request for it. And the thread's name.
//
// A request raised while the thread is busy (not waiting) is kept, so the next wait returns
// at once: no request is lost between a pass and its wait. The counts tell how often a wait
// ended by a request and how often by its period, so that a test can show that a request
// was served early without timing anything.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "core/types.h"

class Wakeup {
public:
    // Waits until notify() or until the period (in microseconds) has passed. True when a
    // request ended it.
    bool wait(unsigned period_us);
    // Raises a request: the waiting thread returns at once, or its next wait does.
    void notify();

    u32 woken() const { return woken_.load(); }
    u32 timed_out() const { return timed_out_.load(); }
    // True while a thread is inside wait(); begun() counts the waits entered.
    bool waiting() const { return waiting_.load(); }
    u32 begun() const { return begun_.load(); }
    // For tests: every later wait lasts this long unless notified, whatever the board does
    // with its waits (0: the caller's period).
    void override_period(unsigned period_us) { override_us_ = period_us; }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool pending_ = false;
    std::atomic<u32> woken_{0};
    std::atomic<u32> timed_out_{0};
    std::atomic<bool> waiting_{false};
    std::atomic<u32> begun_{0};
    std::atomic<unsigned> override_us_{0};
};

// Gives the calling thread a name that top -H, ps and a debugger show (at most 15
// characters are kept).
void name_this_thread(const char* name);
