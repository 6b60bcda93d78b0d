#include "fpga/clock_record_run.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "board/board.h"
#include "core/global.h"
#include "core/le.h"
#include "core/utils.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_manage.h"

CLOCK_RECORD g_clock_record;
std::mutex clock_record_run::record_mutex;

namespace {

constexpr u8 kSelect = fpga_drv::kFlashSelectFpga0;
constexpr u32 kSector = fpga_drv::kFlashSectorSize;
constexpr u8 kMarker[3] = {0xAA, 0x5A, 0xA5};
constexpr u8 kInUse = 0xAA;
constexpr u8 kClockSet = 0x5A;
constexpr u8 kBlank = 0xFF;

// Group and sequence-entry fields.
constexpr unsigned kDateAt = 1;
constexpr unsigned kTotalAt = 8;
constexpr unsigned kFillAt = 12;
constexpr unsigned kSeqAt = 13;
constexpr unsigned kPowerOnAt = 33;
constexpr unsigned kClockSetAt = 44;
constexpr unsigned kEntryMinutesAt = 8;
constexpr unsigned kEntryMarkerAt = 12;

// A slot byte after 1, 2, 3 and 4 of its slots.
constexpr u8 kSlotMarks[4] = {0xFD, 0xF5, 0xD5, 0x55};
// The first 30 minutes of a start, written at once as 15 slots.
constexpr u8 kFirstSlots[4] = {0x55, 0x55, 0x55, 0xD5};
constexpr u32 kFirstSlotCount = 15;

u8 to_bcd(unsigned value) {
    return static_cast<u8>((value / 10 % 10) << 4 | value % 10);
}

bool bcd_in(u8 value, unsigned low, unsigned high) {
    if ((value >> 4) > 9 || (value & 0x0F) > 9)
        return false;
    const unsigned decimal = (value >> 4) * 10u + (value & 0x0Fu);
    return decimal >= low && decimal <= high;
}

u32 get_u24(const u8* p) {
    return static_cast<u32>(p[0]) | static_cast<u32>(p[1]) << 8 | static_cast<u32>(p[2]) << 16;
}

u32 entry_address(u32 seq) {
    const u32 n = seq & 0xFFFFF;
    return clock_record_run::kSequenceAddress + kSector * (n >> 8) + 16 * (n & 0xFF);
}

bool date_valid(const u8* d) {
    return bcd_in(d[0], 0, 99) && bcd_in(d[1], 0, 99) && bcd_in(d[2], 1, 12) &&
           bcd_in(d[3], 1, 31) && bcd_in(d[4], 0, 23) && bcd_in(d[5], 0, 59) && bcd_in(d[6], 0, 59);
}

// Slot bytes as marks make them: full bytes, at most one partial byte, then unmarked.
bool slots_valid(const u8* slots) {
    unsigned i = 0;
    while (i < clock_record_run::kSlotBytes && slots[i] == 0x55)
        ++i;
    if (i < clock_record_run::kSlotBytes &&
        (slots[i] == 0xFD || slots[i] == 0xF5 || slots[i] == 0xD5))
        ++i;
    for (; i < clock_record_run::kSlotBytes; ++i)
        if (slots[i] != kBlank)
            return false;
    return true;
}

// A group in use whose fields are what the recorder writes.
bool group_valid(const u8* g) {
    return g[0] == kInUse && date_valid(g + kDateAt) && get_u32(g + kTotalAt) != 0xFFFFFFFF &&
           g[kFillAt] == kBlank &&
           (get_u24(g + kSeqAt) & 0xFFFFF) <= clock_record_run::kLastEntry &&
           (g[kClockSetAt] == kBlank || g[kClockSetAt] == kClockSet) &&
           slots_valid(g + clock_record_run::kSlotsAt);
}

// A group nobody has opened; a clock change before the first write may have marked it.
bool group_blank(const u8* g) {
    for (unsigned i = 0; i < clock_record_run::kGroupSize; ++i)
        if (g[i] != kBlank && !(i == kClockSetAt && g[i] == kClockSet))
            return false;
    return true;
}

struct SectorScan {
    unsigned count = 0;  // leading groups in use
    bool torn = false;   // something else than unopened groups follows them
};

SectorScan scan(const u8* sector) {
    SectorScan s;
    for (unsigned g = 0; g < clock_record_run::kGroups; ++g) {
        const u8* group = sector + g * clock_record_run::kGroupSize;
        if (group_valid(group) && s.count == g)
            ++s.count;
        else if (!group_blank(group))
            s.torn = true;
    }
    return s;
}

}  // namespace

