#include "core/utils.h"

#include <arpa/inet.h>
#include <iconv.h>
#include <mtd/mtd-user.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <array>
#include <cstdio>
#include <filesystem>

#include "board/board.h"
#include "core/config_engine.h"
#include "core/global.h"

std::mutex Utils::_system_mutex;
std::mutex Utils::_spi_mutex;
std::mutex Utils::_c331_bnk_mutex;
std::mutex Utils::_file_deal_mutex;
std::mutex Utils::_source_hdminfo_mutex;
std::mutex Utils::_source_init_mutex;
std::mutex Utils::_check_nosig_mutex;
std::mutex Utils::_test_signal_mutex;
std::mutex Utils::_led_para_init_mutex;
std::mutex Utils::_bri_set_mutex;
std::mutex Utils::_fpga_multicast_mutex;
std::mutex Utils::_usleep_mutex;

namespace {

// Lookup table of a reflected CRC: entry i is the register after shifting i through.
template <class T>
constexpr std::array<T, 256> reflectedTable(T poly) {
    std::array<T, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        T crc = static_cast<T>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<T>((crc >> 1) ^ poly) : static_cast<T>(crc >> 1);
        table[i] = crc;
    }
    return table;
}

constexpr auto kCrc32Table = reflectedTable<u32>(0xEDB88320u);
constexpr auto kCrc16ArcTable = reflectedTable<u16>(0xA001);
constexpr auto kCrc16McrfTable = reflectedTable<u16>(0x8408);

template <class T, size_t N>
T reflectedCrc(const std::array<T, N>& table, T crc, const u8* data, u32 length) {
    for (u32 i = 0; i < length; ++i)
        crc = static_cast<T>((crc >> 8) ^ table[(crc ^ data[i]) & 0xFF]);
    return crc;
}

bool isDottedQuad(const QString& text) {
    in_addr address;
    return inet_pton(AF_INET, text.toLatin1().constData(), &address) == 1;
}

int convert(const char* from, const char* to, char* in, size_t in_len, char* out, size_t out_len) {
    return Utils::ChangeCode(from, to, in, &in_len, out, &out_len);
}

}  // namespace

u8 Utils::BCC(const u8* data, unsigned length) {
    u8 check = 0;
    for (unsigned i = 0; i < length; ++i)
        check ^= data[i];
    return check;
}

int Utils::system_mutex(const QString& command, int* status) {
    std::lock_guard<std::mutex> lock(_system_mutex);
    int result = board::system(command.toLatin1().constData());
    if (status)
        *status = result;
    return result == 0 ? 0 : 255;
}

u32 Utils::getTimeSpace(u32 stamp) {
    u32 now = G_timeTicks;
    if (now < stamp)
        return now - 1 - stamp;
    return now - stamp;
}

int Utils::getIPAddress() {
    ConfigEngine* config = ConfigEngine::p_config;
    if (!config)
        return 255;
    auto text = [config](ConfigItem::ConfigName name) {
        return config->read_config_variant(name).toString();
    };
    auto number = [config](ConfigItem::ConfigName name) {
        return config->read_config_variant(name).toInt();
    };
    g_str_ip = text(ConfigItem::IPAddress);
    g_str_gateway = text(ConfigItem::GateWay);
    g_srt_mask = text(ConfigItem::SubNetMask);
    g_port = number(ConfigItem::TcpPort);
    g_int_tcp_port = g_port.load();
    g_str_barcode = text(ConfigItem::Barcode);
    g_str_wifi_ip = text(ConfigItem::WifiIPAddress);
    g_check_edid = text(ConfigItem::EDIDCheck);
    g_imagelayoutpassword = text(ConfigItem::ImageLayoutPassword);
    g_check_source = static_cast<u8>(number(ConfigItem::SourceCheck));
    g_eZor_cloudserverip = text(ConfigItem::eZorcloudserverip);
    g_eZor_cloudserverport = number(ConfigItem::eZorcloudserverport);
    g_eZor_clouduserid = text(ConfigItem::eZorclouduserip);
    g_eZor_controllername = text(ConfigItem::eZorcloudcontrollername);
    bool cloud = g_eZor_cloudserverip != " " || g_eZor_clouduserid != " " ||
                 g_eZor_controllername != " " || g_eZor_cloudserverport != 0;
    g_eZor_cloud = cloud ? 1 : 0;
    g_krx_max_pixel = config->read_config_variant(ConfigItem::KrxMaxPixel_UINT).toUInt();
    g_usb_grade_path = text(ConfigItem::usbupgradedir);
    g_lcd_lang_valid = config->read_config_variant(ConfigItem::KrxLCDLang).toUInt();
    return 0;
}

