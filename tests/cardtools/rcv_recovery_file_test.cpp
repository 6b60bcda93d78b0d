// The reader of recovery packages and scan-parameter files, against files written by the
// test's own writer (or byte by byte): where each field is read from, what it refuses, and
// the directory lists.
#include <gtest/gtest.h>

#include <filesystem>

#include "fpga/rcv_recovery_file.h"
#include "tests/cardtools/recovery_writer.h"
#include "tests/support/sim_test.h"

using namespace recoverytest;

namespace {

const QString kPackage = "/data/rcvrecovery/YQFX";
const QString kScan = "/data/smartmapping/YQFR";

class Reader : public test::SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        reader.check_file_dir("/data/rcvrecovery");
        reader.check_file_dir("/data/smartmapping");
    }
    // Header, every entry, the screen head.
    void openPackage() {
        ASSERT_EQ(reader.get_rcvPackedFileNum(kPackage), 0);
        for (unsigned char i = 0; i < reader.packed_num(); ++i)
            ASSERT_EQ(reader.get_rcvPackedFileInfo(kPackage, i), 0);
        ASSERT_EQ(reader.update_rcvScreenHead(kPackage), 0);
    }
    rcvRecovery reader;
};

// Two screens; screen 1 has nets on ports 2 and 4; net 0's card 1 has no operation.
std::vector<Screen> twoScreens() {
    Screen a{0x11111111, {}, false, {{0, 1, {{ramWrite(0x100, {1, 2})}}}}};
    Screen b{0xCAFEBABE,
             {ramWrite(0x40, {9, 9, 9})},
             true,
             {{2,
               3,
               {{ramWrite(0x180, {0xA1})},
                {},
                {{kWrite, kRegister, 0, 100, {0x03, 0x0F, 0x01, 0x09}}, ramWrite(0x2000, {5, 6})}}},
              {4, 12, {}}}};
    return {a, b};
}

TEST_F(Reader, StandAloneFileHasItsRecordsAt20Plus18iAndDataAt16PlusOffset) {
    Bytes f(200, 0);
    f[16] = 3;  // operation count
    for (int i = 0; i < 3; ++i) {
        const size_t r = 20 + 18 * i;
        put32(f, r, 100 + i);  // data offset
        put32(f, r + 4, 2);    // length
        put32(f, r + 8, 0x1000 * (i + 1));
        put32(f, r + 12, 500);
        f[r + 16] = 1;
        f[r + 17] = 1;
    }
    f[116] = 0xDE;
    f[117] = 0xAD;
    writeFile(kScan.toStdString(), f);

    ASSERT_EQ(reader.update_smartDebugingOperateTimes(kScan, true), 0);
    EXPECT_EQ(reader.operate_times, 3);
    for (unsigned char i = 0; i < 3; ++i) {
        ASSERT_EQ(reader.update_smartDebugingOperatepara(kScan, i, true), 0);
        EXPECT_EQ(reader.operate_para.offset, 100u + i);
        EXPECT_EQ(reader.operate_para.targetAddr, 0x1000u * (i + 1));
        EXPECT_EQ(reader.operate_para.timeticks, 500u);
    }
    EXPECT_EQ(reader.update_smartDebugingOperatepara(kScan, 3, true), 1) << "beyond the count";
    u8 data[2] = {};
    ASSERT_EQ(reader.update_rcvOperatedata(kScan, 16 + 100, data, 2), 0);
    EXPECT_EQ(data[0], 0xDE);
    EXPECT_EQ(data[1], 0xAD);

    // The writer's own scan file agrees.
    writeFile(kScan.toStdString(), scanFile({ramWrite(0x10, {7, 8, 9}), ramWrite(0x20, {4})}));
    reader.update_smartDebugingOperateTimes(kScan, true);
    ASSERT_EQ(reader.update_smartDebugingOperatepara(kScan, 1, true), 0);
    u8 one = 0;
    ASSERT_EQ(reader.update_rcvOperatedata(kScan, 16 + reader.operate_para.offset, &one, 1), 0);
    EXPECT_EQ(one, 4);
}

