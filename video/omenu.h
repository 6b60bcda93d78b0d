// The OSD overlay file "/data/configs/omenu.json": parsed into overlay descriptions and
// turned into OSD operations. The parser and the programming come with the overlay code;
// until then both do nothing and the list stays empty.
#pragma once

// The overlay descriptions read from the file (their fields come with the parser).
struct OSD_LIST {};

extern OSD_LIST g_osd_list;

// Parses the file at path into list. Does nothing yet.
void get_json_omenu_para(const char* path, OSD_LIST* list);
// Programs the OSD from the first overlay of list. Does nothing yet.
void set_OSD_para(OSD_LIST* list);
