// The apply protocol's lock and request. Every writer of the parameter image (the store,
// the screens, the PC's handlers, the FPGA thread) takes the lock and raises the request
// here; the video processor's thread serves it and names the same objects as its own
// (c331_manage::para_mutex, para_update, wakeup).
//
// A writer locks para_mutex (ParaLock), edits KrxRamPara::ram_para, sets para_update (1
// parameters changed, 2 user-mode slots changed) and unlocks; the unlock wakes the thread.
#pragma once

#include <pthread.h>

#include <atomic>

#include "core/types.h"
#include "core/wakeup.h"

struct ParaApply {
    static pthread_mutex_t para_mutex;
    // 0 nothing pending, 1 parameters changed, 2 user-mode slots changed.
    static std::atomic<u8> para_update;
    // What the applying thread waits on between cycles: raised with para_update (ParaLock
    // does it on unlock) and when a receiver publishes a new timing.
    static Wakeup wakeup;
};

// Holds ParaApply::para_mutex for a scope.
class ParaLock {
public:
    ParaLock() { pthread_mutex_lock(&ParaApply::para_mutex); }
    // A writer that raised para_update has the thread woken at once.
    ~ParaLock() {
        const bool raised = ParaApply::para_update != 0;
        pthread_mutex_unlock(&ParaApply::para_mutex);
        if (raised)
            ParaApply::wakeup.notify();
    }
    ParaLock(const ParaLock&) = delete;
    ParaLock& operator=(const ParaLock&) = delete;
};
