// The FPGA manager: owner of the output FPGAs, of the SoC's GPIO words and of the shared
// SPI bus routing, and the controller that the PC software and the screens see behind it.
//
// One object (the singleton `p_fpga_manage`) holds
// - the spidev handles of the FPGA links and of their configuration flashes;
// - the SoC register window and the 16-bit GPIO words inside it (16 drives a line high,
//   0 low; sdi_reset_gpio uses bit 0): the bus routing words that every SPI master sets
//   before a transfer, the FPGA command lines and flash selects, and the reset lines the
//   input manager drives;
// - per FPGA the 170-byte register shadow and the RAM images the rest of the program
//   reads, reached through the static pointer pairs MCU_REG_func, MCU_RAM_PARA_func, ...;
// - the FPGA thread: once the video processor has opened the start gate it brings FPGA 0
//   up (reset, V-by-One link steps S1..S6, parameter RAM), starts its output, watches the
//   link and serves the receiving-card jobs, one short pass at a time.
//
// Bus routing: the c331 hears the bus while both routing words are 16 (also the idle
// state); FPGA 0 and its flash with route0 16 / route1 0, FPGA 1 and its flash with 0 /
// 16. An FPGA takes a command word while its command line is 16 and the data after it
// with the line at 0; a flash listens while its select is 0. Every access runs under
// Utils::_spi_mutex from the first routing store to the restore of both words to 16.
//
// GPIO words are written and read with board::mmio_write16 / board::mmio_read16, and only
// once gpio_mapped() is true (map_gpio_window succeeded).
//
// The manager's work is split by topic: fpga_manage.cpp (link and start-up),
// fpga_manage_thread.cpp (thread, pass, power-up, output start, link watch),
// fpga_controller.cpp (controller registers, command area, parameter RAM, records),
// fpga_brightness.cpp, fpga_power_ctrl.cpp (the multifunction card's outputs),
// fpga_lcd_size.cpp (the monitor size), the receiving-card side (fpga_card_packets.cpp,
// fpga_card_transmit.cpp, fpga_card_receive.cpp, fpga_card_search.cpp, fpga_card_jobs.cpp),
// fpga_rcv_recovery.cpp and fpga_rcv_operate.cpp (scan-file load and recovery),
// fpga_passthrough.cpp and usb_upgrade.cpp (the USB upgrade installer, with the package
// reader upgrade_package.cpp).
#pragma once

#include <pthread.h>

#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <cstddef>
#include <mutex>
#include <vector>

#include "core/types.h"
#include "core/wakeup.h"
#include "fpga/clock_record_run.h"
#include "fpga/rcv_card_cmd.h"
#include "fpga/time_real_type.h"

class fpga_drv;
class rcvRecovery;
namespace upgrade {
class UpgradePackage;
}
struct RCV_OPERATE_PARA;

// The 32-bit command word of the FPGA link, sent least significant byte first:
// bit 0 read, bits 1..4 command, bits 8..15 RAM block, bits 16..27 RAM address or
// bits 16..23 register number and bits 24..31 write mask.
using FPGA_SPI_CMD = u32;

// Screen-control actions of SCREEN_fpgactrl_status / SCREEN_fpgactrl_status2.
enum SCREEN_status : u8 {
    SCREEN_BLACK = 0,         // register 0 bit 2 <- 1
    SCREEN_SHOWN = 1,         // register 0 bit 2 <- 0
    SCREEN_CTRL_SET = 2,      // register 0 bit 1 <- 1
    SCREEN_CTRL_CLEAR = 3,    // register 0 bit 1 <- 0
    SCREEN_OUTPUT_ON = 4,     // register 3 bit 5 <- 1
    SCREEN_OUTPUT_OFF = 5,    // register 3 bit 5 <- 0
    SCREEN_NOTHING = 6,       //
    SCREEN_FREEZE_CLEAR = 7,  // register 23 bit 0 <- 0
    SCREEN_FREEZE_SET = 8,    // register 23 bit 0 <- 1
    SCREEN_READ_STATUS = 9,   // register 22 into the shadow
    SCREEN_HOLD_SET = 10,     // register 23 bit 3 <- 1
    SCREEN_HOLD_CLEAR = 11,   // register 23 bit 3 <- 0
};

// What the load/recovery job of the pass does.
enum RCV_CHECK_OR_RECOVERY : u8 {
    RCV_CHECK = 0,
    RCV_RECOVERY = 1,
    RCV_LOAD_SCAN = 2,
};

class fpga_manage {
public:
    static constexpr u8 kFpgaCount = 2;
    static constexpr unsigned kRegCount = 170;
    static constexpr unsigned kRamImageSize = 1024;
    static constexpr unsigned kEthParaSize = 136;
    // Bytes of one FPGA RAM block as its 12-bit address reaches them.
    static constexpr unsigned kRamBlockSize = 4096;

    static constexpr u8 kCmdRam = 1;
    static constexpr u8 kCmdRegister = 2;

    static constexpr u16 kGpioHigh = 16;
    static constexpr u16 kGpioLow = 0;

    // Byte offsets of the GPIO words inside the SoC register window.
    static constexpr u32 kSpiRoute0Offset = 0x207900;
    static constexpr u32 kSpiRoute1Offset = 0x207810;
    static constexpr u32 kFpgaCmdOffset[kFpgaCount] = {0x207838, 0x207954};
    static constexpr u32 kFpgaRstOffset[kFpgaCount] = {0x207858, 0x207864};
    static constexpr u32 kFlashCsOffset[kFpgaCount] = {0x207860, 0x207950};
    static constexpr u32 kFpgaIrqOffset[kFpgaCount] = {0x207908, 0x207910};
    static constexpr u32 kRxResetOffset = 0x207940;
    static constexpr u32 kHdmi20ResetOffset = 0x207944;
    static constexpr u32 kSdiResetOffset = 0x002848;
    static constexpr u32 kPadEnableOffset = 0x001F1C;  // set to 1 once at mapping

