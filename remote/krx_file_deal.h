// State of a remote file transfer, and the ownership of the shared 5 MiB file buffer
// fileBuf_velmo.
//
// The buffer has one owner at a time: a remote transfer (by the transport that started
// it) or the USB installer. Whoever does not own it must not touch it; a transfer that
// cannot get it is refused.
#pragma once

#include <mutex>

#include "core/types.h"

enum class FileBufferUser : u8 {
    None = 0,
    Serial = 1,  // the transports, by their number in g_passby_trans_port
    Tcp = 2,
    Udp = 3,
    Modem4G = 4,
    Installer = 10,  // the USB upgrade installer
};

struct KrxFileDeal {
    static constexpr u32 kBufferSize = 5242880;
    // A transfer that has seen no frame for this many ticks gives the buffer up to another
    // transport's transfer.
    static constexpr u32 kStaleTicks = 3000;

    FileBufferUser owner;  // None while no transfer runs
    u8 file_type;          // 9 recovery package, 13 scan-parameter file
    u32 file_len;          // announced length
    u32 received;          // bytes received so far, in order
    u32 stamp;             // G_timeTicks of the transfer's last frame
    u8 md5[16];            // announced digest of the whole file
    char path[64];         // device path the file goes to
};

extern KrxFileDeal g_krx_file_deal_para;
// Guards g_krx_file_deal_para and the ownership of fileBuf_velmo.
extern std::mutex g_krx_file_deal_mutex;

// Takes the file buffer for who; false when another user holds it. A remote transfer that
// has gone stale is dropped in favour of the new user.
bool file_buffer_claim(FileBufferUser who);
// Gives the buffer back when who holds it.
void file_buffer_release(FileBufferUser who);
FileBufferUser file_buffer_owner();
