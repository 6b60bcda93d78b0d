// The job block through which the screens hand long receiving-card jobs to the FPGA
// thread. It is exchanged between threads as raw memory by byte position: a screen posts
// a job by storing job and step 0 together as one 16-bit store, the FPGA pass reads the
// job byte once per pass.
#pragma once

#include <cstddef>

#include "core/types.h"

#pragma pack(push, 1)
struct SEND_PARA {
    u8 job;               // 0: SEND_PARA_JOB
    u8 step;              // 1
    u8 net_port;          // 2
    u8 packet_count;      // 3: packets of the current load operation
    u8 packets_sent;      // 4
    u8 reserved5;         // 5
    u8 card_back;         // 6: a card answered the last set-up packet
    u8 reserved7;         // 7
    u16 card_index;       // 8
    u16 card_num;         // 10
    u16 packet_len;       // 12
    u8 reserved14[2];     // 14
    u32 mapping_value;    // 16: 9 mapping on, 0 off
    u32 send_ticks;       // 20
    u8 screen_index;      // 24
    u8 net_index;         // 25
    u8 load_card;         // 26
    u8 operation_index;   // 27
    u8 load_step;         // 28
    u8 reserved29;        // 29
    u16 recovery_result;  // 30
    u8 retry_count;       // 32
    u8 reserved33[3];     // 33
};
#pragma pack(pop)
static_assert(sizeof(SEND_PARA) == 36, "the job block is 36 bytes");
static_assert(offsetof(SEND_PARA, send_ticks) == 20, "tick stamp at byte 20");
static_assert(offsetof(SEND_PARA, recovery_result) == 30, "result word at byte 30");

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
