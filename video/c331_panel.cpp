// Panel geometry and output timing. Comes with the panel code; until then the panel keeps
// the output timing of the bring-up defaults.
#include "video/c331_manage.h"

void c331_manage::krxApi_PnlInit2(int, int, int, int, int) {}
