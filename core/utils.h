// Shared routines and the static mutexes that guard the resources the threads share.
#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <string>

#include "core/types.h"

class Utils {
public:
    static QMutex _system_mutex;
    static QMutex _spi_mutex;
    static QMutex _c331_bnk_mutex;
    static QMutex _file_deal_mutex;
    static QMutex _source_hdminfo_mutex;
    static QMutex _source_init_mutex;
    static QMutex _test_signal_mutex;
    static QMutex _led_para_init_mutex;
    static QMutex _bri_set_mutex;
    static QMutex _fpga_multicast_mutex;
    static QMutex _usleep_mutex;

    static u8 BCC(const u8* data, unsigned length);
    static int system_mutex(const QString& command, int* status = nullptr);
    static u32 getTimeSpace(u32 stamp);
    static int getIPAddress();
    static int initIPAddress();
    static int non_region_erase(int fd, u32 start, u32 length, u32 unlock);
    static int non_region_write(int fd, const u8* data, u32 size, u32 offset);
    static int ChangeCode(const char* from, const char* to, char* in, size_t* in_len, char* out,
                          size_t* out_len);

    static u32 calcCRC32(const u8* data, u32 length);
    static u16 calcCRC16(const u8* data, u32 length);
    static u16 calcCRC16(const u8* data, u32 length, u16 init);
    static u16 jtc1CRC16Code(const u8* data, u32 length);
    static int stringToInt(const std::string& text);
    static std::string intToString(int value);
    static int usleep_mutex(u32 us);
    static int msleep_mutex(u32 ms);
    static bool isFileExists(const std::string& name, bool regular = false);
    static bool isDirExists(const std::string& name);
    static void get_file_list_smartpath(QStringList& list, const QString& dir,
                                        const QString& suffix);
    static int change_file_formt(const std::string& name);
};
