#include "fpga/upgrade_package.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <mutex>
#include <string>

#include "board/board.h"
#include "core/global.h"
#include "core/le.h"
#include "core/utils.h"

namespace upgrade {

namespace {

const char kStickRoot[] = "/mnt/usb1/";

// Opens a device file for one read; null when it is not a regular file that opens.
std::FILE* open_regular(const QString& devicePath, u64* size) {
    const std::string file = board::path(devicePath.toStdString());
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f)
        return nullptr;
    struct stat st;
    if (::fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        return nullptr;
    }
    *size = static_cast<u64>(st.st_size);
    return f;
}

}  // namespace

UPGRADE_FILE_HEAD parse_file_head(const u8* b) {
    return {b[0], b[1], b[2], get_u16(b + 18), get_u16(b + 47)};
}

UPGRADE_CHILD_HEAD parse_child_head(const u8* b) {
    UPGRADE_CHILD_HEAD child{};
    child.file_type = b[0];
    child.file_len = get_u32(b + 1);
    child.file_offset = get_u32(b + 5);
    for (int i = 0; i < 6; ++i)
        child.Version[i] = b[9 + i];
    child.File_Flashaddr = get_u32(b + 15);
    child.SecNum = get_u16(b + 19);
    return child;
}

FPGA_IMAGE_HEAD parse_fpga_image_head(const u8* b) {
    FPGA_IMAGE_HEAD image{};
    image.file_type = b[16];
    image.file_version = b[17];
    image.ControllerClass = get_u16(b + 18);
    image.ControllerClcass = b[20];
    for (int i = 0; i < 4; ++i)
        image.Version[i] = b[23 + i];
    image.file_len = get_u32(b + 31);
    return image;
}

QString package_folder() {
    if (g_usb_grade_path == " ")
        return kStickRoot;
    return kStickRoot + g_usb_grade_path;
}

bool is_package_name(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix();
    return suffix == "KRX" || suffix == "KRXZK";
}

QStringList package_files() {
    const QString folder = package_folder();
    QDir dir(QString::fromStdString(board::path(folder.toStdString())));
    const QString base = folder.endsWith('/') ? folder : folder + '/';
    QStringList files;
    // By name, so that the panel lists and the installer installs in the same, repeatable
    // order; the directory's own order is whatever the file system keeps.
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name))
        if (is_package_name(entry.fileName()))
            files.append(base + entry.fileName());
    return files;
}

UpgradePackage::UpgradePackage(const QString& devicePath) : path_(devicePath) {}

bool UpgradePackage::fail(const QString& why) {
    reason_ = why;
    return false;
}

bool UpgradePackage::load() {
    {
        std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
        std::FILE* f = open_regular(path_, &size_);
        if (!f)
            return fail("cannot be opened");
        std::fclose(f);
    }
    u8 head[kPackageHeadSize];
    if (!holds(0, kPackageHeadSize) || !read(0, head, kPackageHeadSize))
        return fail("package head incomplete");
    head_ = parse_file_head(head);
    const u64 table = static_cast<u64>(head_.FileNum) * kChildHeadSize;
    if (!holds(kPackageHeadSize, table))
        return fail(QString("%1 child heads announced, the file holds %2")
                        .arg(head_.FileNum)
                        .arg((size_ - kPackageHeadSize) / kChildHeadSize));
    std::vector<u8> heads(static_cast<size_t>(table));
    if (table && !read(kPackageHeadSize, heads.data(), static_cast<u32>(table)))
        return fail("child heads unreadable");
    children_.clear();
    for (u32 k = 0; k < head_.FileNum; ++k)
        children_.push_back(parse_child_head(heads.data() + k * kChildHeadSize));
    return true;
}

bool UpgradePackage::holds(u64 offset, u64 n) const {
    return offset <= size_ && n <= size_ - offset;
}

bool UpgradePackage::read(u64 offset, u8* out, u32 n) const {
    std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
    u64 size = 0;
    std::FILE* f = open_regular(path_, &size);
    if (!f)
        return false;
    const bool ok = offset <= size && n <= size - offset &&
                    fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0 &&
                    std::fread(out, 1, n, f) == n;
    std::fclose(f);
    return ok;
}

}  // namespace upgrade
