// Input ports, input timing and no-signal handling. Come with the input-port code; until
// then no port is measured or reprogrammed and the windows keep their sources.
#include "video/c331_manage.h"

void c331_manage::krxApi_forceColorDisable(int) {}

void c331_manage::load_hdmi() {}

void c331_manage::check_port_valid(int) {}

void c331_manage::check_input_port(int) {}

void c331_manage::c331_SetInputsource(int, int) {}

void c331_manage::c331_SetCrop(int, int, ST_RECT) {}
