// Check sums, tick arithmetic, shell commands, network set-up and MTD flash access.
#include <fcntl.h>

#include <cstring>
#include <string>

#include "board/board.h"
#include "board/sim/mtd_partition.h"
#include "core/utils.h"
#include "tests/core/core_test.h"

namespace {

using coretest::CoreTest;

const u8* bytes(const char* text) {
    return reinterpret_cast<const u8*>(text);
}

TEST(Checksums, MatchIndependentReferences) {
    const u8 frame[] = {0xA5, 0x01, 0xA4};
    EXPECT_EQ(Utils::BCC(frame, 3), 0);
    EXPECT_EQ(Utils::BCC(frame, 2), 0xA4);
    EXPECT_EQ(Utils::BCC(frame, 0), 0);

    // The catalogue check values of "123456789": CRC-16/ARC 0xBB3D, CRC-16/MCRF4XX 0x6F91,
    // CRC-16/XMODEM 0x31C3 (the last also python3's binascii.crc_hqx(b"123456789", 0)).
    EXPECT_EQ(Utils::calcCRC16(bytes("123456789"), 9), 0xBB3D);
    EXPECT_EQ(Utils::calcCRC16(bytes("123456789"), 9, 0xFFFF), 0x6F91);
    EXPECT_EQ(Utils::calcCRC16(bytes(""), 0, 0xFFFF), 0xFFFF);
    EXPECT_EQ(Utils::jtc1CRC16Code(bytes("123456789"), 9), 0x31C3);

    // The CRC-32 table with initial value 0 and no final XOR is no catalogue entry. zlib
    // keeps the complement of its running value, so python3's
    //   (~zlib.crc32(data, 0xFFFFFFFF)) & 0xFFFFFFFF
    // starts the register at 0 and removes the final XOR. It gives 0xCA6598D0 for "abc"
    // (the value the device's documentation quotes), 0x2DFD2D88 for "123456789" and
    // 0x45602B3F for bytes 0..255 three times over.
    EXPECT_EQ(Utils::calcCRC32(bytes(""), 0), 0u);
    EXPECT_EQ(Utils::calcCRC32(bytes("abc"), 3), 0xCA6598D0u);
    EXPECT_EQ(Utils::calcCRC32(bytes("123456789"), 9), 0x2DFD2D88u);
    u8 ramp[768];
    for (int i = 0; i < 768; ++i)
        ramp[i] = static_cast<u8>(i);
    EXPECT_EQ(Utils::calcCRC32(ramp, sizeof ramp), 0x45602B3Fu);
}

TEST(Ticks, ElapsedTimeAcrossTheWrap) {
    G_timeTicks = 0x10;
    EXPECT_EQ(Utils::getTimeSpace(0xFFFFFFF0u), 0x1Fu);
    G_timeTicks = 500;
    EXPECT_EQ(Utils::getTimeSpace(200), 300u);
    EXPECT_EQ(Utils::getTimeSpace(500), 0u);
    G_timeTicks = 0;
}

TEST(Text, StringToInt) {
    EXPECT_EQ(Utils::stringToInt("0x1F"), 31);
    EXPECT_EQ(Utils::stringToInt("0x"), 0);
    EXPECT_EQ(Utils::stringToInt("1a2"), 102) << "a letter counts as digit 0";
    EXPECT_EQ(Utils::stringToInt("5005"), 5005);
    EXPECT_EQ(Utils::intToString(-42), "-42");
    Utils::stringToInt(std::string(40, '9'));  // wraps, no overflow
}

class Shell : public CoreTest {
protected:
    void writeSettings(const QString& ip, const QString& mask, const QString& gateway) {
        ConfigEngine* config = loadConfig();
        config->write_config_variant(ConfigItem::IPAddress, ip);
        config->write_config_variant(ConfigItem::SubNetMask, mask);
        config->write_config_variant(ConfigItem::GateWay, gateway);
        sim::clearCommands();
    }
    static std::vector<std::string> commandTexts() {
        std::vector<std::string> out;
        for (const sim::Command& c : sim::commands())
            out.push_back(c.text);
        return out;
    }
};

TEST_F(Shell, CommandStatusIsPassedOn) {
    sim::setCommandExit("false", 1);
    int status = 0;
    EXPECT_EQ(Utils::system_mutex("false", &status), 255);
    EXPECT_EQ(status, 256);
    EXPECT_EQ(Utils::system_mutex("sync", &status), 0);
    EXPECT_EQ(status, 0);
}

TEST_F(Shell, NetworkSetUpRunsExactlyTheseCommands) {
    writeSettings("10.0.0.7", "255.255.0.0", "10.0.0.1");
    EXPECT_EQ(Utils::initIPAddress(), 0);
    EXPECT_EQ(commandTexts(), (std::vector<std::string>{
                                  "ifconfig eth0 >/dev/null 2>&1",
                                  "route del default wlan0",
                                  "ifconfig eth0 10.0.0.7 netmask 255.255.0.0",
                                  "route add -host 10.0.0.1 dev eth0",
                                  "route add default gw 10.0.0.1 metric 100",
                                  "route add -host 255.255.255.255 eth0",
                                  "route del 255.255.255.255 wlan1",
                              }));
    for (const sim::Command& c : sim::commands())
        EXPECT_FALSE(c.executed) << c.text << " must never touch the PC";
    EXPECT_EQ(g_str_ip, "10.0.0.7");
    EXPECT_EQ(g_str_gateway, "10.0.0.1");
}

TEST_F(Shell, NetworkSetUpRefusesWhatIsNotAnAddress) {
    const char* bad[] = {"1.2.3.4; reboot", "1.2.3", "$(reboot)", " 1.2.3.4", "1.2.3.400", ""};
    for (const char* ip : bad) {
        SCOPED_TRACE(ip);
        writeSettings(ip, "255.255.255.0", "192.168.1.1");
        EXPECT_EQ(Utils::initIPAddress(), 255);
        EXPECT_TRUE(sim::commands().empty());
    }
    writeSettings("192.168.1.9", "255.255.255.0", "192.168.1.1 && reboot");
    EXPECT_EQ(Utils::initIPAddress(), 255);
    EXPECT_TRUE(sim::commands().empty());

    writeSettings("192.168.1.9", "255.255.255.0", "192.168.1.1");
    sim::setCommandExit("ifconfig eth0 >", 1);
    g_str_ip = "before";
    EXPECT_EQ(Utils::initIPAddress(), 255);
    EXPECT_EQ(commandTexts(), (std::vector<std::string>{"ifconfig eth0 >/dev/null 2>&1"}));
    EXPECT_EQ(g_str_ip, "before") << "a missing eth0 changes nothing";
}

class Flash : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        fd = board::open("/dev/mtd10", O_RDWR);
        ASSERT_GE(fd, 0);
        mtd = sim::get<sim::MtdPartition>("/dev/mtd10");
    }
    void TearDown() override {
        board::close(fd);
        CoreTest::TearDown();
    }
    bool open() const { return fcntl(fd, F_GETFD) != -1; }
    int fd = -1;
    std::shared_ptr<sim::MtdPartition> mtd;
};

