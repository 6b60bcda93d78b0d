// Output-channel allocation and overlay. Comes with the window code.
#include "video/c331_manage.h"

void c331_manage::krxApi_MultiWinChAlloc(u8) {}

void c331_manage::krxApi_MultiWinChInit() {}
