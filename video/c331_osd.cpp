// On-screen display engine. Comes with the OSD code; until then no overlay is drawn.
#include "video/c331_manage.h"

u32 c331_manage::krxApi_OsdSet(int, int) {
    return 0;
}

void c331_manage::load_char() {}

void c331_manage::update_osd(int) {}

void c331_manage::set_osd(int, int) {}

void c331_manage::set_scroll(int) {}