TEST_F(Reader, PackageIsWalkedScreenNetCardAndRecord) {
    writeFile(kPackage.toStdString(), package(twoScreens()));
    openPackage();
    EXPECT_EQ(reader.packed_num(), 3);
    EXPECT_EQ(reader.packed_info[0].file_type, 10);
    EXPECT_EQ(reader.packed_info[0].offset, 4u + 3 * 12);
    EXPECT_EQ(reader.screen_head.screen_num, 2);

    ASSERT_EQ(reader.update_rcvScreenIDinfo(kPackage, 1), 0);
    EXPECT_EQ(reader.screen_info.config_id, 0xCAFEBABEu);
    EXPECT_NE(reader.screen_info.rcv_para_len, 0u);
    ASSERT_EQ(reader.update_rcvXYscreenNetnum(kPackage), 0);
    EXPECT_EQ(reader.screen_net_num, 2);
    ASSERT_EQ(reader.update_rcvXYscreenNetpara(kPackage, 1), 0);
    EXPECT_EQ(reader.net_para.net_ledx, 4);
    EXPECT_EQ(reader.net_para.net_rcv_num, 12);
    ASSERT_EQ(reader.update_rcvXYscreenNetpara(kPackage, 0), 0);
    EXPECT_EQ(reader.net_para.net_ledx, 2);
    EXPECT_EQ(reader.net_para.net_rcv_num, 3);

    // Card 1 has no operation: its block is 4 bytes and card 2's follows at once.
    ASSERT_EQ(reader.update_rcvXYrcvOperateTimes(kPackage, 1, false), 0);
    EXPECT_EQ(reader.operate_times, 0);
    EXPECT_EQ(reader.card_block_offset, 4u + 18);
    ASSERT_EQ(reader.update_rcvXYrcvOperateTimes(kPackage, 2, false), 0);
    EXPECT_EQ(reader.operate_times, 2);
    EXPECT_EQ(reader.card_block_offset, 4u + 18 + 4);
    ASSERT_EQ(reader.update_rcvXYrcvOperatepara(kPackage, 1, false), 0);
    EXPECT_EQ(reader.operate_para.targetAddr, 0x2000u);
    EXPECT_EQ(reader.operate_para.dataLen, 2u);
    EXPECT_EQ(reader.operate_para.type, 1);
    // Its data: package offset of the XY file + the screen's block + the net block + offset.
    const u32 at = reader.packed_info[1].offset + reader.screen_info.rcv_xy_offset +
                   reader.net_para.net_para_offset + reader.operate_para.offset;
    u8 data[2] = {};
    ASSERT_EQ(reader.update_rcvOperatedata(kPackage, at, data, 2), 0);
    EXPECT_EQ(data[0], 5);
    EXPECT_EQ(data[1], 6);
    ASSERT_EQ(reader.update_rcvXYrcvOperatepara(kPackage, 0, false), 0);
    EXPECT_EQ(reader.operate_para.type, 1);
    EXPECT_EQ(reader.operate_para.target, 2);
    EXPECT_EQ(reader.operate_para.timeticks, 100u);

    // The screen's parameter block, in the smart-debugging file.
    ASSERT_EQ(reader.update_smartDebugingOperateTimes(kPackage, false), 0);
    EXPECT_EQ(reader.operate_times, 1);
    ASSERT_EQ(reader.update_smartDebugingOperatepara(kPackage, 0, false), 0);
    EXPECT_EQ(reader.operate_para.targetAddr, 0x40u);
    reader.operate_data_offset = reader.packed_info[2].offset + reader.screen_info.rcv_para_offset +
                                 reader.operate_para.offset;
    u8 deal[8] = {};
    unsigned int length = 0;
    ASSERT_EQ(reader.update_rcvDealData(kPackage, deal, sizeof deal, &length), 0);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(deal[2], 9);
    EXPECT_EQ(reader.update_rcvDealData(kPackage, deal, 2, &length), 1) << "does not fit";
}

TEST_F(Reader, TheLastEntryOfATypeCounts) {
    std::vector<PackedFile> files = packageFiles(twoScreens());
    Bytes decoy(32 + 52, 0);
    decoy[20] = 1;
    put32(decoy, 32, 0xBADBAD);
    files.insert(files.begin(), {10, decoy});
    writeFile(kPackage.toStdString(), pack(files));
    openPackage();
    EXPECT_EQ(reader.screen_head.screen_num, 2);
    ASSERT_EQ(reader.update_rcvScreenIDinfo(kPackage, 0), 0);
    EXPECT_EQ(reader.screen_info.config_id, 0x11111111u);

    // The same files, the decoy last: it counts.
    files.push_back(files.front());
    files.erase(files.begin());
    writeFile(kPackage.toStdString(), pack(files));
    openPackage();
    EXPECT_EQ(reader.screen_head.screen_num, 1);
    ASSERT_EQ(reader.update_rcvScreenIDinfo(kPackage, 0), 0);
    EXPECT_EQ(reader.screen_info.config_id, 0xBADBADu);
}

TEST_F(Reader, IndexesBeyondTheirCountAreRefusedAndKeepTheLastRead) {
    writeFile(kPackage.toStdString(), package(twoScreens()));
    openPackage();
    ASSERT_EQ(reader.update_rcvScreenIDinfo(kPackage, 0), 0);
    EXPECT_EQ(reader.update_rcvScreenIDinfo(kPackage, 2), 1);
    EXPECT_EQ(reader.screen_info.config_id, 0x11111111u);
    EXPECT_EQ(reader.get_rcvPackedFileInfo(kPackage, 3), 1);
    ASSERT_EQ(reader.update_rcvXYscreenNetnum(kPackage), 0);
    EXPECT_EQ(reader.update_rcvXYscreenNetpara(kPackage, 1), 1);
    ASSERT_EQ(reader.update_rcvXYscreenNetpara(kPackage, 0), 0);
    EXPECT_EQ(reader.update_rcvXYrcvOperateTimes(kPackage, 1, false), 1) << "the net has 1 card";
    EXPECT_EQ(reader.update_rcvXYrcvOperateTimes(kPackage, 0, true), 1) << "not a scan file";
    ASSERT_EQ(reader.update_rcvXYrcvOperateTimes(kPackage, 0, false), 0);
    EXPECT_EQ(reader.update_rcvXYrcvOperatepara(kPackage, 1, false), 1);
}

