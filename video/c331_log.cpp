#include "video/c331_log.h"

#include <cstdarg>
#include <cstdio>

#include "core/global.h"

void c331_log(const char* format, ...) {
    if (!debugOn())
        return;
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}
