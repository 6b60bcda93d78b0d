// The WiFi access point: its thread starts the access point (hostapd and udhcpd on wlan0
// at the WiFi address of the settings) unless the image's wifi_off is set, and restarts it
// on request. The AT command channel (UDP 13769) reaches wifi_AT_cmd_manage.
#pragma once

#include <atomic>
#include <cstddef>

#include "core/types.h"
#include "remote/worker_thread.h"

// 1 while a restart of the access point is pending.
extern std::atomic<u8> g_wifi_reset_flag;

class T47_WIFI_CONFIG {
public:
    static constexpr u32 kStartTicks = 100;  // the start-up pass runs this often
    static constexpr u32 kResetTicks = 300;  // a restart waits this long after its request
    static constexpr const char* kStopHostapd =
        "kill -9 `pidof /usr/bin/hostapd /etc/rtl_hostapd_2G.conf`";
    static constexpr const char* kStopUdhcpd = "kill -9 `pidof /usr/sbin/udhcpd  /etc/udhcpd.conf`";

    static T47_WIFI_CONFIG* p_wifi;
    // Creates the manager on the first call and runs initialize().
    static T47_WIFI_CONFIG* pInstance();

    T47_WIFI_CONFIG();
    ~T47_WIFI_CONFIG();
    T47_WIFI_CONFIG(const T47_WIFI_CONFIG&) = delete;
    T47_WIFI_CONFIG& operator=(const T47_WIFI_CONFIG&) = delete;

    // Starts the WiFi thread; 0, or 255 when it cannot be created.
    int initialize();
    void stop();

    // One turn of the thread: the reset pass once a requested restart is due, and the
    // start-up pass every kStartTicks ticks.
    void wifi_pass();
    // Asks for a restart of the access point kResetTicks ticks from now.
    void set_wifi_reset_flag();
    bool ap_started() const { return ap_started_; }

    // Answers one AT command into reply (at most cap bytes) and returns the reply length.
    // No AT command set is defined for this device: every command is answered "ERROR".
    static size_t wifi_AT_cmd_manage(const char* command, size_t length, char* reply, size_t cap);

private:
    void start_access_point();
    void reset_access_point();

    std::atomic<u32> start_stamp_;
    std::atomic<u32> reset_stamp_;
    std::atomic<bool> ap_started_{false};
    WorkerThread thread_;
};