TEST_F(Reader, MissingShortOrOversizedFilesFillNothing) {
    EXPECT_EQ(reader.get_rcvPackedFileNum(kPackage), 1);
    EXPECT_EQ(reader.update_smartDebugingOperateTimes(kScan, true), 1);
    u8 data[4] = {1, 2, 3, 4};
    EXPECT_EQ(reader.update_rcvOperatedata(kScan, 0, data, 4), 1);

    // More than six packed files.
    std::vector<PackedFile> seven(7, PackedFile{10, Bytes(84, 0)});
    writeFile(kPackage.toStdString(), pack(seven));
    EXPECT_EQ(reader.get_rcvPackedFileNum(kPackage), 1);
    EXPECT_EQ(reader.packed_num(), 0);

    // A package cut short in its screen file: the head is not there to read.
    Bytes whole = package(twoScreens());
    writeFile(kPackage.toStdString(), Bytes(whole.begin(), whole.begin() + 60));
    ASSERT_EQ(reader.get_rcvPackedFileNum(kPackage), 0);
    ASSERT_EQ(reader.get_rcvPackedFileInfo(kPackage, 0), 0);
    EXPECT_EQ(reader.update_rcvScreenHead(kPackage), 1);
    EXPECT_EQ(reader.screen_head.screen_num, 0);

    // An XY offset far beyond the file, one that would wrap a 32-bit sum, a data range past
    // the end.
    writeFile(kPackage.toStdString(), whole);
    openPackage();
    ASSERT_EQ(reader.update_rcvScreenIDinfo(kPackage, 1), 0);
    reader.screen_info.rcv_xy_offset = 0xFFFFFFF0u;
    reader.screen_net_num = 7;
    EXPECT_EQ(reader.update_rcvXYscreenNetnum(kPackage), 1);
    EXPECT_EQ(reader.screen_net_num, 7);
    EXPECT_EQ(reader.update_rcvOperatedata(kPackage, static_cast<u32>(whole.size()) - 2, data, 4),
              1);
    EXPECT_EQ(reader.update_rcvOperatedata(kPackage, static_cast<u32>(whole.size()) - 4, data, 4),
              0);

    // Reading changes nothing in the file.
    EXPECT_EQ(readFile(kPackage.toStdString()), whole);
}

TEST_F(Reader, DirectoryListsHoldThePlainFilesOfTheirFolder) {
    writeFile("/data/rcvrecovery/YQFX", {1});
    writeFile("/data/rcvrecovery/.hidden", {1});
    std::filesystem::create_directories(rooted("/data/rcvrecovery/sub"));
    writeFile("/data/smartmapping/YQFR", {1});
    writeFile("/data/smartmapping/second", {1});

    EXPECT_EQ(reader.get_dir_file("/data/rcvrecovery"), 0);
    EXPECT_EQ(reader.recovery_files(), QStringList{"YQFX"});
    EXPECT_EQ(reader.get_dir_file("/data/smartmapping"), 0);
    QStringList scans = reader.scan_files();
    scans.sort();
    EXPECT_EQ(scans, (QStringList{"YQFR", "second"}));

    // A missing stick leaves the list as it is; a stick's listing replaces it.
    EXPECT_EQ(reader.get_dir_file("/mnt/usb1/"), 1);
    EXPECT_EQ(reader.scan_files().size(), 2);
    writeFile("/mnt/usb1/screen.yqfile", {1});
    EXPECT_EQ(reader.get_dir_file("/mnt/usb1/"), 0);
    EXPECT_EQ(reader.scan_files(), QStringList{"screen.yqfile"});
    EXPECT_EQ(reader.recovery_files(), QStringList{"YQFX"}) << "the other list is untouched";

    // Another folder fills neither list.
    writeFile("/data/other/x", {1});
    EXPECT_EQ(reader.get_dir_file("/data/other"), 0);
    EXPECT_EQ(reader.recovery_files(), QStringList{"YQFX"});

    reader.clear_recovery_files();
    EXPECT_TRUE(reader.recovery_files().isEmpty());

    EXPECT_EQ(reader.check_file_dir("/data/rcvrecovery"), 0) << "exists";
    EXPECT_EQ(reader.check_file_dir("/data/newdir"), 1) << "created";
    EXPECT_TRUE(exists("/data/newdir"));
}

}  // namespace
