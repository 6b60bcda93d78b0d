#include "core/alias.h"

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

#include "board/board.h"
#include "core/global.h"
#include "core/utils.h"

namespace pt = boost::property_tree;

namespace {

const char* const kCategories[] = {"source", "usermode", "win", "crop"};

// An entry's "id" as a whole number; anything else is a broken file.
int entryId(const pt::ptree& entry) {
    const std::string text = entry.get<std::string>("id");
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < INT_MIN || value > INT_MAX)
        throw pt::ptree_bad_data("id is not a whole number", text);
    return static_cast<int>(value);
}

// Drops a file that does not parse, so the screens fall back to their own labels. Called
// with _file_deal_mutex held.
void dropBrokenFile(const char* message) {
    if (debugOn())
        printf("json error: %s", message);
    Utils::system_mutex(QString("rm -rf %1").arg(kAliasFile));
}

}  // namespace

int get_json_alias_para(ALIAS_PARA* out, std::string category, int id) {
    std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
    std::ifstream in(board::path(kAliasFile));
    if (!in)
        return 0;
    try {
        pt::ptree root;
        pt::read_json(in, root);
        const pt::ptree& namelist = root.get_child("namelist");
        for (const auto& member : namelist) {
            if (member.first != category)
                continue;
            for (const auto& entry : member.second) {
                if (entryId(entry.second) != id)
                    continue;
                std::string valid = entry.second.get<std::string>("valid");
                std::string name = entry.second.get<std::string>("name");
                if (out)
                    *out = ALIAS_PARA{id, valid, name};
                return valid != "off" && !name.empty() ? 1 : 0;
            }
            return 0;
        }
        return 0;
    } catch (const pt::ptree_error& error) {
        in.close();
        dropBrokenFile(error.what());
        return 0;
    }
}

int write_json_alias_sample() {
    pt::ptree root;
    root.put("filename", kAliasFile);
    pt::ptree namelist;
    for (const char* category : kCategories) {
        pt::ptree entries;
        for (int id = 1; id <= 2; ++id) {
            pt::ptree entry;
            entry.put("id", id);
            entry.put("valid", "off");
            entry.put("name", std::string(category) + std::to_string(id));
            entries.push_back(std::make_pair("", entry));
        }
        namelist.add_child(category, entries);
    }
    root.add_child("namelist", namelist);
    std::ostringstream text;
    try {
        pt::write_json(text, root);
    } catch (const pt::ptree_error&) {
        return 255;
    }
    const std::string json = text.str();
    std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
    if (!Utils::writeFileAtomic(kAliasFile, json.data(), json.size()))
        return 255;
    printf("\n write %s ok\n", kAliasFile);
    return 0;
}

int print_json_alias_para() {
    std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
    std::ifstream in(board::path(kAliasFile));
    if (!in)
        return 255;
    try {
        pt::ptree root;
        pt::read_json(in, root);
        for (const auto& member : root.get_child("namelist")) {
            printf("%s\n", member.first.c_str());
            for (const auto& entry : member.second) {
                printf(" id: %d", entryId(entry.second));
                printf("    valid: %s", entry.second.get<std::string>("valid").c_str());
                printf("    name: %s\n", entry.second.get<std::string>("name").c_str());
            }
        }
        return 0;
    } catch (const pt::ptree_error& error) {
        if (debugOn())
            printf("json error: %s", error.what());
        return 255;
    }
}
