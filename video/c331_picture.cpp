// Picture quality and test patterns. Come with the picture code; until then the chip keeps
// the picture of the bring-up. (The window attributes are in c331_winattr.cpp.)
#include "video/c331_manage.h"

void c331_manage::c331_SetBrightness(int) {}

void c331_manage::c331_SetContrast(int) {}

void c331_manage::c331_SetSharpness(int) {}

void c331_manage::c331_SetSaturation(int) {}

void c331_manage::c331_SetColorTemp(u32) {}

int c331_manage::c331_SetPattern(int) {
    return 0;
}
