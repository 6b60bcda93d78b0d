// The OSD engine's glyph print, the advance of codes without a glyph, and the scroll block
// that page 1 repeats and the chip wraps at.
#include <gtest/gtest.h>

#include <QString>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/global.h"
#include "tests/video/osd_fixture.h"

namespace videotest {
namespace {

constexpr uint32_t kPage0 = 0x725C0000;
constexpr uint32_t kPage1 = 0x74B80000;
constexpr uint8_t kFg = 2;
constexpr uint8_t kBg = 1;

class OsdRoutinesTest : public OsdTest {
protected:
    int fd() const { return manager->c331_fd; }
    void text(const std::vector<u32>& line) {
        auto buffer = std::make_unique<u32[][128]>(1);
        std::copy(line.begin(), line.end(), buffer[0]);
        const int length = static_cast<int>(line.size());
        manager->krxApi_OsdSetUnicode(1, &length, buffer.get());
    }
    // A row of 32 pixels as the print shows it: 'O' where set.
    static std::string row(std::initializer_list<int> set) {
        std::string r(32, ' ');
        for (int x : set)
            r[static_cast<size_t>(x)] = 'O';
        return r + "\n";
    }
};

TEST_F(OsdRoutinesTest, AGlyphPrintsAsRowsOfOLeastSignificantBitLeftmost) {
    g_debugSwitch = 0;  // the flash reads' own lines off
    smallOutput(256, 64, 1, 1);
    // 'A' is glyph 0x21 of the English set (data from 0x23), U+9FFF the last of the Chinese
    // set (data from 0x10023): rows of four bytes.
    std::vector<u8> a(128, 0);
    a[0] = 0x01;    // row 0: pixel 0
    a[4] = 0x80;    // row 1: pixel 7
    a[127] = 0x80;  // row 31: pixel 31
    loadFlash(0x23 + 0x21 * 128, a);
    std::vector<u8> last(128, 0);
    last[9] = 0x0F;  // row 2: pixels 8..11
    loadFlash(0x10023 + (0x9FFF - 0x4E00) * 128, last);

    std::string expected;
    for (int r = 0; r < 32; ++r)
        expected += r == 0 ? row({0}) : r == 1 ? row({7}) : r == 31 ? row({31}) : row({});
    EXPECT_EQ(printed([&] { manager->krxApi_debug_printf_unicode(fd(), 0x41); }), expected);
    expected.clear();
    for (int r = 0; r < 32; ++r)
        expected += r == 2 ? row({8, 9, 10, 11}) : row({});
    EXPECT_EQ(printed([&] { manager->krxApi_debug_printf_unicode(fd(), 0x9FFF); }), expected);

    for (int code : {0x80, 0xA000})
        EXPECT_EQ(printed([&] { manager->krxApi_debug_printf_unicode(fd(), code); }),
                  "\t unicode:" + QString::number(code, 16).toStdString() +
                      " OOR, rang:4e00 - 9fff, return;\n");
}

// Full-width punctuation has no glyph: it draws as a space a whole cell wide, so what
// follows it lands where the device puts it.
TEST_F(OsdRoutinesTest, FullWidthPunctuationKeepsAWholeCell) {
    smallOutput(256, 64, 2, 1);
    manager->krxApi_OsdSet(3, 1);
    manager->krxApi_OsdSet(14, 0);
    loadFlash(0x23, std::vector<u8>(128, 0));  // the space, glyph 0
    std::vector<u8> a(128, 0);
    a[0] = 0x01;  // 'A', row 0: pixel 0
    loadFlash(0x23 + 0x21 * 128, a);
    manager->update_font(fd());
    text({0x3002, 0xFF0C, 0x41});  // U+3002, U+FF0C, 'A'
    clearEngineLog();
    manager->update_osd(fd());
    std::vector<sim::C331Blitter::Blit> lines;
    for (const auto& b : blits())
        if (b.command == sim::C331Blitter::kText)
            lines.push_back(b);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].width, 32u + 32u + 16u);
    std::vector<u8> expected(80, kBg);
    expected[64] = kFg;
    EXPECT_EQ(memory(kPage0, 80), expected);
}

// A bitmap canvas wider than the output, its window from x 100 over the whole output width
// (past the output's right edge): the scroll block is the canvas from 100 to its end.
TEST_F(OsdRoutinesTest, TheChipWrapsTheScrollWherePageOneRepeats) {
    smallOutput(512, 256, 2, 1);                // output 1024 x 256
    loadFlash(0xED9800 + 100, {0x77});          // bitmap row 0, column 100
    loadFlash(0xED9800 + 1920 + 1919, {0x55});  // row 1, the last column
    manager->krxApi_OsdSet(3, 0);
    for (int first : {5, 9}) {
        manager->krxApi_OsdSet(first, 100);
        manager->krxApi_OsdSet(first + 1, 1024);
        manager->krxApi_OsdSet(first + 2, 0);
        manager->krxApi_OsdSet(first + 3, 256);
    }
    manager->update_osd(fd());
    for (uint8_t bank : {0x09, 0x19}) {
        EXPECT_EQ(chip(bank, 0x40, 2), 1820u) << int{bank};
        EXPECT_EQ(chip(bank, 0x42, 2), 1080u) << int{bank};
    }
    // The scroll wraps at 1820: there page 1 starts over with the block's first column.
    const uint32_t pitch = 4096;
    EXPECT_EQ(memory(kPage1, 1), std::vector<u8>{0x77});
    EXPECT_EQ(memory(kPage1 + 1820, 1), std::vector<u8>{0x77});
    EXPECT_EQ(memory(kPage1 + 1080 * pitch + 1820, 1), std::vector<u8>{0x77});
    EXPECT_EQ(memory(kPage1 + pitch + 1819, 1), std::vector<u8>{0x55}) << "the block's last column";
    EXPECT_EQ(memory(kPage1 + pitch + 1820 + 1819, 1), std::vector<u8>{0x55});
}

}  // namespace
}  // namespace videotest
