// User-mode slots and their files; the crop table and the window-source operations.
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <thread>

#include "tests/core/core_test.h"

namespace {

using coretest::CoreTest;
using Bytes = std::vector<unsigned char>;

std::vector<std::string> commandTexts() {
    std::vector<std::string> out;
    for (const sim::Command& c : sim::commands())
        out.push_back(c.text);
    return out;
}

bool ran(const std::string& command) {
    for (const sim::Command& c : sim::commands()) {
        if (c.text == command)
            return true;
    }
    return false;
}

class UserModes : public CoreTest {};

TEST_F(UserModes, SavedModeSurvivesARestartAndIsRecalled) {
    auto store = loadStore();
    store->ram_para.setU16(1378, 2560);
    store->ram_para.setU16(4094, 0x4242);
    ASSERT_EQ(store->mode_file_write(4, 1), 1);
    Bytes file = readFile("/data/modes/custom_mode5");
    ASSERT_EQ(file.size(), 4096u);
    EXPECT_EQ(file[0], 0xAA);
    EXPECT_EQ(file[1], 0xAA);
    EXPECT_EQ(std::memcmp(file.data() + 2, store->ram_para.data() + 896, 3200), 0);

    auto again = loadStore();
    EXPECT_EQ(again->KrxUserModeSaved(4), 1);
    EXPECT_EQ(again->KrxUserModeSaved(3), 0);
    EXPECT_EQ(again->user_mode[3].bytes[0], 0xFF) << "a slot without a file is empty";
    // Recall, as the screens do: data 0..3199 back into image 896.., mode in use = 5.
    std::memcpy(again->ram_para.data() + 896, again->user_mode[4].data(), 3200);
    EXPECT_EQ(again->ram_para.u16At(1378), 2560);
    EXPECT_EQ(again->ram_para.u16At(4094), 0x4242);
}

TEST_F(UserModes, OsdCopyOnlyForAPlainSaveWithOsdOn) {
    writeFile("/data/configs/omenu.json", {'{', '}'});
    auto store = loadStore();
    store->ram_para.setU16(2124, 1);
    store->mode_file_write(9, 2);
    EXPECT_FALSE(exists("/data/modes/MO0a.json"));
    sim::clearCommands();
    store->mode_file_write(9, 0);
    EXPECT_EQ(commandTexts(),
              (std::vector<std::string>{
                  "sync", "cp  /data/configs/omenu.json /data/modes/MO0a.json", "sync"}));
    EXPECT_EQ(readFile("/data/modes/MO0a.json"), (Bytes{'{', '}'}));
    store->ram_para.setU16(2124, 0);
    sim::clearCommands();
    store->mode_file_write(2, 0);
    EXPECT_FALSE(exists("/data/modes/MO03.json"));
    EXPECT_FALSE(ran("cp  /data/configs/omenu.json /data/modes/MO03.json"));
}

TEST_F(UserModes, DeleteRemovesTheFilesItOwns) {
    writeFile("/data/modes/MO01.json", {'a'});
    writeFile("/data/modes/MO02.json", {'b'});
    auto store = loadStore();
    store->mode_file_write(0, 1);
    store->ram_para.setU16(2124, 1);  // slot 1 is saved with its own OSD file
    store->mode_file_write(1, 1);
    ASSERT_EQ(store->user_mode[1].data()[1228], 1);

    EXPECT_EQ(store->mode_file_deal(0, 1), 0);
    EXPECT_FALSE(exists("/data/modes/custom_mode1"));
    EXPECT_TRUE(exists("/data/modes/MO01.json")) << "OSD flag 0 keeps the MO file";
    EXPECT_EQ(store->KrxUserModeSaved(0), 0);

    sim::clearCommands();
    store->mode_file_deal(1, 1);
    EXPECT_EQ(commandTexts(), (std::vector<std::string>{"rm  -rf  /data/modes/custom_mode2",
                                                        "rm  -rf  /data/modes/MO02.json", "sync"}));
    EXPECT_FALSE(exists("/data/modes/custom_mode2"));
    EXPECT_FALSE(exists("/data/modes/MO02.json"));
    EXPECT_EQ(store->user_mode[1].data()[1228], 0);

    sim::clearCommands();
    EXPECT_EQ(store->mode_file_deal(16, 1), 0);
    EXPECT_EQ(store->mode_file_deal(-1, 1), 0);
    EXPECT_TRUE(sim::commands().empty()) << "a bad slot deletes nothing";
}

TEST_F(UserModes, ShortOrUnwritableSlotFiles) {
    writeFile("/data/modes/custom_mode3", Bytes(4000, 0xAA));
    auto store = loadStore();
    EXPECT_EQ(store->KrxUserModeSaved(2), 0) << "a torn slot file is an empty slot";

    std::filesystem::create_directories(rooted("/data/modes/custom_mode7.tmp/x"));
    store->user_mode[6].bytes[0] = 0xFF;
    EXPECT_EQ(store->mode_file_write(6, 1), 0);
    EXPECT_EQ(store->KrxUserModeSaved(6), 0);
    EXPECT_EQ(store->mode_file_write(16, 1), 0);
}

TEST_F(UserModes, IndexSearchesSavedSlotsWithWrapAround) {
    auto store = loadStore();
    for (char d = 0; d < 3; ++d)
        EXPECT_EQ(store->KrxUserModeIndex(3, d), 256) << "nothing saved";
    store->user_mode[5].bytes[0] = store->user_mode[5].bytes[1] = 0xAA;
    EXPECT_EQ(store->KrxUserModeIndex(5, 1), 5);
    EXPECT_EQ(store->KrxUserModeIndex(5, 0), 5);
    EXPECT_EQ(store->KrxUserModeIndex(6, 2), 5);
    store->user_mode[12].bytes[0] = store->user_mode[12].bytes[1] = 0xAA;
    EXPECT_EQ(store->KrxUserModeIndex(5, 1), 12);
    EXPECT_EQ(store->KrxUserModeIndex(5, 0), 12);
    EXPECT_EQ(store->KrxUserModeIndex(13, 1), 5);
    EXPECT_EQ(store->KrxUserModeIndex(0, 0), 12);
    EXPECT_EQ(store->KrxUserModeIndex(16, 0), 12);
    EXPECT_EQ(store->KrxUserModeIndex(16, 2), 5);
    EXPECT_EQ(store->KrxUserModeIndex(17, 1), 256);
    EXPECT_EQ(store->KrxUserModeIndex(-1, 1), 256);
    EXPECT_EQ(store->KrxUserModeIndex(5, 3), 256);
    // Slot 15 with only the first marker byte is not saved.
    store->user_mode[15].bytes[0] = 0xAA;
    EXPECT_EQ(store->KrxUserModeIndex(13, 1), 5);
}

class Crops : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        store = loadStore();
    }
    // Writes entry i as the PC or a file would.
    void putEntry(int i, u16 id, u16 w = 100, u16 h = 50) {
        const size_t at = 1472 + 10 * i;
        store->ram_para.setU16(at, id);
        store->ram_para.setU16(at + 6, w);
        store->ram_para.setU16(at + 8, h);
    }
    static u16 id(int port, int number) { return 0x8000 | (number - 1) << 8 | port; }
    std::unique_ptr<KrxRamPara> store;
};

