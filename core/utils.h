// Shared routines and the static mutexes that guard the resources the threads share.
//
// Each mutex guards one resource; none of these routines holds two of them at a time. They
// are std::mutex rather than QMutex: QMutex locks inside Qt's library, where ThreadSanitizer
// cannot see the lock, so every record it guards would show as a race there.
#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <mutex>
#include <string>

#include "core/types.h"

class Utils {
public:
    static std::mutex _system_mutex;          // shell commands, one at a time
    static std::mutex _spi_mutex;             // the shared SPI bus
    static std::mutex _c331_bnk_mutex;        // video-processor bank select plus access
    static std::mutex _file_deal_mutex;       // parameter, user-mode and transferred files
    static std::mutex _source_hdminfo_mutex;  // per-port input timing records
    static std::mutex _source_init_mutex;     // request bytes of the input-source thread
    static std::mutex _check_nosig_mutex;     // per-port no-signal status words
    static std::mutex _test_signal_mutex;     // emitters of the parameter-change signal
    static std::mutex _led_para_init_mutex;   // g_set_led_para / g_set_led_setup
    static std::mutex _bri_set_mutex;         // brightness set-up
    static std::mutex _fpga_multicast_mutex;  // multicast writes into FPGA RAM
    static std::mutex _usleep_mutex;          // usleep_mutex / msleep_mutex only

    // XOR of all bytes: the check byte of every frame and card packet.
    static u8 BCC(const u8* data, unsigned length);
    // Runs one shell command under _system_mutex. Returns 0 when system() returned 0, else
    // 255; the raw system() result goes to status when given.
    static int system_mutex(const QString& command, int* status = nullptr);
    // Ticks of G_timeTicks since stamp (one less once the counter has wrapped).
    static u32 getTimeSpace(u32 stamp);
    // Loads the settings into the network and feature globals. 255 without a settings store.
    static int getIPAddress();
    // Configures eth0 from the settings. 255 when the settings do not hold dotted-quad IPv4
    // text or eth0 is missing; nothing is run then.
    static int initIPAddress();
    // Erases the erase blocks covering start..start+length of an MTD partition. 0 done,
    // 1 partition information unreadable or start not block aligned, 8 a block refused.
    // The descriptor stays open in every case.
    static int non_region_erase(int fd, u32 start, u32 length, u32 unlock);
    // Programs size bytes at offset in chunks of the partition's write size. 0 done, 1 failed.
    static int non_region_write(int fd, const u8* data, u32 size, u32 offset);
    // One iconv conversion. 0 done, -1 when the converter cannot be opened or the input
    // cannot be converted.
    static int ChangeCode(const char* from, const char* to, char* in, size_t* in_len, char* out,
                          size_t* out_len);

    // CRC with the reflected polynomial 0xEDB88320, initial value 0, no final XOR.
    static u32 calcCRC32(const u8* data, u32 length);
    // CRC-16/ARC (reflected 0xA001, initial 0, no final XOR).
    static u16 calcCRC16(const u8* data, u32 length);
    // CRC-16/MCRF4XX (reflected 0x8408, no final XOR) from init; the standard init is 0xFFFF.
    static u16 calcCRC16(const u8* data, u32 length, u16 init);
    // CRC-16/XMODEM (0x1021, most significant bit first, initial 0).
    static u16 jtc1CRC16Code(const u8* data, u32 length);
    static int stringToInt(const std::string& text);
    static std::string intToString(int value);
    static int usleep_mutex(u32 us);
    static int msleep_mutex(u32 ms);
    // Device paths ("/data/...") are looked up where the board keeps them.
    static bool isFileExists(const std::string& name, bool regular = false);
    static bool isDirExists(const std::string& name);
    // Creates the directory and its parents; true when it exists afterwards.
    static bool makeDir(const std::string& name);
    // Appends the device paths of the regular files (no links) of dir with this suffix.
    static void get_file_list_smartpath(QStringList& list, const QString& dir,
                                        const QString& suffix);
    static int change_file_formt(const std::string& name);
    // Replaces a device file whole: a temporary file beside it is written and flushed to
    // the disk, then renamed over the file, so a power cut leaves the old or the new
    // content. False (the old file untouched) when any step fails.
    static bool writeFileAtomic(const std::string& devicePath, const void* data, size_t size);

    // String conversions through ChangeCode; lengths in bytes. 0 done, -1 failed.
    static int GB2312ToUTF8(char* in, size_t in_len, char* out, size_t out_len);
    static int GB2312ToUnicode(char* in, size_t in_len, char* out, size_t out_len);
    static int UTF8ToUnicode(char* in, size_t in_len, char* out, size_t out_len);
    static int UnicodeToUTF8(char* in, size_t in_len, char* out, size_t out_len);
    static int UTF8ToGB2312(char* in, size_t in_len, char* out, size_t out_len);
    static int UnicodeToGB2312(char* in, size_t in_len, char* out, size_t out_len);
};