TEST_F(Flash, EraseThenWriteLeavesTheData) {
    const u32 block = mtd->eraseSize();
    std::vector<u8> data(3000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<u8>(i * 7);
    // Something was there before: programming without erasing would corrupt it.
    ASSERT_EQ(Utils::non_region_write(fd, data.data(), 3000, block), 0);
    ASSERT_EQ(Utils::non_region_erase(fd, block, block + 1, 1), 0);
    EXPECT_EQ(mtd->erasedBlocks(), (std::vector<u32>{block, 2 * block}));
    EXPECT_EQ(mtd->unlockedBlocks(), (std::vector<u32>{block, 2 * block}));
    std::reverse(data.begin(), data.end());
    ASSERT_EQ(Utils::non_region_write(fd, data.data(), 3000, block), 0);
    EXPECT_TRUE(mtd->errors().empty());
    std::vector<u8> contents = mtd->contents();
    EXPECT_EQ(std::memcmp(contents.data() + block, data.data(), 3000), 0);
    EXPECT_EQ(contents[block + 3000], 0xFF);
}

TEST_F(Flash, EraseErrorsAreReportedAndKeepTheDescriptor) {
    EXPECT_EQ(Utils::non_region_erase(fd, 100, 10, 0), 1) << "not block aligned";
    EXPECT_TRUE(mtd->erasedBlocks().empty());
    mtd->refuseErase(true);
    EXPECT_EQ(Utils::non_region_erase(fd, 0, 10, 0), 8);
    EXPECT_TRUE(open());
    mtd->refuseErase(false);
    mtd->refuseInfo(true);
    EXPECT_EQ(Utils::non_region_erase(fd, 0, 10, 0), 1);
    u8 byte = 0;
    EXPECT_EQ(Utils::non_region_write(fd, &byte, 1, 0), 1);
    EXPECT_TRUE(open());
    mtd->refuseInfo(false);
    std::vector<u8> tooMuch(4096, 0);
    EXPECT_EQ(Utils::non_region_write(fd, tooMuch.data(), 4096, mtd->size() - 2048), 1);
}

class Files : public CoreTest {};

TEST_F(Files, LookupsUseTheDevicePaths) {
    writeFile("/data/smartmapping/a.yqfile", {1});
    writeFile("/data/smartmapping/b.txt", {1});
    EXPECT_TRUE(Utils::isFileExists("/data/smartmapping/a.yqfile", true));
    EXPECT_FALSE(Utils::isFileExists("/data/smartmapping", true));
    EXPECT_TRUE(Utils::isFileExists("/data/smartmapping"));
    EXPECT_TRUE(Utils::isDirExists("/data/smartmapping"));
    EXPECT_FALSE(Utils::isDirExists("/data/none"));
    QStringList list;
    Utils::get_file_list_smartpath(list, "/data/smartmapping", "yqfile");
    EXPECT_EQ(list, QStringList{"/data/smartmapping/a.yqfile"});
}

TEST_F(Files, TextConversions) {
    char in[] = "\xC4\xE3\xBA\xC3";  // "ni hao" in GB2312
    char out[16] = {};
    ASSERT_EQ(Utils::GB2312ToUTF8(in, 4, out, sizeof out), 0);
    EXPECT_STREQ(out, "\xE4\xBD\xA0\xE5\xA5\xBD");
    char broken[] = "\xFF\xFF";
    EXPECT_EQ(Utils::GB2312ToUTF8(broken, 2, out, sizeof out), -1);
    size_t inLen = 1, outLen = 4;
    EXPECT_EQ(Utils::ChangeCode("no-such-code", "UTF-8", in, &inLen, out, &outLen), -1);
}

}  // namespace