    // The "/dev/msys" request that says where the register window lies.
#pragma pack(push, 1)
    struct msys_request {
        u32 version;
        u64 physical_address;
        u32 size;
        u32 request_size;
    };
#pragma pack(pop)
    static_assert(sizeof(msys_request) == 20, "the msys request is 20 bytes");
    static constexpr u32 kMsysVersion = 0x4D530100;
    static constexpr unsigned long kMsysRequestWindow = 0x5315;

    static fpga_manage* p_fpga_manage;
    // What the FPGA thread waits on between passes (see kRestPassUs).
    static Wakeup wakeup;
    // Raises a request for the FPGA thread: its pass runs at once.
    static void wake() {
        wakeup.notify();
    }

    // Register shadows and RAM images of FPGA 0 and FPGA 1 inside the manager. Shadow bytes
    // are read without a lock by screens and transports, hence atomic.
    static std::atomic<u8>* MCU_REG_func[kFpgaCount];
    static u8* MCU_RAM_PARA_func[kFpgaCount];
    static u8* MCU_RAM_RX_func[kFpgaCount];
    static u8* MCU_RAM_TX_func[kFpgaCount];
    static u8* MCU_RAM_ETH_PARA_func[kFpgaCount];
    static u8* MCU_RAM_ETH_BACK_PARA_func[kFpgaCount];
    // Areas shared with the remote protocol.
    static u8 MCU_RAM_CMD[1024];
    static u8 MCU_RAM_EXTEND[1024];
    static u8 MCU_RAM_ZOOM[1024];
    static u8 MCU_RAM_DEFAULT[2048];

    // Registers of an FPGA with a meaning here.
    static constexpr u8 kRegControl = 0;     // bit 2 screen black, bit 3 FPGA not usable
    static constexpr u8 kRegCommand = 2;     // bit 2 runs the command area (not sent)
    static constexpr u8 kRegLink = 3;        // bits 6, 7 V-by-One steps, bit 5 output on
    static constexpr u8 kRegBrightness = 6;  // brightness sent to the FPGA
    static constexpr u8 kRegStatus = 22;     // bit 3 link error, 4 locked, 6 event, 7 video
    static constexpr u8 kRegHandshake = 23;  // bit 0 output, bit 1 start handshake
    static constexpr u8 kRegImageFunction = 28;
    static constexpr u8 kRegImageYear = 31;  // BCD year of the FPGA image
    static constexpr u8 kRegLock = 40;       // bits 2..4 V-by-One lock
    static constexpr u8 kRegOutputStart = 41;
    static constexpr u8 kRegBrightnessLevel = 64;  // shadow only
    static constexpr u8 kRegScheduleActive = 66;   // shadow only
    static constexpr u8 kRegReadyState = 80;       // shadow only: fpga_ready_state
    static constexpr u8 kRegLinksLow = 128;        // link bitmap of ports 0..7
    static constexpr u8 kRegLinksHigh = 144;       // ports 8..15
    static constexpr u8 kReady = 3;                // fpga_ready_state once brought up
    // Register 31 lies in this range once the FPGA has loaded its image.
    static constexpr u8 kImageYearMin = 25;
    static constexpr u8 kImageYearMax = 48;

    // Steps of power_up_fpga_start.
    static constexpr u8 kPowerUpS1 = 1;
    static constexpr u8 kPowerUpS2 = 2;
    static constexpr u8 kPowerUpS3 = 3;
    static constexpr u8 kPowerUpS5 = 5;
    static constexpr u8 kPowerUpS6 = 6;
    static constexpr u8 kPowerUpDone = 7;
    static constexpr u8 kPowerUpWaitReset = 17;
    // The output start is over.
    static constexpr u8 kLcdRunning = 18;

    // Ticks of the reset pulse: the line is released once more than this has passed.
    static constexpr u32 kResetTicks = 200;
    // Longest wait between the FPGA thread's passes. The pass's periodic actions are
    // counted in 10 ms ticks, and most of them are seconds apart: once the LED output runs
    // and nothing is asked, a pass every 40 ms keeps each within a few ticks of its time.
    // The bring-up and the output start wait in steps of a few ticks: a pass every tick.
    // While the cards are being talked to (a job, a PC's frames, an upgrade) a pass every
    // millisecond collects their answers as they come. A request ends the wait at once.
    static constexpr unsigned kRestPassUs = 40000;
    static constexpr unsigned kStartPassUs = 10000;
    static constexpr unsigned kBusyPassUs = 1000;

    // Records of the controller on flash select 2.
    static constexpr u32 kOnOffRecordAddress = 0x30E000;
    static constexpr u32 kOnOffRecordSector = 782;
    static constexpr u32 kOnOffRecordSize = 50;
    static constexpr u32 kBrightRecordAddress = 0x30F000;
    static constexpr u32 kBrightRecordSector = 783;
    static constexpr u32 kBrightRecordSize = 57;
    static constexpr u32 kParaRamMarkAddress = 0x308000;
    static constexpr u32 kParaRamAddress = 0x308001;
    static constexpr u32 kBlock50Address = 0x301001;
    static constexpr u8 kRecordValid = 0xAA;

    // Command area: marker, command, store byte, payload length, payload.
    static constexpr u8 kCmdPresent = 0xAA;
    static constexpr u8 kCmdStore = 0xAA;
    static constexpr u8 kCmdErase = 0x55;
    static constexpr u8 kCmdSetClock = 1;
    static constexpr u8 kCmdOnOffSchedule = 2;
    static constexpr u8 kCmdBrightSchedule = 3;
    static constexpr unsigned kCmdHeader = 8;  // payload starts here
    static constexpr unsigned kScheduleEntries = 4;

