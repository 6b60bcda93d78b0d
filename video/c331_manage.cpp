#include "video/c331_manage.h"

pthread_mutex_t c331_manage::para_mutex = PTHREAD_MUTEX_INITIALIZER;
std::atomic<u8> c331_manage::para_update{0};
