// The settings store: the 18 device settings kept in "/data/configs/tcpip.ini" (group
// "config"), the device id derived from the chip-id registers, and the launch settings.
#pragma once

#include <QMap>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <mutex>
#include <vector>

class ConfigItem {
public:
    enum ConfigName {
        TcpPort = 0,
        UdpPort,
        IPAddress,
        SubNetMask,
        GateWay,
        MAC,
        Barcode,
        WifiIPAddress,
        EDIDCheck,
        SourceCheck,
        ImageLayoutPassword,
        eZorcloudserverip,
        eZorcloudserverport,
        eZorclouduserip,
        eZorcloudcontrollername,
        KrxMaxPixel_UINT,
        usbupgradedir,
        KrxLCDLang,
    };
    static constexpr int kCount = KrxLCDLang + 1;

    // Enters the key in _itemMap and takes the file's value, or writes the default to the
    // file when the key is missing or empty.
    ConfigItem(const QString& key, ConfigName name, const QVariant& defaultValue, bool numeric,
               const QString& path, QSettings* settings);

    QString key;
    ConfigName name;
    QVariant defaultValue;
    bool readOnly = false;
    bool numeric;
    QString path;
    QSettings* settings;
    QVariant value;

    static QMap<QString, ConfigName> _itemMap;
};

class ConfigEngine : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kFile = "/data/configs/tcpip.ini";
    static constexpr const char* kLaunchFile = "/data/configs/led_load_config.ini";
    static constexpr const char* kAppLaunchLine = "/data/app/krxT47N -platform linuxfb";

    static ConfigEngine* p_config;
    // Creates the store on the first call; every call then runs load().
    static ConfigEngine* pInstance();

    // Opens the settings file (creating it and any missing key with the defaults) and
    // derives the device id g_pid.
    ConfigEngine();
    // Loads the settings into the globals, reads the launch settings, clears the aging log.
    // The settings reach the globals through p_config: set it first.
    void load();

    QVariant read_config_variant(ConfigItem::ConfigName name);
    // Sets the value and writes it to the file at once.
    void write_config_variant(ConfigItem::ConfigName name, QVariant value);
    ConfigItem* getConfigItem(QString key);
    // The item's name; -1 for an unknown key.
    int strToItem(QString key);
    bool containsItemStr(QString key);

private:
    static QString fullKey(const QString& key);
    void readDeviceId();

    // Items are read and written from several threads.
    std::mutex mutex_;
    QSettings settings_;
    std::vector<ConfigItem> items_;
};
