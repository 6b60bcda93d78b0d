// The IT6602's register set-up and the step counts of its state machines, as the chip sees
// them: the init table row by row, the values written on state changes, and after how many
// polling steps each wait or hold ends.
#include <functional>
#include <vector>

#include "tests/inputs/it6602_fixture.h"

namespace {

using Write = sim::It6602Model::Write;

class It6602Setup : public test::It6602Test {
protected:
    // A 1080p60 picture on the channel with its equaliser, events and audio at rest.
    void steadyPicture(int ch) {
        sources->plug(ch, cta(16));
        ASSERT_TRUE(pictureOn(ch));
        const IT6602_dev_data& d = driver(ch);
        ASSERT_TRUE(passUntil(
            [&] { return !d.eq[0].busy && !d.event_flags && d.audio_state == ASTATE_AudioOn; }));
    }
    // The passes run until found() holds after one (the chip's writes of each pass are
    // cleared before it), at most maxPasses; 0 when it never did.
    int passesUntil(int ch, const std::function<bool()>& found, int maxPasses = 100) {
        for (int n = 1; n <= maxPasses; ++n) {
            chip(ch).clearWrites();
            pass();
            if (found())
                return n;
        }
        return 0;
    }
    // A write of the last pass to bank/reg whose masked bits are value.
    bool wrote(int ch, int bank, u8 reg, u8 mask, u8 value) {
        for (const Write& w : chip(ch).writes())
            if (w.bank == bank && w.reg == reg && (w.value & mask) == value)
                return true;
        return false;
    }
    // The values written to bank/reg, masked, in order.
    std::vector<u8> written(int ch, int bank, u8 reg, u8 mask = 0xFF) {
        std::vector<u8> values;
        for (const Write& w : chip(ch).writes())
            if (w.bank == bank && w.reg == reg)
                values.push_back(w.value & mask);
        return values;
    }
};

struct Row {
    u8 reg, mask, value;
};

// The receiver's set-up at every reset: 81 rows of register, mask and value, bank switches
// (register 0x0F) included.
const Row kInitTable[81] = {
    {0x0F, 0x03, 0x00}, {0x10, 0xFF, 0x08}, {0x0F, 0x03, 0x00}, {0x10, 0xFF, 0x17},
    {0x11, 0xFF, 0x1F}, {0x18, 0xFF, 0x1F}, {0x12, 0xFF, 0xF8}, {0x10, 0xFF, 0x10},
    {0x11, 0xFF, 0xA0}, {0x18, 0xFF, 0xA0}, {0x12, 0xFF, 0x00}, {0x0F, 0x03, 0x01},
    {0xB0, 0x03, 0x00}, {0x0F, 0x03, 0x00}, {0x17, 0xC0, 0x80}, {0x1E, 0xC0, 0x00},
    {0x16, 0x08, 0x08}, {0x1D, 0x08, 0x08}, {0x2B, 0xFF, 0x07}, {0x31, 0xFF, 0x09},
    {0x49, 0xFF, 0x09}, {0x35, 0x1E, 0x14}, {0x4B, 0x1E, 0x14}, {0x54, 0xFF, 0x11},
    {0x6A, 0xFF, 0x81}, {0x74, 0xFF, 0xA0}, {0x50, 0x1F, 0x12}, {0x65, 0x0C, 0x00},
    {0x7A, 0x80, 0x80}, {0x85, 0x02, 0x02}, {0xC0, 0x03, 0x03}, {0x87, 0xFF, 0x00},
    {0x71, 0x08, 0x00}, {0x37, 0xFF, 0xA6}, {0x4D, 0xFF, 0xA6}, {0x67, 0x80, 0x00},
    {0x7A, 0x50, 0x50}, {0x77, 0x80, 0x80}, {0x0F, 0x03, 0x01}, {0xC0, 0x8C, 0x88},
    {0x0F, 0x03, 0x00}, {0x7E, 0x40, 0x40}, {0x52, 0x20, 0x20}, {0x53, 0xCF, 0x4F},
    {0x58, 0xFF, 0x33}, {0x59, 0xFF, 0xAA}, {0x25, 0xFF, 0x1F}, {0x3D, 0xFF, 0x1F},
    {0x27, 0xFF, 0x1F}, {0x28, 0xFF, 0x1F}, {0x29, 0xFF, 0x1F}, {0x3F, 0xFF, 0x1F},
    {0x40, 0xFF, 0x1F}, {0x41, 0xFF, 0x1F}, {0x0F, 0x03, 0x01}, {0xBC, 0xFF, 0x06},
    {0xCC, 0xFF, 0x00}, {0xC6, 0x07, 0x03}, {0xB5, 0x03, 0x03}, {0xB8, 0x80, 0x00},
    {0xB6, 0x07, 0x03}, {0x10, 0xFF, 0x00}, {0x11, 0xFF, 0x00}, {0x12, 0xFF, 0x00},
    {0x13, 0xFF, 0x00}, {0x28, 0xFF, 0x00}, {0x29, 0xFF, 0x00}, {0x2A, 0xFF, 0x00},
    {0x2B, 0xFF, 0x00}, {0x2C, 0xFF, 0x00}, {0x0F, 0x03, 0x00}, {0x22, 0xFF, 0x00},
    {0x3A, 0xFF, 0x00}, {0x26, 0xFF, 0x00}, {0x3E, 0xFF, 0x00}, {0x63, 0xFF, 0x3F},
    {0x73, 0x08, 0x00}, {0x60, 0x40, 0x00}, {0x2A, 0x01, 0x00}, {0x42, 0x01, 0x00},
    {0x77, 0x0C, 0x08},
};

// Each row is one read-modify-write: the chip receives the register's bits outside the mask
// as they were, those inside as the row gives them, in the bank the rows before selected.
// Every register starts with the complement of its first row's value, so that a bit on the
// wrong side of a mask shows.
TEST_F(It6602Setup, TheInitTableReachesTheChipRowByRow) {
    steadyPicture(1);
    int bank = 0;
    for (const Row& row : kInitTable) {
        if (row.reg == 0x0F) {
            bank = row.value;
            continue;
        }
        chip(1).setReg(bank, row.reg, static_cast<u8>(~row.value));
    }
    std::vector<std::vector<u8>> before(3, std::vector<u8>(256));
    for (int b = 0; b < 3; ++b)
        for (int reg = 0; reg < 256; ++reg)
            before[static_cast<size_t>(b)][static_cast<size_t>(reg)] =
                chip(1).reg(b, static_cast<u8>(reg));
    chip(1).clearWrites();
    source->it6602_step[1] = 0;  // the channel is initialised again
    pass();

    std::vector<Write> writes = chip(1).writes();
    ASSERT_GE(writes.size(), 81u);
    bank = before[0][0x0F] & 0x03;
    for (size_t i = 0; i < 81; ++i) {
        const Row& row = kInitTable[i];
        int inBank = row.reg == 0x0F ? 0 : bank;
        u8& held = before[static_cast<size_t>(inBank)][row.reg];
        u8 expected = static_cast<u8>((held & ~row.mask) | (row.value & row.mask));
        EXPECT_EQ(writes[i].bank, inBank) << "row " << i;
        EXPECT_EQ(writes[i].reg, row.reg) << "row " << i;
        EXPECT_EQ(writes[i].value, expected) << "row " << i;
        held = expected;
        if (row.reg == 0x0F)
            bank = expected & 0x03;
    }
    EXPECT_EQ(bank, 0) << "the table ends in bank 0";
    ASSERT_TRUE(pictureOn(1)) << "the source is found again";
}

// What the video state changes write: 0x6A <- 0x82 on waiting for and on checking sync,
// 0x84 <- 0x8F and 0x6A <- 0x81 with the picture; the hot-plug bits (bank 1 0xB0 bits 0..1)
// 3 when high, 1 when pulled low with 5 V on the cable, 0 without 5 V.
TEST_F(It6602Setup, StateChangesWriteTheirValues) {
    enum Event { Plug, SyncLost, Unplug };
    struct Case {
        Event event;
        int bank;
        u8 reg, mask;
        std::vector<u8> values;
        const char* what;
    };
    const Case cases[] = {
        {Plug, 0, 0x6A, 0xFF, {0x82, 0x82, 0x81}, "plug: sync wait, sync check, picture"},
        {Plug, 0, 0x84, 0xFF, {0x8F}, "plug: picture"},
        {Plug, 1, 0xB0, 0x03, {0x03}, "plug: hot-plug high"},
        {SyncLost, 0, 0x6A, 0xFF, {0x82}, "sync lost: sync wait"},
        {SyncLost, 1, 0xB0, 0x03, {0x01, 0x03}, "sync lost: the link reset behind hot-plug"},
        {Unplug, 1, 0xB0, 0x03, {0x00, 0x00}, "unplug: hot-plug low without 5 V"},
    };
    auto gone = [&] { return record(0).nosignal && driver(0).video_state != VSTATE_VideoOn; };
    for (const Case& c : cases) {
        chip(0).setSyncLost(false);
        sources->unplug(0);
        ASSERT_TRUE(passUntil([&] { return gone() && !driver(0).eq[0].busy; })) << c.what;
        pass(3);
        if (c.event != Plug)
            steadyPicture(0);
        size_t edges = sources->hotPlugEdges(0).size();
        chip(0).clearWrites();
        std::function<bool()> done;
        switch (c.event) {
            case Plug:
                sources->plug(0, cta(16));
                done = [&] { return driver(0).video_state == VSTATE_VideoOn; };
                break;
            case SyncLost:
                chip(0).setSyncLost(true);
                done = [&] { return sources->hotPlugEdges(0).size() >= edges + 2; };
                break;
            case Unplug:
                sources->unplug(0);
                done = gone;
                break;
        }
        ASSERT_TRUE(passUntil(done)) << c.what;
        EXPECT_EQ(written(0, c.bank, c.reg, c.mask), c.values) << c.what;
    }
    EXPECT_EQ(chip(0).reg(0, 0x84), 0x8F);
}

// After how many polling steps each count ends, from a steady picture on channel 2:
// - sync lost with the clock and PLL still there: the PLL check overwrites the PLL settings
//   at its 16th step, and the 22nd step waiting for sync (more than 21) resets the link
//   behind a low hot-plug;
// - a clock event holds the port's pending TMDS check for 3 steps, so it runs in the 4th;
//   a TMDS check holds the next one as long;
// - equaliser detection starts in the step the chip reports its amplitudes, checks the sync
//   in states 0 to 19, one a step, and decides in the 21st step;
// - audio waits for readiness from a count of 201, less 100 a step: it is on in the 3rd.
TEST_F(It6602Setup, EachCountEndsAfterItsSteps) {
    const int ch = 2;
    const IT6602_dev_data& d = driver(ch);
    auto pllOverwrite = [&] { return wrote(ch, 1, 0xB1, 0xE0, 0xE0); };
    auto hotPlugLow = [&] { return wrote(ch, 1, 0xB0, 0x03, 0x01); };
    auto tmdsCheck = [&] { return wrote(ch, 0, 0x20, 0xFF, 0x3F); };
    auto eqDecided = [&] { return wrote(ch, 0, 0xB2, 0xFF, 0xFF); };
    auto audioOn = [&] { return wrote(ch, 0, 0x7D, 0x01, 0x01); };
    auto syncBack = [&] {
        chip(ch).setSyncLost(true);
        ASSERT_TRUE(passUntil([&] { return d.audio_state == ASTATE_AudioOff; }));
        chip(ch).setSyncLost(false);
        chip(ch).clearWrites();
        ASSERT_TRUE(passUntil([&] { return wrote(ch, 0, 0x7D, 0x04, 0x04); }))
            << "audio waits for readiness";
    };
    struct Case {
        const char* what;
        std::function<void()> act;
        std::function<bool()> found;
        int steps;
    };
    const Case cases[] = {
        {"PLL check", [&] { chip(ch).setSyncLost(true); }, pllOverwrite, 16},
        {"sync wait", [&] { chip(ch).setSyncLost(true); }, hotPlugLow, 22},
        {"hold of a clock event", [&] { chip(ch).raiseInterrupt(0x05, 0x18); }, tmdsCheck, 4},
        {"hold of a TMDS check", [&] { chip(ch).raiseInterrupt(0x05, 0x10); }, tmdsCheck, 4},
        {"sync check of the equaliser", [&] { chip(ch).finishAutoEq(); }, eqDecided, 21},
        {"audio ready", syncBack, audioOn, 3},
    };
    for (const Case& c : cases) {
        if (d.video_state != VSTATE_VideoOn || d.eq[0].busy) {
            chip(ch).setSyncLost(false);
            sources->unplug(ch);
            ASSERT_TRUE(passUntil([&] { return record(ch).nosignal == 1; })) << c.what;
            steadyPicture(ch);
        }
        c.act();
        EXPECT_EQ(passesUntil(ch, c.found), c.steps) << c.what;
    }
}

}  // namespace
