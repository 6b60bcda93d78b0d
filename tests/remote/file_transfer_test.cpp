// File transfer and deletion through the protocol handler.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QLabel>
#include <QThread>
#include <csignal>
#include <filesystem>
#include <thread>

#include "fpga/fpga_manage.h"
#include "remote/file_notice.h"
#include "remote/krx_file_deal.h"
#include "remote/md5.h"
#include "remote/message_deal.h"
#include "tests/remote/remote_test.h"
#include "ui/option.h"
#include "ui/pages.h"

using namespace remotetest;

namespace {

constexpr unsigned kProcessor = 0xF100;

class FileTransfer : public RemoteTest {
protected:
    void SetUp() override {
        RemoteTest::SetUp();
        file_buffer_release(file_buffer_owner());
        set_file_notice_listener([this](FileNotice n) {
            notices.push_back(n);
            onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
        });
    }
    void TearDown() override {
        set_file_notice_listener(nullptr);
        QCoreApplication::processEvents();
        file_buffer_release(file_buffer_owner());
        RemoteTest::TearDown();
    }

    static int status(message_deal& d, const Bytes& f) {
        Bytes in = f, out(4200);
        out.resize(d.message_group_deal(in.data(), in.size(), out.data()));
        return out.empty() ? -10 : replyStatus(f, out);
    }
    static Bytes start(unsigned type, const Bytes& file, unsigned length = 0) {
        Bytes p = {static_cast<unsigned char>(type)};
        put32(p, length ? length : file.size());
        MD5::Digest d = MD5::of(file.data(), file.size());
        p.insert(p.end(), d.begin(), d.end());
        return frame(kProcessor, 0x90, p);
    }
    static Bytes chunk(const Bytes& file, unsigned offset, unsigned count) {
        Bytes p;
        put32(p, offset);
        put16(p, count);
        p.insert(p.end(), file.begin() + offset, file.begin() + offset + count);
        return frame(kProcessor, 0x91, p);
    }
    static Bytes finish() { return frame(kProcessor, 0x92); }
    static Bytes remove(unsigned type, const std::string& name) {
        Bytes p = {static_cast<unsigned char>(type)};
        p.insert(p.end(), name.begin(), name.end());
        return frame(kProcessor, 0x93, p);
    }
    // Sends the whole file in chunks of 4096 bytes; the status of the end frame.
    static int transfer(message_deal& d, unsigned type, const Bytes& file) {
        if (status(d, start(type, file)) != 0)
            return -1;
        for (unsigned at = 0; at < file.size(); at += 4096) {
            if (status(d, chunk(file, at, std::min<size_t>(4096, file.size() - at))) != 0)
                return -2;
        }
        return status(d, finish());
    }
    // The handler runs on a transport thread in the program.
    template <class Work>
    static void onTransportThread(Work work) {
        std::thread t(work);
        t.join();
    }
    static Bytes pattern(size_t n, unsigned seed) {
        Bytes b(n);
        for (size_t i = 0; i < n; ++i)
            b[i] = static_cast<unsigned char>((i * 131 + seed) ^ (i >> 8));
        return b;
    }

    message_deal tcp{RemoteTransport::Tcp};
    message_deal udp{RemoteTransport::Udp};
    std::vector<FileNotice> notices;
    bool onGuiThread = true;
};

}  // namespace

TEST_F(FileTransfer, RecoveryPackageAndScanFileAreStoredAndTheScreensToldOnTheGuiThread) {
    Bytes package = pattern(10000, 1);
    Bytes scan = pattern(4096, 2);
    onTransportThread([&] {
        EXPECT_EQ(transfer(tcp, 9, package), 0);
        EXPECT_EQ(transfer(udp, 13, scan), 0);
    });
    EXPECT_EQ(readFile("/data/rcvrecovery/YQFX"), package);
    EXPECT_EQ(readFile("/data/smartmapping/YQFR"), scan);
    EXPECT_TRUE(notices.empty());  // queued, not called on the transport's thread
    ASSERT_TRUE(test::waitFor([&] { return notices.size() == 2; }));
    EXPECT_EQ(notices[0], FileNotice::RecoveryWritten);
    EXPECT_EQ(notices[1], FileNotice::ScanWritten);
    EXPECT_TRUE(onGuiThread);
    EXPECT_EQ(file_buffer_owner(), FileBufferUser::None);
}

