#include "fpga/send_para.h"

alignas(4) SEND_PARA g_send_para = {};

namespace {

u16* job_word() {
    return reinterpret_cast<u16*>(&g_send_para);
}

}  // namespace

void send_para_set_job_step(u8 job, u8 step) {
    __atomic_store_n(job_word(), static_cast<u16>(job | step << 8), __ATOMIC_RELEASE);
}

void send_para_post(u8 job) {
    send_para_set_job_step(job, 0);
}

u8 send_para_job() {
    return __atomic_load_n(&g_send_para.job, __ATOMIC_ACQUIRE);
}