    // Areas of the controller as the PC reads and writes them.
    enum class Area : u8 {
        ParaRam,      // per FPGA, 1024 bytes (RAM block 1 image)
        RxRam,        // per FPGA, 1024 bytes
        TxRam,        // per FPGA, 1024 bytes
        EthPara,      // per FPGA, 136 bytes
        EthBackPara,  // per FPGA, 136 bytes
        Cmd,          // 1024 bytes, the command area
        Extend,       // 1024 bytes
        Zoom,         // 1024 bytes
        Default,      // 2048 bytes
    };

    fpga_manage();
    ~fpga_manage();
    fpga_manage(const fpga_manage&) = delete;
    fpga_manage& operator=(const fpga_manage&) = delete;

    // Creates the manager on first use (the card-tool directories, then initialize());
    // later calls return it.
    static fpga_manage* pInstance();
    // Start-up of the FPGA side: links, flash, register window, controller state, the
    // 2-second pause, the start gate closed, the run-time record, the thread. 0, or 255
    // (reason printed) when the window cannot be mapped or the thread cannot start.
    int initialize();
    // The thread, and one of its passes. Tests call the pass directly.
    static void* fpgamanageThread(void* arg);
    // The wait after a pass: kBusyPassUs while the cards are being talked to, kStartPassUs
    // until FPGA 0's output runs, else kRestPassUs.
    unsigned pass_period_us() const;
    void fpga_manage_deal();
    // One pass of the USB upgrade, run instead of the normal pass while g_usb_grade is set
    // (usb_upgrade.cpp).
    void usb_upgrade_manage_deal(void* arg);
    // Stops and joins the thread (the program never does; tests and benchmarks do).
    void stop_thread();

    // FPGA 0 brought up and its output running.
    bool get_fpga_status() const;
    // Link bitmap of output ports 0..15 of FPGA 0, 0 while it is not brought up.
    u32 get_wlan_state();
    // The local date and time into year, month, day, hour, minute, second. 0.
    int IT8563WE_Get(TimeRealType* t);

    // Reset and bring-up.
    void reset_fpga_rst(unsigned char fpga);
    void check_fpga_rst();
    void power_up_fpga_start(unsigned char check, unsigned char fpga);
    void power_up_check_fpga_status(unsigned char fpga);
    void fpgainit(unsigned char fpga);
    // Link watch; returns the fault flag of the FPGA.
    u8 check_vbo_status(unsigned char fpga);
    void check_wlanonline_state();
    u8 fpga_ready_state(u8 fpga) const;
    void set_fpga_ready_state(u8 fpga, u8 state);

    // Pass steps that hand work to later stages.
    bool set_fpga_bri_val();
    bool set_output_status();
    void set_led_para_deal();

    // Controller registers: 0..63 and 128..169 reach the FPGA, 64..96 live in the shadow
    // only, the rest is ignored. Register 2 bit 2 runs the command area on the caller's
    // thread; register 0 bit 2 is the screen black switch.
    void write_to_register(unsigned char reg, unsigned char mask, unsigned char value,
                           unsigned char fpga);
    void write_to_0x00_register(unsigned char reg, unsigned char mask, unsigned char value,
                                unsigned char fpga);
    void SCREEN_fpgactrl_status(u8 status);
    void SCREEN_fpgactrl_status2(u8 status, unsigned char fpga);

    // The command area and the records it stores.
    void Dealwith_mcu_ram();
    // Sets the clock from a command area; 0 done, 1 refused (bad fields), 2 the command
    // failed.
    int Checktime(const u8* cmd);
    void OnOff_time(const u8* cmd);
    void record_onoff_time(unsigned char select);
    void record_bright_change();
    void FPGA_to_RAM(unsigned char fpga);
    void Version_to_RAM();
    void PHY_status_to_RAM();
    void softinit();
    void fpga_flash_access();
    // The shell command that sets the clock from a command area, empty when its fields do
    // not make a valid date and time.
    static QString clock_command(const u8* cmd);

    // Parameter RAM (FPGA RAM block 1) layout.
    int get_eth_param_addr(unsigned char group, unsigned short* x, unsigned short* y,
                           unsigned short* w, unsigned short* h);
    int get_eth_min_x_y(unsigned char fpga, unsigned short* x, unsigned short* y);
    int get_eth_max_border(unsigned char fpga, unsigned short* x, unsigned short* y);
    int get_eth_lcd_x_y(unsigned char fpga, unsigned short* x, unsigned short* y);
    int get_eth_lcd_w_h(unsigned char fpga, unsigned short* w, unsigned short* h);
    void T47_back_mcu_set_net_para(unsigned char fpga);
    void T47_mcu_set_net_para(unsigned char fpga);
    void eth_param_init(unsigned char mode, unsigned char fpga);
    // 1 when RAM block 1 reads back the image's port layout, else 0.
    int check_fpga_ram_param(unsigned char fpga);
    void update_eth_state(unsigned char fpga);
    // Step 4 of fpgainit: the image from the flash, or the defaults.
    void load_para_ram(unsigned char fpga);
    // The PC's save: FPGA 0's parameter RAM into the flash record that load_para_ram reads.
    // Only while FPGA 0 is up (its flash is then the manager's to use); 1 done, 0 failed.
    int store_para_ram();

