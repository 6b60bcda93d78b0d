// The OSD overlay file: "/data/configs/omenu.json" (sent by the PC) and its copies in the
// user modes ("/data/modes/MO01.json" ...). get_json_omenu_para parses a file into an
// OSD_LIST; set_OSD_para programs the chip's OSD from the list's first overlay.
//
// File: {"name": ..., "osdcount": n, "oactcount": m, "menu": [overlay, ...]}; each overlay
// holds "type" (0 text, 1 bitmap) and "status" ("on" shows it), "pos" {x, y, w, h, and for
// text an optional "layer"}, "act" {effect, speed, staytime}; a text overlay also
// "backpara" {enable, color}, "fontpara" {startx, starty, fontw, fonth, wordspace,
// verticalspace, color} and "texts" [text]; a bitmap overlay "bmppara" {}, "start" and
// "end". Colours are hexadecimal RRGGBB strings.
//
// A file that does not parse, or lacks a key or holds one of the wrong type, leaves the
// list without overlays. The live file is then deleted (the PC sends it again); a user
// mode's copy is kept as the user stored it, and a console line says it was not applied.
#pragma once

#include <string>

#include "core/types.h"

struct OMENU_PARA {
    int valid = 0;      // first entry: the file's "osdcount" (0 = no overlay)
    int oactcount = 0;  // first entry: the file's "oactcount" (kept, not used)
    int type = 0;
    std::string status;
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    int effect = 0;
    int speed = 0;
    int staytime = 0;
    std::string back_enable;
    std::string back_color;
    std::string layer;
    int startx = 0;
    int starty = 0;
    int fontw = 0;
    int fonth = 0;
    int wordspace = 0;
    int verticalspace = 0;
    std::string font_color;
    std::string texts;
    int start = 0;
    int end = 0;
};

struct OSD_LIST {
    static constexpr int kEntries = 3;
    OMENU_PARA osd[kEntries];
};

extern OSD_LIST g_osd_list;

// Parses the file at path into list (entries 0..2 from the first three overlays).
void get_json_omenu_para(const char* path, OSD_LIST* list);
// Programs the OSD from the first overlay of list: the video-processor thread, holding
// c331_manage::para_mutex, right after parsing. Nothing without an overlay or a manager.
void set_OSD_para(OSD_LIST* list);

// An RRGGBB text as the OSD's 0x00BBGGRR colour; 0 for a text that is not hexadecimal.
u32 omenu_colour(const std::string& text);