clock_record_run::clock_record_run(fpga_manage& manager) : manager_(manager) {
    std::lock_guard<std::mutex> lock(record_mutex);
    std::memset(&g_clock_record, 0, sizeof g_clock_record);
}

CLOCK_RECORD clock_record_run::snapshot() {
    std::lock_guard<std::mutex> lock(record_mutex);
    return g_clock_record;
}

int clock_record_run::ExFlash_RD(unsigned char, unsigned int address, unsigned int n,
                                 unsigned char* out) {
    if (address < kFlashAddressOffset)
        return 0;
    return manager_.p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(kSelect, address - kFlashAddressOffset,
                                                           n, out);
}

int clock_record_run::ExFlash_WR(unsigned char, unsigned int address, const unsigned char* data,
                                 unsigned int n) {
    if (address < kFlashAddressOffset)
        return 0;
    std::vector<u8> buffer(fpga_drv::kFlashWriteHeadroom + n);
    std::memcpy(buffer.data() + fpga_drv::kFlashWriteHeadroom, data, n);
    return manager_.p_fpga_drv->FPGA_SPI_FLASH_VBYONE_WRITE(kSelect, address - kFlashAddressOffset,
                                                            buffer.data(), n);
}

int clock_record_run::ExFlash_Erase_Format(unsigned char, unsigned int sector, unsigned char type,
                                           unsigned int count) {
    if (sector < kFlashSectorOffset)
        return 0;
    return manager_.p_fpga_drv->FPGA_SPI_FLASH_VBYONE_ERASE(kSelect, sector - kFlashSectorOffset,
                                                            type, count);
}

void clock_record_run::write_byte(u32 address, u8 value) {
    ExFlash_WR(kSelect, address, &value, 1);
}

void clock_record_run::write_u32(u32 address, u32 value) {
    u8 bytes[4];
    put_u32(bytes, value);
    ExFlash_WR(kSelect, address, bytes, sizeof bytes);
}

u32 clock_record_run::group_minutes(const u8* slots) {
    unsigned full = 0;
    while (full < kSlotBytes && slots[full] == 0x55)
        ++full;
    u32 minutes = 8 * full;
    if (full < kSlotBytes) {
        for (unsigned k = 0; k < 3; ++k)
            if (slots[full] == kSlotMarks[k])
                minutes += 2 * (k + 1);
    }
    return minutes;
}

void clock_record_run::set_start_date_now() {
    const TimeRealType& t = manager_.current_time;
    const u8 date[7] = {to_bcd(t.year % 100), to_bcd(t.year / 100), to_bcd(t.month), to_bcd(t.day),
                        to_bcd(t.hour),       to_bcd(t.minute),     to_bcd(t.second)};
    std::memcpy(g_clock_record.start_date, date, sizeof date);
}

void clock_record_run::clock_record_init() {
    std::lock_guard<std::mutex> lock(record_mutex);
    CLOCK_RECORD& r = g_clock_record;
    stopped_ = false;
    u8 marker[3];
    if (!ExFlash_RD(kSelect, kMarkerAddress, sizeof marker, marker))
        return;
    const bool marked = std::memcmp(marker, kMarker, sizeof marker) == 0;
    if (!marked) {
        ExFlash_Erase_Format(kSelect, kMarkerSector, fpga_drv::kErase4K, 1);
        ExFlash_WR(kSelect, kMarkerAddress, kMarker, sizeof kMarker);
    }
    const int n = check_record_sec();
    if (n == -1)
        return;
    r.ready = 1;
    if (n == kUnsound && marked) {
        // The checks may be stricter than what once wrote the record: the device's running
        // minutes are never erased on their word.
        keep_unsound_record();
    } else if (n <= 0) {
        for (u32 sector : {kPrimarySector, kBackupSector, kSequenceSector})
            ExFlash_Erase_Format(kSelect, sector, fpga_drv::kErase4K, 1);
        r.total_minutes = 0;
        r.seq_word = 0;
        r.seq_sector = 0;
        r.group_index = 0;
        r.seq_entry_address = kSequenceAddress;
    } else {
        r.group_index = static_cast<u8>(n);
        get_last_record_info(static_cast<u8>(n - 1));
    }
    manager_.IT8563WE_Get(&manager_.current_time);
    r.minutes_since_start = 0;
    r.minutes_counter = 0;
    r.minute_count = 0;
    r.first_write_pending = 1;
    set_start_date_now();
    r.tick_stamp = G_timeTicks;
}