int Utils::initIPAddress() {
    ConfigEngine* config = ConfigEngine::p_config;
    if (!config)
        return 255;
    // The settings can be written by the PC: only plain IPv4 text may reach the shell.
    const QString ip = config->read_config_variant(ConfigItem::IPAddress).toString();
    const QString mask = config->read_config_variant(ConfigItem::SubNetMask).toString();
    const QString gateway = config->read_config_variant(ConfigItem::GateWay).toString();
    if (!isDottedQuad(ip) || !isDottedQuad(mask) || !isDottedQuad(gateway))
        return 255;
    // POSIX redirection: "&>" would put the probe in the background under sh, and it
    // would always succeed.
    if (system_mutex("ifconfig eth0 >/dev/null 2>&1") != 0)
        return 255;
    getIPAddress();
    system_mutex("route del default wlan0");
    system_mutex(QString("ifconfig eth0 %1 netmask %2").arg(ip, mask));
    system_mutex(QString("route add -host %1 dev eth0").arg(gateway));
    system_mutex(QString("route add default gw %1 metric 100").arg(gateway));
    system_mutex("route add -host 255.255.255.255 eth0");
    system_mutex("route del 255.255.255.255 wlan1");
    return 0;
}

int Utils::non_region_erase(int fd, u32 start, u32 length, u32 unlock) {
    mtd_info_user info;
    if (board::ioctl(fd, MEMGETINFO, &info) != 0 || info.erasesize == 0)
        return 1;
    if (start % info.erasesize != 0)
        return 1;
    u32 blocks = length / info.erasesize + (length % info.erasesize ? 1 : 0);
    erase_info_user erase;
    erase.start = start;
    erase.length = info.erasesize;
    for (u32 i = 0; i < blocks; ++i) {
        if (debugOn())
            printf("\r\nPerforming Flash Erase of length %u at offset 0x%x\n", erase.length,
                   erase.start);
        if (unlock && board::ioctl(fd, MEMUNLOCK, &erase) != 0)
            return 8;
        if (board::ioctl(fd, MEMERASE, &erase) != 0)
            return 8;
        erase.start += info.erasesize;
    }
    return 0;
}

int Utils::non_region_write(int fd, const u8* data, u32 size, u32 offset) {
    mtd_info_user info;
    if (board::ioctl(fd, MEMGETINFO, &info) != 0 || info.writesize == 0)
        return 1;
    u32 done = 0;
    while (size - done >= info.writesize) {
        ssize_t n = board::pwrite(fd, data + done, info.writesize, offset + done);
        if (n != static_cast<ssize_t>(info.writesize)) {
            if (debugOn())
                printf("\n nand non_region_write error %#x ,writesize=%#x,offset=%#x,size=%#x\n",
                       static_cast<unsigned>(n), info.writesize, offset + done, size);
            return 1;
        }
        done += info.writesize;
    }
    if (done == size)
        return 0;
    ssize_t n = board::pwrite(fd, data + done, size - done, offset + done);
    if (n != static_cast<ssize_t>(size - done)) {
        if (debugOn())
            printf("\n nand non_region_write error %#x,size=%#x \n", static_cast<unsigned>(n),
                   size - done);
        return 1;
    }
    return 0;
}

int Utils::ChangeCode(const char* from, const char* to, char* in, size_t* in_len, char* out,
                      size_t* out_len) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        if (debugOn())
            printf("\n iconv_open %s -> %s failed\n", from, to);
        return -1;
    }
    size_t result = iconv(cd, &in, in_len, &out, out_len);
    iconv_close(cd);
    return result == static_cast<size_t>(-1) ? -1 : 0;
}

u32 Utils::calcCRC32(const u8* data, u32 length) {
    return reflectedCrc(kCrc32Table, 0u, data, length);
}

u16 Utils::calcCRC16(const u8* data, u32 length) {
    return reflectedCrc<u16>(kCrc16ArcTable, 0, data, length);
}

