// The video-processor manager. For now it holds the apply protocol that every writer of
// the parameter image follows: lock para_mutex, edit ram_para, raise para_update, unlock.
#pragma once

#include <pthread.h>

#include <atomic>

#include "core/types.h"

class c331_manage {
public:
    static pthread_mutex_t para_mutex;
    // 0 nothing pending, 1 parameters changed, 2 user-mode slots changed.
    static std::atomic<u8> para_update;
};

// Holds c331_manage::para_mutex for a scope.
class ParaLock {
public:
    ParaLock() { pthread_mutex_lock(&c331_manage::para_mutex); }
    ~ParaLock() { pthread_mutex_unlock(&c331_manage::para_mutex); }
    ParaLock(const ParaLock&) = delete;
    ParaLock& operator=(const ParaLock&) = delete;
};
