// The USB-stick watcher: the reasons the kernel's messages give, the ready wait, and the
// messages it must survive.
#include <gmock/gmock.h>

#include <QThread>
#include <filesystem>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/sim/sim.h"
#include "screens/maintenance/usbserver.h"
#include "tests/ui/panel_script.h"
#include "tests/ui/panel_test.h"
#include "ui/mainwindow.h"
#include "ui/option.h"
#include "ui/pages.h"

namespace {

using test::UiTest;

const char kDiskAdd[] =
    "add@/devices/platform/ehci/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0/block/sda";
const char kPartitionAdd[] =
    "add@/devices/platform/ehci/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0/block/sda/sda1";
const char kPartitionRemove[] =
    "remove@/devices/platform/ehci/usb1/1-1/1-1:1.0/host0/target0:0:0/0:0:0:0/block/sda/sda1";

class Usb : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_EQ(server.openSocket(), 0);
        QObject::connect(&server, &UsbServer::sig_usb_update,
                         [this](int reason) { reasons.push_back(reason); });
    }

    // One uevent: the header, its NUL, and a key=value line, as the kernel sends it.
    static std::string uevent(const std::string& header) {
        return header + std::string(1, '\0') + "ACTION=x" + std::string(1, '\0');
    }
    void receive(const std::string& message) {
        sim::injectUevent(message);
        server.recvData();
    }
    void storageAppears() { std::filesystem::create_directories(rooted("/proc/scsi/usb-storage")); }
    void ticksPass(u32 ticks) {
        G_timeTicks += ticks;
        server.recvData();
    }

    UsbServer server;
    std::vector<int> reasons;
};

TEST_F(Usb, AStickGivesAddedForEachNodeAndReadyAfterTheSettlingTime) {
    receive(uevent(kDiskAdd));
    EXPECT_FALSE(server.readyPending());  // the whole disk is not what gets mounted
    receive(uevent(kPartitionAdd));
    EXPECT_EQ(reasons, (std::vector<int>{100, 100}));
    ticksPass(50);  // no usb-storage yet
    storageAppears();
    ticksPass(1);  // usb-storage seen: the settling time starts, 301 ticks
    ticksPass(300);
    EXPECT_EQ(reasons, (std::vector<int>{100, 100}));
    ticksPass(1);
    EXPECT_EQ(reasons, (std::vector<int>{100, 100, 102}));
    ticksPass(1000);
    EXPECT_EQ(reasons.size(), 3u);
}

TEST_F(Usb, ARemovalGivesRemovedOnlyAndCancelsTheReadyWait) {
    storageAppears();
    receive(uevent(kPartitionAdd));
    ticksPass(100);
    receive(uevent(kPartitionRemove));
    ticksPass(301);
    ticksPass(301);
    EXPECT_EQ(reasons, (std::vector<int>{100, 101}));
    EXPECT_FALSE(server.readyPending());
}

TEST_F(Usb, TheWaitForUsbStorageEnds) {
    receive(uevent(kPartitionAdd));
    ticksPass(1000);  // 10 s without usb-storage
    EXPECT_FALSE(server.readyPending());
    storageAppears();
    ticksPass(301);
    EXPECT_EQ(reasons, (std::vector<int>{100}));
}

TEST_F(Usb, OnlyTheFirstDiskPartitionNamedExactlyCounts) {
    storageAppears();
    for (const char* header : {"add@/devices/x/block/sdb/sdb1", "add@/devices/x/block/sda/sda10",
                               "ADD@/devices/x/block/sda/sda1", "add@/devices/x/Block/sda/sda1",
                               "add@/devices/x/block/sda/sda"}) {
        receive(uevent(header));
        EXPECT_FALSE(server.readyPending()) << header;
    }
    ticksPass(301);
    EXPECT_EQ(reasons, (std::vector<int>{100, 100, 100, 100}));
}

TEST_F(Usb, BadMessagesAreSurvived) {
    std::string unterminated(4096 + 100, 'a');
    unterminated.replace(0, sizeof kPartitionAdd - 1, kPartitionAdd);
    receive(unterminated);  // longer than the buffer and without a NUL
    receive(std::string());
    receive(std::string("remove@", 7));
    receive(std::string(64, '\0'));
    receive("/////block/sda");
    receive("block/sda/sda1");
    ticksPass(301);
    EXPECT_EQ(reasons, (std::vector<int>{100, 101}));
}

TEST_F(Usb, ReadyClosesTheSettingMenuOnlyWhenItIsInFront) {
    openWindows();
    storageAppears();
    g_page_focus = 1;
    test::PanelScript script;
    script.run([] { openScreen(g_option, 5); })
        .waitPage(5)
        .run([this] {
            receive(uevent(kPartitionAdd));
            ticksPass(301 + 1);
        })
        .waitPage(1)
        .run([this] {
            EXPECT_EQ(g_option, nullptr);
            EXPECT_EQ(reasons.back(), 102);
            g_page_focus = 6;
            receive(uevent(kPartitionAdd));
            ticksPass(301 + 1);
        })
        .waitUntil("the second 102", [this] { return reasons.size() == 4; })
        .run([] { EXPECT_EQ(g_page_focus, 6); });
    EXPECT_TRUE(script.play());
}

// The watcher is destroyed at the end: its thread must have ended by then.
TEST_F(Usb, TheThreadsReportsReachTheRelayOnTheUserInterfaceThreadAndTheThreadStops) {
    UsbServer watcher;
    std::vector<QThread*> threads;
    QObject relay;  // lives on this thread, as SyncUpdate does
    QObject::connect(&watcher, &UsbServer::sig_usb_update, &relay,
                     [&](int) { threads.push_back(QThread::currentThread()); });
    ASSERT_EQ(watcher.initialize(), 0);
    sim::injectUevent(uevent(kPartitionRemove));
    EXPECT_TRUE(test::waitFor([&] { return !threads.empty(); }, 5000));
    watcher.stop();
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads.front(), QThread::currentThread());
}

}  // namespace
