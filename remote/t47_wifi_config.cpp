#include "remote/t47_wifi_config.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "remote/net_settings.h"

std::atomic<u8> g_wifi_reset_flag{0};

T47_WIFI_CONFIG* T47_WIFI_CONFIG::p_wifi = nullptr;

namespace {

bool wifi_switched_off() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    return store && store->ram_para[para::wifi_off] != 0;
}

// The access point's address from the settings, when it is a plain unicast address: the
// text goes into a shell command.
bool wifi_address(QString* text) {
    if (!ConfigEngine::p_config)
        return false;
    QString value =
        ConfigEngine::p_config->read_config_variant(ConfigItem::WifiIPAddress).toString();
    u8 a[4];
    if (!NetSettings::parse_ipv4(value, a) || a[0] == 0 || a[0] == 127 || a[0] >= 224 ||
        a[3] == 0 || a[3] == 255) {
        printf("\n wifi address \"%s\" refused\n", value.toLatin1().constData());
        return false;
    }
    *text = NetSettings::ipv4_text(a);
    return true;
}

}  // namespace

T47_WIFI_CONFIG* T47_WIFI_CONFIG::pInstance() {
    if (!p_wifi) {
        p_wifi = new T47_WIFI_CONFIG;
        p_wifi->initialize();
    }
    return p_wifi;
}

T47_WIFI_CONFIG::T47_WIFI_CONFIG() : start_stamp_(G_timeTicks.load()), reset_stamp_(0) {}

T47_WIFI_CONFIG::~T47_WIFI_CONFIG() {
    stop();
}

int T47_WIFI_CONFIG::initialize() {
    bool started = thread_.start("wifi-config", [this] {
        wifi_pass();
        board::msleep(100);
    });
    if (!started) {
        printf("create wifi thread failed\n");
        return 255;
    }
    return 0;
}

void T47_WIFI_CONFIG::stop() {
    thread_.stop();
}

void T47_WIFI_CONFIG::set_wifi_reset_flag() {
    reset_stamp_ = G_timeTicks.load();
    g_wifi_reset_flag = 1;
}

void T47_WIFI_CONFIG::wifi_pass() {
    if (g_wifi_reset_flag && Utils::getTimeSpace(reset_stamp_) >= kResetTicks)
        reset_access_point();
    if (Utils::getTimeSpace(start_stamp_) >= kStartTicks) {
        start_stamp_ = G_timeTicks.load();
        start_access_point();
    }
}

void T47_WIFI_CONFIG::start_access_point() {
    QString address;
    if (ap_started_ || wifi_switched_off() || !wifi_address(&address))
        return;
    Utils::system_mutex(QString("ifconfig wlan0 %1 netmask 255.255.255.0 up").arg(address));
    Utils::system_mutex("/usr/sbin/udhcpd /etc/udhcpd.conf");
    ap_started_ = Utils::system_mutex("/usr/bin/hostapd -B /etc/rtl_hostapd_2G.conf") == 0;
    if (debugOn())
        printf("\n wifi access point %s\n", ap_started_ ? "started" : "failed to start");
}

void T47_WIFI_CONFIG::reset_access_point() {
    g_wifi_reset_flag = 0;
    Utils::system_mutex(kStopHostapd);
    Utils::system_mutex(kStopUdhcpd);
    ap_started_ = false;
    start_access_point();
}

size_t T47_WIFI_CONFIG::wifi_AT_cmd_manage(const char*, size_t, char* reply, size_t cap) {
    static const char kError[] = "ERROR\r\n";
    size_t n = std::min(cap, sizeof kError - 1);
    memcpy(reply, kError, n);
    return n;
}
