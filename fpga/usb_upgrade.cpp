// The USB-stick upgrade that the FPGA thread runs instead of its normal pass while
// g_usb_grade is set: every package of the stick's upgrade folder is installed, child by
// child.
//
// A package is checked whole before any of it is written: its heads must lie inside the
// file, and every child it would install must fit where it goes (the buffer, the FPGA
// flash before the controller's records, its font set's region). A package that fails a
// check is refused and reported, and nothing of it is written. Every write is read back.
// A refused package or a failed write fails the upgrade: the new application is not moved
// into place and no reboot follows; the panel shows the failure.
#include <unistd.h>

#include <QDir>
#include <QSettings>
#include <mutex>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "board/board.h"
#include "core/app_version.h"
#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/le.h"
#include "core/utils.h"
#include "fpga/fpga_drv.h"
#include "fpga/fpga_hooks.h"
#include "fpga/fpga_manage.h"
#include "fpga/upgrade_package.h"
#include "video/c331_manage.h"

using upgrade::UPGRADE_CHILD_HEAD;
using upgrade::UpgradePackage;

namespace {

const char kNewApplication[] = "/data/app/krxT47N2";
const char kAppFolder[] = "/data/app";
constexpr u32 kSector = 4096;
constexpr u32 kSectorsPerBlock = 8;  // of the 32 KiB block erase
constexpr u32 kBlock = kSector * kSectorsPerBlock;
constexpr u32 kCompareBlock = 1024;
// Font-presence bits of reg_para byte 43: every set present.
constexpr u8 kAllFonts = 0x3F;

// A font set's place in the video processor's serial flash, and the room it has up to
// the next thing stored there. The room of the 64-pixel Chinese set ends at the sector
// that holds the start of the OSD bitmap (0xED9800).
struct FontRegion {
    u8 encoding;
    u8 height;
    u32 address;
    u32 room;
};
constexpr FontRegion kFontRegions[] = {
    {1, 32, 0x000000, 0x010000},
    {0, 32, 0x010000, 0x400000},
    {1, 64, 0x410000, 0x040000},
    {0, 64, 0x450000, 0xED9000 - 0x450000},
};

u32 now() {
    return G_timeTicks;
}

u64 round_to_sector(u64 n) {
    return (n + kSector - 1) / kSector * kSector;
}

int from_bcd(u8 value) {
    return (value >> 4) * 10 + (value & 0x0F);
}

// The numbers a package gives for this program: year, month, day, hardware, software,
// function.
bool is_running_application(const u8* version) {
    using namespace app_version;
    const int mine[6] = {from_bcd(static_cast<u8>(year & 0xFF)),
                         from_bcd(month),
                         from_bcd(day),
                         major,
                         minor,
                         patch};
    for (int i = 0; i < 6; ++i)
        if (version[i] != mine[i])
            return false;
    return true;
}

// FPGA registers 31, 30, 29 hold the image's year, month and day in BCD, 28 its function.
bool is_running_fpga_image(u8 fpga, const u8* version) {
    std::atomic<u8>* reg = fpga_manage::MCU_REG_func[fpga];
    return from_bcd(reg[31].load()) == version[0] && from_bcd(reg[30].load()) == version[1] &&
           from_bcd(reg[29].load()) == version[2] && reg[28].load() == version[5];
}

QString time_of_day(const TimeRealType& t) {
    return QString("%1:%2:%3").arg(t.hour).arg(t.minute).arg(t.second);
}

QString file_name(const QString& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

void trace_package(const UpgradePackage& package) {
    if (!debugOn())
        return;
    const upgrade::UPGRADE_FILE_HEAD& head = package.head();
    std::printf("\n FileType = %#x ,FileVersion = %#x ,PublishType = %#x\n", head.FileType,
                head.FileVersion, head.PublishType);
    std::printf("\n ControllerType = %#x ,FileNum = %u\n", head.ControllerType, head.FileNum);
    for (const UPGRADE_CHILD_HEAD& child : package.children())
        std::printf(
            "\n file_type = %u ,file_len = %#x ,file_offset = %#x ,Version = "
            "%u-%u-%u %u.%u.%u ,File_Flashaddr = %#x ,SecNum = %u\n",
            child.file_type, child.file_len, child.file_offset, child.Version[0], child.Version[1],
            child.Version[2], child.Version[3], child.Version[4], child.Version[5],
            child.File_Flashaddr, child.SecNum);
}

void trace_image_head(const upgrade::FPGA_IMAGE_HEAD& image) {
    if (!debugOn())
        return;
    std::printf("\n file_type = %#x (1-FCG,2-ACG)\n", image.file_type);
    std::printf("\n file_version = %#x ,ControllerClass = %#x\n", image.file_version,
                image.ControllerClass);
    std::printf("\n ControllerClcass = %#x (0-sending,1-receiving,2-multifunction)\n",
                image.ControllerClcass);
    std::printf("\n Version = %u.%u.%u.%u ,file_len = %#x\n", image.Version[0], image.Version[1],
                image.Version[2], image.Version[3], image.file_len);
}

// Whether the file holds exactly these bytes, compared in 1 KiB blocks.
bool reads_back(const std::string& file, const u8* data, u32 length) {
    std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
    std::FILE* in = std::fopen(file.c_str(), "rb");
    if (!in)
        return false;
    bool same = true;
    u8 block[kCompareBlock];
    for (u32 at = 0; same && at < length; at += kCompareBlock) {
        const u32 n = std::min(kCompareBlock, length - at);
        same = std::fread(block, 1, n, in) == n && std::memcmp(block, data + at, n) == 0;
        if (!same && debugOn())
            std::printf(n == kCompareBlock ? "\n read app found comare 01!!!!!! "
                                           : "\n read app found comare 02!!!!!! ");
    }
    same = same && std::fgetc(in) == EOF;
    std::fclose(in);
    return same;
}

// What the installer does with one child.
struct Install {
    enum Kind { Skip, Application, FpgaImage, Font, Refuse } kind = Skip;
    u32 offset = 0;
    u32 length = 0;
    u8 fpga = 0;      // FpgaImage
    u32 address = 0;  // Font: where it goes in the serial flash
    QString reason;   // Refuse
};

Install refuse(const QString& reason) {
    Install install;
    install.kind = Install::Refuse;
    install.reason = reason;
    return install;
}

Install application_child(const UpgradePackage& package, const UPGRADE_CHILD_HEAD& child) {
    Install install;
    if (package.head().ControllerType != upgrade::kControllerType)
        return install;
    if (package.head().PublishType == upgrade::kPublishChangedOnly &&
        is_running_application(child.Version))
        return install;
    if (child.file_len == 0)
        return refuse("application child is empty");
    if (child.file_len > fpga_manage::kUsbBufferSize)
        return refuse(QString("application child of %1 bytes is larger than the %2-byte buffer")
                          .arg(child.file_len)
                          .arg(fpga_manage::kUsbBufferSize));
    if (!package.holds(child.file_offset, child.file_len))
        return refuse("application child reaches past the end of the package");
    install.kind = Install::Application;
    install.offset = child.file_offset;
    install.length = child.file_len;
    return install;
}

Install fpga_child(const fpga_manage& manager, const UpgradePackage& package,
                   const UPGRADE_CHILD_HEAD& child) {
    Install install;
    const u8 fpga = child.file_type == upgrade::CHILD_FPGA0 ? 0 : 1;
    if (package.head().ControllerType != upgrade::kControllerType)
        return install;
    if (package.head().PublishType == upgrade::kPublishChangedOnly &&
        is_running_fpga_image(fpga, child.Version))
        return install;
    if (manager.flash_handle(fpga) < 0) {
        std::fprintf(stderr,
                     "USB upgrade: %s: the image of FPGA %d is skipped, its flash is not "
                     "opened on this device\n",
                     qPrintable(file_name(package.path())), fpga);
        return install;
    }
    u8 head[upgrade::kFpgaImageHeadSize];
    if (!package.holds(child.file_offset, sizeof head))
        return refuse(QString("FPGA %1 image head lies past the end of the package").arg(fpga));
    if (!package.read(child.file_offset, head, sizeof head))
        return refuse(QString("FPGA %1 image head cannot be read").arg(fpga));
    const upgrade::FPGA_IMAGE_HEAD image = upgrade::parse_fpga_image_head(head);
    trace_image_head(image);
    if (image.file_len == 0)
        return refuse(QString("FPGA %1 image is empty").arg(fpga));
    if (round_to_sector(image.file_len) > fpga_manage::kFpgaImageLimit)
        return refuse(QString("FPGA %1 image of %2 bytes would reach the records at 0x301000")
                          .arg(fpga)
                          .arg(image.file_len));
    if (!package.holds(u64{child.file_offset} + sizeof head, image.file_len))
        return refuse(QString("FPGA %1 image reaches past the end of the package").arg(fpga));
    install.kind = Install::FpgaImage;
    install.fpga = fpga;
    install.offset = child.file_offset;
    install.length = image.file_len;
    return install;
}

Install font_child(const UpgradePackage& package, const UPGRADE_CHILD_HEAD& child) {
    Install install;
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    const u8 present = store ? store->reg_para[KrxRamPara::kRegFontStatus] : 0;
    if ((present & kAllFonts) == kAllFonts)
        return install;
    u8 head[upgrade::kFontHeadSize];
    if (child.file_len < sizeof head || !package.holds(child.file_offset, child.file_len))
        return refuse("font child reaches past the end of the package or has no head");
    if (!package.read(child.file_offset, head, sizeof head))
        return refuse("font head cannot be read");
    const u8 encoding = head[upgrade::kFontEncodingByte];
    const u8 height = head[upgrade::kFontHeightByte];
    const FontRegion* region = nullptr;
    for (const FontRegion& r : kFontRegions)
        if (r.encoding == encoding && r.height == height)
            region = &r;
    if (debugOn())
        std::printf("\n osd flash_addr = %#x ,en_coding = %#x file_len = %#x\n",
                    region ? region->address : 0u, encoding, child.file_len);
    if (!region)
        return refuse(QString("font of encoding %1 and height %2 has no place in the flash")
                          .arg(encoding)
                          .arg(height));
    if (round_to_sector(child.file_len) > region->room)
        return refuse(QString("font of %1 bytes is longer than its set's %2 bytes")
                          .arg(child.file_len)
                          .arg(region->room));
    const c331_manage* video = c331_manage::p_c331_manage;
    if (!video || video->c331_fd < 0)
        return refuse("font child, but the video processor is not opened");
    install.kind = Install::Font;
    install.offset = child.file_offset;
    install.length = child.file_len;
    install.address = region->address;
    return install;
}

Install plan_child(const fpga_manage& manager, const UpgradePackage& package,
                   const UPGRADE_CHILD_HEAD& child) {
    switch (child.file_type) {
        case upgrade::CHILD_APPLICATION:
            return application_child(package, child);
        case upgrade::CHILD_FPGA0:
        case upgrade::CHILD_FPGA1:
            return fpga_child(manager, package, child);
        case upgrade::CHILD_OSD_FONT:
            return font_child(package, child);
        default:
            return Install();
    }
}

}  // namespace

void fpga_manage::usb_upgrade_manage_deal(void*) {
    // A new upgrade starts from its first step, whatever the last one left behind.
    if (!usb_active.exchange(true))
        usb_step = 0;
    usb_upgrade_deal();
}

void fpga_manage::usb_upgrade_deal() {
    switch (usb_step) {
        case 0:
            if (!g_update_flag && fpga_hooks().upgrade_started)
                fpga_hooks().upgrade_started();
            {
                std::lock_guard<std::mutex> lock(usb_mutex);
                usb_failed = false;
            }
            usb_time_append(true);
            g_update_flag = 1;
            usb_file_count = 0;
            usb_step = 1;
            break;
        case 1:
            get_usb_file_list_path();
            if (debugOn())
                std::printf("\n usb_updata_list = %d \n", usb_file_count);
            usb_step = 2;
            break;
        case 2:
            usb_upgrade_main_deal();
            usb_step = 3;
            break;
        case 3:
            usb_time_append(false);
            if (g_update_flag && fpga_hooks().upgrade_over)
                fpga_hooks().upgrade_over();
            if (KrxRamPara* store = KrxRamPara::p_krxrampara_config)
                store->test_signal(104);
            g_update_flag = 0;
            usb_step = 0;
            usb_active = false;
            g_usb_grade = 0;
            break;
        default:
            break;
    }
}

void fpga_manage::usb_time_append(bool start) {
    TimeRealType t{};
    IT8563WE_Get(&t);
    std::lock_guard<std::mutex> lock(usb_mutex);
    if (start)
        usb_time = time_of_day(t);
    else
        usb_time += "    " + time_of_day(t);
}

QString fpga_manage::usb_upgrade_time() const {
    std::lock_guard<std::mutex> lock(usb_mutex);
    return usb_time;
}

bool fpga_manage::usb_upgrade_failed() const {
    std::lock_guard<std::mutex> lock(usb_mutex);
    return usb_failed;
}

void fpga_manage::usb_fail(const QString& package, const QString& what) {
    std::fprintf(stderr, "USB upgrade: %s: %s\n", qPrintable(file_name(package)), qPrintable(what));
    std::lock_guard<std::mutex> lock(usb_mutex);
    usb_failed = true;
}

void fpga_manage::get_usb_file_list_path() {
    usb_file_list = upgrade::package_files();
    usb_file_count = usb_file_list.size();
    if (debugOn())
        for (const QString& path : usb_file_list)
            std::printf("\n usb upgrade file: %s\n", qPrintable(path));
}

void fpga_manage::usb_upgrade_main_deal() {
    if (usb_file_count == 0)
        return;
    downing_mcu = 0;
    downing_txc1 = 0;
    downing_txc2 = 0;
    downing_osd = 0;
    usb_buffer.assign(kUsbBufferSize + fpga_drv::kFlashWriteHeadroom, 0);
    for (const QString& path : usb_file_list)
        install_package(path);
    if (debugOn())
        std::printf("\n downing_mcu = %#x ,downing_txc1 = %#x ,downing_osd = %#x\n", downing_mcu,
                    downing_txc1, downing_osd);
    std::vector<u8>().swap(usb_buffer);
    if (downing_mcu && !usb_upgrade_failed()) {
        // A restart is already pending: it comes first, and the new application waits.
        if (g_app_reset_flag)
            return;
        if (install_application())
            return;
    }
    if (downing_mcu) {
        std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
        std::remove(board::path(kNewApplication).c_str());
    }
    reload_written_parts();
}

void fpga_manage::install_package(const QString& path) {
    if (debugOn())
        std::printf("\n ready to downing file name  %s\n suffix : %s\n", qPrintable(path),
                    qPrintable(path.mid(path.lastIndexOf('.') + 1)));
    UpgradePackage package(path);
    if (!package.load()) {
        usb_fail(path, "refused, " + package.reason());
        return;
    }
    trace_package(package);
    std::vector<Install> plan;
    bool refused = false;
    for (const UPGRADE_CHILD_HEAD& child : package.children()) {
        plan.push_back(plan_child(*this, package, child));
        if (plan.back().kind == Install::Refuse) {
            usb_fail(path, "refused, " + plan.back().reason);
            refused = true;
        }
    }
    if (refused)
        return;
    for (const Install& install : plan) {
        switch (install.kind) {
            case Install::Application:
                if (update_muc_file(package, install.offset, install.length))
                    downing_mcu = 1;
                break;
            case Install::FpgaImage: {
                const u8 select = static_cast<u8>(fpga_drv::kFlashSelectFpga0 + install.fpga);
                if (update_txc_file(package, select, install.offset, install.length))
                    (install.fpga == 0 ? downing_txc1 : downing_txc2) = 1;
                break;
            }
            case Install::Font:
                if (update_c331_osd_font_file(package, install.offset, install.length,
                                              install.address))
                    downing_osd = 1;
                break;
            default:
                break;
        }
    }
}

bool fpga_manage::update_muc_file(const UpgradePackage& package, u32 offset, u32 length) {
    u8* data = usb_buffer.data();
    if (length > kUsbBufferSize || !package.read(offset, data, length)) {
        usb_fail(package.path(), "application child cannot be read whole");
        return false;
    }
    const std::string target = board::path(kNewApplication);
    bool written = false;
    {
        std::lock_guard<std::mutex> lock(Utils::_file_deal_mutex);
        QDir().mkpath(QString::fromStdString(board::path(kAppFolder)));
        if (std::FILE* out = std::fopen(target.c_str(), "wb")) {
            written = std::fwrite(data, 1, length, out) == length && std::fflush(out) == 0 &&
                      fsync(fileno(out)) == 0;
            written = std::fclose(out) == 0 && written;
        }
    }
    Utils::system_mutex("sync");
    board::msleep(10);
    if (!written) {
        usb_fail(package.path(), QString("%1 cannot be written").arg(kNewApplication));
        return false;
    }
    if (!reads_back(target, data, length)) {
        usb_fail(package.path(), QString("%1 does not read back as written").arg(kNewApplication));
        return false;
    }
    return true;
}

bool fpga_manage::update_txc_file(const UpgradePackage& package, u8 flash_select, u32 offset,
                                  u32 length) {
    const int fpga = flash_select == fpga_drv::kFlashSelectFpga0 ? 0 : 1;
    auto fail = [&](const QString& what) {
        usb_fail(package.path(), QString("FPGA %1 image: %2").arg(fpga).arg(what));
        return false;
    };
    for (u32 at = 0; at < length;) {
        const u32 sector = at / kSector;
        const bool block = sector % kSectorsPerBlock == 0 && at + kBlock <= length;
        if (!p_fpga_drv->FPGA_SPI_FLASH_VBYONE_ERASE(
                flash_select, sector, block ? fpga_drv::kErase32K : fpga_drv::kErase4K, 1))
            return fail(QString("erase at %1 failed").arg(at));
        at += block ? kBlock : kSector;
        board::msleep(1);
    }
    // The data goes 4 bytes into the buffer: the flash driver's page commands take the
    // room in front of it.
    u8* data = usb_buffer.data() + fpga_drv::kFlashWriteHeadroom;
    std::vector<u8> back(kFpgaChunk);
    for (u32 at = 0; at < length; at += kFpgaChunk) {
        const u32 n = std::min(kFpgaChunk, length - at);
        if (!package.read(u64{offset} + upgrade::kFpgaImageHeadSize + at, data, n))
            return fail(QString("short read at %1").arg(at));
        board::msleep(1);
        if (!p_fpga_drv->FPGA_SPI_FLASH_VBYONE_WRITE(flash_select, at, usb_buffer.data(), n))
            return fail(QString("write at %1 failed").arg(at));
        if (!p_fpga_drv->FPGA_SPI_FLASH_VBYONE_READ(flash_select, at, n, back.data()) ||
            std::memcmp(back.data(), data, n) != 0)
            return fail(QString("flash does not read back at %1").arg(at));
    }
    if (debugOn())
        std::printf("\n write over !!!!!\n ");
    return true;
}

bool fpga_manage::update_c331_osd_font_file(const UpgradePackage& package, u32 offset, u32 length,
                                            u32 address) {
    c331_manage* video = c331_manage::p_c331_manage;
    const int fd = video->c331_fd;
    auto fail = [&](const QString& what) {
        usb_fail(package.path(), QString("font at %1: %2").arg(address, 0, 16).arg(what));
        return false;
    };
    for (u32 at = 0; at < length;) {
        const u32 sector = (address + at) / kSector;
        const bool block = sector % kSectorsPerBlock == 0 && at + kBlock <= length;
        if (video->erase_flash(fd, static_cast<int>(sector), 1, block ? 1 : 0) != 0)
            return fail(QString("erase at %1 failed").arg(at));
        at += block ? kBlock : kSector;
        board::msleep(1);
    }
    u8* data = usb_buffer.data();
    std::vector<u8> back(kFontChunk);
    for (u32 at = 0; at < length; at += kFontChunk) {
        const u32 n = std::min(kFontChunk, length - at);
        const int flashAddress = static_cast<int>(address + at);
        if (!package.read(u64{offset} + at, data, n))
            return fail(QString("short read at %1").arg(at));
        board::msleep(1);
        if (video->write_flash(fd, flashAddress, static_cast<int>(n), data) != 0)
            return fail(QString("write at %1 failed").arg(at));
        if (video->read_flash(fd, flashAddress, static_cast<int>(n), back.data()) != 0 ||
            std::memcmp(back.data(), data, n) != 0)
            return fail(QString("flash does not read back at %1").arg(at));
    }
    return true;
}

bool fpga_manage::install_application() {
    if (Utils::system_mutex("chmod 777 -R /data/app") != 0) {
        usb_fail(kNewApplication, "chmod failed");
        return false;
    }
    board::msleep(10);
    // The launch settings first: when they cannot be written nothing has moved yet.
    if (!g_update_status) {
        QSettings launch(QString::fromStdString(board::path(ConfigEngine::kLaunchFile)),
                         QSettings::IniFormat);
        launch.beginGroup("app-1");
        launch.setValue("app_path", ConfigEngine::kAppLaunchLine);
        launch.setValue("app_name", "krxT47N");
        launch.endGroup();
        launch.sync();
        if (launch.status() != QSettings::NoError) {
            usb_fail(ConfigEngine::kLaunchFile, "cannot be written");
            return false;
        }
    }
    if (Utils::system_mutex("mv /data/app/krxT47N2  /data/app/krxT47N") != 0) {
        usb_fail(kNewApplication, "cannot be moved over /data/app/krxT47N");
        return false;
    }
    board::msleep(10);
    Utils::system_mutex("sync");
    board::msleep(20);
    Utils::system_mutex("sync");
    board::msleep(1000);
    // The stamp before the flag: the tick must never see the flag with an old stamp.
    G_reboot_tickTicks = now();
    g_app_reset_flag = 1;
    return true;
}

void fpga_manage::reload_written_parts() {
    if (downing_txc1)
        reset_fpga_rst(0);
    if (downing_txc2) {
        // Nothing else releases FPGA 1's reset line: the pulse is given here, as long as
        // the pass holds FPGA 0's.
        reset_fpga_rst(1);
        board::msleep((kResetTicks + 1) * 10);
        set_gpio(fpga_rst_gpio[1], kGpioHigh);
        reset_pending[1] = 0;
    }
    // The font headers are read again, which updates the presence bits, and the four sets
    // are loaded into the chip.
    c331_manage* video = c331_manage::p_c331_manage;
    if (downing_osd && video) {
        video->read_c331_font(video->c331_fd);
        video->update_font(video->c331_fd);
    }
}
