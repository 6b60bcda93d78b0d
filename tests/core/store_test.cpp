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

// One 16-bit field of the default image, at its image offset.
struct Field {
    std::string name;
    size_t offset;
    u16 value;
};

// Every named field of the default image with its documented default. Window sources are
// the byte at +8 (byte +9 is 0: a plain port).
std::vector<Field> documentedDefaults() {
    std::vector<Field> fields = {
        {"language", 768, 0},
        {"770 (no reader)", 770, 100},
        {"panel_lock", 772, 0},
        {"wifi_off", 774, 0},
        {"test_pattern", 864, 0},
        {"current_user_mode", 866, 0},
        {"save_user_mode", 868, 0},
        {"splice_mode", 1376, 0},
        {"led_width", 1378, 1920},
        {"led_height", 1380, 1080},
        {"led_x", 1382, 0},
        {"led_y", 1384, 0},
        {"och_num_h", 1386, 1},
        {"och_num_v", 1388, 1},
        {"och_w", 1390, 1920},
        {"och_h", 1392, 1080},
        {"1394 (written back)", 1394, 0},
        {"out1_x", 1408, 0},
        {"out1_y", 1410, 0},
        {"out1_width", 1412, 1920},
        {"out1_height", 1414, 1080},
        {"out2_x", 1416, 0},
        {"out2_y", 1418, 0},
        {"out2_width", 1420, 1920},
        {"out2_height", 1422, 1080},
        {"current_window", 2112, 0},
        {"dbd_enable", 2114, 0},
        {"fpga_para", 2116, 0},
        {"switch_mode", 2118, 0},
        {"osd_enable", 2124, 0},
        {"picture brightness", 2176, 100},
        {"picture contrast", 2178, 50},
        {"picture sharpness", 2180, 10},
        {"picture saturation", 2182, 50},
        {"colour temperature type", 2184, 2},
        {"colour temperature R", 2186, 64},
        {"colour temperature G", 2188, 64},
        {"colour temperature B", 2190, 64},
        {"2270 (no reader)", 2270, 1},
    };
    for (size_t p = 0; p < 6; ++p) {
        const std::string entry = "edid_para " + std::to_string(p);
        fields.push_back({entry + " width", 896 + 6 * p, static_cast<u16>(p < 4 ? 1920 : 3840)});
        fields.push_back({entry + " height", 898 + 6 * p, static_cast<u16>(p < 4 ? 1080 : 2160)});
        fields.push_back({entry + " refresh", 900 + 6 * p, 60});
    }
    // The crop pattern runs through the 40 entries and 24 entries' worth after them.
    for (size_t i = 0; i < 64; ++i) {
        const std::string entry = "crop " + std::to_string(i);
        const size_t at = 1472 + 10 * i;
        fields.push_back({entry + " id", at, 0x0002});
        fields.push_back({entry + " x", at + 2, 0});
        fields.push_back({entry + " y", at + 4, 0});
        fields.push_back({entry + " w", at + 6, 1920});
        fields.push_back({entry + " h", at + 8, 1080});
    }
    for (size_t w = 0; w < 16; ++w)
        fields.push_back({"krx_layer " + std::to_string(w), 2208 + 2 * w, static_cast<u16>(w)});
    for (size_t w = 0; w < 6; ++w) {
        const std::string entry = "window " + std::to_string(w);
        const size_t at = 2272 + 26 * w;
        fields.push_back({entry + " enable", at, static_cast<u16>(w == 0 ? 1 : 0)});
        fields.push_back({entry + " attributes", at + 4, 0});
        fields.push_back({entry + " source", at + 8, 1});
        fields.push_back({entry + " x", at + 10, 0});
        fields.push_back({entry + " y", at + 12, 0});
        fields.push_back({entry + " w", at + 14, 1920});
        fields.push_back({entry + " h", at + 16, 1080});
        fields.push_back({entry + " output", at + 18, 0});
        fields.push_back({entry + " audio", at + 20, 0});
        fields.push_back({entry + " dbd mode", at + 22, 0});
    }
    for (size_t k = 0; k < 16; ++k) {
        fields.push_back({"win_fade in " + std::to_string(k), 2816 + 4 * k, 0});
        fields.push_back({"win_fade out " + std::to_string(k), 2818 + 4 * k, 0});
    }
    return fields;
}

u16 fileU16(const Bytes& file, size_t imageOffset) {
    return static_cast<u16>(file[imageOffset - 766] | file[imageOffset - 765] << 8);
}

// The parameter file the defaults make: marker AA AA, image byte n at file offset n - 766,
// every byte that is no named field 0, a zero tail from 3330.
Bytes defaultFile() {
    Bytes file(4096, 0);
    file[0] = 0xAA;
    file[1] = 0xAA;
    for (const Field& f : documentedDefaults()) {
        file[f.offset - 766] = static_cast<u8>(f.value);
        file[f.offset - 765] = static_cast<u8>(f.value >> 8);
    }
    return file;
}