u16 Utils::calcCRC16(const u8* data, u32 length, u16 init) {
    return reflectedCrc<u16>(kCrc16McrfTable, init, data, length);
}

u16 Utils::jtc1CRC16Code(const u8* data, u32 length) {
    u16 crc = 0;
    for (u32 i = 0; i < length; ++i) {
        crc ^= static_cast<u16>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc =
                (crc & 0x8000) ? static_cast<u16>((crc << 1) ^ 0x1021) : static_cast<u16>(crc << 1);
    }
    return crc;
}

int Utils::stringToInt(const std::string& text) {
    // Unsigned arithmetic: an over-long number wraps instead of overflowing.
    unsigned value = 0;
    if (text.rfind("0x", 0) == 0) {
        if (text.size() < 3)
            return 0;
        for (size_t i = 2; i < text.size(); ++i) {
            char c = text[i];
            unsigned digit = 0;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            value = value * 16 + digit;
        }
        return static_cast<int>(value);
    }
    for (char c : text)
        value = value * 10 + ((c >= '0' && c <= '9') ? static_cast<unsigned>(c - '0') : 0u);
    return static_cast<int>(value);
}

std::string Utils::intToString(int value) {
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    return text;
}

int Utils::usleep_mutex(u32 us) {
    std::lock_guard<std::mutex> lock(_usleep_mutex);
    board::usleep(us);
    return 0;
}

int Utils::msleep_mutex(u32 ms) {
    std::lock_guard<std::mutex> lock(_usleep_mutex);
    board::msleep(ms);
    return 0;
}

bool Utils::isFileExists(const std::string& name, bool regular) {
    struct stat st;
    if (::stat(board::path(name).c_str(), &st) != 0)
        return false;
    return !regular || S_ISREG(st.st_mode);
}

bool Utils::isDirExists(const std::string& name) {
    struct stat st;
    return ::stat(board::path(name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Utils::makeDir(const std::string& name) {
    std::error_code ec;
    std::filesystem::create_directories(board::path(name), ec);
    return isDirExists(name);
}

void Utils::get_file_list_smartpath(QStringList& list, const QString& dir, const QString& suffix) {
    QDir folder(QString::fromStdString(board::path(dir.toStdString())));
    const QFileInfoList entries = folder.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name);
    QString base = dir.endsWith('/') ? dir : dir + '/';
    for (const QFileInfo& entry : entries) {
        if (entry.suffix() == suffix)
            list.append(base + entry.fileName());
    }
}

int Utils::change_file_formt(const std::string& name) {
    int result = system_mutex(QString::fromStdString("dos2unix " + name));
    system_mutex("sync");
    return result;
}

bool Utils::writeFileAtomic(const std::string& devicePath, const void* data, size_t size) {
    const std::string target = board::path(devicePath);
    const std::string temp = target + ".tmp";
    FILE* file = fopen(temp.c_str(), "wb");
    if (!file)
        return false;
    bool written =
        fwrite(data, 1, size, file) == size && fflush(file) == 0 && fsync(fileno(file)) == 0;
    written = fclose(file) == 0 && written;
    if (!written || rename(temp.c_str(), target.c_str()) != 0) {
        remove(temp.c_str());
        return false;
    }
    return true;
}

int Utils::GB2312ToUTF8(char* in, size_t in_len, char* out, size_t out_len) {
    return convert("gb2312", "UTF-8", in, in_len, out, out_len);
}

int Utils::GB2312ToUnicode(char* in, size_t in_len, char* out, size_t out_len) {
    return convert("GB2312", "UCS-2LE", in, in_len, out, out_len);
}

int Utils::UTF8ToUnicode(char* in, size_t in_len, char* out, size_t out_len) {
    return convert("UTF-8", "UCS-2LE", in, in_len, out, out_len);
}

int Utils::UnicodeToUTF8(char* in, size_t in_len, char* out, size_t out_len) {
    return convert("UCS-2LE", "UTF-8", in, in_len, out, out_len);
}

int Utils::UTF8ToGB2312(char* in, size_t in_len, char* out, size_t out_len) {
    return convert("UTF-8", "gb2312", in, in_len, out, out_len);
}

int Utils::UnicodeToGB2312(char* in, size_t in_len, char* out, size_t out_len) {
    return convert("UCS-2LE", "GB2312", in, in_len, out, out_len);
}