int clock_record_run::check_record_sec() {
    std::vector<u8> primary(kSector), backup(kSector);
    if (!ExFlash_RD(kSelect, kPrimaryAddress, kSector, primary.data()) ||
        !ExFlash_RD(kSelect, kBackupAddress, kSector, backup.data()))
        return -1;
    const SectorScan p = scan(primary.data());
    const SectorScan b = scan(backup.data());
    // Neither copy can be trusted (it holds what the recorder never writes).
    if (p.torn && b.torn)
        return kUnsound;
    // The primary is written first, so it is the newer copy, unless a step it was taking
    // broke off, or the table wrap had erased it and the backup still holds the table.
    const bool use_backup = p.torn || (!b.torn && b.count > p.count);
    if (use_backup) {
        if (p.torn || p.count != b.count)
            copy_sec_data(kBackupSector, kPrimarySector);
        return static_cast<int>(b.count);
    }
    if (b.torn || b.count != p.count)
        copy_sec_data(kPrimarySector, kBackupSector);
    else
        merge_groups(primary.data(), backup.data(), p.count);
    return static_cast<int>(p.count);
}

void clock_record_run::keep_unsound_record() {
    std::printf(
        "\n clock_record_run: the run-time record is not sound, kept as it is; recording "
        "stopped\n");
    stopped_ = true;
    CLOCK_RECORD& r = g_clock_record;
    r.total_minutes = 0;
    r.seq_word = 0;
    r.group_index = 0;
    std::vector<u8> primary(kSector), backup(kSector);
    if (!ExFlash_RD(kSelect, kPrimaryAddress, kSector, primary.data()) ||
        !ExFlash_RD(kSelect, kBackupAddress, kSector, backup.data()))
        return;
    const SectorScan p = scan(primary.data());
    const SectorScan b = scan(backup.data());
    const bool use_backup = b.count > p.count;
    const unsigned count = use_backup ? b.count : p.count;
    if (count == 0)
        return;
    const u8* last = (use_backup ? backup.data() : primary.data()) + kGroupSize * (count - 1);
    r.total_minutes = get_u32(last + kTotalAt) + group_minutes(last + kSlotsAt);
    r.seq_word = get_u24(last + kSeqAt);
    r.group_index = static_cast<u8>(count);
}

bool clock_record_run::recording_stopped() const {
    std::lock_guard<std::mutex> lock(record_mutex);
    return stopped_;
}

void clock_record_run::merge_groups(const u8* primary, const u8* backup, unsigned count) {
    for (unsigned i = 0; i < count * kGroupSize; ++i) {
        const u8 p = primary[i], b = backup[i];
        if (p == b)
            continue;
        if ((p & b) == p)
            write_byte(kBackupAddress + i, p);
        else if ((p & b) == b)
            write_byte(kPrimaryAddress + i, b);
    }
}

void clock_record_run::copy_sec_data(unsigned int from, unsigned int to) {
    std::vector<u8> data(kSector);
    if (!ExFlash_RD(kSelect, from * kSector, kSector, data.data()))
        return;
    ExFlash_Erase_Format(kSelect, to, fpga_drv::kErase4K, 1);
    const u32 base = to * kSector;
    auto copy = [&](u32 offset, u32 n) {
        if (std::all_of(data.begin() + offset, data.begin() + offset + n,
                        [](u8 v) { return v == kBlank; }))
            return;
        ExFlash_WR(kSelect, base + offset, data.data() + offset, n);
    };
    for (u32 offset = 0x100; offset < kSector; offset += 0x100)
        copy(offset, 0x100);
    copy(1, 0xFF);
    copy(0, 1);
}

void clock_record_run::get_last_record_info(unsigned char group) {
    u8 g[kGroupSize];
    if (!ExFlash_RD(kSelect, kPrimaryAddress + kGroupSize * group, sizeof g, g))
        return;
    const u32 minutes = group_minutes(g + kSlotsAt);
    g_clock_record.total_minutes = get_u32(g + kTotalAt) + minutes;
    g_clock_record.seq_word = get_new_seq(minutes, get_u24(g + kSeqAt));
}

