// User-given names of sources, user modes, windows and crops, from the alias file the PC
// sends ("/data/configs/alias.json").
#pragma once

#include <string>

struct ALIAS_PARA {
    int id;
    std::string valid;
    std::string name;
};

constexpr const char* kAliasFile = "/data/configs/alias.json";

// 1 when category ("source", "usermode", "win", "crop") holds an entry with this id whose
// "valid" is not "off" and whose "name" is not empty; 0 otherwise. On a match out receives
// the entry whatever the result. A file that does not parse is deleted.
int get_json_alias_para(ALIAS_PARA* out, std::string category, int id);

// Writes a sample alias file (every entry "off"); 0 done.
int write_json_alias_sample();
// Prints every entry of the four categories; 0 done.
int print_json_alias_para();
