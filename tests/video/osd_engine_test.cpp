// The OSD engine: what krxApi_OsdSet records, the stride, the display window over the
// tiles, the text through the character FIFO and the blitter into chip memory, the OSD
// windows, scrolling and the palette, the bitmap overlay, and what it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "board/sim/sim.h"
#include "tests/video/osd_fixture.h"

namespace videotest {
namespace {

using Stuck = sim::C331FlashController::Stuck;

constexpr uint32_t kPage0 = 0x725C0000;
constexpr uint32_t kPage1 = 0x74B80000;
constexpr uint8_t kFg = 2;  // palette entry of the characters
constexpr uint8_t kBg = 1;  // palette entry of the background

class OsdEngineTest : public OsdTest {
protected:
    int fd() const { return manager->c331_fd; }
    // Window A and B on the same rectangle, as the overlay file sets them.
    void window(int x, int w, int y, int h) {
        for (int first : {5, 9}) {
            manager->krxApi_OsdSet(first, x);
            manager->krxApi_OsdSet(first + 1, w);
            manager->krxApi_OsdSet(first + 2, y);
            manager->krxApi_OsdSet(first + 3, h);
        }
    }
    void text(const std::vector<std::vector<u32>>& lines) {
        std::vector<int> lengths;
        auto buffer = std::make_unique<u32[][128]>(lines.size());
        for (size_t i = 0; i < lines.size(); ++i) {
            lengths.push_back(static_cast<int>(lines[i].size()));
            std::copy(lines[i].begin(), lines[i].begin() + std::min<size_t>(lines[i].size(), 128),
                      buffer[i]);
        }
        manager->krxApi_OsdSetUnicode(static_cast<int>(lines.size()), lengths.data(), buffer.get());
    }
    // A text overlay over the whole output of two 256 x 64 tiles: canvas 512 x 64 (row
    // pitch 1024), 32-pixel glyphs, word space 0, background shown.
    void textOverlay() {
        smallOutput(256, 64, 2, 1);
        manager->krxApi_OsdSet(3, 1);
        manager->krxApi_OsdSet(14, 0);
        window(0, 512, 0, 64);
        manager->update_osd(fd());  // the stride for the canvas
    }
    std::vector<uint8_t> fifo(uint32_t address, uint32_t count) {
        std::vector<uint8_t> out;
        engines([&](sim::C331FlashController& c) { out = c.blitter().fifo(address, count); });
        return out;
    }
    std::vector<sim::C331Blitter::Blit> blits(uint8_t command) {
        std::vector<sim::C331Blitter::Blit> out;
        for (const auto& b : OsdTest::blits())
            if (b.command == command)
                out.push_back(b);
        return out;
    }
};

TEST_F(OsdEngineTest, OsdSetRecordsKnownTypesAndRaisesTheirRequests) {
    smallOutput(256, 64, 2, 1);
    manager->g_chg_osd_set = manager->g_chg_osd_update = 0;
    EXPECT_EQ(manager->krxApi_OsdSet(4, 10), 1u);
    EXPECT_EQ(manager->pm.PM_OSD_SCROLL_MODE, 1);
    EXPECT_EQ(manager->g_chg_osd_set, 1);
    EXPECT_EQ(manager->g_chg_osd_update, 0);
    EXPECT_EQ(manager->krxApi_OsdSet(13, 300), 1u);
    EXPECT_EQ(manager->osd_scroll_speed, 44);
    EXPECT_EQ(manager->krxApi_OsdSet(14, 1), 1u);
    EXPECT_EQ(manager->g_chg_osd_update, 1);
    EXPECT_EQ(manager->krxApi_OsdSet(16, 0x12345678), 1u);
    EXPECT_EQ(manager->osd.PS_BG_COLOR, 0x345678u);
    for (int type : {23, 31, 36, 40, -1})
        EXPECT_EQ(manager->krxApi_OsdSet(type, 1), 0u) << type;
    EXPECT_EQ(manager->krxApi_OsdSet(32, 0x40), 1u);
    EXPECT_EQ(manager->g_chg_osd_set, 0);
    EXPECT_EQ(manager->g_chg_osd_update, 1);
    // Window A: x from the screen origin, the width as what remains to the right.
    store->ram_para.setU16(para::led_x, 10);
    window(300, 100, 8, 20);
    EXPECT_EQ(manager->pm.PM_OSD_OUTPUT_OFFSET[0], 310);
    EXPECT_EQ(manager->pm.PM_OSD_OUTPUT_OFFSET[1], 512 - 100 - 310);
    EXPECT_EQ(manager->pm.PM_OSD_OUTPUT_OFFSET[3], 64 - 20 - 8);
}

TEST_F(OsdEngineTest, TheStrideCountsInUnitsOf128OrOf512Bytes) {
    smallOutput(256, 64, 1, 1);
    struct Case {
        int width;
        uint32_t stride;
        bool wide;
        uint32_t pitch;
    };
    // 1920: 2 x 15 = 30, raised to 32; 4096: 64; 4224: 2 x 33 = 66, raised to 68, over 64:
    // 17 in units of 512 bytes.
    for (const Case& c :
         {Case{1920, 32, false, 4096}, Case{4096, 64, false, 8192}, Case{4224, 17, true, 8704}}) {
        manager->krxApi_OsdSet(3, 1);
        manager->krxApi_OsdSet(19, c.width);
        manager->krxApi_OsdSet(20, 8);
        clearEngineLog();
        manager->update_osd(fd());
        EXPECT_EQ(chip(0x09, 0x1E), c.stride) << c.width;
        EXPECT_EQ((chip(0x09, 0x08, 2) & 0x2000) != 0, c.wide) << c.width;
        const auto fills = blits(sim::C331Blitter::kFill);
        ASSERT_EQ(fills.size(), 1u);
        EXPECT_EQ(fills[0].destinationPitch, c.pitch) << c.width;
        EXPECT_EQ(fills[0].width, static_cast<uint32_t>(c.width));
    }
}

TEST_F(OsdEngineTest, AWindowInTheSecondColumnLeavesTheFirstColumnEmpty) {
    smallOutput(256, 64, 2, 1);
    manager->krxApi_OsdSet(3, 1);
    window(300, 100, 0, 64);
    manager->calc_osd();
    EXPECT_EQ(manager->osd.column[0].size, 0);
    EXPECT_FALSE(manager->osd.column[0].first);
    EXPECT_EQ(manager->osd.column[1].start, 44);
    EXPECT_EQ(manager->osd.column[1].size, 100);
    EXPECT_TRUE(manager->osd.column[1].first);
    EXPECT_TRUE(manager->osd.column[1].last);
    // Across the boundary: the first column from 200 to its end, the second from its start.
    window(200, 100, 0, 64);
    manager->calc_osd();
    EXPECT_EQ(manager->osd.column[0].start, 200);
    EXPECT_EQ(manager->osd.column[0].size, 56);
    EXPECT_EQ(manager->osd.column[1].start, 0);
    EXPECT_EQ(manager->osd.column[1].size, 44);
    EXPECT_TRUE(manager->osd.column[0].first);
    EXPECT_TRUE(manager->osd.column[1].last);
}

TEST_F(OsdEngineTest, ACharacterGoesThroughTheFifoAsIndexColoursAndAdvance) {
    textOverlay();
    text({{0x41, 0x4E2D}});  // "A", then U+4E2D
    clearEngineLog();
    EXPECT_EQ(manager->gen_char(fd()), 0);
    // 'A' is glyph 0x21 of the English set, advance 16; U+4E2D is glyph 0x2D of the
    // Chinese set, which follows the 96 English glyphs: 141, advance 32.
    EXPECT_EQ(fifo(0, 10),
              (std::vector<uint8_t>{0x21, 0x00, kFg, kBg, 16, 141, 0x00, kFg, kBg, 32}));
    EXPECT_EQ(fifo(0xA00, 1), std::vector<uint8_t>{32});
    EXPECT_EQ(chip(0x04, 0x2A), 8u);  // 32-pixel cells
    EXPECT_EQ(chip(0x04, 0x24), 1u);  // two characters
    const auto lines = blits(sim::C331Blitter::kText);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].characters, 2u);
    EXPECT_EQ(lines[0].destination, kPage0);
    EXPECT_EQ(lines[0].source, manager->osd.font_load[0]);

