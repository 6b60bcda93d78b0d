// Program-wide globals shared by the subsystems, with their built-in defaults.
//
// Flags and counters that threads exchange without a lock are atomics of the field's
// width; the texts are written at start-up and by the user-interface thread only.
#pragma once

#include <QString>
#include <atomic>
#include <cstdio>
#include <vector>

#include "core/types.h"

class QTimer;
class MainWindow;
class LockWindow;

extern std::atomic<u32> G_timeTicks;
extern std::atomic<u32> G_reboot_tickTicks;
extern std::atomic<u32> G_factoryage_ticks;
extern std::atomic<u8> g_app_reset_flag;
extern std::atomic<u8> g_update_flag;
extern std::atomic<u8> g_update_status;
extern std::atomic<u8> g_tip_flag;
extern QTimer* g_timer;
extern std::atomic<u32> g_usb_grade;
extern std::atomic<u32> g_fpga_c331_start;
extern std::atomic<u8> g_set_led_para;
extern std::atomic<u8> g_set_led_setup;
extern std::atomic<u8> g_freeze_out;
extern std::atomic<u8> g_krx_keys;
extern std::atomic<u8> g_page_focus;
extern std::atomic<u8> g_mode_shortcut_key;
extern std::atomic<u8> g_mode_select;
extern std::atomic<u8> g_image_current;
extern std::atomic<u8> g_language;
extern std::atomic<u32> g_lcd_lang_valid;
extern std::atomic<u8> pc_cmd_valid;
extern std::atomic<u32> pc_cmd_time;
extern std::atomic<u8> g_passby_trans_port;
extern u32 g_change[49];  // 196-byte working block of the FPGA thread
extern std::atomic<u8> ScreenState;
extern std::atomic<u8> g_force_bkcolor;
extern std::atomic<u8> g_debugSwitch;
extern std::atomic<int> g_port;
extern std::atomic<int> g_int_tcp_port;
extern std::atomic<u8> g_networkMode;
extern std::atomic<u8> g_udpnetmode;
extern std::atomic<int> g_BPS;
extern std::atomic<int> g_dataLen;
extern QString g_str_ip;
extern QString g_srt_mask;
extern QString g_str_gateway;
extern QString g_str_mac;
extern QString g_str_barcode;
extern QString g_str_wifi_ip;
extern QString g_check_edid;
extern std::atomic<u8> g_check_source;
extern QString g_imagelayoutpassword;
extern QString g_eZor_cloudserverip;
extern QString g_eZor_clouduserid;
extern QString g_eZor_controllername;
extern std::atomic<int> g_eZor_cloudserverport;
extern std::atomic<u8> g_eZor_cloud;
extern std::atomic<u32> g_krx_max_pixel;
extern QString g_usb_grade_path;
extern char g_pid[33];  // 32 hexadecimal digits and a terminator
// g_krx_file_deal_para, the state of a remote file transfer, lives with the transfer code.
extern QString g_rcv_sync_led;
extern u8 fileBuf_velmo[5242880];
extern std::vector<QString> factoryage_log;
extern int factoryage_log_num;
extern int factoryage_log_diff3;
extern int factoryage_log_diff5;
extern int factoryage_log_diff10;
extern int factoryage_log_diff20;
extern int factoryage_log_diffmore;
extern std::atomic<int> g_auto_lock_time;
extern std::atomic<int> g_back_to_mainwindow_time;
extern MainWindow* g_mainwindow;
extern LockWindow* g_lockwindow;

// Console diagnostics are written only while g_debugSwitch is 254.
inline bool debugOn() {
    return g_debugSwitch == 254;
}

template <class... Args>
void debugLog(const char* format, Args... args) {
    if (debugOn())
        std::printf(format, args...);
}
