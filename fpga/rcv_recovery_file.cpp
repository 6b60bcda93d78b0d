#include "fpga/rcv_recovery_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>

#include "board/board.h"
#include "core/global.h"
#include "core/le.h"
#include "core/utils.h"

namespace {

constexpr unsigned kPackedHeader = 4;
constexpr unsigned kScreenCountAt = 20;
constexpr unsigned kBlockRecords = 4;  // a block's records follow its count and 2 bytes
constexpr unsigned kNetsAt = 4;
constexpr u8 kMaxPacked = 6;

const char* const kRecoveryDir = "/data/rcvrecovery";
const char* const kScanDirs[] = {"/data/smartmapping", "/mnt/usb1"};

// Reads n bytes at offset of a device file into out, with the file lock held. False when
// the file cannot be opened or the bytes do not all lie inside it.
bool read_at(const QString& file, u64 offset, u8* out, size_t n) {
    std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
    const std::string path = board::path(file.toStdString());
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    struct stat st;
    bool ok = ::fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    const u64 size = ok ? static_cast<u64>(st.st_size) : 0;
    ok = ok && offset <= size && n <= size - offset &&
         std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out, 1, n, f) == n;
    std::fclose(f);
    return ok;
}

void trace(const char* what, const QString& file, u64 offset, unsigned n, bool ok) {
    if (debugOn())
        std::printf("\n %s: %u bytes at %#llx of %s%s\n", what, n,
                    static_cast<unsigned long long>(offset), file.toStdString().c_str(),
                    ok ? "" : " not read");
}

// A directory as the lists know it: without a trailing "/".
QString plain_dir(QString dir) {
    while (dir.size() > 1 && dir.endsWith('/'))
        dir.chop(1);
    return dir;
}

RCV_OPERATE_PARA decode_operation(const u8* b) {
    return {get_u32(b), get_u32(b + 4), get_u32(b + 8), get_u32(b + 12), b[16], b[17]};
}

void trace_operation(const RCV_OPERATE_PARA& op) {
    if (!debugOn())
        return;
    const bool type_known = (op.type >= RCV_OPERATE_WRITE && op.type <= RCV_OPERATE_SEARCH_RXC) ||
                            op.type == RCV_OPERATE_USER_REDEFINED;
    const bool target_known = op.target >= RCV_TARGET_RAM && op.target <= RCV_TARGET_FLASH;
    std::printf("\n operate offset=%#x len=%u addr=%#x time=%u type=%u%s target=%u%s\n", op.offset,
                op.dataLen, op.targetAddr, op.timeticks, op.type,
                type_known ? "" : " (operation error)", op.target,
                target_known ? "" : " (target error)");
}

}  // namespace

SharedPath g_yqfile_name;

rcvRecovery::rcvRecovery() = default;

rcvRecovery::~rcvRecovery() = default;

int rcvRecovery::check_file_dir(QString dir) {
    const std::string device = dir.toStdString();
    if (Utils::isDirExists(device)) {
        if (debugOn())
            std::printf("\n %s exists !/n", device.c_str());
        return 0;
    }
    return Utils::makeDir(device) ? 1 : 0;
}

int rcvRecovery::get_dir_file(QString dir) {
    const QString which = plain_dir(dir);
    std::error_code ec;
    const std::filesystem::path path = board::path(which.toStdString());
    if (!std::filesystem::is_directory(path, ec))
        return 1;
    QStringList names;
    for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && name[0] != '.' && entry.is_regular_file(ec))
            names << QString::fromStdString(name);
    }
    std::lock_guard<std::mutex> lock(list_mutex);
    if (which == kRecoveryDir)
        recovery_list = names;
    else if (which == kScanDirs[0] || which == kScanDirs[1])
        scan_list = names;
    return 0;
}

QStringList rcvRecovery::recovery_files() const {
    std::lock_guard<std::mutex> lock(list_mutex);
    return recovery_list;
}

QStringList rcvRecovery::scan_files() const {
    std::lock_guard<std::mutex> lock(list_mutex);
    return scan_list;
}

void rcvRecovery::clear_recovery_files() {
    std::lock_guard<std::mutex> lock(list_mutex);
    recovery_list.clear();
}

void rcvRecovery::clear_scan_files() {
    std::lock_guard<std::mutex> lock(list_mutex);
    scan_list.clear();
}

