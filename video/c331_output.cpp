// The window output pass (input channels, scaling, fades and layers). Comes with the
// window code.
#include "video/c331_manage.h"

void c331_manage::set_output(int) {}

void c331_manage::set_ichsel(int, int) {}
