// The run-time record on FPGA 0's configuration flash: groups of 1440 two-minute slots
// with a backup copy and a sequence list, written by clearing bits only, and sound
// after a power cut at any step.
#include <gtest/gtest.h>

#include <string>

#include "board/board.h"
#include "board/sim/wall_clock.h"
#include "tests/fpga/fpga_fixture.h"

namespace fpgatest {
namespace {

// Flash addresses of the record on flash select 2.
constexpr u32 kMarker = 0x334000;
constexpr u32 kPrimary = 0x335000;
constexpr u32 kBackup = 0x336000;
constexpr u32 kSequence = 0x337000;
constexpr u32 kArea = kMarker;
constexpr u32 kAreaSize = 0x5000;  // marker, both group sectors, first sequence sector

// 2024-03-15 08:30:00 as the record writes it: year, century, month, day, hour, min, s.
const Bytes kStart = {0x24, 0x20, 0x03, 0x15, 0x08, 0x30, 0x00};

Bytes le32(u32 v) {
    return {static_cast<u8>(v), static_cast<u8>(v >> 8), static_cast<u8>(v >> 16),
            static_cast<u8>(v >> 24)};
}

// A group as the record lays it out, with `marks` two-minute slots marked.
Bytes group(const Bytes& date, u32 total, u32 seq, unsigned marks) {
    Bytes g(512, 0xFF);
    g[0] = 0xAA;
    std::copy(date.begin(), date.end(), g.begin() + 1);
    const Bytes t = le32(total);
    std::copy(t.begin(), t.end(), g.begin() + 8);
    g[13] = static_cast<u8>(seq);
    g[14] = static_cast<u8>(seq >> 8);
    g[15] = static_cast<u8>(seq >> 16);
    const u8 partial[4] = {0xFF, 0xFD, 0xF5, 0xD5};
    for (unsigned i = 0; i < marks / 4; ++i)
        g[48 + i] = 0x55;
    if (marks < 1440)
        g[48 + marks / 4] = partial[marks % 4];
    return g;
}

Bytes entry(const Bytes& date, u32 minutes, u32 seq) {
    Bytes e(16, 0xFF);
    e[0] = 0xAA;
    std::copy(date.begin(), date.end(), e.begin() + 1);
    const Bytes m = le32(minutes);
    std::copy(m.begin(), m.end(), e.begin() + 8);
    e[13] = static_cast<u8>(seq);
    e[14] = static_cast<u8>(seq >> 8);
    e[15] = static_cast<u8>(seq >> 16);
    return e;
}

Bytes slice(const Bytes& b, size_t at, size_t n) {
    return Bytes(b.begin() + at, b.begin() + at + n);
}

class RunTimeRecord : public FpgaTest {
protected:
    void SetUp() override {
        FpgaTest::SetUp();
        setClock();
    }
    void setClock() { sim::get<sim::WallClock>("wall-clock")->set(2024, 3, 15, 8, 30, 0); }

    void init() { manager->record.clock_record_init(); }
    // Minute steps of the record, the clock going with them.
    void minutes(int n) {
        for (int i = 0; i < n; ++i) {
            G_timeTicks += 6001;
            sim::get<sim::WallClock>("wall-clock")->advance(60);
            manager->record.clock_record_deal();
        }
    }
    CLOCK_RECORD state() { return clock_record_run::snapshot(); }
    Bytes at(u32 address, u32 n) { return flash()->contents(address, n); }
    Bytes primary(unsigned g) { return at(kPrimary + 512 * g, 512); }
    Bytes backup(unsigned g) { return at(kBackup + 512 * g, 512); }

    // A record area with `full` complete groups (48 hours each, one after the other from
    // kStart's day) in both copies, their sequence entries and the area marker.
    void recordWithFullGroups(unsigned full) {
        Bytes area(kAreaSize, 0xFF);
        area[0] = 0xAA;
        area[1] = 0x5A;
        area[2] = 0xA5;
        for (unsigned g = 0; g < full; ++g) {
            Bytes date = kStart;
            const unsigned day = 1 + 2 * g;  // days 1, 3, 5, ... 15
            date[3] = static_cast<u8>((day / 10) << 4 | day % 10);
            const Bytes grp = group(date, 2880 * g, g, 1440);
            std::copy(grp.begin(), grp.end(), area.begin() + 0x1000 + 512 * g);
            std::copy(grp.begin(), grp.end(), area.begin() + 0x2000 + 512 * g);
            const Bytes e = entry(date, 2880, g);
            std::copy(e.begin(), e.end(), area.begin() + 0x3000 + 16 * g);
        }
        flash()->setContents(kArea, area);
    }
    void putSector(u32 address, unsigned g, const Bytes& bytes) {
        flash()->setContents(address + 512 * g, bytes);
    }

