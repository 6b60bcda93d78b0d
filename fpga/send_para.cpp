#include "fpga/send_para.h"

#include <mutex>

#include "fpga/fpga_manage.h"

alignas(4) SEND_PARA g_send_para = {};
LINE_TYPE line_type = {};

namespace {

// Job and step seen as the one 16-bit word the screens store.
using job_word_t = u16 __attribute__((may_alias));

job_word_t* job_word() {
    return reinterpret_cast<job_word_t*>(&g_send_para);
}

std::mutex progress_mutex;
CardJobProgress progress_sinks[2];

}  // namespace

void send_para_set_job_step(u8 job, u8 step) {
    __atomic_store_n(job_word(), static_cast<u16>(job | step << 8), __ATOMIC_RELEASE);
}

void send_para_post(u8 job) {
    send_para_set_job_step(job, 0);
    fpga_manage::wake();
}

u8 send_para_job() {
    return g_send_para.job.load(std::memory_order_acquire);
}

void send_para_clear() {
    send_para_set_job_step(0, 0);
    SEND_PARA& p = g_send_para;
    for (std::atomic<u8>* byte :
         {&p.net_port, &p.packet_count, &p.packets_sent, &p.card_back, &p.screen_index,
          &p.net_index, &p.load_card, &p.operation_index, &p.load_step, &p.retry_count})
        byte->store(0);
    for (std::atomic<u16>* word : {&p.card_index, &p.card_num, &p.packet_len, &p.recovery_result})
        word->store(0);
    p.mapping_value = 0;
    p.send_ticks = 0;
}

void card_job_progress_connect(CardJobScreen screen, CardJobProgress progress) {
    std::lock_guard<std::mutex> lock(progress_mutex);
    progress_sinks[static_cast<u8>(screen)] = std::move(progress);
}

void card_job_progress(CardJobScreen screen, int value) {
    CardJobProgress sink;
    {
        std::lock_guard<std::mutex> lock(progress_mutex);
        sink = progress_sinks[static_cast<u8>(screen)];
    }
    if (sink)
        sink(value);
}
