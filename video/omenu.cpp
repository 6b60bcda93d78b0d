#include "video/omenu.h"

#include <QString>
#include <QVector>
#include <algorithm>
#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "board/board.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "video/c331_manage.h"

namespace pt = boost::property_tree;

OSD_LIST g_osd_list;

namespace {

constexpr const char* kLiveFile = "/data/configs/omenu.json";
constexpr int kTextType = 0;
constexpr int kBitmapType = 1;
constexpr int kMaxTextLines = OsdState::kLines;
constexpr int kMaxLineCodes = OsdState::kLineCodes - 1;

void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void trace(const char* format, ...) {
    if (!debugOn())
        return;
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

void read_overlay(const pt::ptree& o, OMENU_PARA& e) {
    e.type = o.get<int>("type");
    e.status = o.get<std::string>("status");
    const pt::ptree& pos = o.get_child("pos");
    e.x = pos.get<int>("x");
    e.y = pos.get<int>("y");
    e.w = pos.get<int>("w");
    e.h = pos.get<int>("h");
    const pt::ptree& act = o.get_child("act");
    e.effect = act.get<int>("effect");
    e.speed = act.get<int>("speed");
    e.staytime = act.get<int>("staytime");
    trace("  type: %d , status: %s \n", e.type, e.status.c_str());
    trace("  pos_x: %d , pos_y: %d , pos_w: %d , pos_h: %d \n", e.x, e.y, e.w, e.h);
    trace("  effect: %d , speed: %d , staytime: %d \n", e.effect, e.speed, e.staytime);
    if (e.type == kTextType) {
        const pt::ptree& back = o.get_child("backpara");
        e.back_enable = back.get<std::string>("enable");
        e.back_color = back.get<std::string>("color");
        e.layer = pos.get<std::string>("layer", "");
        const pt::ptree& font = o.get_child("fontpara");
        e.startx = font.get<int>("startx");
        e.starty = font.get<int>("starty");
        e.fontw = font.get<int>("fontw");
        e.fonth = font.get<int>("fonth");
        e.wordspace = font.get<int>("wordspace");
        e.verticalspace = font.get<int>("verticalspace");
        e.font_color = font.get<std::string>("color");
        const pt::ptree& texts = o.get_child("texts");
        e.texts = texts.empty() ? std::string() : texts.front().second.get_value<std::string>();
        trace("  backpara_enable: %s , backpara_color: %s ,backpara_layer:%s\n",
              e.back_enable.c_str(), e.back_color.c_str(), e.layer.c_str());
        trace("  startx: %d , starty: %d , fontw: %d , fonth: %d \n", e.startx, e.starty, e.fontw,
              e.fonth);
        trace("  wordspace: %d , verticalspace: %d , font_color: %s \n", e.wordspace,
              e.verticalspace, e.font_color.c_str());
        trace("  texts: %s \n", e.texts.c_str());
    } else if (e.type == kBitmapType) {
        o.get_child("bmppara");
        e.start = o.get<int>("start");
        e.end = o.get<int>("end");
    }
}

void parse(const std::string& content, OSD_LIST& list) {
    std::istringstream text(content);
    pt::ptree root;
    pt::read_json(text, root);
    const std::string name = root.get<std::string>("name");
    OMENU_PARA& first = list.osd[0];
    first.valid = root.get<int>("osdcount");
    first.oactcount = root.get<int>("oactcount");
    trace(" \n file_name: %s , osdcount: %d , oactcount: %d\n", name.c_str(), first.valid,
          first.oactcount);
    if (first.valid == 0)
        return;
    trace("\n *************************START OSDS******************************** ");
    int i = 0;
    for (const auto& element : root.get_child("menu")) {
        if (i == OSD_LIST::kEntries)
            break;
        trace("\n *************************osd%d start******************************** ", i + 1);
        read_overlay(element.second, list.osd[i]);
        trace("\n *************************osd%d over******************************** ", i + 1);
        ++i;
    }
    trace("\n *************************OSDS OVER******************************** ");
}

// The live file that does not parse goes, so that the PC sends it again. A user mode's
// copy stays where it is: it is what the user kept. It is not applied, and the console says
// so.
void reject(const char* path, const char* message) {
    trace("json error: %s", message);
    if (std::string(path) == kLiveFile) {
        Utils::system_mutex(QString("rm -rf %1").arg(kLiveFile));
        return;
    }
    std::printf("OSD file %s does not parse (%s): kept, not applied\n", path, message);
}

using TextLine = u32[OsdState::kLineCodes];

// The text's lines as code points: at most kMaxTextLines lines, each cut to
// kMaxLineCodes code points before it is converted. Returns the line count.
int split_lines(const std::string& texts, int* lengths, TextLine* lines) {
    int count = 0;
    size_t from = 0;
    while (count < kMaxTextLines) {
        const size_t to = texts.find('\n', from);
        const size_t n = (to == std::string::npos ? texts.size() : to) - from;
        const QVector<uint> ucs4 =
            QString::fromUtf8(texts.data() + from, static_cast<int>(n)).toUcs4();
        lengths[count] = std::min(ucs4.size(), kMaxLineCodes);
        std::copy(ucs4.begin(), ucs4.begin() + lengths[count], lines[count]);
        ++count;
        if (to == std::string::npos)
            break;
        from = to + 1;
    }
    return count;
}

// The glyph size as zoom and character size: 32 and 64 draw their own glyphs, 128 draws
// the 64-pixel glyphs doubled; any other pair keeps the zoom and takes 32-pixel glyphs.
void set_glyph_size(c331_manage& m, int fontw, int fonth) {
    if (fontw == fonth && (fontw == 32 || fontw == 64 || fontw == 128)) {
        const int zoom = fontw == 128 ? 1 : 0;
        m.krxApi_OsdSet(1, zoom);
        m.krxApi_OsdSet(2, zoom);
        m.krxApi_OsdSet(14, fontw == 32 ? 0 : 1);
        return;
    }
    m.krxApi_OsdSet(14, 0);
}

}  // namespace

u32 omenu_colour(const std::string& text) {
    size_t i = text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
    u64 n = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        n = n << 4 | static_cast<u64>(digit);
    }
    return static_cast<u32>(((n >> 16) & 0xFF) + ((n & 0xFF) << 16) + (n & 0xFF00));
}