    // The controller as the PC sees it (remote protocol). Register reads refresh the
    // shadow first where the register lives in an FPGA whose link is open; 1 done, 0 refused (FPGA
    // index, or a register that does not exist; a write also for an FPGA whose link is not open, as
    // FPGA 1's never is). Area accesses copy under the area lock: 1 done, 0 refused (FPGA index, or
    // the range passes the area's end). The parameter RAM lives in the FPGA (RAM block 1): a write
    // changes the image only once the FPGA took the bytes.
    int controller_register_read(unsigned char fpga, unsigned char reg, unsigned char* value);
    // The FPGA's link is open: what is written to it can reach it.
    bool fpga_driven(unsigned char fpga) const {
        return fpga < kFpgaCount && link_fd[fpga] >= 0;
    }
    int controller_register_write(unsigned char fpga, unsigned char reg, unsigned char mask,
                                  unsigned char value);
    int controller_area_read(Area area, unsigned char fpga, unsigned int offset, unsigned char* out,
                             unsigned int n);
    int controller_area_write(Area area, unsigned char fpga, unsigned int offset,
                              const unsigned char* in, unsigned int n);

    // Brightness, schedule and LED-parameter hand-over.
    //
    // Brightness modes (byte 8 of the brightness record): a hand level 1..16 (sent as
    // level x 16 - 1), a direct value 0..255, the half-hour table of levels or of direct
    // values, or the light sensor of a multifunction card (levels). Shadow register 64 of
    // FPGA 0 holds the level or value, register 6 what the FPGA was sent.
    static constexpr u8 kBriHand = 0;
    static constexpr u8 kBriTimed = 1;
    static constexpr u8 kBriSensor = 2;
    static constexpr u8 kBriHandDirect = 16;
    static constexpr u8 kBriTimedDirect = 17;
    static constexpr u8 kHalfHours = 48;
    static constexpr u8 kNoSlot = 255;
    static constexpr u8 kRegBrightnessSent = 6;
    static constexpr u8 kRegVmfBadReplies = 85;  // shadow only

    // Every half hour at level 15 until a timed record says otherwise.
    static constexpr std::array<u8, kHalfHours> half_hour_defaults() {
        std::array<u8, kHalfHours> levels{};
        for (u8& level : levels)
            level = 15;
        return levels;
    }

    // Sends the current brightness (a remote hand command; the argument is not used). 1.
    unsigned char Brightness_hand_dealwith(unsigned char unused);
    // Takes a brightness record (command-area layout) as the running brightness.
    void Brightness_init(const unsigned char* record);
    // A brightness command of the command area (command 3), on the caller's thread.
    void brightness_command(const unsigned char* cmd);
    // The default job's periodic work: record reload, brightness task, screen schedule.
    void Extension_function();
    void Brightness_task();
    void Brightness_hand_change();
    void Brightness_time_change();
    void Brightness_auto_change();
    void Brightness_check_VMF();
    void Brightness_read_VMF_value();
    void Send_read_VMF_data_cmd();
    void Brightness_VMF_run();
    void VMF_data_back_result();
    void Brightness_auto_filter();
    void dealwith_onoff();
    void Power_ctrl_init();
    void Power_ctrl_reset();

    // ---- Multifunction-card power control, monitor (LCD) size and the card routines that
    // nothing in the pass starts (fpga_power_ctrl.cpp, fpga_lcd_size.cpp).
    //
    // Power control: while FPGA 0 runs and only window 0 is on, the card's eight outputs are
    // switched on one by one when a signal comes to window 0's source (or the schedule asks
    // for it), and off once the signal has been gone for 10 s while the card says its
    // power is on. The card's RAM 0 byte 44 says whether its power is on (1).
    static constexpr u8 kNoVmfPort = 252;
    static constexpr u8 kRegVmfPower = 67;  // shadow only: the card's power state
    static constexpr u8 kVmfOutputs = 8;
    // Switch requests of the card's outputs (eth_data_send_start / _stop).
    static constexpr u8 kVmfSwitchOn = 0;
    static constexpr u8 kVmfSwitchOff = 1;

    void Power_ctrl_deal();
    void Power_ctrl_task();
    void Power_check_VMF();
    void Power_read_VMF_value();
    // One look at the card's answer: the receive buffer of its port pair, then the
    // service of both FPGAs, under passby_mutex.
    void Power_VMF_run();
    void VMF_RAM0_data_back_result();
    void VMF_reg_back_result();
    void Power_ctrl_filter();
    // Waits (at most 35 ticks) for the answer to the request just sent: g_change word 31,
    // 1 good, 2 wrong, 0 none.
    u32 wait_VMF_result();
    // The card's register command for output `index` 1..8: on (option 0) or off (option
    // 1). False when nothing was sent (no card, an index outside 1..8, the port did not
    // take it).
    bool Send_write_VMF_reg_cmd(unsigned char option, unsigned char index);
    bool Send_read_VMF_RAM0_data_cmd();
    // One step of switching the card's outputs off / on: an output per call, at least 51
    // ticks apart; the ninth call ends the sequence.
    void eth_data_send_stop();
    void eth_data_send_start();
    bool switch_next_output(u8 option);
    // Always 0.
    int check_multi_port_send(unsigned int, unsigned char*);
    // One stored packet to a port, its port bits set: mode 0 the card search, 1 the
    // brightness RAM write, 2 the brightness register write, 3 the brightness save.
    // Send_to_port's result; 0 for another mode.
    int Send_rcv_card_cmd(unsigned char port, unsigned char mode, unsigned char fpga);
    // One service of FPGA 0 each.
    void Brightness_task_run();
    void Search_Card_task_run();

