#include "remote/krx_file_deal.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/global.h"
#include "core/utils.h"

KrxFileDeal g_krx_file_deal_para = {};
std::mutex g_krx_file_deal_mutex;

namespace {

bool remote(FileBufferUser who) {
    return who != FileBufferUser::None && who != FileBufferUser::Installer;
}

}  // namespace

bool file_buffer_claim(FileBufferUser who) {
    std::lock_guard<std::mutex> lock(g_krx_file_deal_mutex);
    KrxFileDeal& f = g_krx_file_deal_para;
    bool free = f.owner == FileBufferUser::None || f.owner == who;
    bool stale = remote(f.owner) && Utils::getTimeSpace(f.stamp) > KrxFileDeal::kStaleTicks;
    if (!free && !stale)
        return false;
    if (!free && debugOn())
        printf("\n file transfer of transport %d abandoned\n", static_cast<int>(f.owner));
    memset(&f, 0, sizeof f);
    f.owner = who;
    f.stamp = G_timeTicks;
    return true;
}

void file_buffer_release(FileBufferUser who) {
    std::lock_guard<std::mutex> lock(g_krx_file_deal_mutex);
    if (g_krx_file_deal_para.owner == who)
        memset(&g_krx_file_deal_para, 0, sizeof g_krx_file_deal_para);
}

FileBufferUser file_buffer_owner() {
    std::lock_guard<std::mutex> lock(g_krx_file_deal_mutex);
    return g_krx_file_deal_para.owner;
}