    manager->krxApi_OsdSet(14, 1);  // 64-pixel cells
    manager->krxApi_OsdSet(34, 3);  // word space
    clearEngineLog();
    EXPECT_EQ(manager->gen_char(fd()), 0);
    EXPECT_EQ(fifo(0, 10),
              (std::vector<uint8_t>{0x21, 0x00, kFg, kBg, 35, 141, 0x00, kFg, kBg, 67}));
    EXPECT_EQ(chip(0x04, 0x2A), 72u);
    EXPECT_EQ(blits(sim::C331Blitter::kText)[0].source, manager->osd.font_load[2]);
}

TEST_F(OsdEngineTest, ATextDrawnThroughTheEngineIsTheGlyphsPixelsInChipMemory) {
    textOverlay();
    // U+4E2D (Chinese glyph 0x2D): rows of four bytes, the least significant bit leftmost.
    std::vector<u8> zhong(128, 0);
    zhong[3] = 0x80;    // row 0: pixel 31
    zhong[124] = 0x01;  // row 31: pixel 0
    loadFlash(0x10023 + 0x2D * 128, zhong);
    // 'A' (English glyph 0x21).
    std::vector<u8> a(128, 0);
    a[0] = 0x01;   // row 0: pixel 0
    a[4] = 0x80;   // row 1: pixel 7
    a[9] = 0x01;   // row 2: pixel 8
    a[12] = 0xFF;  // row 3: pixels 0..15
    a[13] = 0xFF;
    a[127] = 0x80;  // row 31: pixel 31, past the 16 pixels an English character covers
    loadFlash(0x23 + 0x21 * 128, a);
    manager->update_font(fd());
    manager->krxApi_OsdSet(21, 8);  // text start x
    manager->krxApi_OsdSet(22, 4);  // text start y
    text({{0x4E2D, 0x41}});
    manager->update_osd(fd());

    // U+4E2D covers columns 0..31 from the text start, 'A' columns 32..47.
    const uint32_t pitch = 1024;
    const uint32_t origin = kPage0 + 8 + 4 * pitch;
    auto row = [&](int r) { return memory(origin + r * pitch, 80); };
    auto with = [](std::initializer_list<int> fg) {
        std::vector<u8> out(80, kBg);
        for (int x : fg)
            out[x] = kFg;
        return out;
    };
    EXPECT_EQ(row(0), with({31, 32}));
    EXPECT_EQ(row(1), with({39}));
    EXPECT_EQ(row(2), with({40}));
    EXPECT_EQ(row(3), with({32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47}));
    EXPECT_EQ(row(10), with({}));
    EXPECT_EQ(row(31), with({0}));  // not 63: 'A' draws 16 columns
    // Around the text: the canvas filled with the background.
    EXPECT_EQ(memory(kPage0, 8), std::vector<u8>(8, kBg));
    EXPECT_EQ(memory(kPage0 + 511 + 63 * pitch, 1), std::vector<u8>{kBg});

    // Page 1 holds the window's block 2 x 2: the text four times.
    for (uint32_t at : {kPage1, kPage1 + 512, kPage1 + 64 * pitch, kPage1 + 512 + 64 * pitch}) {
        EXPECT_EQ(memory(at + 8 + 31 + 4 * pitch, 1), std::vector<u8>{kFg});
        EXPECT_EQ(memory(at + 8 + 39 + 5 * pitch, 1), std::vector<u8>{kFg});
        EXPECT_EQ(memory(at + 8 + 35 * pitch, 1), std::vector<u8>{kFg});
        EXPECT_EQ(memory(at + 8 + 36 * pitch, 1), std::vector<u8>{kBg});
    }
}

