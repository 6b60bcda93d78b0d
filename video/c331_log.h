// Console diagnostics of the video processor: printed only while g_debugSwitch is 254.
#pragma once

void c331_log(const char* format, ...) __attribute__((format(printf, 1, 2)));