void get_json_omenu_para(const char* path, OSD_LIST* list) {
    if (!path || !list)
        return;
    list->osd[0].valid = 0;
    std::string content;
    {
        std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
        std::ifstream in(board::path(path), std::ios::binary);
        if (!in)
            return;
        std::ostringstream all;
        all << in.rdbuf();
        content = all.str();
    }
    // Parsed apart and taken whole: a key missing halfway leaves no half-read overlay.
    OSD_LIST parsed;
    try {
        parse(content, parsed);
    } catch (const pt::ptree_error& error) {
        reject(path, error.what());
        return;
    }
    *list = parsed;
}

void set_OSD_para(OSD_LIST* list) {
    c331_manage* m = c331_manage::p_c331_manage;
    if (!m || !list || list->osd[0].valid == 0)
        return;
    const OMENU_PARA& e = list->osd[0];
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    const int ledW = store ? store->ram_para.u16At(para::led_width) : e.w;
    const int ledH = store ? store->ram_para.u16At(para::led_height) : e.y;
    const int w = std::min(e.w, ledW);
    const int y = std::min(e.y, ledH);
    m->load_char();
    for (int first : {5, 9}) {
        m->krxApi_OsdSet(first, e.x);
        m->krxApi_OsdSet(first + 1, w);
        m->krxApi_OsdSet(first + 2, y);
        m->krxApi_OsdSet(first + 3, e.h);
    }
    m->krxApi_OsdSet(3, e.type == kTextType ? 1 : 0);
    set_glyph_size(*m, e.fontw, e.fonth);
    m->krxApi_OsdSet(21, e.startx);
    m->krxApi_OsdSet(22, e.starty);

    int lengths[kMaxTextLines] = {};
    auto lines = std::make_unique<TextLine[]>(kMaxTextLines);
    const int count = split_lines(e.texts, lengths, lines.get());
    m->krxApi_OsdSetUnicode(count, lengths, lines.get());

    m->krxApi_OsdSet(17, static_cast<int>(omenu_colour(e.font_color)));
    m->krxApi_OsdSet(13, static_cast<int>(static_cast<u32>(e.speed) * 10u));
    if (e.back_enable == "off") {
        m->krxApi_OsdSet(18, 1);
    } else {
        m->krxApi_OsdSet(16, static_cast<int>(omenu_colour(e.back_color)));
        m->krxApi_OsdSet(18, 0);
    }
    static constexpr int kScrollModes[] = {0, 3, 4, 1, 2};
    if (e.effect >= 0 && e.effect < 5)
        m->krxApi_OsdSet(4, kScrollModes[e.effect]);
    m->krxApi_OsdSet(0, e.status == "on" ? 1 : 0);
    m->krxApi_OsdSet(33, e.layer == "buttom" ? 1 : 0);
    m->krxApi_OsdSet(34, e.wordspace);
    m->krxApi_OsdSet(35, e.verticalspace);
}