    // Monitor size: the FPGA measures its monitor output (RAM block 0 at 116); once the
    // monitor's SiI9022 answers, the LED size goes to the FPGA (parameter RAM 424) with
    // the row and column tables (RAM blocks 35 and 34). One step per call.
    static constexpr u8 kMonitorIdle = 0;
    static constexpr u8 kMonitorChanged = 3;
    static constexpr u32 kMonitorTicks = 100;
    void check_monitor_change(unsigned char fpga);
    void set_lcd_change_flag();
    // The monitor's transmitter of that FPGA answers: 1 (and the monitor step goes on),
    // else 0.
    int set_9022_para(int fpga);
    void set_fpga_lcd_wh(unsigned char fpga);
    void set_fpga_row_col_ram(unsigned short w, unsigned short h, unsigned char fpga);
    // The line mask for n source lines shown on m: one bit per line, LSB first; nothing for
    // n or m 0; m / 8 bytes of 0xFF when n <= m; otherwise m of the n lines marked, spread
    // evenly, and the bytes inverted. Writes at most `room` bytes (a longer mask is cut).
    static void row_col_calcul_ram(unsigned int n, unsigned int m, unsigned char* out,
                                   unsigned int room);

    // Receiving-card packets. Each builder fills the caller's buffer (at least the packet's
    // length) and returns the packet's length; all but rcv_card_cmd_create also store it in
    // g_send_para.packet_len. A packet that would pass 1024 bytes is not built (0).
    u16 rcv_card_cmd_create(unsigned char* buf, unsigned char port);
    u16 load_write_ram_cmd_create(unsigned char port, unsigned short card, unsigned int address,
                                  const unsigned char* data, unsigned short len, unsigned char* buf,
                                  bool all);
    u16 rcv_active_firmware_cmd_create(unsigned char port, unsigned short card,
                                       const unsigned char* data, unsigned short len,
                                       unsigned char* buf);
    u16 ram_reset_cmd_create(unsigned char* buf, const SCAN_PARA* op, unsigned char port);
    u16 save_para_cmd_create(unsigned char* buf, unsigned char port);
    u16 load_write_reg_cmd_create(unsigned char port, unsigned short card,
                                  const unsigned char* data, unsigned short len, unsigned char* buf,
                                  bool all);
    u16 load_write_user_defined_cmd_create(unsigned char port, unsigned short card,
                                           const unsigned char* data, unsigned short len,
                                           unsigned char* buf, bool all);
    u16 rcv_reconfig_cmd_create(unsigned char port, unsigned short card, const unsigned char* data,
                                unsigned short len, unsigned char* buf);
    u16 load_search_rxc_cmd_create(unsigned char port, const unsigned char* data,
                                   unsigned short len, unsigned char* buf);
    u16 save_para2flash_cmd_create(unsigned char port, unsigned short card, unsigned char* buf,
                                   bool all);
    u16 mapping_enable_cmd_create(unsigned char port, unsigned char* buf);

    // Port transmit. Send_to_port puts a frame of 1..1024 bytes on net port 0..15 of an FPGA:
    // 1 sent; 0 refused (port, length) or failed (the port's pair stayed busy past wait_ms,
    // or the FPGA did not take the frame). The FPGA thread waits 3 s for a busy pair; a PC's
    // frame, which holds a transport's thread, waits kPcPortReadyWaitMs.
    static constexpr unsigned kPortReadyWaitMs = 3000;
    static constexpr unsigned kPcPortReadyWaitMs = 10;
    int Send_to_port(const unsigned char* frame, unsigned short len, unsigned short port,
                     unsigned char fpga, unsigned int wait_ms = kPortReadyWaitMs);
    // 1 once the port's pair can take a frame, 0 after 3 s busy or for a port above 15.
    int wait_fpga_send_ready(unsigned char port, unsigned char fpga);
    // The frame to every linked port 0..5 of FPGA 0 that has cards, its port bits set per
    // port; the ports that took it in multi_expected.
    void multi_port_send(unsigned char* frame, unsigned short len,
                         unsigned int wait_ms = kPortReadyWaitMs);
    // Cards on port 0..5 of FPGA 0 as the search found them (0 for any other port), limited
    // below the broadcast addresses.
    u16 get_port_card_num(unsigned char port);
    // Cards on ports 0..5 of an FPGA together.
    u16 check_netport_card(unsigned char fpga);
    // A set-up packet for the jobs: clears the card-replied flag, arms it for the answer of
    // that port and card (any card of the port for a packet to all cards) with the packet's
    // opcode, and sends the packet. Send_to_port's result.
    int send_setup_packet(const unsigned char* packet, unsigned short len, unsigned char port,
                          unsigned char fpga);

    // Receive path and card search.
    void reg_IRQ_Dealwith(unsigned char fpga, unsigned char force);
    void Rcv_data_from_eth(unsigned char fpga);
    // 1 when a search answer was taken.
    int deal_with_search_concurrent(unsigned char fpga);
    void Search_concurrent_back_result(unsigned char* frame, unsigned char group,
                                       unsigned char fpga, unsigned int length);
    void update_eth_rcv_num(const unsigned char* frame, unsigned char port, unsigned char fpga);
    void check_fpga_net_data_status(unsigned char fpga);
    void Check_search_card();
    void Search_Card_Cmd();
    void CHECK_search_cmd_status();
    // Builds and sends one search packet (id: the configuration id a recovery query asks
    // for, 0 for the card search).
    void check_error_rcv_search_card_cmd(unsigned int port, unsigned char fpga, unsigned int id,
                                         unsigned int extra, unsigned char flag);
    // Hands an answer meant for the PC to the transport that carried the request.
    void forward_to_pc(unsigned char* frame, unsigned int last, unsigned char group,
                       unsigned char fpga);

    // Receiving-card jobs.
    // Position of card `index` of the chain in the wizard's cabinet grid; x and y are left
    // as they are for a pattern outside 1..16, an empty grid or an index beyond it.
    void get_rcvcard_x_y(int index, unsigned short* x, unsigned short* y);
    void SmartMapping_deal();
    void save_para_deal();
    void mapping_enable_deal();
    // One step of the scan-file load (job 2) or of the recovery query or run (jobs 5, 6).
    void rcv_recovery_check_deal(RCV_CHECK_OR_RECOVERY mode);
    // One step of the operation record the reader holds, to the card of g_send_para byte
    // 26 (all: to every card) of the reader's current net; data_offset is where the block
    // holding the record starts in the file. kOperateRunning, kOperateDone, or
    // kOperateFailed when it cannot be carried out (its data do not lie in the file or do
    // not fit a packet, a net this device does not drive).
    static constexpr int kOperateRunning = 0;
    static constexpr int kOperateDone = 1;
    static constexpr int kOperateFailed = 2;
    int load_rcv_xy_operate(QString file, unsigned int data_offset, bool all);