TEST_F(Crops, NumbersStayStableAcrossDeleteAndAdd) {
    putEntry(0, id(2, 1));
    putEntry(3, id(2, 2));
    putEntry(5, id(2, 4), 640, 480);
    store->KrxCropSourceInit();
    EXPECT_EQ(store->KrxGetCropID(2, 3), 4);
    EXPECT_EQ(store->KrxAddCropID(2), 3);
    EXPECT_EQ(store->KrxGetCropID(2, 4), 0);
    EXPECT_EQ(store->KrxGetSourceNum(2, 40), 3);
    CROP_PARA crop{};
    int index = -1;
    store->KrxGetCropPara(2, 3, &crop, &index);
    EXPECT_EQ(index, 5);
    EXPECT_EQ(crop.id, id(2, 4));
    EXPECT_EQ(crop.w, 640);
    store->KrxGetCropPara(4, 1, &crop, &index);
    EXPECT_EQ(index, 40) << "a port without crops";

    EXPECT_EQ(store->KrxDeleteCrop(2, 2), 0);
    EXPECT_EQ(store->ram_para.u16At(1472 + 30), 0);
    EXPECT_EQ(c331_manage::para_update, 1);
    store->KrxCropSourceInit();
    CROP_PARA added{0, 10, 20, 300, 200};
    EXPECT_EQ(store->KrxAddNewCrop(2, &added), 0);
    EXPECT_EQ(store->ram_para.u16At(1472 + 10), id(2, 2)) << "number 2 in the first free entry";
    EXPECT_EQ(store->ram_para.u16At(1472 + 16), 300);
    EXPECT_EQ(store->KrxAddNewCrop(2, &added), 0);
    EXPECT_EQ(store->ram_para.u16At(1472 + 20), id(2, 3)) << "numbered without a rebuild";
    EXPECT_EQ(store->KrxGetCropID(2, 4), 4);
}

