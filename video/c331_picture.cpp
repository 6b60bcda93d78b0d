// Picture quality, test patterns and window attributes. Come with the picture code; until
// then the chip keeps the picture of the bring-up.
#include "video/c331_manage.h"

void c331_manage::c331_SetBrightness(int) {}

void c331_manage::c331_SetContrast(int) {}

void c331_manage::c331_SetSharpness(int) {}

void c331_manage::c331_SetSaturation(int) {}

void c331_manage::c331_SetColorTemp(u32) {}

int c331_manage::c331_SetPattern(int) {
    return 0;
}

void c331_manage::c331_SetWinAttr(int, int) {}

void c331_manage::c331_SetWinOutput(int, u8, int) {}

void c331_manage::c331_SetWinDbdMode(int, int, int) {}

void c331_manage::c331_SetWinPriority(int, int) {}

void c331_manage::c331_SetWinPriority1(int) {}

void c331_manage::c331_SetInputsourceCrop(int, int) {}
