// The job block through which the screens hand long receiving-card jobs to the FPGA
// thread, the smart-mapping wizard's values, and the progress the jobs report back.
//
// The blocks are shared between the GUI thread (the screens post jobs and read the
// recovery result), the FPGA thread (the jobs) and the receive path, which also runs on a
// remote transport's thread: every field is an atomic of its width, at the byte position
// the screens use. A screen posts a job by storing job and step 0 together as one 16-bit
// store, so the pass never sees the new job with an old step; the pass reads the job byte
// once per pass.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

#include "core/types.h"

struct SEND_PARA {
    std::atomic<u8> job;               // 0: SEND_PARA_JOB
    std::atomic<u8> step;              // 1
    std::atomic<u8> net_port;          // 2
    std::atomic<u8> packet_count;      // 3: packets of the current load operation
    std::atomic<u8> packets_sent;      // 4
    u8 reserved5;                      // 5
    std::atomic<u8> card_back;         // 6: a card answered the last set-up packet
    u8 reserved7;                      // 7
    std::atomic<u16> card_index;       // 8
    std::atomic<u16> card_num;         // 10
    std::atomic<u16> packet_len;       // 12
    u8 reserved14[2];                  // 14
    std::atomic<u32> mapping_value;    // 16: 9 mapping on, 0 off
    std::atomic<u32> send_ticks;       // 20
    std::atomic<u8> screen_index;      // 24
    std::atomic<u8> net_index;         // 25
    std::atomic<u8> load_card;         // 26
    std::atomic<u8> operation_index;   // 27
    std::atomic<u8> load_step;         // 28
    u8 reserved29;                     // 29
    std::atomic<u16> recovery_result;  // 30
    std::atomic<u8> retry_count;       // 32
    u8 reserved33[3];                  // 33
};
static_assert(sizeof(std::atomic<u16>) == 2 && sizeof(std::atomic<u32>) == 4,
              "the job block's atomics have the width of their fields");
static_assert(sizeof(SEND_PARA) == 36, "the job block is 36 bytes");
static_assert(offsetof(SEND_PARA, card_back) == 6, "replied flag at byte 6");
static_assert(offsetof(SEND_PARA, card_index) == 8, "card index at byte 8");
static_assert(offsetof(SEND_PARA, packet_len) == 12, "packet length at byte 12");
static_assert(offsetof(SEND_PARA, mapping_value) == 16, "mapping value at byte 16");
static_assert(offsetof(SEND_PARA, send_ticks) == 20, "tick stamp at byte 20");
static_assert(offsetof(SEND_PARA, load_step) == 28, "load step at byte 28");
static_assert(offsetof(SEND_PARA, recovery_result) == 30, "result word at byte 30");
static_assert(offsetof(SEND_PARA, retry_count) == 32, "retry counter at byte 32");

enum SEND_PARA_JOB : u8 {
    SEND_PARA_JOB_NONE = 0,
    SEND_PARA_JOB_SMART_MAPPING = 1,
    SEND_PARA_JOB_LOAD_SCAN = 2,
    SEND_PARA_JOB_SAVE_PARA = 3,
    SEND_PARA_JOB_MAPPING_ENABLE = 4,
    SEND_PARA_JOB_RECOVERY_QUERY = 5,
    SEND_PARA_JOB_RECOVERY_RUN = 6,
};

// Aligned so that the job word can be stored in one piece.
alignas(4) extern SEND_PARA g_send_para;

// Posts a job: job code and step 0 in one 16-bit store, so the pass never sees the new
// job with an old step.
void send_para_post(u8 job);
// Sets job and step in one 16-bit store.
void send_para_set_job_step(u8 job, u8 step);
// The job byte as the pass reads it once per pass.
u8 send_para_job();
// Every field 0, as at program start.
void send_para_clear();

// The smart-mapping wizard's values: the cabinet grid of one output port and how the
// cable runs through it. Written by the wizard on the GUI thread, read by the smart-mapping
// job on the FPGA thread.
struct LINE_TYPE {
    std::atomic<u16> box_width;   // 0: W, cabinet width in pixels
    std::atomic<u16> box_height;  // 2: H
    std::atomic<u16> h_offset;    // 4: added to every x
    std::atomic<u16> v_offset;    // 6: added to every y
    std::atomic<u8> net_port;     // 8: output port of the job
    std::atomic<u8> box_rows;     // 9: R
    std::atomic<u8> box_columns;  // 10: N
    std::atomic<u8> route_way;    // 11: routing pattern 1..16
};
static_assert(sizeof(LINE_TYPE) == 12, "the wizard block is 12 bytes");
static_assert(offsetof(LINE_TYPE, net_port) == 8, "port at byte 8");
static_assert(offsetof(LINE_TYPE, route_way) == 11, "routing pattern at byte 11");

extern LINE_TYPE line_type;

// Progress of a job for the screen that posted it: 0..99 move its round bar, 100 closes
// it. The screen connects its sig_qround_bar_update(int) while it exists; without a
// connection the values go nowhere. Called on the FPGA thread.
enum class CardJobScreen : u8 {
    SmartMapping,  // jobs 1, 2, 3 and 4
    RcvRecovery,   // jobs 5 and 6
};
using CardJobProgress = std::function<void(int)>;
// An empty function disconnects.
void card_job_progress_connect(CardJobScreen screen, CardJobProgress progress);
void card_job_progress(CardJobScreen screen, int value);
