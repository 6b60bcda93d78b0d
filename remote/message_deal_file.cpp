// File transfer and file deletion of the protocol handler.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>

#include "board/board.h"
#include "core/global.h"
#include "core/utils.h"
#include "remote/file_notice.h"
#include "remote/md5.h"
#include "remote/message_deal.h"
#include "remote/message_deal_reply.h"
#include "remote/phydata.h"

namespace fs = std::filesystem;

namespace {

// Start: type (1), length (4), MD5 of the whole file (16).
constexpr unsigned kStartPayload = 21;
// Data: offset (4), count (2), then the bytes.
constexpr unsigned kDataHeader = 6;
constexpr unsigned kMaxName = 64;

struct FileKind {
    u8 type;
    const char* folder;
    const char* name;  // the name a transferred file is stored under
    FileNotice written;
    FileNotice deleted;
};

constexpr FileKind kKinds[] = {
    {message_deal::kFileRecovery, "/data/rcvrecovery", "YQFX", FileNotice::RecoveryWritten,
     FileNotice::RecoveryDeleted},
    {message_deal::kFileScan, "/data/smartmapping", "YQFR", FileNotice::ScanWritten,
     FileNotice::ScanDeleted},
};

const FileKind* kind_of(u8 type) {
    for (const FileKind& k : kKinds) {
        if (k.type == type)
            return &k;
    }
    return nullptr;
}

// A plain name inside its folder: printable ASCII, no separator, no "..".
bool plain_name(const std::string& name) {
    if (name.empty() || name.size() > kMaxName || name.find("..") != std::string::npos)
        return false;
    for (char c : name) {
        if (c < 0x20 || c > 0x7E || c == '/' || c == '\\')
            return false;
    }
    return true;
}

bool regular_file(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(p, ec));
}

// Removes the named file of the folder, or every regular file of it for an empty name.
// Returns the number removed, or -1 when a named file is not there.
int remove_files(const std::string& folder, const std::string& name) {
    fs::path dir = board::path(folder);
    std::error_code ec;
    if (!name.empty()) {
        fs::path file = dir / name;
        if (!regular_file(file) || !fs::remove(file, ec))
            return -1;
        return 1;
    }
    int removed = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        if (regular_file(e.path()) && fs::remove(e.path(), ec))
            ++removed;
    }
    return removed;
}

}  // namespace

void message_deal::file_start(const u8* frame, unsigned length, Reply& r) {
    if (length != PhyData_Type::kMinSize + kStartPayload)
        return r.fail();
    const u8* p = frame + PhyData_Type::kPayload;
    const FileKind* kind = kind_of(p[0]);
    u32 size = get_u32(p + 1);
    // While the USB installer works it owns the file buffer.
    if (!kind || size == 0 || size > KrxFileDeal::kBufferSize || g_usb_grade != 0)
        return r.fail();
    if (!file_buffer_claim(buffer_user())) {
        if (debugOn())
            printf("\n file transfer refused: another transfer runs\n");
        return r.fail();
    }
    std::lock_guard<std::mutex> lock(g_krx_file_deal_mutex);
    KrxFileDeal& f = g_krx_file_deal_para;
    f.file_type = kind->type;
    f.file_len = size;
    f.received = 0;
    f.stamp = G_timeTicks;
    memcpy(f.md5, p + 5, sizeof f.md5);
    snprintf(f.path, sizeof f.path, "%s/%s", kind->folder, kind->name);
}

void message_deal::file_data(const u8* frame, unsigned length, Reply& r) {
    r.echo(frame, length, kDataHeader);
    if (length < PhyData_Type::kMinSize + kDataHeader)
        return r.fail();
    const u8* p = frame + PhyData_Type::kPayload;
    u32 offset = get_u32(p);
    u16 count = get_u16(p + 4);
    if (count > kMaxData || length != PhyData_Type::kMinSize + kDataHeader + count)
        return r.fail();
    std::lock_guard<std::mutex> lock(g_krx_file_deal_mutex);
    KrxFileDeal& f = g_krx_file_deal_para;
    // Chunks arrive in order; a chunk sent again is taken again, a gap is refused.
    if (f.owner != buffer_user() || offset > f.received || count > f.file_len - offset)
        return r.fail();
    memcpy(fileBuf_velmo + offset, p + kDataHeader, count);
    f.received = std::max(f.received, offset + count);
    f.stamp = G_timeTicks;
}

void message_deal::file_end(unsigned length, Reply& r) {
    if (length != PhyData_Type::kMinSize)
        return r.fail();
    KrxFileDeal f;
    {
        std::lock_guard<std::mutex> lock(g_krx_file_deal_mutex);
        if (g_krx_file_deal_para.owner != buffer_user())
            return r.fail();
        g_krx_file_deal_para.stamp = G_timeTicks;
        f = g_krx_file_deal_para;
    }
    // The buffer stays ours until it is released below.
    bool complete = f.received == f.file_len &&
                    memcmp(MD5::of(fileBuf_velmo, f.file_len).data(), f.md5, sizeof f.md5) == 0;
    bool written = false;
    if (complete) {
        const FileKind* kind = kind_of(f.file_type);
        std::error_code ec;
        fs::create_directories(board::path(kind->folder), ec);
        Utils::_file_deal_mutex.lock();
        written = Utils::writeFileAtomic(f.path, fileBuf_velmo, f.file_len);
        Utils::_file_deal_mutex.unlock();
        Utils::system_mutex("sync");
    }
    file_buffer_release(buffer_user());
    if (debugOn())
        printf("\n file %s: %s\n", f.path,
               written    ? "written"
               : complete ? "write failed"
                          : "incomplete or damaged");
    if (!written)
        return r.fail();
    write_file_end(&f.file_type);
}

void message_deal::file_delete(const u8* frame, unsigned length, Reply& r) {
    if (length < PhyData_Type::kMinSize + 1)
        return r.fail();
    unsigned payload = length - PhyData_Type::kMinSize;
    const u8* p = frame + PhyData_Type::kPayload;
    // The name ends at the frame's end or at a NUL, whichever comes first.
    unsigned name_length =
        static_cast<unsigned>(strnlen(reinterpret_cast<const char*>(p + 1), payload - 1));
    if (name_length > kMaxName)
        return r.fail();
    unsigned char request[kMaxName + 2] = {};
    request[0] = p[0];
    memcpy(request + 1, p + 1, name_length);
    r.ok(delete_file_name(request) == 0);
}

int message_deal::write_file_end(unsigned char* file_type) {
    const FileKind* kind = kind_of(*file_type);
    if (!kind)
        return 1;
    post_file_notice(kind->written);
    return 0;
}

int message_deal::delete_file_name(unsigned char* request) {
    const FileKind* kind = kind_of(request[0]);
    std::string name(reinterpret_cast<const char*>(request + 1));
    if (!kind || (!name.empty() && !plain_name(name)))
        return 1;
    Utils::_file_deal_mutex.lock();
    int removed = remove_files(kind->folder, name);
    Utils::_file_deal_mutex.unlock();
    Utils::system_mutex("sync");
    if (debugOn())
        printf("\n %d file(s) removed from %s\n", removed, kind->folder);
    if (removed > 0)
        post_file_notice(kind->deleted);
    return removed < 0 ? 1 : 0;
}
