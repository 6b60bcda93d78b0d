// Output-channel allocation and overlay. Comes with the window code.
#include "video/c331_manage.h"

void c331_manage::krxApi_MultiWinChAlloc(char) {}

void c331_manage::krxApi_MultiWinChInit() {}