void rcvRecovery::init_para() {
    screen_info.rcv_para_offset = 0;
    screen_info.rcv_para_len = 0;
    screen_info.rcv_xy_offset = 0;
    screen_info.rcv_xy_len = 0;
}

bool rcvRecovery::packed_base(u8 type, u32* base) const {
    bool found = false;
    const unsigned n = packed_num() < kPackedSlots ? packed_num() : kPackedSlots;
    for (unsigned i = 0; i < n; ++i) {
        if (packed_info[i].file_type != type)
            continue;
        if (base)
            *base = packed_info[i].offset;
        found = true;
    }
    return found;
}

u32 rcvRecovery::base_of(u8 type) const {
    u32 base = 0;
    packed_base(type, &base);
    return base;
}

int rcvRecovery::get_rcvPackedFileNum(QString file) {
    u8 b[kPackedHeader];
    const bool ok = read_at(file, 0, b, sizeof b) && b[3] <= kMaxPacked;
    trace("package header", file, 0, sizeof b, ok);
    if (!ok)
        return 1;
    std::copy(b, b + sizeof b, packed_header);
    return 0;
}

int rcvRecovery::get_rcvPackedFileInfo(QString file, unsigned char i) {
    if (i >= packed_num() || i >= kPackedSlots)
        return 1;
    const u64 at = kPackedHeader + u64{RCV_PACKED_FILE_INFO::kSize} * i;
    u8 b[RCV_PACKED_FILE_INFO::kSize];
    const bool ok = read_at(file, at, b, sizeof b);
    trace("packed file entry", file, at, sizeof b, ok);
    if (!ok)
        return 1;
    packed_info[i] = {b[0], get_u32(b + 4), get_u32(b + 8)};
    if (debugOn())
        std::printf("\n packed file %u: type %u, length %u, offset %#x\n", i, b[0],
                    packed_info[i].length, packed_info[i].offset);
    return 0;
}

int rcvRecovery::update_rcvScreenHead(QString file) {
    const u64 at = base_of(RCV_PACKED_SCREEN);
    u8 b[RCV_SCREEN_HEAD::kSize];
    const bool ok = read_at(file, at, b, sizeof b);
    trace("screen head", file, at, sizeof b, ok);
    if (!ok)
        return 1;
    screen_head = {
        b[2], get_u32(b + 4), get_u32(b + 8), get_u32(b + 12), get_u32(b + 16), b[kScreenCountAt]};
    return 0;
}

int rcvRecovery::update_rcvScreenIDinfo(QString file, unsigned char s) {
    if (s >= screen_head.screen_num)
        return 1;
    const u64 at = u64{base_of(RCV_PACKED_SCREEN)} + RCV_SCREEN_HEAD::kSize +
                   u64{RCV_SCREEN_ID_INFO::kSize} * s;
    u8 b[RCV_SCREEN_ID_INFO::kSize];
    const bool ok = read_at(file, at, b, sizeof b);
    trace("screen entry", file, at, sizeof b, ok);
    if (!ok)
        return 1;
    screen_info = {get_u32(b),      get_u32(b + 4),  get_u32(b + 36),
                   get_u32(b + 40), get_u32(b + 44), get_u32(b + 48)};
    return 0;
}

int rcvRecovery::update_rcvXYHead(QString file) {
    const u64 at = base_of(RCV_PACKED_XY);
    u8 b[kHeadSize];
    const bool ok = read_at(file, at, b, sizeof b);
    trace("XY head", file, at, sizeof b, ok);
    if (!ok)
        return 1;
    std::copy(b, b + sizeof b, xy_head);
    return 0;
}

int rcvRecovery::update_rcvXYscreenNetnum(QString file) {
    const u64 at = u64{base_of(RCV_PACKED_XY)} + screen_info.rcv_xy_offset;
    u8 b[2];
    const bool ok = read_at(file, at, b, sizeof b);
    trace("net count", file, at, sizeof b, ok);
    if (!ok)
        return 1;
    screen_net_num = get_u16(b);
    return 0;
}