TEST_F(OsdEngineTest, TextOutsideTheCanvasIsSkippedAndCharactersPastItsEdgeAreCut) {
    textOverlay();
    manager->krxApi_OsdSet(21, 490);  // x: the second character starts at 506, the third at 522
    manager->krxApi_OsdSet(22, 4);
    manager->krxApi_OsdSet(35, 0);          // line space
    text({{'A', 'B', 'C'}, {'D'}, {'E'}});  // lines at y 4, 36 and 68 (past the canvas)
    clearEngineLog();
    manager->gen_char(fd());
    auto lines = blits(sim::C331Blitter::kText);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].characters, 2u);
    EXPECT_EQ(lines[1].characters, 1u);
    EXPECT_EQ(lines[1].destination, kPage0 + 490 + 36 * 1024);

    for (int x : {-1, 512}) {
        manager->krxApi_OsdSet(21, x);
        clearEngineLog();
        c331()->clearLog();
        manager->gen_char(fd());
        EXPECT_TRUE(blits(sim::C331Blitter::kText).empty()) << x;
        EXPECT_TRUE(c331()->writes().empty()) << x;
    }
}

TEST_F(OsdEngineTest, ACodeNoGlyphSetHoldsDrawsASpace) {
    textOverlay();
    // A tab, U+00E9, U+0100, U+A000 (after the Chinese set), U+1F600 (beyond 16 bits).
    text({{0x09, 0xE9, 0x100, 0xA000, 0x1F600, 0x7F}});
    clearEngineLog();
    manager->gen_char(fd());
    // One-byte codes advance half a cell, two-byte codes a whole one.
    const std::vector<uint8_t> halfSpace{0x00, 0x00, kFg, kBg, 16};
    const std::vector<uint8_t> fullSpace{0x00, 0x00, kFg, kBg, 32};
    const std::vector<std::vector<uint8_t>> spaces{halfSpace, halfSpace, fullSpace, fullSpace,
                                                   halfSpace};
    const std::vector<uint8_t> entries = fifo(0, 30);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(std::vector<uint8_t>(entries.begin() + 5 * i, entries.begin() + 5 * i + 5),
                  spaces[static_cast<size_t>(i)])
            << i;
    EXPECT_EQ(entries[25], 0x5F) << "0x7F is the English set's last glyph";
}

