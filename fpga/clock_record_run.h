// The run-time record on the configuration flash of FPGA 0: two-minute slot marks in
// groups of 48 hours, so the PC can read total and per-period operating time and see
// when the clock was set.
//
// Record addresses start at 0x480000 (flash address 0x334000 of flash select 2):
//   0x480000  marker AA 5A A5
//   0x481000  eight groups of 512 bytes (primary), 0x482000 their backup copies
//   0x483000  the sequence list, 16 bytes per entry, 256 entries per 4 KiB sector
// A group: [0] 0xAA in use, [1..7] BCD start date (year, century, month, day, hour,
// minute, second), [8..11] u32 minutes recorded before it, [12] 0xFF, [13..15] low three
// bytes of its sequence word, [33..39] BCD power-on date (first group of a start), [44]
// 0x5A when the clock was set while it was open, [48..407] 1440 slots of two minutes,
// four per byte, each marked by clearing its bit pair from 11 to 01 (FF FD F5 D5 55).
// A sequence entry: [0] 0xAA, [1..7] the group's start date, [8..11] its minutes, [12]
// clock-set marker, [13..15] the sequence word's low three bytes.
//
// Everything is written by clearing bits, so a slot mark never needs an erase; the group
// sectors are erased only when the eight groups are used up, the primary first. Every
// step is written to the primary before the backup, so that at start, whatever step a
// power cut interrupted, one copy holds a sound record and the other is repaired from it.
#pragma once

#include <QString>
#include <QStringList>
#include <mutex>

#include "core/types.h"

class fpga_manage;

// The recorder's state, read by the remote protocol's time report.
struct CLOCK_RECORD {
    u8 minute_count;         // minutes since start; slots are written on even counts
    u8 slot_byte;            // value written at the last slot
    u8 seq_sector;           // entry number >> 8 of the current sequence entry
    u8 group_index;          // current group 0..7; 8: the table is full and wraps
    u8 clock_set_marker;     // 0x5A after a clock change, else what the group holds
    u8 first_write_pending;  // 1 after start until the first group write
    u8 ready;                // 1 after clock_record_init
    u8 start_date[7];        // BCD date and time for the next group header
    u32 slot_counter;        // slots written in the current group (0..1440)
    u32 seq_word;            // bits 0..19 entry number, bits 20..23 wraps of the list
    u32 primary_address;     // record address of the current group
    u32 backup_address;      // record address of its backup
    u32 seq_entry_address;   // record address of the current sequence entry
    u32 last_slot_offset;    // offset in the group of the last written slot byte
    u32 tick_stamp;          // G_timeTicks of the last minute step
    u32 minutes_since_start;
    u32 minutes_counter;  // every minute since start
    u32 total_minutes;    // minutes recorded before the current group
};
static_assert(sizeof(CLOCK_RECORD) == 56, "the run-time record state is 56 bytes");

extern CLOCK_RECORD g_clock_record;

class clock_record_run {
public:
    // Record address and sector of the area, and how they map onto flash select 2.
    static constexpr u32 kMarkerAddress = 0x480000;
    static constexpr u32 kPrimaryAddress = 0x481000;
    static constexpr u32 kBackupAddress = 0x482000;
    static constexpr u32 kSequenceAddress = 0x483000;
    static constexpr u32 kMarkerSector = 0x480;
    static constexpr u32 kPrimarySector = 0x481;
    static constexpr u32 kBackupSector = 0x482;
    static constexpr u32 kSequenceSector = 0x483;
    static constexpr u32 kFlashAddressOffset = 0x14C000;
    static constexpr u32 kFlashSectorOffset = 332;

    static constexpr unsigned kGroups = 8;
    static constexpr unsigned kGroupSize = 512;
    static constexpr unsigned kSlotsAt = 48;
    static constexpr unsigned kSlotBytes = 360;
    static constexpr u32 kSlotsPerGroup = 1440;
    static constexpr u32 kGroupMinutes = 2880;
    static constexpr u32 kEntrySize = 16;
    static constexpr u32 kLastEntry = 15616;
    // Ticks of a minute step: the step is taken once more than this has passed.
    static constexpr u32 kMinuteTicks = 6000;
    // The first slots are written once this many minutes have run since the start.
    static constexpr u32 kFirstWriteMinutes = 30;

    // A new recorder has no record open until clock_record_init.
    explicit clock_record_run(fpga_manage& manager);

    // Once at start: marker check, group scan and repair, partial-group accounting,
    // start date. Leaves the recorder off when the flash cannot be read. When neither copy
    // of the groups holds a sound record under a sound marker, the area is left as it is:
    // the minutes its sound groups hold are taken and nothing is recorded (a message says
    // so); only an area without its marker is formatted.
    void clock_record_init();
    // Recording stopped at start: the record could not be trusted and was kept.
    bool recording_stopped() const;
    // Last step of every FPGA pass: one slot mark every two minutes.
    void clock_record_deal();
    // After a clock change: marks the open group (or the one the next write opens).
    void dealwith_record_timing();

    // A consistent copy of g_clock_record for readers on other threads.
    static CLOCK_RECORD snapshot();

    // Steps of the recorder; the caller holds the record lock (the three operations above
    // take it).
    void new_record_group_init(unsigned char group);
    u32 get_new_seq(unsigned int minutes, unsigned int seq);
    void get_last_record_info(unsigned char group);
    // Repairs the group sectors from the copy that holds the sound record; the number of
    // groups in use (8: full), kUnsound when neither copy is sound (nothing written), -1
    // when the flash cannot be read.
    static constexpr int kUnsound = -2;
    int check_record_sec();
    // Erases sector `to` and copies sector `from` into it, byte 0 (the first group's
    // marker) last.
    void copy_sec_data(unsigned int from, unsigned int to);

    // Flash access by record address and record sector (flash select 2).
    int ExFlash_RD(unsigned char select, unsigned int address, unsigned int n, unsigned char* out);
    int ExFlash_WR(unsigned char select, unsigned int address, const unsigned char* data,
                   unsigned int n);
    int ExFlash_Erase_Format(unsigned char select, unsigned int sector, unsigned char type,
                             unsigned int count);

    // Minutes a group's slot bytes hold.
    static u32 group_minutes(const u8* slots);

    // File helpers, without a caller in this system (device paths).
    // Creates a missing directory: 0 it existed, 1 created, -1 it could not be.
    int check_file_dir(QString dir);
    // The names of a directory's entries, sorted (empty when it is missing).
    QStringList get_file_list_path(QString dir);
    // Creates a missing file as 0xA4000 bytes of 0xFF (written whole, so that a power cut
    // leaves no short file), then runs "sync": 1 created, 0 it existed, -1 failed.
    int issetDefaultpara(QString file);
    static constexpr u32 kDefaultFileSize = 0xA4000;

private:
    void first_group_write();
    void write_slot();
    void next_group();
    void write_entry_header();
    void write_u32(u32 address, u32 value);
    void write_byte(u32 address, u8 value);
    void set_start_date_now();
    // Brings a copy up to date with the other where one has cleared more bits of the
    // groups in use.
    void merge_groups(const u8* primary, const u8* backup, unsigned count);

    // The record was kept unread at start: the minutes its sound groups hold, no
    // recording.
    void keep_unsound_record();

    static std::mutex record_mutex;
    fpga_manage& manager_;
    bool stopped_ = false;
};
