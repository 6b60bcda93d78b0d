#include "video/omenu.h"

OSD_LIST g_osd_list;

void get_json_omenu_para(const char*, OSD_LIST*) {}

void set_OSD_para(OSD_LIST*) {}