TEST_F(FileTransfer, OneTransferAtATime) {
    Bytes first = pattern(6000, 3), second = pattern(100, 4);
    ASSERT_EQ(status(tcp, start(9, first)), 0);
    ASSERT_EQ(status(tcp, chunk(first, 0, 4096)), 0);
    // Another transport, and the USB installer, cannot take the buffer meanwhile.
    EXPECT_EQ(status(udp, start(13, second)), 1);
    EXPECT_EQ(status(udp, chunk(second, 0, 100)), 1);
    EXPECT_EQ(status(udp, finish()), 1);
    EXPECT_FALSE(file_buffer_claim(FileBufferUser::Installer));
    ASSERT_EQ(status(tcp, chunk(first, 4096, 6000 - 4096)), 0);
    ASSERT_EQ(status(tcp, finish()), 0);
    EXPECT_EQ(readFile("/data/rcvrecovery/YQFX"), first);
    EXPECT_FALSE(exists("/data/smartmapping/YQFR"));

    // While the installer holds the buffer, or an upgrade is flagged, no transfer starts.
    ASSERT_TRUE(file_buffer_claim(FileBufferUser::Installer));
    EXPECT_EQ(status(udp, start(13, second)), 1);
    file_buffer_release(FileBufferUser::Installer);
    g_usb_grade = 1;
    EXPECT_EQ(status(udp, start(13, second)), 1);
    g_usb_grade = 0;
    EXPECT_EQ(transfer(udp, 13, second), 0);
}

TEST_F(FileTransfer, AnAbandonedTransferGivesWayAfterItsTimeOut) {
    Bytes a = pattern(5000, 5), b = pattern(50, 6);
    ASSERT_EQ(status(tcp, start(9, a)), 0);
    // 30 s of silence: 3000 ticks.
    G_timeTicks = 3000;
    EXPECT_EQ(status(udp, start(13, b)), 1);
    G_timeTicks = 3001;
    EXPECT_EQ(transfer(udp, 13, b), 0);
    EXPECT_EQ(status(tcp, chunk(a, 0, 4096)), 1);  // the old owner has lost it
}

TEST_F(FileTransfer, DamagedTransfersAreRefusedAndWriteNothing) {
    Bytes file = pattern(9000, 7);
    ASSERT_EQ(status(tcp, start(9, file)), 0);
    EXPECT_EQ(status(tcp, chunk(file, 4096, 100)), 1);  // a gap
    ASSERT_EQ(status(tcp, chunk(file, 0, 4096)), 0);
    ASSERT_EQ(status(tcp, chunk(file, 0, 4096)), 0);  // sent again: taken again
    EXPECT_EQ(status(tcp, finish()), 1);              // incomplete
    EXPECT_FALSE(exists("/data/rcvrecovery/YQFX"));

    // Past the announced length, a count that disagrees with the frame.
    ASSERT_EQ(status(tcp, start(9, file, 5000)), 0);
    Bytes tooFar = chunk(file, 0, 4096);
    EXPECT_EQ(status(tcp, tooFar), 0);
    EXPECT_EQ(status(tcp, chunk(file, 4096, 1000)), 1);
    Bytes lying = chunk(file, 4096, 10);
    lying[14] = 200;
    lying.back() = xorOf(lying, lying.size() - 1);
    EXPECT_EQ(status(tcp, lying), 1);

    // A file whose bytes do not match the announced digest.
    Bytes good = pattern(300, 8);
    ASSERT_EQ(status(tcp, start(13, good)), 0);
    Bytes other = good;
    other[150] ^= 0xFF;
    ASSERT_EQ(status(tcp, chunk(other, 0, 300)), 0);
    EXPECT_EQ(status(tcp, finish()), 1);
    EXPECT_FALSE(exists("/data/smartmapping/YQFR"));
    EXPECT_EQ(file_buffer_owner(), FileBufferUser::None);

    // Unknown types and sizes beyond the buffer are refused at the start.
    EXPECT_EQ(status(tcp, start(10, good)), 1);
    EXPECT_EQ(status(tcp, start(9, good, 5 * 1024 * 1024 + 1)), 1);
    EXPECT_EQ(status(tcp, start(9, Bytes{}, 0)), 1);
}

// The announced length is a hard end: a chunk that would end one byte past it is refused,
// one that ends on it is taken.
TEST_F(FileTransfer, AChunkEndingOneBytePastTheAnnouncedLengthIsRefused) {
    Bytes file = pattern(5000, 9);
    ASSERT_EQ(status(tcp, start(9, file)), 0);
    ASSERT_EQ(status(tcp, chunk(file, 0, 4096)), 0);
    Bytes longer = file;
    longer.push_back(0x42);
    EXPECT_EQ(status(tcp, chunk(longer, 4096, 905)), 1);
    EXPECT_EQ(status(tcp, chunk(longer, 4999, 2)), 1);
    EXPECT_EQ(status(tcp, chunk(longer, 5000, 1)), 1);
    EXPECT_EQ(status(tcp, chunk(file, 4096, 904)), 0);
    EXPECT_EQ(status(tcp, finish()), 0);
    EXPECT_EQ(readFile("/data/rcvrecovery/YQFX"), file);
}

