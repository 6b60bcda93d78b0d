// The parameter image and its file: defaults, loading, boot resets, saving, remote writes,
// language, and the refresh signal.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QObject>
#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <future>
#include <thread>

#include "core/utils.h"
#include "tests/core/core_test.h"

namespace {

using coretest::CoreTest;
using Bytes = std::vector<unsigned char>;

constexpr const char* kFile = "/data/ram_device_info";

// A field of the default table, addressed by image offset (the table is in file layout).
u16 defaultU16(size_t imageOffset) {
    return default_para_ramlist[imageOffset - 766] | default_para_ramlist[imageOffset - 765] << 8;
}

Bytes defaultFile() {
    return Bytes(default_para_ramlist, default_para_ramlist + 4096);
}

// A valid parameter file whose saved area is the default one with some fields changed.
Bytes fileWith(std::initializer_list<std::pair<size_t, u16>> fields) {
    Bytes file = defaultFile();
    for (auto [offset, value] : fields) {
        file[offset - 766] = static_cast<u8>(value);
        file[offset - 765] = static_cast<u8>(value >> 8);
    }
    return file;
}

class Store : public CoreTest {};

TEST_F(Store, DefaultTableHoldsTheDocumentedValues) {
    EXPECT_EQ(default_para_ramlist[0], 0xAA);
    EXPECT_EQ(default_para_ramlist[1], 0xAA);
    EXPECT_EQ(defaultU16(768), 0);      // simplified Chinese
    EXPECT_EQ(defaultU16(1378), 1920);  // LED size
    EXPECT_EQ(defaultU16(1380), 1080);
    for (int w = 0; w < 6; ++w) {
        SCOPED_TRACE(w);
        const size_t at = 2272 + 26 * w;
        EXPECT_EQ(defaultU16(at), w == 0 ? 1 : 0);  // only window 0 shown
        EXPECT_EQ(defaultU16(at + 8), 1);           // plain port 1
        EXPECT_EQ(defaultU16(at + 10), 0);
        EXPECT_EQ(defaultU16(at + 12), 0);
        EXPECT_EQ(defaultU16(at + 14), 1920);
        EXPECT_EQ(defaultU16(at + 16), 1080);
        EXPECT_EQ(defaultU16(at + 18), 0);
    }
    for (int p = 0; p < 6; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(defaultU16(896 + 6 * p), p < 4 ? 1920 : 3840);
        EXPECT_EQ(defaultU16(898 + 6 * p), p < 4 ? 1080 : 2160);
        EXPECT_EQ(defaultU16(900 + 6 * p), 60);
    }
    EXPECT_EQ(defaultU16(2176), 100);
    EXPECT_EQ(defaultU16(2178), 50);
    EXPECT_EQ(defaultU16(2180), 10);
    EXPECT_EQ(defaultU16(2182), 50);
    EXPECT_EQ(defaultU16(2184), 2);
    EXPECT_EQ(defaultU16(2186), 64);
    EXPECT_EQ(defaultU16(2188), 64);
    EXPECT_EQ(defaultU16(2190), 64);
    for (int w = 0; w < 16; ++w)
        EXPECT_EQ(defaultU16(2208 + 2 * w), w);
    // The crop pattern runs from the table through the 24 entries' worth after it.
    for (size_t at = 1472; at < 2112; at += 10) {
        SCOPED_TRACE(at);
        EXPECT_EQ(defaultU16(at), 0x0002);
        EXPECT_EQ(defaultU16(at + 6), 1920);
        EXPECT_EQ(defaultU16(at + 8), 1080);
    }
    for (size_t k = 0; k < 32; ++k)
        EXPECT_EQ(default_para_ramlist[2816 - 766 + 2 * k], 0) << "fade words are 0";
    EXPECT_TRUE(std::all_of(default_para_ramlist + 3330, default_para_ramlist + 4096,
                            [](u8 b) { return b == 0; }));
}

TEST_F(Store, FirstStartWritesTheDefaultsAndSavesNothing) {
    auto store = loadStore();
    EXPECT_EQ(readFile(kFile), defaultFile());
    EXPECT_TRUE(exists("/data/modes"));
    EXPECT_TRUE(exists("/data/configs"));
    EXPECT_EQ(std::memcmp(store->ram_para.data(), store->ram_para_shadow.data(), 4096), 0)
        << "the loaded state must not count as a change";
    EXPECT_EQ(std::memcmp(store->ram_para.data() + 896, default_para_ramlist + 130, 2816 - 896), 0);
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(store->ram_para[2816 + 4 * k], 60);
        EXPECT_EQ(store->ram_para[2818 + 4 * k], 60);
    }
    EXPECT_EQ(store->reg_para[0x25], 0x80);
    EXPECT_EQ(store->reg_para[0x26] | store->reg_para[0x27] << 8, 0x071F);
    EXPECT_EQ(store->reg_para[0x35], 0xC3);
    EXPECT_EQ(store->reg_para[0x36] | store->reg_para[0x37] << 8, 0xFF10);
    EXPECT_EQ(store->reg_para[0x3B], 0xC0);
    EXPECT_EQ(store->reg_para[0x3C], 0xFF);
    EXPECT_EQ(store->reg_para[0x424], 0xFF);
    EXPECT_EQ(store->reg_para[0x425], 0);
    EXPECT_EQ(store->reg_para[0x20], 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(store->KrxUserModeSaved(i), 0);
}

TEST_F(Store, BootResetsClearWhatMustNotSurviveARestart) {
    Bytes file = fileWith({{864, 3}, {866, 5}, {868, 0x0702}, {1376, 2}, {2116, 1}});
    for (int k = 0; k < 32; ++k) {
        file[2816 - 766 + 2 * k] = 0x34;
        file[2817 - 766 + 2 * k] = 0x12;
    }
    writeFile(kFile, file);
    auto store = loadStore();
    const RamParaImage& image = store->ram_para;
    EXPECT_EQ(image.u16At(864), 0);
    EXPECT_EQ(image.u16At(866), 0);
    EXPECT_EQ(image.u16At(868), 0x0002) << "only byte 869 is cleared";
    EXPECT_EQ(image.u16At(1376), 0);
    EXPECT_EQ(image.u16At(2116), 0);
    EXPECT_EQ(image.u16At(2816), 0x123C) << "low byte 60, high byte kept";
    EXPECT_EQ(image.u16At(2878), 0x123C);
    EXPECT_EQ(std::memcmp(image.data(), store->ram_para_shadow.data(), 4096), 0);
}

TEST_F(Store, SavedImageSurvivesARestart) {
    auto store = loadStore();
    store->ram_para.setU16(1378, 3840);
    store->ram_para.setU16(2272 + 26 * 2, 1);
    store->ram_para.setU16(4094, 0xBEEF);
    sim::clearCommands();
    ASSERT_EQ(store->ram_para_file_write(store->ram_para), 0);
    ASSERT_FALSE(sim::commands().empty());
    EXPECT_EQ(sim::commands().back().text, "sync");

    Bytes file = readFile(kFile);
    ASSERT_EQ(file.size(), 4096u);
    EXPECT_EQ(file[0], 0xAA);
    EXPECT_EQ(file[1], 0xAA);
    EXPECT_EQ(std::memcmp(file.data() + 2, store->ram_para.data() + 768, 3328), 0);

    auto again = loadStore();
    EXPECT_EQ(again->ram_para.u16At(1378), 3840);
    EXPECT_EQ(again->ram_para.u16At(2272 + 52), 1);
    EXPECT_EQ(again->ram_para.u16At(4094), 0xBEEF);
}

TEST_F(Store, DamagedFileIsReplacedByTheDefaults) {
    struct Case {
        const char* what;
        std::function<void()> damage;
    };
    const Case cases[] = {
        {"marker AA 55",
         [this] {
             Bytes file = fileWith({{1378, 3840}});
             file[1] = 0x55;
             writeFile(kFile, file);
         }},
        {"truncated",
         [this] {
             Bytes file = fileWith({{1378, 3840}});
             file.resize(3329);
             writeFile(kFile, file);
         }},
        {"empty", [this] { writeFile(kFile, {}); }},
        {"unreadable", [this] { std::filesystem::create_directories(rooted(kFile)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(rooted(kFile));
        c.damage();
        auto store = loadStore();
        EXPECT_EQ(store->ram_para.u16At(1378), 1920);
        EXPECT_EQ(std::memcmp(store->ram_para.data() + 896, default_para_ramlist + 130, 1920), 0);
        EXPECT_EQ(readFile(kFile), defaultFile());
    }
}

TEST_F(Store, DefaultsReachMemoryWhenNoFileCanBeWritten) {
    std::filesystem::create_directories(rooted("/data/ram_device_info.tmp/x"));
    auto store = loadStore();
    EXPECT_FALSE(exists(kFile));
    EXPECT_EQ(std::memcmp(store->ram_para.data() + 768, default_para_ramlist + 2, 2816 - 768), 0);
    EXPECT_EQ(store->ram_para.u16At(2272), 1);
}

// A save killed in the middle (the process dies while the data is on its way to the disk,
// as on a power cut) must leave the previous image loadable.
TEST_F(Store, SaveKilledHalfWayLeavesTheOldImage) {
    writeFile(kFile, fileWith({{1378, 3000}}));
    auto store = loadStore();
    ASSERT_EQ(store->ram_para.u16At(1378), 3000);
    store->ram_para.setU16(1378, 1234);

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Files may not grow past 1000 bytes: the write stops there and the next one
        // kills the process with SIGXFSZ.
        rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        store->ram_para_file_write(store->ram_para);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer was expected to die mid-write";
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);

    EXPECT_EQ(loadStore()->ram_para.u16At(1378), 3000);
    ASSERT_EQ(store->ram_para_file_write(store->ram_para), 0) << "a later save works";
    EXPECT_EQ(loadStore()->ram_para.u16At(1378), 1234);
}

TEST_F(Store, FailedSaveIsReportedAndKeepsTheOldFile) {
    writeFile(kFile, fileWith({{1378, 3000}}));
    auto store = loadStore();
    std::filesystem::create_directories(rooted("/data/ram_device_info.tmp/x"));
    store->ram_para.setU16(1378, 1234);
    EXPECT_EQ(store->ram_para_file_write(store->ram_para), 255);
    EXPECT_EQ(loadStore()->ram_para.u16At(1378), 3000);
}

TEST_F(Store, RemoteWritesStopAtTheImageAndSlotEnds) {
    auto store = loadStore();
    const u8 data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(store->KrxRamParaDeal(data, 6, 4090), 0);
    EXPECT_EQ(store->ram_para[4095], 6);
    EXPECT_EQ(store->KrxRamParaDeal(data + 1, 7, 4090), 1);
    EXPECT_EQ(store->ram_para[4090], 1) << "a refused write writes nothing";
    EXPECT_EQ(store->KrxRamParaDeal(data, 2, 0xFFFFFFFFu), 1) << "no wrap-around";
    EXPECT_EQ(store->KrxRamParaDeal(data, 0, 4096), 0);
    EXPECT_EQ(store->KrxRamParaDeal(data, 1, 4096), 1);

    // Slot n at 0xn000: header byte 0 first; 4098 bytes per slot.
    EXPECT_EQ(store->KrxModeUserRamParaDeal(data, 2, 0x3000), 0);
    EXPECT_EQ(store->user_mode[2].bytes[0], 1);
    EXPECT_EQ(store->KrxModeUserRamParaDeal(data, 3, 0x10FFF), 0) << "up to byte 4097";
    EXPECT_EQ(store->user_mode[15].bytes[4097], 3);
    EXPECT_EQ(store->KrxModeUserRamParaDeal(data + 4, 4, 0x10FFF), 1);
    EXPECT_EQ(store->user_mode[15].bytes[4095], 1) << "nothing written past the end";
    EXPECT_EQ(store->KrxModeUserRamParaDeal(data, 1, 0x11000), 1);
    EXPECT_EQ(store->KrxModeUserRamParaDeal(data, 1, 0x0FFF), 1);
    EXPECT_EQ(store->KrxModeUserRamParaDeal(data, 1, 0x101000), 1) << "no alias of slot 1";
}

TEST_F(Store, LanguageFallsBackToAnOfferedOne) {
    g_lcd_lang_valid = 0x1001E;  // Chinese not offered
    EXPECT_EQ(loadStore()->ram_para[768], 1);
    EXPECT_EQ(g_language, 1);

    g_lcd_lang_valid = 0x2001F;  // bits 0..4 and 17
    auto store = loadStore();
    EXPECT_EQ(g_lcd_lang_valid, 0x1Eu);
    EXPECT_EQ(store->ram_para[768], 1);

    g_lcd_lang_valid = 0x1001F;
    writeFile(kFile, fileWith({{768, 200}}));
    EXPECT_EQ(loadStore()->ram_para[768], 0) << "an unknown language counts as not offered";
    g_lcd_lang_valid = 0;
    EXPECT_EQ(loadStore()->ram_para[768], 1) << "nothing offered: English";

    g_lcd_lang_valid = 0x13;  // 0, 1 and 4
    store = loadStore();
    EXPECT_EQ(store->KrxLanguageChanged(), 0);
    store->ram_para.setU16(768, 4);
    EXPECT_EQ(store->KrxLanguageChanged(), 1);
    EXPECT_EQ(g_language, 4);
    store->ram_para.setU16(768, 0x0503);  // Vietnamese is not offered
    EXPECT_EQ(store->KrxLanguageChanged(), 1);
    EXPECT_EQ(store->ram_para.u16At(768), 0);
    EXPECT_EQ(g_language, 0);
    store->ram_para.setU16(768, 37);
    EXPECT_EQ(store->KrxLanguageChanged(), 1);
    EXPECT_EQ(g_language, 0);
}

TEST_F(Store, RefreshThatRaisesAnotherRefreshDoesNotDeadlock) {
    auto store = loadStore();
    std::vector<int> reasons;
    QObject context;
    QObject::connect(store.get(), &KrxRamPara::sig_update_para, &context, [&](int reason) {
        reasons.push_back(reason);
        if (reason == 2)
            store->ram_para_save();  // as a screen's refresh may do
    });
    store->test_signal(2);
    EXPECT_EQ(reasons, (std::vector<int>{2, 1}));
}

// The refresh on the user-interface thread takes the apply lock; the video-processor thread
// raises its refresh while holding that lock. Neither may wait for the other.
TEST_F(Store, RefreshesFromTheApplyThreadAndTheScreenDoNotDeadlock) {
    auto store = loadStore();
    std::atomic<bool> inRefresh{false};
    std::vector<int> reasons;
    QObject context;
    QObject::connect(store.get(), &KrxRamPara::sig_update_para, &context, [&](int reason) {
        reasons.push_back(reason);
        inRefresh = true;
        ParaLock lock;
    });
    std::promise<void> holding;
    auto worker = std::async(std::launch::async, [&] {
        ParaLock lock;
        holding.set_value();
        while (!inRefresh)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        store->test_signal(1);  // queued to this (the store's) thread
    });
    holding.get_future().wait();
    store->test_signal(3);  // direct: blocks on the apply lock until the worker is done
    ASSERT_EQ(worker.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(test::waitFor([&] { return reasons.size() == 2; }));
    EXPECT_EQ(reasons, (std::vector<int>{3, 1}));
}

}  // namespace
