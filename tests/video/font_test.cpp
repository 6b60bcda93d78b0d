// The OSD font sets in the chip's serial flash: the presence check with its two bit
// orders (font_status and register byte 43) and the load into chip memory.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "board/sim/sim.h"
#include "tests/video/osd_fixture.h"

namespace videotest {
namespace {

using Font = sim::C331FlashController::Font;
using Op = sim::C331FlashController::Op;

class FontTest : public OsdTest {
protected:
    void present(std::initializer_list<Font> fonts) {
        engines([&](sim::C331FlashController& c) {
            for (Font f : fonts)
                c.loadFontHeader(f);
        });
    }
    u8 reg43() const { return store->reg_para[43]; }
};

TEST_F(FontTest, PresenceBitsFollowTheirOwnOrderInFontStatusAndInRegister43) {
    // font_status: bit 0 32CN, bit 1 32EN, bit 2 64CN, bit 3 64EN.
    // Register 43: bit 0 32EN, bit 1 32CN, bits 2 and 4 64EN, bits 3 and 5 64CN.
    present({Font::Cn32, Font::En64});
    manager->read_c331_font(manager->c331_fd);
    EXPECT_EQ(manager->font_status, 0x9u);
    EXPECT_EQ(reg43(), 0x16);

    engines([](sim::C331FlashController& c) {
        c.flash().erase(0x010000, 4096);
        c.flash().erase(0x410000, 4096);
    });
    present({Font::En32, Font::Cn64});
    manager->read_c331_font(manager->c331_fd);
    EXPECT_EQ(manager->font_status, 0x6u);
    EXPECT_EQ(reg43(), 0x29);

    present({Font::Cn32, Font::En64});
    manager->read_c331_font(manager->c331_fd);
    EXPECT_EQ(manager->font_status, 0xFu);
    EXPECT_EQ(reg43(), 0x3F);
}

TEST_F(FontTest, AHeaderWithoutItsMarkClearsBothBitsOfA64PixelSetAndNothingElse) {
    present({Font::En32, Font::Cn32, Font::En64, Font::Cn64});
    store->reg_para[43] = 0xC0;  // bits 6 and 7 are not the check's
    manager->read_c331_font(manager->c331_fd);
    EXPECT_EQ(reg43(), 0xFF);
    loadFlash(0x450000, {'Q'});  // 64CN's header no longer starts with 'P'
    manager->read_c331_font(manager->c331_fd);
    EXPECT_EQ(manager->font_status, 0xBu);
    EXPECT_EQ(reg43(), 0xD7);
}

TEST_F(FontTest, TheCheckReadsEachHeaderAndPrintsItsTypeAndGlyphSize) {
    present({Font::Cn32});
    const std::string out = printed([&] { manager->read_c331_font(manager->c331_fd); });
    EXPECT_NE(out.find("\n addr=0x10000[32CN], type= 0x50 ,width=32,height=32 \n"),
              std::string::npos);
    EXPECT_NE(out.find("\n addr=0x00[32EN], type= 0xff ,width=255,height=255 \n"),
              std::string::npos);
    const auto reads = operations(Op::Read);
    ASSERT_EQ(reads.size(), 4u);
    const uint32_t order[4] = {0x010000, 0x000000, 0x450000, 0x410000};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(reads[i].address, order[i]);
        EXPECT_EQ(reads[i].length, 35u);
    }
}

TEST_F(FontTest, TheLoadPutsTheFourSetsBackToBackFromTheFontArea) {
    manager->load_system_param();  // the memory map
    manager->load_char();
    // A recognisable first and last byte of each set's data.
    loadFlash(0x000023, {0xE1});
    loadFlash(0x000023 + 0x3000 - 1, {0xE2});
    loadFlash(0x010023, {0xC1});
    loadFlash(0x450023 + 0xA40000 - 1, {0xC4});
    manager->update_font(manager->c331_fd);
    EXPECT_EQ(manager->osd.font_load[0], 0x7F000000u);
    EXPECT_EQ(manager->osd.font_load[1], 0x7F003000u);
    EXPECT_EQ(manager->osd.font_load[2], 0x7F293000u);
    EXPECT_EQ(manager->osd.font_load[3], 0x7F29F000u);
    const auto dmas = operations(Op::Dma);
    ASSERT_EQ(dmas.size(), 4u);
    const uint32_t from[4] = {0x000023, 0x010023, 0x410023, 0x450023};
    const uint32_t length[4] = {0x3000, 0x290000, 0xC000, 0xA40000};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dmas[i].address, from[i]) << i;
        EXPECT_EQ(dmas[i].length, length[i]) << i;
        EXPECT_EQ(dmas[i].target, 0) << i;
    }
    EXPECT_EQ(memory(0x7F000000, 1), std::vector<u8>{0xE1});
    EXPECT_EQ(memory(0x7F002FFF, 1), std::vector<u8>{0xE2});
    EXPECT_EQ(memory(0x7F003000, 1), std::vector<u8>{0xC1});
    EXPECT_EQ(memory(0x7FCDEFFF, 1), std::vector<u8>{0xC4});
}

TEST_F(FontTest, BringUpChecksAndLoadsTheFontsOfTheFlash) {
    present({Font::En32, Font::Cn64});
    manager->c331_bringup();
    EXPECT_EQ(manager->font_status, 0x6u);
    EXPECT_EQ(reg43(), 0x29);
    EXPECT_EQ(manager->osd.font_load[3], 0x7F29F000u);
    EXPECT_EQ(operations(Op::Dma).size(), 4u);
}

// The scene says which font headers the simulated flash holds.
TEST(C331FlashScene, TheSceneNamesTheFontSetsTheFlashHolds) {
    sim::setScene(QJsonObject{{"c331", QJsonObject{{"fonts", QJsonArray{"32EN", "64CN"}}}}});
    sim::C331FlashController controller;
    EXPECT_EQ(controller.flash().read(0x000000, 19)[0], 'P');
    EXPECT_EQ(controller.flash().read(0x000000, 19)[5], 1);  // English
    EXPECT_EQ(controller.flash().read(0x450000, 19)[5], 0);  // Chinese
    EXPECT_EQ(controller.flash().read(0x450000, 19)[18], 64);
    EXPECT_EQ(controller.flash().read(0x010000, 1)[0], 0xFF);
    EXPECT_EQ(controller.flash().size(), 32u << 20);
    sim::setScene(QJsonObject());
}

}  // namespace
}  // namespace videotest