// A save that cannot be written whole (the file system refuses a write, or the flush of the
// last buffered bytes) leaves the file that was there, and no temporary file beside it.
TEST_F(FileTransfer, AFileThatCannotBeWrittenWholeLeavesTheOldOneInPlace) {
    const Bytes old = pattern(100, 10);
    writeFile("/data/rcvrecovery/YQFX", old);
    // Files of this process may grow to 64 bytes only; writing past that fails (EFBIG).
    struct Limit {
        Limit() {
            ::getrlimit(RLIMIT_FSIZE, &saved);
            previous = std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur = 64;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        ~Limit() {
            ::setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, previous);
        }
        rlimit saved;
        void (*previous)(int);
    };
    // 10000 bytes fail in the write itself; 300 bytes sit in the stream's buffer until the
    // flush, which fails.
    for (size_t size : {size_t{10000}, size_t{300}}) {
        SCOPED_TRACE(size);
        const Bytes file = pattern(size, 11);
        int result;
        {
            Limit limit;
            result = transfer(tcp, 9, file);
        }
        EXPECT_EQ(result, 1);
        EXPECT_EQ(readFile("/data/rcvrecovery/YQFX"), old);
        EXPECT_FALSE(exists("/data/rcvrecovery/YQFX.tmp"));
        EXPECT_EQ(file_buffer_owner(), FileBufferUser::None);
    }
    EXPECT_EQ(transfer(tcp, 9, pattern(300, 12)), 0) << "and the next save goes through";
    EXPECT_EQ(readFile("/data/rcvrecovery/YQFX"), pattern(300, 12));
}

TEST_F(FileTransfer, DeletionStaysInsideTheTypesFolder) {
    writeFile("/data/rcvrecovery/YQFX", {1});
    writeFile("/data/rcvrecovery/old", {2});
    writeFile("/data/rcvrecovery/keep/inner", {3});
    writeFile("/data/smartmapping/YQFR", {4});
    writeFile("/data/secret", {5});

    for (std::string name : {"../secret", "..", "keep/inner", "/data/secret", "a\\b", "keep"})
        EXPECT_EQ(status(tcp, remove(9, name)), 1) << name;
    EXPECT_EQ(status(tcp, remove(9, "missing")), 1);
    EXPECT_EQ(status(tcp, remove(7, "YQFX")), 1);
    EXPECT_TRUE(exists("/data/secret"));
    EXPECT_TRUE(exists("/data/rcvrecovery/keep/inner"));

    onTransportThread([&] {
        EXPECT_EQ(status(tcp, remove(13, "YQFR")), 0);
        EXPECT_EQ(status(tcp, remove(9, "")), 0);  // every file of the folder, no directory
    });
    EXPECT_FALSE(exists("/data/smartmapping/YQFR"));
    EXPECT_FALSE(exists("/data/rcvrecovery/YQFX"));
    EXPECT_FALSE(exists("/data/rcvrecovery/old"));
    EXPECT_TRUE(exists("/data/rcvrecovery/keep/inner"));
    EXPECT_TRUE(exists("/data/secret"));

    ASSERT_TRUE(test::waitFor([&] { return notices.size() == 2; }));
    EXPECT_EQ(notices[0], FileNotice::ScanDeleted);
    EXPECT_EQ(notices[1], FileNotice::RecoveryDeleted);
    EXPECT_TRUE(onGuiThread);
}

TEST_F(FileTransfer, DeletingScanFilesRefreshesTheSettingMenuInFront) {
    fpga_manage manager;
    fpga_manage::p_fpga_manage = &manager;
    g_language = 0;
    auto* option = new Option(nullptr);
    g_option = option;
    auto shows = [option](const char* text) {
        for (QLabel* l : option->findChildren<QLabel*>())
            if (l->text() == text)
                return true;
        return false;
    };
    ASSERT_FALSE(shows("Setting"));
    g_language = 1;
    g_page_focus = 5;  // the Setting menu
    writeFile("/data/smartmapping/YQFR", {1});
    onTransportThread([&] { EXPECT_EQ(status(tcp, remove(13, "YQFR")), 0); });
    EXPECT_FALSE(shows("Setting"));
    ASSERT_TRUE(test::waitFor([&] { return notices.size() == 1; }));
    EXPECT_TRUE(shows("Setting"));
    delete option;
    g_option = nullptr;
    g_page_focus = 0;
    g_language = 0;
}