    // A PC frame for the receiving cards (unescaped, check byte last; its port bits and check
    // byte are set in place), with passby_mutex held by the caller. 1 when it went out on a
    // port; 0 when nothing was sent (shorter than a card header or 1024 bytes and more, a
    // routing byte or port that leads nowhere, a port that did not take it, a broadcast
    // without a live port with cards).
    int Dealwith1_PC_to_eth(unsigned int len, unsigned char* frame);

    // Opens the FPGA 0 link and the flash of FPGA 0; FPGA 1's are not fitted.
    void open_spi_links();
    // Finds the register window through "/dev/msys", maps "/dev/mem", points the GPIO words
    // and writes their start values. 0, or 255 (with the reason printed) on failure.
    int map_gpio_window();
    bool gpio_mapped() const {
        return mapped.load(std::memory_order_acquire);
    }

    // Command words.
    static FPGA_SPI_CMD fpga_cmd_to_spi_data(u8 cmd, u8 block, u32 address, bool read);
    static FPGA_SPI_CMD fpga_reg_cmd_to_spi_data(u8 cmd, u8 block, u8 reg, bool read, u8 mask);

    // Raw FPGA access. Each returns 1 when done, 0 when refused (FPGA index 2 or more,
    // register above 255, RAM range beyond its block or the buffer's image, window not
    // mapped) or when a transfer failed. A failed register read yields 0.
    int read_fpga_register(unsigned int reg, unsigned char* value, unsigned char fpga);
    int write_fpga_register(unsigned int reg, unsigned char data, unsigned char fpga,
                            unsigned char mask);
    int write_fpga_ram(const unsigned char* buf, unsigned int address, unsigned int n,
                       unsigned char block, unsigned char fpga);
    int read_fpga_ram(unsigned char* buf, unsigned int address, unsigned int n, unsigned char block,
                      unsigned char fpga);
    // Refreshes the shadow of register 0..63 or 128..169 from the FPGA (1); other numbers
    // send nothing (0). A failed read leaves the shadow as it was (0).
    int read_from_register(unsigned char reg, unsigned char fpga);

    // Holds the bus routed to one FPGA or one flash for a scope: takes Utils::_spi_mutex,
    // drives the routing, and on leaving releases the command line or flash select and
    // puts both routing words back to 16. ok() is false (and nothing is driven) while the
    // window is not mapped.
    class BusRoute {
    public:
        enum Kind { Fpga, Flash };
        BusRoute(fpga_manage& manager, Kind kind, u8 index);
        ~BusRoute();
        BusRoute(const BusRoute&) = delete;
        BusRoute& operator=(const BusRoute&) = delete;
        bool ok() const { return ok_; }
        // FPGA: the command word is out; what follows is data.
        void data_phase();

    private:
        fpga_manage& m_;
        Kind kind_;
        u8 index_;
        bool ok_;
    };

    // Routes the bus to the c331 (both routing words 16). The caller holds
    // Utils::_spi_mutex and has checked gpio_mapped().
    void route_c331();

    int flash_handle(u8 index) const {
        return flash_fd[index];
    }

    pthread_t thread{};
    pthread_mutex_t reg_mutex;
    pthread_mutex_t passby_mutex;
    // The command area, the extend area and the per-FPGA images as the PC reaches them.
    std::mutex area_mutex;

    u32 monitor_state[kFpgaCount];
    u8 ram_ok[kFpgaCount] = {};
    std::atomic<u8> reset_pending[kFpgaCount] = {};
    u32 reset_stamp[kFpgaCount] = {};
    // Raised by the video-processor thread; taken (cleared) by the pass before the work.
    std::atomic<u8> output_resend{0};
    std::atomic<u8> bri_resend{0};
    u32 led_stamp = 0;
    u32 led_count = 0;

    fpga_drv* p_fpga_drv;

    volatile u16* spi_route0_gpio = nullptr;
    volatile u16* spi_route1_gpio = nullptr;
    volatile u16* fpga_cmd_gpio[kFpgaCount] = {};
    volatile u16* fpga_rst_gpio[kFpgaCount] = {};
    volatile u16* flash_cs_gpio[kFpgaCount] = {};
    volatile u16* fpga_irq_gpio[kFpgaCount] = {};
    volatile u16* rx_reset_gpio = nullptr;
    volatile u16* hdmi20_reset_gpio = nullptr;
    volatile u16* sdi_reset_gpio = nullptr;

