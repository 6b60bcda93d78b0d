// The OSD overlay file: parsing "/data/configs/omenu.json" and the user modes' copies,
// the OSD calls the first overlay turns into, the colours, and what a broken file costs.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "board/sim/sim.h"
#include "tests/video/osd_fixture.h"
#include "video/omenu.h"

namespace videotest {
namespace {

constexpr const char* kLive = "/data/configs/omenu.json";

// A text overlay; key=value pairs of the caller replace parts of it.
std::string textOverlay(
    const std::string& pos = R"("x": 100, "y": 20, "w": 5000, "h": 40, "layer": "buttom")",
    const std::string& font = R"("fontw": 64, "fonth": 64)",
    const std::string& texts = R"("AB\nC")", int effect = 1) {
    return R"({"type": 0, "status": "on", "pos": {)" + pos + R"(}, "act": {"effect": )" +
           std::to_string(effect) +
           R"(, "speed": 30, "staytime": 5}, "backpara": {"enable": "on", "color": "FF0000"},
              "fontpara": {"startx": 3, "starty": 4, )" +
           font + R"(, "wordspace": 2, "verticalspace": 6, "color": "00FF00"}, "texts": [)" +
           texts + "]}";
}

std::string file(const std::string& menu, int osdcount = 1) {
    return R"({"name": "demo", "osdcount": )" + std::to_string(osdcount) +
           R"(, "oactcount": 1, "menu": [)" + menu + "]}";
}

std::vector<unsigned char> bytes(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

class OsdFileTest : public OsdTest {
protected:
    void SetUp() override {
        OsdTest::SetUp();
        store->ram_para.setU16(para::led_width, 1920);
        store->ram_para.setU16(para::led_height, 1080);
        smallOutput(1920, 1080, 1, 1);
        g_osd_list = OSD_LIST{};
    }
    void TearDown() override {
        g_osd_list = OSD_LIST{};
        OsdTest::TearDown();
    }

    // The krxApi_OsdSet calls that programming the list made, from their trace lines.
    std::vector<std::pair<int, unsigned>> calls(OSD_LIST& list) {
        const std::string out = printed([&] {
            ParaLock lock;
            set_OSD_para(&list);
        });
        std::vector<std::pair<int, unsigned>> found;
        const std::string mark = "[krxApi_OsdSet] type:";
        for (size_t at = out.find(mark); at != std::string::npos; at = out.find(mark, at + 1)) {
            int type = 0;
            unsigned value = 0;
            std::sscanf(out.c_str() + at, "[krxApi_OsdSet] type:%d, val:%x", &type, &value);
            found.emplace_back(type, value);
        }
        return found;
    }
    OSD_LIST parse(const std::string& path, const std::string& content) {
        writeFile(path, bytes(content));
        OSD_LIST list;
        get_json_omenu_para(path.c_str(), &list);
        return list;
    }
    bool removedByShell(const std::string& path) {
        for (const auto& c : sim::commands())
            if (c.text == "rm -rf " + path)
                return true;
        return false;
    }
};

TEST_F(OsdFileTest, RrggbbBecomesBbggrr) {
    EXPECT_EQ(omenu_colour("FF0000"), 0x0000FFu);
    EXPECT_EQ(omenu_colour("00FF00"), 0x00FF00u);
    EXPECT_EQ(omenu_colour("0000ff"), 0xFF0000u);
    EXPECT_EQ(omenu_colour("123456"), 0x563412u);
    EXPECT_EQ(omenu_colour("0x0000FF"), 0xFF0000u);
    EXPECT_EQ(omenu_colour("zz"), 0u);
    EXPECT_EQ(omenu_colour(""), 0u);
    EXPECT_EQ(omenu_colour("#FF0000"), 0u);
}

TEST_F(OsdFileTest, AFileBecomesTheOsdCallsInOrder) {
    OSD_LIST list = parse(kLive, file(textOverlay()));
    ASSERT_EQ(list.osd[0].valid, 1);
    EXPECT_EQ(list.osd[0].texts, "AB\nC");
    EXPECT_EQ(list.osd[0].layer, "buttom");
    // w 5000 is cut to the LED width; effect 1 is scroll mode 3; speed 30 is 300; the
    // colours are BBGGRR.
    const std::vector<std::pair<int, unsigned>> expected = {
        {5, 100}, {6, 1920}, {7, 20},        {8, 40},   {9, 100},       {10, 1920},
        {11, 20}, {12, 40},  {3, 1},         {1, 0},    {2, 0},         {14, 1},
        {21, 3},  {22, 4},   {17, 0x00FF00}, {13, 300}, {16, 0x0000FF}, {18, 0},
        {4, 3},   {0, 1},    {33, 1},        {34, 2},   {35, 6}};
    EXPECT_EQ(calls(list), expected);
    EXPECT_EQ(manager->osd_scroll_speed, 44);  // 300 AND 0xFF
    EXPECT_EQ(manager->osd.line_count, 2);
    EXPECT_EQ(manager->osd.text[0][1], 'A');
    EXPECT_EQ(manager->osd.text[0][3], 'B');
    EXPECT_EQ(manager->osd.text[1][1], 'C');
    EXPECT_EQ(manager->g_chg_osd_update, 1);
}

TEST_F(OsdFileTest, GlyphSizesSelectZoomAndCellAndOtherPairsOnlyTheSmallCell) {
    auto sizeCalls = [&](const std::string& font) {
        OSD_LIST list =
            parse(kLive, file(textOverlay(R"("x": 0, "y": 0, "w": 10, "h": 10)", font)));
        std::vector<std::pair<int, unsigned>> out;
        for (const auto& c : calls(list))
            if (c.first == 1 || c.first == 2 || c.first == 14)
                out.push_back(c);
        return out;
    };
    using Calls = std::vector<std::pair<int, unsigned>>;
    EXPECT_EQ(sizeCalls(R"("fontw": 32, "fonth": 32)"), (Calls{{1, 0}, {2, 0}, {14, 0}}));
    EXPECT_EQ(sizeCalls(R"("fontw": 128, "fonth": 128)"), (Calls{{1, 1}, {2, 1}, {14, 1}}));
    EXPECT_EQ(sizeCalls(R"("fontw": 64, "fonth": 32)"), (Calls{{14, 0}}));
}

TEST_F(OsdFileTest, XIsNotClampedYIsAndTheBackgroundCanBeTransparent) {
    std::string overlay = textOverlay(R"("x": 3000, "y": 2000, "w": 10, "h": 10)");
    overlay.replace(overlay.find(R"("enable": "on")"), 14, R"("enable": "off")");
    OSD_LIST list = parse(kLive, file(overlay));
    const auto c = calls(list);
    ASSERT_GE(c.size(), 3u);
    EXPECT_EQ(c[0], (std::pair<int, unsigned>{5, 3000}));
    EXPECT_EQ(c[2], (std::pair<int, unsigned>{7, 1080}));
    bool transparent = false;
    for (const auto& call : c) {
        EXPECT_NE(call.first, 16) << "no background colour for a transparent background";
        transparent = transparent || call == std::pair<int, unsigned>{18, 1};
    }
    EXPECT_TRUE(transparent);
}

TEST_F(OsdFileTest, UnknownEffectsLeaveTheScrollModeAlone) {
    const std::pair<int, int> modes[] = {{0, 0}, {1, 3}, {2, 4}, {3, 1}, {4, 2}};
    for (const auto& m : modes) {
        OSD_LIST list =
            parse(kLive, file(textOverlay(R"("x": 0, "y": 0, "w": 10, "h": 10)",
                                          R"("fontw": 32, "fonth": 32)", R"("A")", m.first)));
        calls(list);
        EXPECT_EQ(manager->pm.PM_OSD_SCROLL_MODE, m.second) << m.first;
    }
    OSD_LIST list = parse(kLive, file(textOverlay(R"("x": 0, "y": 0, "w": 10, "h": 10)",
                                                  R"("fontw": 32, "fonth": 32)", R"("A")", 5)));
    for (const auto& c : calls(list))
        EXPECT_NE(c.first, 4);
    EXPECT_EQ(manager->pm.PM_OSD_SCROLL_MODE, 2);
}

TEST_F(OsdFileTest, LinesAreSplitAtNewlinesCutTo127CharactersAnd63Lines) {
    std::string many;
    for (int i = 0; i < 70; ++i)
        many += (i ? "\\n" : "") + std::string(i == 62 ? "last" : "x");
    OSD_LIST list =
        parse(kLive, file(textOverlay(R"("x": 0, "y": 0, "w": 10, "h": 10)",
                                      R"("fontw": 32, "fonth": 32)", "\"" + many + "\"")));
    calls(list);
    EXPECT_EQ(manager->osd.line_count, 63);
    EXPECT_EQ(manager->osd.text[62][1], 'l');

    list = parse(kLive, file(textOverlay(R"("x": 0, "y": 0, "w": 10, "h": 10)",
                                         R"("fontw": 32, "fonth": 32)",
                                         "\"A\\n\\n" + std::string(200, 'z') + "\\n\u4e2d\"")));
    calls(list);
    EXPECT_EQ(manager->osd.line_count, 4);
    EXPECT_EQ(manager->osd.text[1][1], 0) << "an empty line is kept";
    EXPECT_EQ(manager->osd.text[2][2 * 126 + 1], 'z');
    EXPECT_EQ(manager->osd.text[2][2 * 127 + 1], 0);
    EXPECT_EQ(manager->osd.text[3][0], 0x4E);
    EXPECT_EQ(manager->osd.text[3][1], 0x2D);
}

TEST_F(OsdFileTest, TheFirstThreeOverlaysOfTheMenuAreKept) {
    const std::string bitmap =
        R"({"type": 1, "status": "off", "pos": {"x": 1, "y": 2, "w": 3, "h": 4},
            "act": {"effect": 0, "speed": 1, "staytime": 2}, "bmppara": {}, "start": 7, "end": 9})";
    OSD_LIST list = parse(kLive, file(textOverlay() + "," + bitmap + "," + bitmap + "," +
                                          textOverlay(R"("x": 77, "y": 0, "w": 1, "h": 1)"),
                                      4));
    EXPECT_EQ(list.osd[0].valid, 4);
    EXPECT_EQ(list.osd[0].oactcount, 1);
    EXPECT_EQ(list.osd[1].type, 1);
    EXPECT_EQ(list.osd[1].start, 7);
    EXPECT_EQ(list.osd[2].end, 9);
    EXPECT_NE(list.osd[0].x, 77);
    // An osdcount of 0 reads no overlay.
    list = parse(kLive, file(textOverlay(), 0));
    EXPECT_EQ(list.osd[0].valid, 0);
    EXPECT_TRUE(list.osd[0].status.empty());
    EXPECT_TRUE(calls(list).empty());
}

TEST_F(OsdFileTest, ABrokenFileIsDeletedAndLeavesNoOverlay) {
    const std::string broken[] = {
        "{ \"name\": ",  // not JSON
        file(textOverlay())
            .replace(file(textOverlay()).find("\"act\""), 5, "\"acx\""),  // a key missing
        file(textOverlay(R"("x": "left", "y": 0, "w": 1, "h": 1)")),      // a key of the wrong type
        R"({"name": "demo", "osdcount": 1, "oactcount": 1})",             // no menu
    };
    for (const std::string& content : broken) {
        g_osd_list.osd[0].valid = 1;
        writeFile(kLive, bytes(content));
        sim::clearCommands();
        get_json_omenu_para(kLive, &g_osd_list);
        EXPECT_EQ(g_osd_list.osd[0].valid, 0) << content;
        EXPECT_FALSE(exists(kLive)) << content;
        EXPECT_TRUE(removedByShell(kLive)) << content;
    }
    // A file that is not there changes nothing else.
    get_json_omenu_para(kLive, &g_osd_list);
    EXPECT_EQ(g_osd_list.osd[0].valid, 0);
}

TEST_F(OsdFileTest, ABrokenModeCopyIsKeptAndNotApplied) {
    writeFile(kLive, bytes(file(textOverlay())));
    writeFile("/data/modes/MO01.json", bytes("{ broken"));
    sim::clearCommands();
    OSD_LIST mode;
    mode.osd[0].valid = 1;
    const std::string out = printed([&] { get_json_omenu_para("/data/modes/MO01.json", &mode); });
    EXPECT_EQ(mode.osd[0].valid, 0);
    EXPECT_EQ(readFile("/data/modes/MO01.json"), bytes("{ broken"));
    EXPECT_NE(out.find("/data/modes/MO01.json does not parse"), std::string::npos) << out;
    EXPECT_TRUE(sim::commands().empty());
    EXPECT_TRUE(exists(kLive));
    EXPECT_FALSE(removedByShell(kLive));
    // A sound copy parses like the live file.
    writeFile("/data/modes/MO02.json", bytes(file(textOverlay())));
    get_json_omenu_para("/data/modes/MO02.json", &mode);
    EXPECT_EQ(mode.osd[0].valid, 1);
    EXPECT_EQ(mode.osd[0].x, 100);
}

// The apply cycle reloads the file when osd_enable is switched on and draws it in the same
// cycle's unlocked part.
TEST_F(OsdFileTest, SwitchingTheOsdOnLoadsTheFileAndDrawsIt) {
    smallOutput(256, 64, 2, 1);
    writeFile(kLive, bytes(file(textOverlay(R"("x": 0, "y": 0, "w": 512, "h": 64)",
                                            R"("fontw": 32, "fonth": 32)", R"("Hi")"))));
    manager->manage_state = c331_manage::kStateRun;
    raise([](RamParaImage& p) {
        p.setU16(para::led_width, 512);
        p.setU16(para::led_height, 64);
        p.setU16(para::osd_enable, 1);
    });
    clearEngineLog();
    cycle();
    EXPECT_EQ(g_osd_list.osd[0].valid, 1);
    EXPECT_EQ(manager->pm.PM_OSD_EN, 1);
    EXPECT_EQ(manager->g_chg_osd_update, 0) << "drawn in the same cycle";
    bool text = false;
    for (const auto& b : blits())
        text = text || (b.command == sim::C331Blitter::kText && b.characters == 2);
    EXPECT_TRUE(text);
    EXPECT_EQ(chip(0x09, 0x08, 2) & 0x0003, 3u) << "the text overlay is shown";
}

}  // namespace
}  // namespace videotest