TEST_F(Crops, FullTableAndForeignIdsAreHandled) {
    // Ids as a remote write may leave them: port 9, number 100 of port 1, and a valid one.
    putEntry(0, 0x8000 | 4 << 8 | 9);
    putEntry(1, 0x8000 | 99 << 8 | 1);
    putEntry(2, id(1, 1));
    store->KrxCropSourceInit();
    EXPECT_EQ(store->KrxGetCropID(1, 1), 1);
    EXPECT_EQ(store->KrxGetCropID(1, 2), 0);
    EXPECT_EQ(store->KrxGetCropID(9, 1), 0);
    EXPECT_EQ(store->KrxAddCropID(9), 0);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(g_cut_source_state[i], i == 5 ? 0x01 : 0) << "only port 1 crop 1, byte " << i;

    for (int i = 3; i < 40; ++i)
        putEntry(i, id(3, i));
    store->KrxCropSourceInit();
    RamParaImage before = store->ram_para;
    CROP_PARA crop{0, 0, 0, 10, 10};
    EXPECT_EQ(store->KrxAddNewCrop(0, &crop), 255) << "no free entry";
    EXPECT_EQ(store->KrxAddNewCrop(6, &crop), 255);
    EXPECT_EQ(std::memcmp(before.data(), store->ram_para.data(), 4096), 0);
    EXPECT_EQ(c331_manage::para_update, 0);
}

