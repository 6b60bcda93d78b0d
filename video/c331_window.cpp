// Window model and environment. Comes with the window code; until then the chip keeps
// the windows of the bring-up.
#include "video/c331_manage.h"

void c331_manage::krxApi_initEnvC331() {}