TEST_F(OsdEngineTest, TheTextKeepsAt63LinesOf127Characters) {
    text({std::vector<u32>(5, 'a'), {}, std::vector<u32>(128, 'b')});
    EXPECT_EQ(manager->osd.line_count, 3);
    EXPECT_EQ(manager->osd.text[0][2 * 4 + 1], 'a');
    EXPECT_EQ(manager->osd.text[0][2 * 5 + 1], 0);
    EXPECT_EQ(manager->osd.text[1][1], 0);
    EXPECT_EQ(manager->osd.text[2][2 * 126 + 1], 'b');
    EXPECT_EQ(manager->osd.text[2][2 * 127 + 1], 0);
    // Stored high byte first.
    text({{0x4E2D}});
    EXPECT_EQ(manager->osd.text[0][0], 0x4E);
    EXPECT_EQ(manager->osd.text[0][1], 0x2D);

    std::vector<std::vector<u32>> many(64, std::vector<u32>{'x'});
    many[62] = {'y'};
    text(many);
    EXPECT_EQ(manager->osd.line_count, 63);
    EXPECT_EQ(manager->osd.text[62][1], 'y');
    text(std::vector<std::vector<u32>>(65, std::vector<u32>{'x'}));
    EXPECT_EQ(manager->osd.line_count, 63);
}

TEST_F(OsdEngineTest, WindowsScrollAndPaletteOfEveryTile) {
    textOverlay();
    manager->krxApi_OsdSet(0, 1);
    manager->krxApi_OsdSet(4, 3);
    manager->krxApi_OsdSet(13, 300);
    manager->update_osd(fd());
    // Tile 0 (bank 0x09) and tile 1 (bank 0x19), each showing 256 columns of page 1.
    for (int k = 0; k < 2; ++k) {
        const uint8_t bank = static_cast<uint8_t>(0x09 + 16 * k);
        EXPECT_EQ(chip(bank, 0x12, 2), 172u) << k;  // 176 + 0 - 4
        EXPECT_EQ(chip(bank, 0x14, 2), 256u) << k;
        EXPECT_EQ(chip(bank, 0x16, 2), 83u) << k;  // 82 + 0 + 1
        EXPECT_EQ(chip(bank, 0x18, 2), 64u) << k;
        EXPECT_EQ(chip(bank, 0x1A, 4), kPage1 + 256u * k) << k;
        EXPECT_EQ(chip(bank, 0x1E), 8u) << k;
        EXPECT_EQ(chip(bank, 0x08, 2), 0x4003u) << k;  // text shown
        EXPECT_EQ(chip(bank, 0x3D), 44u) << k;         // 300 AND 0xFF
        EXPECT_EQ(chip(bank, 0x40, 2), 512u) << k;
        EXPECT_EQ(chip(bank, 0x42, 2), 64u) << k;
        EXPECT_EQ(chip(bank, 0x3C), 0xA1u) << k;  // mode 3: (3 - 1) x 16 OR 0x81
    }
    // Page 0 came first, within the hold of the register update.
    EXPECT_EQ(fieldWrites(0x09, 0x1A, 4).front(), kPage0);
    EXPECT_EQ(fieldWrites(0x19, 0x1A, 4).front(), kPage0 + 256);
    // Entry 1 the background (BBGGRR 0xFF0000: blue), entry 2 the characters (0xC0C0FF).
    engines([](sim::C331FlashController& c) {
        EXPECT_EQ(c.palette().entries[1], (sim::C331Palette::Entry{0x00, 0x00, 0xFF}));
        EXPECT_EQ(c.palette().entries[2], (sim::C331Palette::Entry{0xFF, 0xC0, 0xC0}));
    });
    EXPECT_EQ(chip(0xFF, 0x01), 0u) << "the palette is closed again";

    manager->krxApi_OsdSet(0, 0);
    manager->krxApi_OsdSet(4, 0);
    manager->krxApi_OsdSet(33, 1);
    manager->set_osd(fd(), 1);
    manager->set_scroll(fd());
    EXPECT_EQ(chip(0x19, 0x08, 2), 0xC000u);  // hidden, below the video
    EXPECT_EQ(chip(0x19, 0x3C), 0x80u);
}

