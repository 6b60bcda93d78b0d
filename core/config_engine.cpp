#include "core/config_engine.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "board/board.h"
#include "core/global.h"
#include "core/utils.h"

ConfigEngine* ConfigEngine::p_config = nullptr;
QMap<QString, ConfigItem::ConfigName> ConfigItem::_itemMap;

namespace {

struct ItemDefault {
    const char* key;
    ConfigItem::ConfigName name;
    QVariant value;
    bool numeric;
};

const ItemDefault kItems[] = {
    {"config/TcpPort", ConfigItem::TcpPort, 5005, true},
    {"config/UdpPort", ConfigItem::UdpPort, 5008, true},
    {"config/IPAddress", ConfigItem::IPAddress, "192.168.1.199", false},
    {"config/SubNetMask", ConfigItem::SubNetMask, "255.255.255.0", false},
    {"config/GateWay", ConfigItem::GateWay, "192.168.1.1", false},
    {"config/MAC", ConfigItem::MAC, "FF:FF:FF:FF:FF:FF", false},
    {"config/Barcode", ConfigItem::Barcode, " ", false},
    {"config/WifiIPAddress", ConfigItem::WifiIPAddress, "192.168.22.101", false},
    {"config/EDIDCheck", ConfigItem::EDIDCheck, "Once", false},
    {"config/SourceCheck", ConfigItem::SourceCheck, 255, true},
    {"config/ImageLayoutPassword", ConfigItem::ImageLayoutPassword, "No", false},
    {"config/eZorcloudserverip", ConfigItem::eZorcloudserverip, " ", false},
    {"config/eZorcloudserverport", ConfigItem::eZorcloudserverport, " ", true},
    {"config/eZorclouduserip", ConfigItem::eZorclouduserip, " ", false},
    {"config/eZorcloudcontrollername", ConfigItem::eZorcloudcontrollername, " ", false},
    {"config/KrxMaxPixel_UINT", ConfigItem::KrxMaxPixel_UINT, 0x3C0000, true},
    {"config/usbupgradedir", ConfigItem::usbupgradedir, "KRX-T5", false},
    {"config/KrxLCDLang", ConfigItem::KrxLCDLang, 0x1001F, true},
};

// The SoC register window and the registers the device id is read from.
constexpr off_t kSocBase = 0x1F000000;
constexpr size_t kSocSize = 0x2B0000;
constexpr size_t kIdControl = 0x400C;  // bit 8 must be clear to read the id
constexpr size_t kChipIdX = 0x4058;
constexpr size_t kChipIdY = 0x405C;
constexpr size_t kChipIdZ = 0x4060;

// The 32 digits of the device id, each from the hexadecimal digits of X, Y and Z.
void makeDeviceId(u16 x, u16 y, u16 z, char* out) {
    const int X3 = x >> 12 & 0xF, X2 = x >> 8 & 0xF, X1 = x >> 4 & 0xF, X0 = x & 0xF;
    const int Y3 = y >> 12 & 0xF, Y2 = y >> 8 & 0xF, Y1 = y >> 4 & 0xF, Y0 = y & 0xF;
    const int Z3 = z >> 12 & 0xF, Z2 = z >> 8 & 0xF, Z1 = z >> 4 & 0xF, Z0 = z & 0xF;
    const int digits[32] = {
        X3,
        Y3,
        Z3,
        Y1,
        Z1,
        Z0,
        Z2,
        (X3 + Y3) % 2,
        (Z3 + Y1) / 2,
        Y0,
        Y2,
        (Z0 + Z1) / 2,
        (X3 + Y3) / 2,
        (Z0 + Z1) % 2,
        (Z3 + Y1) % 2,
        X2,
        X1,
        (Z2 + Y0) % 2,
        (Y2 + X2) % 2,
        (X1 + X0) % 2,
        (X1 + X0) / 2,
        (X3 + Y3 + Z3) % 3,
        (X3 + Y3 + Z3) / 3,
        (X3 + Y2 + X2) % 3,
        (X3 + Y2 + X2) / 3,
        (Y1 + Z2 + X1) % 3,
        (Y1 + Z2 + X1) / 3,
        (Z1 + Y0 + X0) % 3,
        (Z1 + Y0 + X0) / 3,
        (Y2 + X2) / 2,
        (Z2 + Y0) / 2,
        X0,
    };
    for (int i = 0; i < 32; ++i)
        out[i] = "0123456789abcdef"[digits[i]];
    out[32] = '\0';
}

// The window is an array of 16-bit registers at even byte offsets.
volatile u16* socWord(void* window, size_t offset) {
    return static_cast<volatile u16*>(window) + offset / sizeof(u16);
}

QString configsFolder() {
    return QString::fromStdString(board::path("/data/configs"));
}

}  // namespace