// The image bytes from..to-1 of the default file.
Bytes defaultImageBytes(size_t from, size_t to) {
    const Bytes file = defaultFile();
    return Bytes(file.begin() + (from - 766), file.begin() + (to - 766));
}

Bytes imageBytes(const RamParaImage& image, size_t from, size_t to) {
    return Bytes(image.data() + from, image.data() + to);
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

TEST_F(Store, EveryNamedFieldOfTheDefaultImageHoldsItsDefault) {
    auto store = loadStore();
    const Bytes file = readFile(kFile);
    ASSERT_EQ(file.size(), 4096u);
    for (const Field& f : documentedDefaults()) {
        EXPECT_EQ(fileU16(file, f.offset), f.value) << f.name << " at " << f.offset;
        // At start the low byte of every fade word becomes 60.
        const bool fade = f.offset >= 2816 && f.offset < 2880;
        EXPECT_EQ(store->ram_para.u16At(f.offset), fade ? 60 : f.value)
            << f.name << " at " << f.offset;
    }
    EXPECT_EQ(file, defaultFile()) << "every other byte of the file is 0";
}

TEST_F(Store, FirstStartWritesTheDefaultsAndSavesNothing) {
    auto store = loadStore();
    EXPECT_EQ(readFile(kFile), defaultFile());
    EXPECT_TRUE(exists("/data/modes"));
    EXPECT_TRUE(exists("/data/configs"));
    EXPECT_EQ(std::memcmp(store->ram_para.data(), store->ram_para_shadow.data(), 4096), 0)
        << "the loaded state must not count as a change";
    EXPECT_EQ(imageBytes(store->ram_para, 768, 2816), defaultImageBytes(768, 2816));
    EXPECT_EQ(imageBytes(store->ram_para, 2880, 4096), defaultImageBytes(2880, 4096));
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
        EXPECT_EQ(imageBytes(store->ram_para, 768, 2816), defaultImageBytes(768, 2816));
        EXPECT_EQ(readFile(kFile), defaultFile());
    }
}

TEST_F(Store, DefaultsReachMemoryWhenNoFileCanBeWritten) {
    std::filesystem::create_directories(rooted("/data/ram_device_info.tmp/x"));
    auto store = loadStore();
    EXPECT_FALSE(exists(kFile));
    EXPECT_EQ(imageBytes(store->ram_para, 768, 2816), defaultImageBytes(768, 2816));
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

// The input thread rewrites input 2's size entry (image 256 + 6 x 2) under info_mutex while
// the panel, the video thread and the PC read it: each of them sees the entry as one write
// left it, never half of one.
TEST_F(Store, AnInputSizeIsReadWholeWhileTheInputThreadRewritesIt) {
    auto store = loadStore();
    std::atomic<bool> writing{true};
    std::thread input([&] {
        for (unsigned n = 0; writing; ++n) {
            const bool on = n & 1;
            pthread_mutex_lock(&store->info_mutex);
            store->ram_para.setU16(268, on ? 1920 : 0);
            store->ram_para.setU16(270, on ? 1080 : 0);
            store->ram_para.setU16(272, on ? 60 : 0);
            pthread_mutex_unlock(&store->info_mutex);
        }
    });
    auto whole = [](u16 w, u16 h, u16 r) {
        return (w == 0 && h == 0 && r == 0) || (w == 1920 && h == 1080 && r == 60);
    };
    int torn = 0;
    for (int i = 0; i < 5000; ++i) {
        const VideoSizePara size = store->input_size(2);
        torn += !whole(size.width, size.height, size.refresh);
        const RamParaImage copy = store->live_copy();
        torn += !whole(copy.u16At(268), copy.u16At(270), copy.u16At(272));
        u8 bytes[6];
        store->read_live(268, bytes, sizeof bytes);
        torn += !whole(get_u16(bytes), get_u16(bytes + 2), get_u16(bytes + 4));
    }
    writing = false;
    input.join();
    EXPECT_EQ(torn, 0);
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
    const pid_t screenThread = coretest::threadId();
    std::promise<void> holding;
    auto worker = std::async(std::launch::async, [&] {
        ParaLock lock;
        holding.set_value();
        // The screen's refresh now waits for the apply lock this thread holds.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while ((!inRefresh || !coretest::waitsOnAMutex(screenThread)) &&
               std::chrono::steady_clock::now() < limit)
            std::this_thread::yield();
        store->test_signal(1);  // queued to this (the store's) thread
    });
    holding.get_future().wait();
    store->test_signal(3);  // direct: blocks on the apply lock until the worker is done
    ASSERT_EQ(worker.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(test::waitFor([&] { return reasons.size() == 2; }));
    EXPECT_EQ(reasons, (std::vector<int>{3, 1}));
}

}  // namespace
