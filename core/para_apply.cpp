#include "core/para_apply.h"

pthread_mutex_t ParaApply::para_mutex = PTHREAD_MUTEX_INITIALIZER;
std::atomic<u8> ParaApply::para_update{0};
Wakeup ParaApply::wakeup;
