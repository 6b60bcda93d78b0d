// The chip's serial flash and the OSD fonts. Come with the OSD code; until then no font
// set is reported present.
#include "video/c331_manage.h"

void c331_manage::read_c331_font(int) {}

void c331_manage::update_font(int) {}