ConfigItem::ConfigItem(const QString& key, ConfigName name, const QVariant& defaultValue,
                       bool numeric, const QString& path, QSettings* settings)
    : key(key),
      name(name),
      defaultValue(defaultValue),
      numeric(numeric),
      path(path),
      settings(settings) {
    _itemMap[key] = name;
    QVariant stored = settings->value(key);
    if (stored.isValid() && !stored.toString().isEmpty()) {
        value = stored;
        return;
    }
    value = defaultValue;
    settings->setValue(key, defaultValue);
}

ConfigEngine* ConfigEngine::pInstance() {
    if (!p_config)
        p_config = new ConfigEngine;
    p_config->load();
    return p_config;
}

ConfigEngine::ConfigEngine()
    : settings_(QString::fromStdString(board::path(kFile)), QSettings::IniFormat) {
    std::error_code ec;
    std::filesystem::create_directories(configsFolder().toStdString(), ec);
    Utils::system_mutex(QString("chattr +S %1").arg(kFile));
    items_.reserve(ConfigItem::kCount);
    const QString path = QString::fromLatin1(kFile);
    for (const ItemDefault& item : kItems)
        items_.emplace_back(item.key, item.name, item.value, item.numeric, path, &settings_);
    settings_.sync();
    readDeviceId();
}

void ConfigEngine::readDeviceId() {
    // Without the register window the id is all zeros; the settings still load.
    memset(g_pid, '0', 32);
    g_pid[32] = '\0';
    int fd = board::open("/dev/mem", O_RDWR | O_SYNC);
    if (fd < 0)
        return;
    void* window = board::mmap(nullptr, kSocSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, kSocBase);
    if (window == MAP_FAILED) {
        board::close(fd);
        return;
    }
    volatile u16* control = socWord(window, kIdControl);
    board::mmio_write16(control, board::mmio_read16(control) & ~0x0100);
    u16 x = board::mmio_read16(socWord(window, kChipIdX));
    u16 y = board::mmio_read16(socWord(window, kChipIdY));
    u16 z = board::mmio_read16(socWord(window, kChipIdZ));
    board::munmap(window, kSocSize);
    board::close(fd);
    if (debugOn())
        printf("\n mmap uuid161= %#x ,%#X ,%#x \n", x, y, z);
    makeDeviceId(x, y, z, g_pid);
}

void ConfigEngine::load() {
    Utils::getIPAddress();
    QSettings launch(QString::fromStdString(board::path(kLaunchFile)), QSettings::IniFormat);
    g_update_status = launch.value("app-1/app_path").toString() == kAppLaunchLine ? 1 : 0;
    factoryage_log.clear();
    factoryage_log_num = 0;
}

QVariant ConfigEngine::read_config_variant(ConfigItem::ConfigName name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (name < 0 || name >= ConfigItem::kCount)
        return QVariant();
    return items_[name].value;
}

void ConfigEngine::write_config_variant(ConfigItem::ConfigName name, QVariant value) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (name < 0 || name >= ConfigItem::kCount)
        return;
    ConfigItem& item = items_[name];
    item.value = value;
    if (item.readOnly)
        return;
    settings_.setValue(item.key, value);
    settings_.sync();
}

QString ConfigEngine::fullKey(const QString& key) {
    return key.startsWith("config/") ? key : "config/" + key;
}

ConfigItem* ConfigEngine::getConfigItem(QString key) {
    int name = strToItem(key);
    return name < 0 ? nullptr : &items_[name];
}

int ConfigEngine::strToItem(QString key) {
    auto found = ConfigItem::_itemMap.constFind(fullKey(key));
    return found == ConfigItem::_itemMap.constEnd() ? -1 : found.value();
}

bool ConfigEngine::containsItemStr(QString key) {
    return ConfigItem::_itemMap.contains(fullKey(key));
}