TEST_F(OsdEngineTest, TheBitmapOverlayComesFromTheFlashWithItsPalette) {
    smallOutput(1920, 1080, 1, 1);
    loadFlash(0xED9800 + 2 * 1920 + 5, {0x77});
    loadFlash(0x10D3C00, {0x10, 0x20, 0x30, 0x40});
    manager->krxApi_OsdSet(3, 0);
    c331()->setReg(0xFF, 0x01, 0);
    manager->update_osd(fd());
    const auto dmas = operations(sim::C331FlashController::Op::Dma);
    ASSERT_EQ(dmas.size(), 2u);
    EXPECT_EQ(dmas[0].address, 0xED9800u);
    EXPECT_EQ(dmas[0].length, 1920u * 1080u);
    EXPECT_EQ(dmas[0].destination, 0x70000000u);
    EXPECT_EQ(dmas[1].address, 0x10D3C00u);
    EXPECT_EQ(dmas[1].length, 816u);
    EXPECT_EQ(dmas[1].target, 4);
    const auto copies = blits(sim::C331Blitter::kCopy);
    ASSERT_GE(copies.size(), 1u);
    EXPECT_EQ(copies[0].sourcePitch, 1920u);  // packed rows: stride 15
    EXPECT_EQ(copies[0].destinationPitch, 4096u);
    EXPECT_EQ(memory(kPage0 + 2 * 4096 + 5, 1), std::vector<u8>{0x77});
    engines([](sim::C331FlashController& c) {
        EXPECT_EQ(c.palette().entries[0], (sim::C331Palette::Entry{0x10, 0x20, 0x30}));
        EXPECT_EQ(c.palette().entries[1][0], 0x40);
    });
    EXPECT_EQ(chip(0x09, 0x08, 2) & 0x0003, 0u) << "not enabled";
}

TEST_F(OsdEngineTest, AStuckBlitterEndsTheRedrawWithoutTouchingTheWindows) {
    textOverlay();
    engines([](sim::C331FlashController& c) { c.stick(Stuck::BlitterBusy, true); });
    c331()->clearLog();
    const std::string out = printed([&] { manager->update_osd(fd()); });
    EXPECT_NE(out.find("blitter command 1 did not finish"), std::string::npos);
    EXPECT_TRUE(fieldWrites(0x09, 0x1A, 4).empty());
    EXPECT_EQ(chip(0x04, 0x08), 0u) << "the command is cleared";
}

TEST_F(OsdEngineTest, ACanvasLargerThanTheOsdPagesIsNotDrawn) {
    smallOutput(256, 64, 1, 1);
    manager->krxApi_OsdSet(3, 1);
    manager->krxApi_OsdSet(19, 16000);
    manager->krxApi_OsdSet(20, 4000);
    c331()->clearLog();
    const std::string out = printed([&] { manager->update_osd(fd()); });
    EXPECT_NE(out.find("does not fit"), std::string::npos);
    EXPECT_TRUE(c331()->writes().empty());
}

TEST_F(OsdEngineTest, TheFirstCycleAfterBringUpDrawsWhatTheWindowSetAsksFor) {
    smallOutput(256, 64, 1, 1);
    manager->load_param();  // the bring-up's window set: text mode, a redraw requested
    EXPECT_EQ(manager->g_chg_osd_update, 1);
    manager->manage_state = c331_manage::kStateRun;
    cycle();
    EXPECT_EQ(manager->g_chg_osd_update, 0);
    EXPECT_EQ(blits(sim::C331Blitter::kFill).size(), 1u);
    EXPECT_EQ(chip(0x09, 0x1A, 4), kPage1);
}

}  // namespace
}  // namespace videotest
