// Input processing and channel linking: de-interlacing, noise reduction, the scaler's
// kernel tables and the linking of a window's input channels into a group. Come with the
// input-processing code; until then the chip keeps its built-in kernels and filters, and
// the window pass programs each input channel's own control (c331_output.cpp).
#include "video/c331_manage.h"

void c331_manage::set_ip(int, int) {}

void c331_manage::set_mct(int, int, int) {}

void c331_manage::set_lut_hshrnk(int, int, int, int) {}

void c331_manage::set_lut_vshrnk_4sym(int, int, int, int) {}
