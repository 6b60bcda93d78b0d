// Reader of the receiving-card recovery packages ("/data/rcvrecovery") and of the
// scan-parameter ("smart debugging") files ("/data/smartmapping", or "yqfile" files on a USB
// stick under "/mnt/usb1/"). The FPGA manager owns one for the life of the process; its
// load and recovery jobs walk the files through it, one read per step, and keep their own
// indexes. Every reader fills exactly its own member and leaves the others as they are.
//
// Recovery package (all fields little-endian):
//   0..2 reserved, 3 number of packed files (at most 6), then 12 bytes per packed file:
//   type (10 screen file, 11 XY file, 12 smart-debugging file), 3 reserved, u32 length,
//   u32 offset from the start of the package. Where several entries carry one type, the
//   last one counts ("base" of the type below).
// Screen file (base 10): a 32-byte head (screen count at 20), then 52 bytes per screen:
//   config id, net use, 28 reserved, then the offset and length of the screen's
//   smart-debugging block and of its XY block.
// XY file (base 11): a 16-byte head, then per screen a block at its XY offset: u16 net
//   count, 2 reserved, 12 bytes per net (u16 port, u16 cards, u32 offset and u32 length of
//   the net's card blocks from the start of the XY block). A card block is u16 operation
//   count, 2 reserved, then 18 bytes per operation.
// Smart-debugging block (base 12 + the screen's offset; in a stand-alone file at 16 after
//   a 16-byte head): u16 operation count, 2 reserved, 18 bytes per operation from 4.
// Operation record: u32 data offset from the start of the block holding the record, u32
//   data length, u32 target address on the card, u32 time in ms, type, target.
//
// Files are only read (opened read-only) under Utils::_file_deal_mutex, which the remote
// file transfer also takes. Nothing is read past the end of a file: a read that would go
// there (an offset out of range, a short file) fails and fills nothing. The two file lists
// are also read and replaced by the screens on the GUI thread, so they have a lock of
// their own.
#pragma once

#include <QString>
#include <QStringList>
#include <mutex>

#include "core/types.h"

enum RCV_PACKED_FILE_TYPE : u8 {
    RCV_PACKED_SCREEN = 10,
    RCV_PACKED_XY = 11,
    RCV_PACKED_SMART = 12,
};

struct RCV_PACKED_FILE_INFO {
    static constexpr unsigned kSize = 12;
    u8 file_type;
    u32 length;
    u32 offset;
};

struct RCV_SCREEN_HEAD {
    static constexpr unsigned kSize = 32;
    u8 type;
    u32 rcv_para_len;
    u32 rcv_para_crc32;
    u32 rcv_xy_len;
    u32 rcv_xy_crc32;
    u8 screen_num;
};

struct RCV_SCREEN_ID_INFO {
    static constexpr unsigned kSize = 52;
    u32 config_id;
    u32 net_use;
    u32 rcv_para_offset;
    u32 rcv_para_len;
    u32 rcv_xy_offset;
    u32 rcv_xy_len;
};

struct RCV_XY_NET_PARA {
    static constexpr unsigned kSize = 12;
    u16 net_ledx;  // 0..5 ports of FPGA 0, 6.. ports of FPGA 1
    u16 net_rcv_num;
    u32 net_para_offset;
    u32 net_para_len;
};

enum RCV_OPERATE_TYPE : u8 {
    RCV_OPERATE_WRITE = 1,
    RCV_OPERATE_RAM2FLASH = 2,
    RCV_OPERATE_ACTIVE_FIRMWARE = 3,
    RCV_OPERATE_UPGRADE_RCV = 4,
    RCV_OPERATE_RECONFIG = 5,
    RCV_OPERATE_SLEEP = 6,
    RCV_OPERATE_SEARCH_RXC = 7,
    RCV_OPERATE_USER_REDEFINED = 16,
};

enum RCV_OPERATE_TARGET : u8 {
    RCV_TARGET_RAM = 1,
    RCV_TARGET_REGISTER = 2,
    RCV_TARGET_FLASH = 3,
};

struct RCV_OPERATE_PARA {
    static constexpr unsigned kSize = 18;
    u32 offset;
    u32 dataLen;
    u32 targetAddr;
    u32 timeticks;
    u8 type;
    u8 target;
};

class rcvRecovery {
public:
    static constexpr unsigned kPackedSlots = 6;
    static constexpr unsigned kHeadSize = 16;  // XY head, smart-debugging head
    // In a stand-alone scan file: the operation count, and the records from 20.
    static constexpr u32 kStandAloneBlock = 16;