    // Brightness. The task runs on the FPGA thread, a remote command on a transport's:
    // bri_mutex keeps them apart (taken before passby_mutex and the apply lock).
    std::recursive_mutex bri_mutex;
    u32 bri_mode = 0;
    u32 bri_last_slot = kNoSlot;
    std::array<u8, kHalfHours> HalfHourValue = half_hour_defaults();
    u8 vmf_sensor_data[128] = {};
    // Picture brightness (percent) to be written into the image once the apply lock is
    // free, -1 none; and the value written, whose apply must not come back as a resend.
    std::atomic<int> bri_picture_pending{-1};
    std::atomic<int> bri_picture_echo{-1};
    // Screen black (fpga_para, 1 black, 0 shown) a register-0 write asked for, to be
    // written into the image once the apply lock is free; -1 none.
    std::atomic<int> screen_black_pending{-1};
    // Multifunction-card power control: the schedule asks for the card's outputs to be
    // switched on again; the pass runs no power control that would serve the request.
    u8 power_request = 0;
    u8 power_index = 1;
    // Power control (fpga_power_ctrl.cpp): the card's port (kNoVmfPort none) and FPGA, the
    // copy of its RAM 0, the switch-off request, whether its outputs were switched off,
    // and whether window 0's source had a signal at the last look.
    u8 vmf_port = kNoVmfPort;
    u8 vmf_fpga = 0;
    u8 vmf_ram0[256] = {};
    u8 power_stop_request = 0;
    u8 data_send_stopped = 0;
    u8 power_signal = 0;
    // Monitor size (fpga_lcd_size.cpp).
    u32 monitor_stamp[kFpgaCount] = {};
    u32 monitor_interval[kFpgaCount] = {kMonitorTicks, kMonitorTicks};

    // Schedule (decoded from the command area or the stored record).
    u8 onoff_count = 0;
    u8 onoff_state = 0;  // 0 last action on, 1 off
    u8 onoff_day = 0;
    u8 on_hour[8] = {}, on_minute[8] = {}, off_hour[8] = {}, off_minute[8] = {};
    u8 on_armed[8] = {}, off_armed[8] = {};

    TimeRealType current_time{};
    u32 time_stamp = 0;  // tick of the last refresh of current_time
    u32 last_wlan_state = 0;
    u32 wlan_stamp = 0;  // tick of the last link-bitmap read
    bool wlan_read_once = false;
    clock_record_run record{*this};

    // Bring-up and output start, per FPGA.
    std::atomic<u8> lcd_step[kFpgaCount] = {};
    u8 lcd_latch[kFpgaCount] = {};
    u32 lcd_stamp[kFpgaCount] = {};
    std::atomic<u8> power_up_step[kFpgaCount] = {};
    // Wide enough for the last threshold of output-start state 0: (100 + 1) x 20 checks.
    u16 check_count[kFpgaCount] = {};
    u8 check_level[kFpgaCount] = {};
    u16 vbo_retry[kFpgaCount] = {};
    u8 vbo_resets[kFpgaCount] = {};
    u8 vbo_fault[kFpgaCount] = {};
    u8 vbo_substep[kFpgaCount] = {};
    u16 vbo_count[kFpgaCount] = {};

    // Card search and receive path. The receive path also runs on a remote transport's
    // thread (under passby_mutex) while the search and the jobs run on the FPGA thread.
    std::atomic<u32> search_sent_mask{0};    // bit p: port p searched in this cycle
    std::atomic<u32> search_answer_mask{0};  // bit 8f + buffer; bits 31, 30: evaluate
    std::atomic<u8> card_answer_ready{0};    // a register or RAM answer for the device
    u8 card_answer[130] = {};                // its bytes 9..138
    // The answer a job waits for: 0 none, else port + 1 in bits 24..31, the opcode in bits
    // 16..23 and the card in bits 0..11 (0x0FFF: any card of the port).
    std::atomic<u32> card_reply_expected{0};
    // The port (0xFF none) and configuration id of the recovery query's search packet.
    std::atomic<u8> recovery_query_port{0xFF};
    std::atomic<u32> recovery_query_id{0};
    // Answers dropped: a bad check byte, or too short for the fields they must hold.
    std::atomic<u32> rcv_check_errors{0};
    std::atomic<u32> rcv_short_frames{0};
    // One frame at a time through the net ports: the FPGA thread and a remote transport
    // must not load the same pair between each other's RAM write and strobe.
    std::mutex transmit_mutex;
    // PC broadcast bookkeeping shared with the pass-through.
    std::atomic<u8> multi_active{0};
    std::atomic<u8> multi_tag{0};
    std::atomic<u32> multi_answer_mask{0};
    std::atomic<u8> multi_sent{0};
    std::atomic<u32> multi_sent_time{0};
    std::atomic<u8> multi_search{0};  // the broadcast went to the search address 0x0FFE
    // The ports the broadcast went out on (those that took it), as multi_answer_mask counts
    // them.
    std::atomic<u32> multi_expected{0};
    // A card answer was queued for a transport.
    std::atomic<u8> passby_reply_ready{0};
    // Byte 5 of the pending request, which the cards echo: an answer with another one
    // belongs to an earlier request.
    std::atomic<u8> passby_tag{0};

    // What the last recovery query found, for the recovery run: the screen, the net (its
    // port, and its entry in the screen) and the card.
    u8 recovery_screen = 0;
    u8 recovery_net = 0;
    u8 recovery_net_entry = 0;
    u8 recovery_card = 0;

    rcvRecovery* p_rcvRecovery = nullptr;

    // ---- USB upgrade (usb_upgrade.cpp). From the first pass after g_usb_grade turned
    // nonzero, one step per pass: 0 the "Updating" dialog and the start time, 1 the list of
    // the stick's packages, 2 every package installed and the installation finished (move
    // and reboot request, or FPGA and font reloads), 3 the end time, the dialog closed,
    // reason 104 and g_usb_grade cleared.
    static constexpr u32 kUsbBufferSize = 5242880;
    // FPGA images end before the controller's records, which begin at 0x301000.
    static constexpr u32 kFpgaImageLimit = 0x301000;
    static constexpr u32 kFpgaChunk = 32768;
    static constexpr u32 kFontChunk = 16384;

