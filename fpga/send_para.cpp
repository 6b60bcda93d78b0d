#include "fpga/send_para.h"

#include <cstring>

alignas(4) SEND_PARA g_send_para = {};

namespace {

// Job and step, the block's first two bytes, as one word: g_send_para is aligned for it.
u16* job_word() {
    static_assert(offsetof(SEND_PARA, job) == 0 && offsetof(SEND_PARA, step) == 1,
                  "job and step open the block");
    return static_cast<u16*>(static_cast<void*>(&g_send_para));
}

}  // namespace

void send_para_set_job_step(u8 job, u8 step) {
    // Laid out byte by byte, so that job lands on byte 0 whatever the byte order.
    const u8 bytes[2] = {job, step};
    u16 word;
    std::memcpy(&word, bytes, sizeof word);
    __atomic_store_n(job_word(), word, __ATOMIC_RELEASE);
}

void send_para_post(u8 job) {
    send_para_set_job_step(job, 0);
}

u8 send_para_job() {
    return __atomic_load_n(&g_send_para.job, __ATOMIC_ACQUIRE);
}
