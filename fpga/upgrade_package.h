// The upgrade packages of the USB stick and their reader.
//
// A package ("*.KRX" or "*.KRXZK" in the stick's upgrade folder) is a 49-byte head, then
// FileNum child heads of 21 bytes back to back, then the children's payloads wherever
// their heads point. Every multi-byte field is little-endian and unaligned. A child is an
// application, the image of FPGA 0 or FPGA 1 (a 64-byte image head, then the image) or
// an OSD font library for the video processor's serial flash (its own 35-byte head
// included).
//
// The reader never loads a package whole: each read opens the file under
// Utils::_file_deal_mutex, reads the bytes asked for and closes it again, so that other
// file work can go on between the reads. Every length a head gives is checked against
// the file before anything is read with it.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "core/types.h"

namespace upgrade {

constexpr u32 kPackageHeadSize = 49;
constexpr u32 kChildHeadSize = 21;
constexpr u32 kFpgaImageHeadSize = 64;
constexpr u32 kFontHeadSize = 35;

// PublishType: install a child only when it differs from what runs; any other value
// installs every child.
constexpr u8 kPublishChangedOnly = 0x80;
// ControllerType of this device: application and FPGA children of other controllers are
// not for it.
constexpr u16 kControllerType = 0x8D52;

enum UPGRADE_CHILD_TYPE : u8 {
    CHILD_FPGA0 = 7,
    CHILD_FPGA1 = 8,
    CHILD_APPLICATION = 10,
    CHILD_OSD_FONT = 13,
};

struct UPGRADE_FILE_HEAD {
    u8 FileType;
    u8 FileVersion;
    u8 PublishType;
    u16 ControllerType;
    u16 FileNum;
};

struct UPGRADE_CHILD_HEAD {
    u8 file_type;
    u32 file_len;
    u32 file_offset;
    // Year (two digits), month, day, hardware, software, function.
    u8 Version[6];
    u32 File_Flashaddr;
    u16 SecNum;
};

struct FPGA_IMAGE_HEAD {
    u8 file_type;  // 1 FCG, 2 ACG
    u8 file_version;
    u16 ControllerClass;
    u8 ControllerClcass;  // 0 sending, 1 receiving, 2 multifunction
    u8 Version[4];
    u32 file_len;  // the image that follows the 64-byte head
};

// Font head bytes the installer reads: the encoding (0 Chinese, 1 English) and the glyph
// height in pixels.
constexpr u32 kFontEncodingByte = 5;
constexpr u32 kFontHeightByte = 18;

UPGRADE_FILE_HEAD parse_file_head(const u8* bytes);
UPGRADE_CHILD_HEAD parse_child_head(const u8* bytes);
FPGA_IMAGE_HEAD parse_fpga_image_head(const u8* bytes);

// The stick's folder of packages: "/mnt/usb1/" and the folder named by g_usb_grade_path
// (one space: the stick's root).
QString package_folder();
// A package by its name: the text after the last dot is "KRX" or "KRXZK", exactly.
bool is_package_name(const QString& fileName);
// The device paths of the packages in the folder: regular files, no links, by name. Empty
// when there is no folder.
QStringList package_files();

class UpgradePackage {
public:
    explicit UpgradePackage(const QString& devicePath);

    // Reads the package head and every child head. False, with the reason, when the file
    // cannot be opened or a head does not lie whole inside it.
    bool load();

    const QString& path() const { return path_; }
    const QString& reason() const { return reason_; }
    const UPGRADE_FILE_HEAD& head() const { return head_; }
    const std::vector<UPGRADE_CHILD_HEAD>& children() const { return children_; }
    u64 size() const { return size_; }

    // Whether bytes offset .. offset + n lie inside the package.
    bool holds(u64 offset, u64 n) const;
    // n bytes from offset, the package opened for this read alone under the file lock.
    // False when fewer than n bytes came.
    bool read(u64 offset, u8* out, u32 n) const;

private:
    bool fail(const QString& why);

    QString path_;
    QString reason_;
    UPGRADE_FILE_HEAD head_{};
    std::vector<UPGRADE_CHILD_HEAD> children_;
    u64 size_ = 0;
};

}  // namespace upgrade