    void usb_upgrade_deal();
    void get_usb_file_list_path();
    void usb_upgrade_main_deal();
    // The writers of one child each; the child's lengths are checked against the package
    // before. True once it is written and read back whole; a failure is reported and
    // marks the upgrade failed.
    bool update_muc_file(const upgrade::UpgradePackage& package, u32 offset, u32 length);
    bool update_txc_file(const upgrade::UpgradePackage& package, u8 flash_select, u32 offset,
                         u32 length);
    bool update_c331_osd_font_file(const upgrade::UpgradePackage& package, u32 offset, u32 length,
                                   u32 address);
    // The last upgrade's start and end time ("h:m:s    h:m:s"), and whether it failed:
    // set before reason 104 is raised.
    QString usb_upgrade_time() const;
    bool usb_upgrade_failed() const;

    QStringList usb_file_list;
    int usb_file_count = 0;
    // What this upgrade wrote: the application, FPGA 0's and FPGA 1's image, a font.
    u8 downing_mcu = 0;
    u8 downing_txc1 = 0;
    u8 downing_txc2 = 0;
    u8 downing_osd = 0;

private:
    // One FPGA access: the command word, then n data bytes sent from tx (rx null) or
    // exchanged into rx.
    int fpga_access(u8 fpga, FPGA_SPI_CMD word, const u8* tx, u8* rx, unsigned n);
    void report_unmapped();
    // Bytes left from p to the end of the manager's image or area that holds it; the block
    // size when p lies in none of them.
    unsigned room_after(const unsigned char* p) const;
    bool ram_range_ok(const unsigned char* buf, unsigned int address, unsigned int n) const;
    void unmap_gpio_window();
    // Stores a GPIO word once the window is mapped; refused (reported) otherwise.
    void set_gpio(volatile u16* word, u16 value);
    // The 0xD0 device of the input board is set up and FPGA 0 released by the input
    // manager.
    static bool d0_ready();
    // Pass steps of the bring-up.
    void power_up_step_s2(u8 fpga);
    void power_up_step_s5(u8 fpga);
    void power_up_step_s6(u8 fpga);
    void hold_in_reset(u8 fpga);
    void output_start_wait_video(u8 fpga);
    void output_start_measure(u8 fpga);
    void output_start_apply(u8 fpga);
    void write_register_value(unsigned char reg, unsigned char mask, unsigned char value,
                              unsigned char fpga, bool command_bits);
    bool store_record(u32 sector, u32 address, const u8* record, u32 n);
    // Brightness: one send (a resend takes the picture brightness and stores it as a
    // direct-value record), the value sent, and the picture brightness written back.
    void send_brightness(bool resend);
    u8 value_from_picture();
    u8 value_from_setting();
    void flush_picture_brightness();
    void flush_screen_black();
    // True on the FPGA thread.
    static bool on_own_thread();
    void store_direct_record();
    bool erase_record(u32 sector);
    u8* area_base(Area area, u8 fpga, unsigned* size);
    u16 image_u16(u8 fpga, unsigned offset) const;
    // What a valid answer frame of a receive buffer is, and where it goes.
    void classify_card_answer(u8* frame, unsigned last, u8 group, u8 fpga);
    // Sets the card-replied flag when the answer is the one the running job waits for.
    void card_replied(const u8* frame, u8 group, u8 fpga);
    // Stores a search answer's card count and status byte for a port and writes them to
    // the FPGA's parameter RAM.
    void store_card_count(const u8* frame, u8 port, u8 fpga);
    // Smart-mapping steps and the steps the save and mapping jobs share.
    void smart_mapping_send_card();
    void smart_mapping_send_reset();
    void port_job_step(u8 job);
    // While a card's answer is awaited: the heartbeat on the posting screen's bar.
    void job_waiting_animation();
    // The answer came or the time ran out; true when the job goes on.
    bool job_answer_or_timeout(u32 timeout_ticks);
    // While the PC talks to the cards the jobs stand still; true when they may go on.
    bool job_pc_pause();
    void set_image_u16(u8 fpga, unsigned offset, u16 value);
    // Steps of load_rcv_xy_operate: the operation's packet count and first load step, and
    // the wait for the card's answer with its retries.
    int start_operation(RCV_OPERATE_PARA& op);
    void operation_wait(const RCV_OPERATE_PARA& op, bool all);
    // The busy bit of the port's pair reads 0.
    bool pair_idle(u8 port, u8 fpga);
    // A PC broadcast onto every live port with cards: 1 when it went to one at least.
    int pc_broadcast(unsigned char* frame, unsigned short n);
    // An answer to a PC broadcast: true when it completes the set of ports, and it is then
    // made the one answer of the broadcast.
    bool complete_broadcast(unsigned char* frame, unsigned int last);

    // USB upgrade steps.
    void install_package(const QString& path);
    bool install_application();
    void reload_written_parts();
    void usb_fail(const QString& package, const QString& what);
    void usb_time_append(bool start);

    std::atomic<bool> usb_active{false};
    std::atomic<u8> usb_step{0};
    // The installer's own file buffer, held only while it installs.
    std::vector<u8> usb_buffer;
    mutable std::mutex usb_mutex;  // usb_time and usb_failed, read by the panel
    QString usb_time;
    bool usb_failed = false;

    std::atomic<bool> thread_started{false};
    std::atomic<bool> thread_stop{false};

    int link_fd[kFpgaCount] = {-1, -1};
    int flash_fd[kFpgaCount] = {-1, -1};

    std::atomic<u8> reg_shadow[kFpgaCount][kRegCount];
    u8 ram_para_image[kFpgaCount][kRamImageSize];
    u8 ram_rx_image[kFpgaCount][kRamImageSize];
    u8 ram_tx_image[kFpgaCount][kRamImageSize];
    u8 eth_para_image[kFpgaCount][kEthParaSize];
    u8 eth_back_para_image[kFpgaCount][kEthParaSize];

    void* map_base = nullptr;
    size_t map_size = 0;
    int mem_fd = -1;
    int msys_fd = -1;
    msys_request msys_req{};
    std::atomic<bool> mapped{false};
    std::atomic<bool> unmapped_reported{false};
};
