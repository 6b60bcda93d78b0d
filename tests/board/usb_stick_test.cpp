// The simulated USB stick: what the program can see of a stick being plugged in and
// pulled out (uevents, "/proc/scsi/usb-storage", the files under "/mnt/usb1/"), and the
// folder under the root that plugs one into a running program.
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/sim/sim.h"
#include "board/sim/usb_stick.h"
#include "tests/support/sim_test.h"

namespace {

using test::SimTest;

class UsbStickTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        stick = sim::get<sim::UsbStick>("usb-stick");
        socket_ = board::ueventSocket();
        ASSERT_GE(socket_, 0);
        folder_ = root() + "/pc/stick";
        std::filesystem::create_directories(folder_ + "/KRX-T5");
        writeFile("/pc/stick/KRX-T5/T5.KRX", {1, 2, 3});
        writeFile("/pc/stick/readme.txt", {'h', 'i'});
    }
    void TearDown() override {
        ::close(socket_);
        SimTest::TearDown();
    }
    // The messages waiting on the socket, each split at its NULs.
    std::vector<std::vector<std::string>> messages() {
        std::vector<std::vector<std::string>> all;
        char buffer[4096];
        ssize_t n;
        while ((n = recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
            std::vector<std::string> parts;
            std::string part;
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] == '\0') {
                    parts.push_back(part);
                    part.clear();
                } else {
                    part += buffer[i];
                }
            }
            all.push_back(parts);
        }
        return all;
    }
    static std::vector<std::string> headers(const std::vector<std::vector<std::string>>& all) {
        std::vector<std::string> out;
        for (const auto& m : all)
            out.push_back(m.front());
        return out;
    }

    int socket_ = -1;
    std::string folder_;
    std::shared_ptr<sim::UsbStick> stick;
};

const std::string kDisk = "/devices/platform/soc/ehci/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0";

TEST_F(UsbStickTest, APlugAnnouncesEveryNodeThenMountsTheFiles) {
    ASSERT_TRUE(stick->insert(folder_));
    const auto all = messages();
    const std::vector<std::string> expected = {
        "add@/devices/platform/soc/ehci/usb1/1-1",
        "add@/devices/platform/soc/ehci/usb1/1-1/1-1:1.0",
        "add@/devices/platform/soc/ehci/usb1/1-1/1-1:1.0/host0",
        "add@/devices/platform/soc/ehci/usb1/1-1/1-1:1.0/host0/scsi_host/host0",
        "add@/devices/platform/soc/ehci/usb1/1-1/1-1:1.0/host0/target0:0:0",
        "add@" + kDisk,
        "add@" + kDisk + "/scsi_disk/0:0:0:0",
        "add@" + kDisk + "/scsi_device/0:0:0:0",
        "add@" + kDisk + "/scsi_generic/sg0",
        "add@" + kDisk + "/bsg/0:0:0:0",
        "add@/devices/virtual/bdi/8:0",
        "add@" + kDisk + "/block/sda",
        "add@" + kDisk + "/block/sda/sda1",
    };
    EXPECT_EQ(headers(all), expected);
    const std::vector<std::string>& partition = all.back();
    EXPECT_EQ(partition[1], "ACTION=add");
    EXPECT_EQ(partition[2], "DEVPATH=" + kDisk + "/block/sda/sda1");
    EXPECT_EQ(partition[3], "SUBSYSTEM=block");
    EXPECT_EQ(partition[4], "DEVTYPE=partition");
    EXPECT_EQ(partition[5], "MAJOR=8");
    EXPECT_EQ(partition[6], "MINOR=1");
    EXPECT_EQ(partition[7], "DEVNAME=sda1");
    EXPECT_TRUE(exists("/proc/scsi/usb-storage"));
    EXPECT_EQ(readFile("/mnt/usb1/KRX-T5/T5.KRX"), (std::vector<unsigned char>{1, 2, 3}));
    EXPECT_EQ(readFile("/mnt/usb1/readme.txt"), (std::vector<unsigned char>{'h', 'i'}));
    EXPECT_TRUE(stick->inserted());
}

TEST_F(UsbStickTest, APullUnmountsThenRemovesTheNodesInReverse) {
    ASSERT_TRUE(stick->insert(folder_));
    const auto added = headers(messages());
    stick->remove();
    const auto removed = headers(messages());
    ASSERT_EQ(removed.size(), added.size());
    for (size_t i = 0; i < removed.size(); ++i)
        EXPECT_EQ(removed[i], "remove@" + added[added.size() - 1 - i].substr(4));
    EXPECT_FALSE(exists("/proc/scsi/usb-storage"));
    EXPECT_TRUE(std::filesystem::is_empty(rooted("/mnt/usb1")));
    EXPECT_FALSE(stick->inserted());
    stick->remove();
    EXPECT_TRUE(messages().empty()) << "nothing to pull";
}

TEST_F(UsbStickTest, AFolderThatIsNotThereIsNoStick) {
    EXPECT_FALSE(stick->insert(root() + "/pc/none"));
    EXPECT_TRUE(messages().empty());
    EXPECT_FALSE(exists("/proc/scsi/usb-storage"));
}

TEST_F(UsbStickTest, TheFolderUnderTheRootPlugsAndPullsAStick) {
    std::filesystem::create_directory_symlink(folder_, root() + "/usb-stick");
    ASSERT_TRUE(test::waitFor([this] { return exists("/mnt/usb1/KRX-T5/T5.KRX"); }, 5000));
    EXPECT_TRUE(exists("/proc/scsi/usb-storage"));
    std::filesystem::remove(root() + "/usb-stick");
    ASSERT_TRUE(test::waitFor([this] { return !exists("/proc/scsi/usb-storage"); }, 5000));
    EXPECT_FALSE(exists("/mnt/usb1/KRX-T5"));
}

}  // namespace