    // A new start over the same flash file: new board, new manager, the clock kept.
    void powerCycle() {
        const std::tm now = board::localTime();
        restart();
        sim::get<sim::WallClock>("wall-clock")
            ->set(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min,
                  now.tm_sec);
    }
    size_t erasesAt(u32 address) {
        size_t n = 0;
        for (const auto& op : flash()->operations(sim::SpiNorFlash::Op::Erase))
            n += op.address == address;
        return n;
    }
};

TEST_F(RunTimeRecord, BlankFlashIsFormattedAndTheFirstThirtyMinutesAreWrittenAtOnce) {
    init();
    EXPECT_EQ(at(kMarker, 4), (Bytes{0xAA, 0x5A, 0xA5, 0xFF}));
    for (u32 sector : {kMarker, kPrimary, kBackup, kSequence})
        EXPECT_EQ(erasesAt(sector), 1u) << std::hex << sector;
    EXPECT_EQ(state().ready, 1);
    EXPECT_EQ(state().first_write_pending, 1);

    minutes(29);
    EXPECT_EQ(primary(0), Bytes(512, 0xFF))
        << "a start that ends before 30 minutes leaves no trace";
    EXPECT_EQ(state().minutes_counter, 29u);

    minutes(1);
    Bytes expected = group(kStart, 0, 0, 15);
    std::copy(kStart.begin(), kStart.end(), expected.begin() + 33);  // the power-on date
    EXPECT_EQ(primary(0), expected);
    EXPECT_EQ(slice(primary(0), 48, 5), (Bytes{0x55, 0x55, 0x55, 0xD5, 0xFF}));
    EXPECT_EQ(backup(0), expected);
    Bytes e = entry(kStart, 0xFFFFFFFF, 0);
    EXPECT_EQ(at(kSequence, 16), e) << "the entry's minutes are written when the group ends";
    EXPECT_EQ(primary(1), Bytes(512, 0xFF));
    EXPECT_EQ(state().first_write_pending, 0);
    EXPECT_EQ(state().slot_counter, 15u);
}

TEST_F(RunTimeRecord, OneSlotEveryTwoMinutesAfterTheFirstFifteen) {
    init();
    minutes(30);
    // The 16th slot completes byte 51; slot 17 opens byte 52.
    const u8 expected[][2] = {{51, 0x55}, {52, 0xFD}, {52, 0xF5},
                              {52, 0xD5}, {52, 0x55}, {53, 0xFD}};
    for (const auto& step : expected) {
        minutes(1);
        const Bytes before = primary(0);
        minutes(1);
        const Bytes after = primary(0);
        EXPECT_EQ(after[step[0]], step[1]) << "byte " << int(step[0]);
        int changed = 0;
        for (size_t i = 0; i < 512; ++i)
            changed += before[i] != after[i];
        EXPECT_EQ(changed, 1) << "one slot byte per two minutes";
        EXPECT_EQ(backup(0), after);
    }
    EXPECT_EQ(state().minutes_counter, 42u);
    EXPECT_EQ(state().slot_counter, 21u);
}

TEST_F(RunTimeRecord, MinutesOfAPartlyWrittenGroupCountAtTheNextStart) {
    recordWithFullGroups(2);
    // Group 2: 10 full slot bytes, then F5: 84 minutes.
    Bytes g2 = group(kStart, 5760, 2, 42);
    ASSERT_EQ(slice(g2, 48, 12),
              (Bytes{0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0xF5, 0xFF}));
    putSector(kPrimary, 2, g2);
    putSector(kBackup, 2, g2);
    putSector(kSequence + 32, 0, entry(kStart, 0xFFFFFFFF, 2));
    init();
    EXPECT_EQ(state().group_index, 3);
    EXPECT_EQ(state().total_minutes, 5760u + 84u);
    EXPECT_EQ(state().seq_word, 3u);
    EXPECT_EQ(at(kSequence + 32 + 8, 4), le32(84)) << "the group's minutes in its entry";
    EXPECT_EQ(primary(3), Bytes(512, 0xFF));
}

TEST_F(RunTimeRecord, ARestartOverTheSameFlashFileOpensTheNextGroup) {
    init();
    minutes(50);  // 25 slots
    EXPECT_EQ(slice(primary(0), 48, 8), (Bytes{0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0xFD, 0xFF}));

    powerCycle();
    init();
    EXPECT_EQ(state().group_index, 1);
    EXPECT_EQ(state().total_minutes, 50u);
    EXPECT_EQ(state().seq_word, 1u);
    EXPECT_EQ(at(kSequence + 8, 4), le32(50));
    minutes(30);
    // Started 50 minutes after the first start: 09:20.
    const Bytes start = {0x24, 0x20, 0x03, 0x15, 0x09, 0x20, 0x00};
    Bytes expected = group(start, 50, 1, 15);
    std::copy(start.begin(), start.end(), expected.begin() + 33);
    EXPECT_EQ(primary(1), expected);
    EXPECT_EQ(backup(1), expected);
    EXPECT_EQ(at(kSequence + 16, 16), entry(start, 0xFFFFFFFF, 1));
    EXPECT_EQ(primary(0)[54], 0xFD) << "the old group is left as it was";
    EXPECT_EQ(state().total_minutes + state().minutes_counter, 80u) << "what the PC is told";
}

TEST_F(RunTimeRecord, AfterFourteenHundredFortySlotsTheNextGoesToTheNextGroup) {
    init();
    minutes(2878);
    EXPECT_EQ(primary(0)[407], 0xD5);
    EXPECT_EQ(primary(1), Bytes(512, 0xFF));
    minutes(2);  // slot 1440 of the group: the group is full
    EXPECT_EQ(primary(0)[407], 0x55);
    EXPECT_EQ(slice(primary(0), 408, 104), Bytes(104, 0xFF)) << "nothing past the slots";
    // The next group starts two days later, with the minutes before it.
    const Bytes start = {0x24, 0x20, 0x03, 0x17, 0x08, 0x30, 0x00};
    EXPECT_EQ(primary(1), group(start, 2880, 1, 0));
    EXPECT_EQ(backup(1), group(start, 2880, 1, 0));
    EXPECT_EQ(at(kSequence + 8, 4), (Bytes{0x40, 0x0B, 0x00, 0x00})) << "2880 minutes";
    EXPECT_EQ(at(kSequence + 16, 16), entry(start, 0xFFFFFFFF, 1));
    minutes(2);
    EXPECT_EQ(primary(1)[48], 0xFD);
    EXPECT_EQ(backup(1)[48], 0xFD);
}

TEST_F(RunTimeRecord, AfterEightGroupsTheTableWrapsPrimaryFirst) {
    recordWithFullGroups(7);
    init();
    EXPECT_EQ(state().group_index, 7);
    EXPECT_EQ(state().total_minutes, 20160u);
    minutes(2880);
    const Bytes start = {0x24, 0x20, 0x03, 0x17, 0x08, 0x30, 0x00};
    EXPECT_EQ(primary(0), group(start, 23040, 8, 0));
    EXPECT_EQ(backup(0), group(start, 23040, 8, 0));
    for (unsigned g = 1; g < 8; ++g) {
        EXPECT_EQ(primary(g), Bytes(512, 0xFF)) << g;
        EXPECT_EQ(backup(g), Bytes(512, 0xFF)) << g;
    }
    EXPECT_EQ(state().group_index, 0);
    // The primary sector was erased before the backup.
    const auto erases = flash()->operations(sim::SpiNorFlash::Op::Erase);
    ASSERT_GE(erases.size(), 2u);
    EXPECT_EQ(erases[erases.size() - 2].address, kPrimary);
    EXPECT_EQ(erases.back().address, kBackup);
}

TEST_F(RunTimeRecord, AGroupOnlyThePrimaryHoldsIsCopiedToTheBackup) {
    recordWithFullGroups(2);
    const Bytes g2 = group(kStart, 5760, 2, 3);
    putSector(kPrimary, 2, g2);
    init();
    EXPECT_EQ(backup(2), g2);
    EXPECT_EQ(state().group_index, 3) << "the group is in use: the next start opens group 3";
    EXPECT_EQ(state().total_minutes, 5766u);
    minutes(30);
    EXPECT_EQ(primary(2), g2);
    EXPECT_EQ(primary(3)[0], 0xAA);
}

TEST_F(RunTimeRecord, AGroupThePrimaryOnlyStartedIsUndoneFromTheBackup) {
    recordWithFullGroups(2);
    Bytes torn(512, 0xFF);  // date and fields written, the in-use mark not yet
    const Bytes full = group(kStart, 5760, 2, 0);
    std::copy(full.begin() + 1, full.begin() + 16, torn.begin() + 1);
    putSector(kPrimary, 2, torn);
    init();
    EXPECT_EQ(primary(2), Bytes(512, 0xFF));
    EXPECT_EQ(state().group_index, 2);
    EXPECT_EQ(state().total_minutes, 5760u);
    minutes(30);  // the new group is written over erased bytes only
    EXPECT_EQ(primary(2)[0], 0xAA);
    EXPECT_EQ(primary(2), backup(2));
}

TEST_F(RunTimeRecord, ASlotThatReachedOnlyThePrimaryIsAddedToTheBackup) {
    recordWithFullGroups(1);
    putSector(kPrimary, 1, group(kStart, 2880, 1, 21));
    putSector(kBackup, 1, group(kStart, 2880, 1, 20));
    init();
    EXPECT_EQ(backup(1), group(kStart, 2880, 1, 21));
    EXPECT_EQ(state().total_minutes, 2880u + 42u);
}

TEST_F(RunTimeRecord, APowerCutBetweenTheTwoErasesOfAWrapFallsBackToTheBackup) {
    recordWithFullGroups(8);
    const Bytes table = at(kBackup, 4096);
    // The primary erased; then the same with the new group 0 already written there.
    const Bytes newGroup = group(kStart, 23040, 8, 0);
    for (int variant = 0; variant < 2; ++variant) {
        Bytes primarySector(4096, 0xFF);
        if (variant == 1)
            std::copy(newGroup.begin(), newGroup.end(), primarySector.begin());
        flash()->setContents(kPrimary, primarySector);
        init();
        EXPECT_EQ(at(kPrimary, 4096), table) << variant;
        EXPECT_EQ(state().group_index, 8) << variant;
        EXPECT_EQ(state().total_minutes, 23040u) << variant;
        EXPECT_EQ(state().seq_word, 8u) << variant;
        powerCycle();
    }
    init();
    minutes(30);  // the wrap is done again
    EXPECT_EQ(primary(0)[0], 0xAA);
    EXPECT_EQ(slice(primary(0), 8, 8), (Bytes{0x00, 0x5A, 0x00, 0x00, 0xFF, 0x08, 0x00, 0x00}));
    EXPECT_EQ(primary(0), backup(0));
    EXPECT_EQ(primary(1), Bytes(512, 0xFF));
}

TEST_F(RunTimeRecord, AClockChangeBeforeTheFirstWriteMarksTheGroupItWillOpen) {
    recordWithFullGroups(1);
    init();
    manager->record.dealwith_record_timing();
    EXPECT_EQ(primary(1)[44], 0x5A);
    minutes(30);
    EXPECT_EQ(primary(1)[44], 0x5A);
    EXPECT_EQ(backup(1)[44], 0x5A);
    EXPECT_EQ(at(kSequence + 16 + 12, 1), Bytes{0x5A});
    // Once open, a change marks the group and its entry; the next group starts unmarked.
    manager->record.dealwith_record_timing();
    EXPECT_EQ(primary(1)[44], 0x5A);
}

// Power cut at each program or erase of the wrap at the end of the eighth group, and a
// start after it: the record goes on from what reached the flash, never programs a byte
// that is not erased (the flash reports that), and both copies agree again.
TEST_F(RunTimeRecord, APowerCutAtEveryStepOfAWrapLeavesARecordThatGoesOn) {
    recordWithFullGroups(7);
    const Bytes before = at(kArea, kAreaSize);
    uint64_t k = 1;
    for (;; ++k) {
        flash()->setContents(kArea, before);
        powerCycle();
        setClock();
        init();
        minutes(2878);  // the last slot of group 7 is due at the next even minute
        flash()->clearLog();
        flash()->cutPowerAt(k);
        minutes(2);
        const bool cutInWrap = flash()->powerCut();
        flash()->cutPowerAt(0);
        powerCycle();
        init();
        const CLOCK_RECORD s = state();
        // Group 7 with its last slot, or without it when that was what the cut took.
        const u32 expected = k == 1 ? 23038 : 23040;
        EXPECT_EQ(s.total_minutes, expected) << "cut at step " << k;
        EXPECT_TRUE(s.group_index == 8 || s.group_index == 1) << k << " " << int(s.group_index);
        EXPECT_EQ(at(kPrimary, 4096), at(kBackup, 4096)) << k;
        minutes(34);
        EXPECT_EQ(at(kPrimary, 4096), at(kBackup, 4096)) << k;
        const unsigned open = s.group_index == 8 ? 0 : 1;
        const Bytes g = primary(open);
        EXPECT_EQ(g[0], 0xAA) << k;
        EXPECT_EQ(slice(g, 8, 4), le32(expected)) << k;
        EXPECT_EQ(slice(g, 48, 5), (Bytes{0x55, 0x55, 0x55, 0x55, 0xFD})) << k;
        expectNoProtocolErrors();
        if (!cutInWrap)
            break;
    }
    // Two slot marks, the group's minutes, two erases and two group headers, and the new
    // sequence entry: every one of them was a cut.
    EXPECT_GE(k, 12u);
}

// Neither copy sound under a sound marker: the record stays as it is, its sound groups
// still count for the PC, and nothing more is written (recording stops).
TEST_F(RunTimeRecord, ARecordWhoseCopiesAreBothUnsoundIsKeptAndNotWritten) {
    recordWithFullGroups(2);
    const Bytes g2 = group(kStart, 5760, 2, 21);
    putSector(kPrimary, 2, g2);
    putSector(kBackup, 2, g2);
    // A stray byte after the groups in use of the primary, a slot byte no mark makes in
    // group 1 of the backup.
    putSector(kPrimary, 5, Bytes{0xFF, 0x12});
    Bytes spoiled = group(kStart, 2880, 1, 1440);
    spoiled[48 + 100] = 0x12;
    putSector(kBackup, 1, spoiled);
    const Bytes before = at(kArea, kAreaSize);
    flash()->clearLog();

    init();
    EXPECT_TRUE(flash()->operations(sim::SpiNorFlash::Op::Erase).empty());
    EXPECT_EQ(at(kArea, kAreaSize), before);
    EXPECT_TRUE(manager->record.recording_stopped());
    EXPECT_EQ(state().ready, 1);
    EXPECT_EQ(state().total_minutes, 5760u + 42u) << "what the three sound groups hold";
    EXPECT_EQ(state().seq_word & 0xFFFFF, 2u);

    minutes(40);
    manager->record.dealwith_record_timing();
    EXPECT_EQ(at(kArea, kAreaSize), before) << "nothing recorded";
    EXPECT_TRUE(flash()->operations(sim::SpiNorFlash::Op::Program).empty());
    EXPECT_EQ(state().minutes_counter, 40u);
    EXPECT_EQ(state().total_minutes + state().minutes_counter, 5842u) << "what the PC is told";

    powerCycle();
    init();
    EXPECT_EQ(at(kArea, kAreaSize), before) << "kept at every start";
}

TEST_F(RunTimeRecord, AnUnsoundRecordWithoutItsMarkerIsFormatted) {
    recordWithFullGroups(2);
    putSector(kPrimary, 5, Bytes{0xFF, 0x12});
    putSector(kBackup, 5, Bytes{0xFF, 0x34});
    flash()->setContents(kMarker, Bytes{0xFF, 0xFF, 0xFF});
    init();
    for (u32 sector : {kMarker, kPrimary, kBackup, kSequence})
        EXPECT_EQ(erasesAt(sector), 1u) << std::hex << sector;
    EXPECT_EQ(at(kMarker, 3), (Bytes{0xAA, 0x5A, 0xA5}));
    EXPECT_FALSE(manager->record.recording_stopped());
    EXPECT_EQ(state().total_minutes, 0u);
    minutes(30);
    EXPECT_EQ(primary(0)[0], 0xAA) << "recording goes on in the new record";
}

TEST_F(RunTimeRecord, FileHelpersCreateADirectoryListItAndCreateABlankFileOnce) {
    clock_record_run& r = manager->record;
    EXPECT_EQ(r.check_file_dir("/data/runtime"), 1);
    EXPECT_TRUE(exists("/data/runtime"));
    EXPECT_EQ(r.check_file_dir("/data/runtime"), 0);
    EXPECT_TRUE(r.get_file_list_path("/data/runtime").isEmpty());
    EXPECT_TRUE(r.get_file_list_path("/data/missing").isEmpty());

    sim::clearCommands();
    EXPECT_EQ(r.issetDefaultpara("/data/runtime/record.bin"), 1);
    const Bytes file = readFile("/data/runtime/record.bin");
    EXPECT_EQ(file.size(), 0xA4000u);
    EXPECT_EQ(file, Bytes(0xA4000, 0xFF));
    bool synced = false;
    for (const sim::Command& c : sim::commands())
        synced = synced || c.text == "sync";
    EXPECT_TRUE(synced);

    writeFile("/data/runtime/record.bin", Bytes{1, 2, 3});
    EXPECT_EQ(r.issetDefaultpara("/data/runtime/record.bin"), 0);
    EXPECT_EQ(readFile("/data/runtime/record.bin"), (Bytes{1, 2, 3})) << "an existing file is kept";

    writeFile("/data/runtime/a.txt", Bytes{1});
    ASSERT_EQ(r.check_file_dir("/data/runtime/sub"), 1);
    EXPECT_EQ(r.get_file_list_path("/data/runtime"), (QStringList{"a.txt", "record.bin", "sub"}));
}

}  // namespace
}  // namespace fpgatest