    rcvRecovery();
    ~rcvRecovery();
    rcvRecovery(const rcvRecovery&) = delete;
    rcvRecovery& operator=(const rcvRecovery&) = delete;

    // Creates the device directory dir when it is missing: 0 when it existed, else 1 when
    // it was created and 0 when it could not be.
    int check_file_dir(QString dir);
    // Lists the plain, non-hidden files of a directory: "/data/rcvrecovery" into the
    // package list, "/data/smartmapping" or "/mnt/usb1/" into the scan-file list (replaced),
    // any other directory into neither. 0 when the directory exists, 1 when it is missing
    // (lists unchanged).
    int get_dir_file(QString dir);
    QStringList recovery_files() const;
    QStringList scan_files() const;
    // After the PC deleted files of the folder.
    void clear_recovery_files();
    void clear_scan_files();

    // Every reader: 0 done, 1 when the file is missing or cannot be read there, or the
    // index is out of its range (nothing is filled then).

    // Clears the block offsets and lengths of the current screen entry.
    void init_para();
    // The 4-byte package header. A package claiming more than six packed files is refused.
    int get_rcvPackedFileNum(QString file);
    // Entry i (below the header's count) into slot i.
    int get_rcvPackedFileInfo(QString file, unsigned char i);
    int update_rcvScreenHead(QString file);
    // Screen s, below the head's screen count.
    int update_rcvScreenIDinfo(QString file, unsigned char s);
    int update_rcvXYHead(QString file);
    int update_rcvXYscreenNetnum(QString file);
    // Net n, below the net count.
    int update_rcvXYscreenNetpara(QString file, unsigned char n);
    // The operation count of card c (below the net's card count) and where its block lies
    // among the net's card blocks. Refused for a stand-alone file (smart set).
    int update_rcvXYrcvOperateTimes(QString file, unsigned char c, bool smart);
    // Record r (below the card's operation count) of the current card.
    int update_rcvXYrcvOperatepara(QString file, unsigned char r, bool smart);
    int update_smartDebugingHead(QString file);
    // The operation count of the current screen's smart-debugging block, or of a
    // stand-alone file (smart set).
    int update_smartDebugingOperateTimes(QString file, bool smart);
    // Record r, below the operation count.
    int update_smartDebugingOperatepara(QString file, unsigned char r, bool smart);
    // n bytes at offset into buf.
    int update_rcvOperatedata(QString file, unsigned int offset, unsigned char* buf,
                              unsigned short n);
    // The current record's data (at the operation-data offset) into buf, which holds
    // capacity bytes; length <- the record's data length. Refused when it does not fit.
    int update_rcvDealData(QString file, unsigned char* buf, unsigned int capacity,
                           unsigned int* length);

    // The number of packed files the header gives.
    u8 packed_num() const { return packed_header[3]; }
    // The offset of the last packed file of that type among the header's entries; false
    // when there is none.
    bool packed_base(u8 type, u32* base) const;

    u8 packed_header[4] = {};
    RCV_PACKED_FILE_INFO packed_info[kPackedSlots] = {};
    QString rcv_file_path;        // the package or scan file the job works
    u32 operate_data_offset = 0;  // where the current record's data lie (set by the job)
    RCV_SCREEN_HEAD screen_head = {};
    RCV_SCREEN_ID_INFO screen_info = {};
    RCV_XY_NET_PARA net_para = {};
    RCV_OPERATE_PARA operate_para = {};
    u8 smart_head[kHeadSize] = {};
    u8 xy_head[kHeadSize] = {};
    u16 screen_net_num = 0;
    u32 card_block_offset = 0;  // of the current card inside its net's card blocks
    u16 operate_times = 0;

private:
    // Base of a type, 0 when the package has none.
    u32 base_of(u8 type) const;
    // Where the current card's block starts in the file.
    u64 card_blocks_at() const;
    // Where the smart-debugging block starts: its own file's, or the package's.
    u64 smart_block_at(bool smart) const;

    mutable std::mutex list_mutex;
    QStringList recovery_list;
    QStringList scan_list;
};

// A path that one thread sets and another reads, with its own lock.
class SharedPath {
public:
    void set(const QString& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        path_ = path;
    }
    QString get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return path_;
    }

private:
    mutable std::mutex mutex_;
    QString path_;
};

// The scan-parameter file chosen on the smart-mapping load page (full device path), set on
// the GUI thread and read by the FPGA thread's load job.
extern SharedPath g_yqfile_name;