u32 clock_record_run::get_new_seq(unsigned int minutes, unsigned int seq) {
    CLOCK_RECORD& r = g_clock_record;
    // The entry's minutes are written once: a start that follows a start without a group
    // write of its own finds them there already, and a written field cannot be rewritten.
    const u32 field = entry_address(seq) + kEntryMinutesAt;
    u8 stored[4];
    if (ExFlash_RD(kSelect, field, sizeof stored, stored) && get_u32(stored) == 0xFFFFFFFF)
        write_u32(field, minutes);
    u32 wraps = seq & 0xF00000;
    u32 next = (seq & 0xFFFFF) + 1;
    if (next > kLastEntry) {
        next = 0;
        wraps = (wraps + 0x100000) & 0xF00000;
        ExFlash_Erase_Format(kSelect, kSequenceSector, fpga_drv::kErase4K, 1);
    } else if ((next & 0xFF) == 0) {
        ExFlash_Erase_Format(kSelect, kSequenceSector + (next >> 8), fpga_drv::kErase4K, 1);
    }
    r.seq_sector = static_cast<u8>(next >> 8);
    r.seq_entry_address = entry_address(next);
    return wraps | next;
}

void clock_record_run::new_record_group_init(unsigned char group) {
    CLOCK_RECORD& r = g_clock_record;
    const bool wrap = group >= kGroups;
    if (wrap) {
        u8 head[2];
        if (ExFlash_RD(kSelect, kPrimaryAddress, sizeof head, head) &&
            (head[0] != kBlank || head[1] != kBlank))
            ExFlash_Erase_Format(kSelect, kPrimarySector, fpga_drv::kErase4K, 1);
        group = 0;
        r.group_index = 0;
    }
    u8 fields[8];
    put_u32(fields, r.total_minutes);
    fields[4] = kBlank;
    fields[5] = static_cast<u8>(r.seq_word);
    fields[6] = static_cast<u8>(r.seq_word >> 8);
    fields[7] = static_cast<u8>(r.seq_word >> 16);

    r.primary_address = kPrimaryAddress + kGroupSize * group;
    ExFlash_WR(kSelect, r.primary_address + kDateAt, r.start_date, sizeof r.start_date);
    ExFlash_WR(kSelect, r.primary_address + kTotalAt, fields, sizeof fields);
    u8 marker = kBlank;
    ExFlash_RD(kSelect, r.primary_address + kClockSetAt, 1, &marker);
    r.clock_set_marker = marker;
    write_byte(r.primary_address, kInUse);
    if (wrap)
        ExFlash_Erase_Format(kSelect, kBackupSector, fpga_drv::kErase4K, 1);

    r.backup_address = kBackupAddress + kGroupSize * group;
    ExFlash_WR(kSelect, r.backup_address + kDateAt, r.start_date, sizeof r.start_date);
    ExFlash_WR(kSelect, r.backup_address + kTotalAt, fields, sizeof fields);
    if (marker != kBlank)
        write_byte(r.backup_address + kClockSetAt, marker);
    write_byte(r.backup_address, kInUse);
}

void clock_record_run::write_entry_header() {
    CLOCK_RECORD& r = g_clock_record;
    const u8 tail[4] = {r.clock_set_marker, static_cast<u8>(r.seq_word),
                        static_cast<u8>(r.seq_word >> 8), static_cast<u8>(r.seq_word >> 16)};
    ExFlash_WR(kSelect, r.seq_entry_address + kDateAt, r.start_date, sizeof r.start_date);
    ExFlash_WR(kSelect, r.seq_entry_address + kEntryMarkerAt, tail, sizeof tail);
    write_byte(r.seq_entry_address, kInUse);
}

void clock_record_run::first_group_write() {
    CLOCK_RECORD& r = g_clock_record;
    new_record_group_init(r.group_index);
    for (u32 group : {r.primary_address, r.backup_address}) {
        ExFlash_WR(kSelect, group + kPowerOnAt, r.start_date, sizeof r.start_date);
        ExFlash_WR(kSelect, group + kSlotsAt, kFirstSlots, sizeof kFirstSlots);
        write_byte(group, kInUse);
    }
    write_entry_header();
    r.first_write_pending = 0;
    // Slots 0..14 are written: the next one is slot 15, the last of byte 51.
    r.slot_counter = kFirstSlotCount;
    r.slot_byte = kFirstSlots[3];
    r.last_slot_offset = kSlotsAt + 3;
}