TEST_F(Crops, WindowSourceChanges) {
    putEntry(7, id(3, 1), 800, 600);
    store->KrxCropSourceInit();
    const size_t win2 = 2272 + 26 * 2;
    store->ram_para.setU16(866, 4);
    store->ram_para_shadow.setU16(866, 4);

    EXPECT_EQ(store->KrxSetImageSource(1, 3, 2), 0);
    EXPECT_EQ(store->ram_para.u16At(win2 + 8), 0x8007);
    EXPECT_EQ(store->ram_para.u16At(866), 0) << "the recalled mode no longer applies";
    EXPECT_EQ(c331_manage::para_update, 1);
    short isCrop = 0;
    u8 index = 0;
    EXPECT_EQ(store->KrxGetImageSource(store->ram_para.data(), 2, &isCrop, &index, 0), 3);
    EXPECT_EQ(isCrop, 1);
    EXPECT_EQ(index, 7);
    // The same read from a user-mode slot's data, whose offsets start at image byte 896.
    std::memcpy(store->user_mode[0].data(), store->ram_para.data() + 896, 3200);
    EXPECT_EQ(store->KrxGetImageSource(store->user_mode[0].data(), 2, &isCrop, &index, 1), 3);

    c331_manage::para_update = 0;
    EXPECT_EQ(store->KrxSetImageSource(2, 3, 2), 255) << "port 3 has one crop";
    EXPECT_EQ(store->KrxSetImageSource(0, 1, 6), 255);
    EXPECT_EQ(store->KrxSetImageSource(0, -1, 1), 255);
    EXPECT_EQ(store->ram_para.u16At(win2 + 8), 0x8007) << "window unchanged";
    EXPECT_EQ(c331_manage::para_update, 0);

    store->ram_para.setU16(win2 + 8, 0x80F0);  // crop index 240 from a remote write
    EXPECT_EQ(store->KrxGetImageSource(store->ram_para.data(), 2, &isCrop, &index, 0), 0);
    EXPECT_EQ(index, 240) << "a byte past 127 is no negative index";
    EXPECT_EQ(store->KrxSetImageSource(0, 2, 2), 0);
    EXPECT_EQ(store->ram_para.u16At(win2 + 8), 2);
    EXPECT_EQ(store->KrxGetImageSource(store->ram_para.data(), 2, &isCrop, &index, 0), 2);
    EXPECT_EQ(isCrop, 0);
}

TEST_F(Crops, FreezeBlackAndEdidEditsRaiseTheApplyRequest) {
    g_image_current = 1;  // disabled by default
    store->KrxSetImageFreeze();
    EXPECT_EQ(store->ram_para.u16At(2272 + 26 + 18), 0);
    EXPECT_EQ(c331_manage::para_update, 1);
    store->ram_para.setU16(2272 + 26, 1);
    store->KrxSetImageFreeze();
    EXPECT_EQ(store->ram_para.u16At(2272 + 26 + 18), 2);
    store->KrxSetImageBlack();
    store->KrxSetImageFreeze();
    EXPECT_EQ(store->ram_para.u16At(2272 + 26 + 18), 1);
    g_image_current = 200;
    store->KrxSetImageBlack();  // no such window: nothing written

    EXPECT_EQ(store->KrxSetEDIDPara(5, 1280, 720, 50), 0);
    EXPECT_EQ(store->ram_para.u16At(896 + 30), 1280);
    EXPECT_EQ(store->ram_para.u16At(896 + 34), 50);
    EXPECT_EQ(store->KrxSetEDIDPara(6, 1, 1, 1), 255);
}

TEST_F(Crops, CropEditWaitsForTheApplyLock) {
    putEntry(0, id(0, 1));
    store->KrxCropSourceInit();
    CROP_PARA crop{0, 5, 6, 7, 8};
    std::future<int> edit;
    std::atomic<pid_t> editor{0};
    auto finished = [&] {
        return edit.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    };
    {
        ParaLock lock;  // the video-processor thread is applying
        edit = std::async(std::launch::async, [&] {
            editor = coretest::threadId();
            return store->KrxSetCropPara(0, 1, &crop);
        });
        // The edit either runs to its end or goes to sleep on a mutex.
        ASSERT_TRUE(test::waitFor(
            [&] { return finished() || (editor != 0 && coretest::waitsOnAMutex(editor)); }, 10000));
        EXPECT_FALSE(finished()) << "the edit did not wait for the apply lock";
        EXPECT_EQ(store->ram_para.u16At(1472 + 2), 0);
    }
    EXPECT_EQ(edit.get(), 0);
    EXPECT_EQ(store->ram_para.u16At(1472 + 2), 5);
    EXPECT_EQ(store->ram_para.u16At(1472 + 8), 8);
    EXPECT_EQ(store->ram_para.u16At(1472), id(0, 1));
    EXPECT_EQ(c331_manage::para_update, 1);
    EXPECT_EQ(store->KrxSetCropPara(0, 2, &crop), 255);
}

}  // namespace