int rcvRecovery::update_rcvXYscreenNetpara(QString file, unsigned char n) {
    if (n >= screen_net_num)
        return 1;
    const u64 at = u64{base_of(RCV_PACKED_XY)} + screen_info.rcv_xy_offset + kNetsAt +
                   u64{RCV_XY_NET_PARA::kSize} * n;
    u8 b[RCV_XY_NET_PARA::kSize];
    const bool ok = read_at(file, at, b, sizeof b);
    trace("net entry", file, at, sizeof b, ok);
    if (!ok)
        return 1;
    net_para = {get_u16(b), get_u16(b + 2), get_u32(b + 4), get_u32(b + 8)};
    return 0;
}

u64 rcvRecovery::card_blocks_at() const {
    return u64{base_of(RCV_PACKED_XY)} + screen_info.rcv_xy_offset + net_para.net_para_offset;
}

u64 rcvRecovery::smart_block_at(bool smart) const {
    return smart ? u64{kStandAloneBlock}
                 : u64{base_of(RCV_PACKED_SMART)} + screen_info.rcv_para_offset;
}

int rcvRecovery::update_rcvXYrcvOperateTimes(QString file, unsigned char c, bool smart) {
    if (smart || c >= net_para.net_rcv_num)
        return 1;
    const u64 blocks = card_blocks_at();
    u64 running = 0;
    u8 b[2];
    for (unsigned card = 0;; ++card) {
        const bool ok = read_at(file, blocks + running, b, sizeof b);
        trace("card operations", file, blocks + running, sizeof b, ok);
        if (!ok)
            return 1;
        if (card == c)
            break;
        running += kBlockRecords + u64{RCV_OPERATE_PARA::kSize} * get_u16(b);
    }
    operate_times = get_u16(b);
    card_block_offset = static_cast<u32>(running);
    return 0;
}

int rcvRecovery::update_rcvXYrcvOperatepara(QString file, unsigned char r, bool smart) {
    if (smart || r >= operate_times)
        return 1;
    const u64 at =
        card_blocks_at() + card_block_offset + kBlockRecords + u64{RCV_OPERATE_PARA::kSize} * r;
    u8 b[RCV_OPERATE_PARA::kSize];
    const bool ok = read_at(file, at, b, sizeof b);
    trace("card operation", file, at, sizeof b, ok);
    if (!ok)
        return 1;
    operate_para = decode_operation(b);
    trace_operation(operate_para);
    return 0;
}

int rcvRecovery::update_smartDebugingHead(QString file) {
    u8 b[kHeadSize];
    const bool ok = read_at(file, 0, b, sizeof b);
    trace("smart-debugging head", file, 0, sizeof b, ok);
    if (!ok)
        return 1;
    std::copy(b, b + sizeof b, smart_head);
    return 0;
}

int rcvRecovery::update_smartDebugingOperateTimes(QString file, bool smart) {
    const u64 at = smart_block_at(smart);
    u8 b[2];
    const bool ok = read_at(file, at, b, sizeof b);
    trace("smart-debugging operations", file, at, sizeof b, ok);
    if (!ok)
        return 1;
    operate_times = get_u16(b);
    card_block_offset = 0;
    return 0;
}

int rcvRecovery::update_smartDebugingOperatepara(QString file, unsigned char r, bool smart) {
    if (r >= operate_times)
        return 1;
    const u64 at = smart_block_at(smart) + kBlockRecords + u64{RCV_OPERATE_PARA::kSize} * r;
    u8 b[RCV_OPERATE_PARA::kSize];
    const bool ok = read_at(file, at, b, sizeof b);
    trace("smart-debugging operation", file, at, sizeof b, ok);
    if (!ok)
        return 1;
    operate_para = decode_operation(b);
    trace_operation(operate_para);
    return 0;
}

int rcvRecovery::update_rcvOperatedata(QString file, unsigned int offset, unsigned char* buf,
                                       unsigned short n) {
    if (!buf && n)
        return 1;
    const bool ok = n == 0 || read_at(file, offset, buf, n);
    trace("operation data", file, offset, n, ok);
    return ok ? 0 : 1;
}

int rcvRecovery::update_rcvDealData(QString file, unsigned char* buf, unsigned int capacity,
                                    unsigned int* length) {
    const u32 n = operate_para.dataLen;
    if (!buf || !length || n > capacity)
        return 1;
    const bool ok = n == 0 || read_at(file, operate_data_offset, buf, n);
    trace("operation data", file, operate_data_offset, n, ok);
    if (!ok)
        return 1;
    *length = n;
    return 0;
}