void clock_record_run::write_slot() {
    CLOCK_RECORD& r = g_clock_record;
    const u32 offset = kSlotsAt + r.slot_counter / 4;
    r.slot_byte = kSlotMarks[r.slot_counter & 3];
    r.last_slot_offset = offset;
    write_byte(r.primary_address + offset, r.slot_byte);
    write_byte(r.backup_address + offset, r.slot_byte);
    if (++r.slot_counter >= kSlotsPerGroup)
        next_group();
}

void clock_record_run::next_group() {
    CLOCK_RECORD& r = g_clock_record;
    ++r.group_index;
    // The time is refreshed by the pass only while the FPGA runs; the group needs today's.
    manager_.IT8563WE_Get(&manager_.current_time);
    set_start_date_now();
    r.seq_word = get_new_seq(kGroupMinutes, r.seq_word);
    r.total_minutes += kGroupMinutes;
    new_record_group_init(r.group_index);
    // The new group is an entry of the sequence list like the first one of a start.
    write_entry_header();
    r.slot_counter = 0;
}

void clock_record_run::clock_record_deal() {
    std::lock_guard<std::mutex> lock(record_mutex);
    CLOCK_RECORD& r = g_clock_record;
    if (!r.ready || Utils::getTimeSpace(r.tick_stamp) <= kMinuteTicks)
        return;
    ++r.minute_count;
    ++r.minutes_since_start;
    ++r.minutes_counter;
    if (!(r.minute_count & 1) && !stopped_) {
        if (!r.first_write_pending)
            write_slot();
        else if (r.minutes_since_start >= kFirstWriteMinutes)
            first_group_write();
    }
    r.tick_stamp = G_timeTicks;
}

void clock_record_run::dealwith_record_timing() {
    std::lock_guard<std::mutex> lock(record_mutex);
    CLOCK_RECORD& r = g_clock_record;
    if (!r.ready)
        return;
    r.clock_set_marker = kClockSet;
    if (stopped_)
        return;
    if (r.first_write_pending) {
        u32 address = kPrimaryAddress + kClockSetAt;
        if (r.group_index >= kGroups) {
            u8 head[2];
            if (ExFlash_RD(kSelect, kPrimaryAddress, sizeof head, head) &&
                (head[0] != kBlank || head[1] != kBlank))
                ExFlash_Erase_Format(kSelect, kPrimarySector, fpga_drv::kErase4K, 1);
        } else {
            address += kGroupSize * r.group_index;
        }
        write_byte(address, kClockSet);
        return;
    }
    write_byte(r.seq_entry_address + kEntryMarkerAt, kClockSet);
    write_byte(kPrimaryAddress + kClockSetAt + kGroupSize * r.group_index, kClockSet);
    write_byte(kBackupAddress + kClockSetAt + kGroupSize * r.group_index, kClockSet);
}

int clock_record_run::check_file_dir(QString dir) {
    const std::string device = dir.toStdString();
    if (Utils::isDirExists(device)) {
        std::printf("\n %s clock_record_run exists !\n", device.c_str());
        return 0;
    }
    if (!Utils::makeDir(device)) {
        std::printf("\n %s clock_record_run created error!\n", device.c_str());
        return -1;
    }
    std::printf("\n %s clock_record_run created sucess!\n", device.c_str());
    return 1;
}

QStringList clock_record_run::get_file_list_path(QString dir) {
    QStringList names;
    std::error_code ec;
    for (const auto& entry :
         std::filesystem::directory_iterator(board::path(dir.toStdString()), ec))
        names << QString::fromStdString(entry.path().filename().string());
    names.sort();
    return names;
}

int clock_record_run::issetDefaultpara(QString file) {
    const std::string device = file.toStdString();
    if (Utils::isFileExists(device))
        return 0;
    const std::vector<u8> blank(kDefaultFileSize, kBlank);
    if (!Utils::writeFileAtomic(device, blank.data(), blank.size()))
        return -1;
    Utils::system_mutex("sync");
    return 1;
}
