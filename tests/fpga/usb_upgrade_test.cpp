// The USB upgrade installer, run pass by pass as the FPGA thread runs it: packages built
// from the format's tables on a stick under "/mnt/usb1/KRX-T5", and what reaches the
// application folder, the launch settings, the shell, the FPGA's configuration flash and
// its reset line.
#include <gtest/gtest.h>

#include <QSettings>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/sim/c331_flash_controller.h"
#include "board/sim/c331_model.h"
#include "board/sim/sim.h"
#include "tests/fpga/fpga_fixture.h"
#include "tests/fpga/usb_package_writer.h"
#include "video/c331_manage.h"

namespace fpgatest {
namespace {

using usbpkg::Bytes;
using usbpkg::Child;
using usbpkg::Package;

class UsbUpgrade : public FpgaTest {
protected:
    void SetUp() override {
        FpgaTest::SetUp();
        g_usb_grade_path = "KRX-T5";
        g_update_flag = 0;
        g_update_status = 0;
        g_app_reset_flag = 0;
        G_reboot_tickTicks = 0;
        std::filesystem::create_directories(rooted("/data/configs"));
        writeFile("/data/app/krxT47N", oldApp);
        store->reg_para[43] = 0;
        QObject::connect(store.get(), &KrxRamPara::sig_update_para,
                         [this](int reason) { reasons.push_back(reason); });
        window()->addListener([this](uint32_t offset, uint16_t value) {
            if (offset == 0x207864)  // FPGA 1's reset pad
                fpga1Pad.push_back(value);
        });
        flash()->setContents(0, Bytes(0x10000, 0x5A));
        flash()->clearLog();
        sim::clearCommands();
        padsAtStart = resetStores().size();
    }
    void TearDown() override {
        c331_manage::p_c331_manage = nullptr;
        video.reset();
        g_usb_grade_path = QString();
        FpgaTest::TearDown();
    }

    void onStick(const std::string& name, const Bytes& bytes,
                 const std::string& folder = "/mnt/usb1/KRX-T5/") {
        writeFile(folder + name, bytes);
    }
    // Runs the upgrade as the FPGA thread does, one step per pass; the number of passes.
    int upgrade() {
        g_usb_grade = 1;
        int passes = 0;
        while (g_usb_grade && passes < 10) {
            G_timeTicks += 1;
            manager->usb_upgrade_manage_deal(manager.get());
            ++passes;
        }
        return passes;
    }
    std::vector<std::string> commandTexts() {
        std::vector<std::string> texts;
        for (const sim::Command& c : sim::commands())
            texts.push_back(c.text);
        return texts;
    }
    bool ran(const std::string& command) {
        auto texts = commandTexts();
        return std::find(texts.begin(), texts.end(), command) != texts.end();
    }
    QString launchValue(const char* key) {
        QSettings launch(QString::fromStdString(rooted("/data/configs/led_load_config.ini")),
                         QSettings::IniFormat);
        return launch.value(QString("app-1/") + key).toString();
    }
    // Reads FPGA 0's image identity into the register shadow, as its bring-up does.
    void readFpgaIdentity() {
        for (u8 reg : {31, 30, 29, 28})
            manager->read_from_register(reg, 0);
    }
    // Nothing of the device changed: the application, the launch settings, the shell, the
    // FPGA flash and reset lines, the restart request.
    void expectUntouched() {
        EXPECT_EQ(readFile("/data/app/krxT47N"), oldApp);
        EXPECT_FALSE(exists("/data/app/krxT47N2"));
        EXPECT_FALSE(exists("/data/configs/led_load_config.ini"));
        EXPECT_FALSE(ran("mv /data/app/krxT47N2  /data/app/krxT47N"));
        EXPECT_TRUE(flash()->operations(sim::SpiNorFlash::Op::Erase).empty());
        EXPECT_TRUE(flash()->operations(sim::SpiNorFlash::Op::Program).empty());
        EXPECT_EQ(flash()->contents(0, 0x10000), Bytes(0x10000, 0x5A));
        EXPECT_TRUE(newResetStores().empty());
        EXPECT_EQ(g_app_reset_flag.load(), 0);
    }

    const Bytes oldApp = usbpkg::pattern(2000, 1);
    // Stores to FPGA 0's reset line since the set-up released it.
    std::vector<PadStore> newResetStores() {
        auto stores = resetStores();
        return std::vector<PadStore>(stores.begin() + static_cast<long>(padsAtStart), stores.end());
    }

    // The video processor opened as the program has it, with its OSD memory map, so that
    // fonts can be written to its serial flash and loaded.
    void openVideo() {
        video = std::make_unique<c331_manage>();
        video->open_device();
        ASSERT_GE(video->c331_fd, 0);
        video->load_system_param();
        video->load_char();
        c331_manage::p_c331_manage = video.get();
    }
    template <class Fn>
    void c331Flash(Fn fn) {
        ASSERT_TRUE(sim::get<sim::C331Model>("c331")->with<sim::C331FlashController>(fn));
    }
    using C331Op = sim::C331FlashController::Op;
    std::vector<std::pair<uint32_t, uint32_t>> c331Operations(C331Op op) {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        c331Flash([&](sim::C331FlashController& c) {
            for (const auto& o : c.operations(op))
                out.push_back({o.address, o.length});
        });
        return out;
    }
    Bytes c331Contents(uint32_t address, uint32_t count) {
        Bytes out;
        c331Flash([&](sim::C331FlashController& c) { out = c.flash().read(address, count); });
        return out;
    }

    std::unique_ptr<c331_manage> video;
    std::vector<int> reasons;
    std::vector<uint16_t> fpga1Pad;
    size_t padsAtStart = 0;
};

TEST_F(UsbUpgrade, AnApplicationIsInstalledByteForByteAndARestartRequested) {
    const Bytes app = usbpkg::pattern(70001, 2);
    onStick("T5.KRX", usbpkg::build({0, 0x8D52, {{10, app, usbpkg::kNewApp}}}));
    G_timeTicks = 5000;
    EXPECT_EQ(upgrade(), 4) << "four steps, one per pass";

    EXPECT_EQ(readFile("/data/app/krxT47N"), app);
    EXPECT_FALSE(exists("/data/app/krxT47N2"));
    EXPECT_EQ(launchValue("app_path"), "/data/app/krxT47N -platform linuxfb");
    EXPECT_EQ(launchValue("app_name"), "krxT47N");
    EXPECT_TRUE(ran("chmod 777 -R /data/app"));
    EXPECT_TRUE(ran("mv /data/app/krxT47N2  /data/app/krxT47N"));
    EXPECT_EQ(g_app_reset_flag.load(), 1);
    EXPECT_EQ(G_reboot_tickTicks.load(), 5003u) << "stamped in the third pass";
    EXPECT_FALSE(ran("reboot")) << "the 10 ms tick reboots, 300 ticks later";
    EXPECT_EQ(reasons, std::vector<int>{104});
    EXPECT_FALSE(manager->usb_upgrade_failed());
    EXPECT_EQ(g_update_flag.load(), 0);
    EXPECT_TRUE(newResetStores().empty()) << "the restart reloads the FPGA";
}

TEST_F(UsbUpgrade, LaunchSettingsThatAlreadyNameTheApplicationAreNotRewritten) {
    g_update_status = 1;
    onStick("T5.KRX", usbpkg::build({0, 0x8D52, {{10, usbpkg::pattern(100, 3), {}}}}));
    upgrade();
    EXPECT_EQ(readFile("/data/app/krxT47N"), usbpkg::pattern(100, 3));
    EXPECT_FALSE(exists("/data/configs/led_load_config.ini"));
    EXPECT_EQ(g_app_reset_flag.load(), 1);
}

TEST_F(UsbUpgrade, TheRunningVersionIsSkippedOnlyWhenThePackageAsksForChangesOnly) {
    const Bytes app = usbpkg::pattern(3000, 4);
    onStick("T5.KRX", usbpkg::build({0x80, 0x8D52, {{10, app, usbpkg::kRunningApp}}}));
    upgrade();
    expectUntouched();
    EXPECT_EQ(reasons, std::vector<int>{104});
    EXPECT_FALSE(manager->usb_upgrade_failed());

    onStick("T5.KRX", usbpkg::build({0x00, 0x8D52, {{10, app, usbpkg::kRunningApp}}}));
    upgrade();
    EXPECT_EQ(readFile("/data/app/krxT47N"), app);
    EXPECT_EQ(g_app_reset_flag.load(), 1);
}

TEST_F(UsbUpgrade, AnFpgaImageIsErasedWrittenAndReadBackThenTheFpgaReloaded) {
    // 40000 bytes: one 32 KiB block at 0 and the 4 KiB sectors 8 and 9; written as 32768
    // bytes at 0 and 7232 at 32768.
    const Bytes image = usbpkg::pattern(40000, 5);
    onStick("T5.KRX",
            usbpkg::build({0x80, 0x8D52, {{7, usbpkg::fpgaImage(image), {25, 1, 2, 0, 0, 1}}}}));
    readFpgaIdentity();
    upgrade();

    using Op = sim::SpiNorFlash::Op;
    std::vector<std::pair<uint32_t, uint32_t>> erased;
    for (const auto& op : flash()->operations(Op::Erase))
        erased.push_back({op.address, op.length});
    EXPECT_EQ(erased, (std::vector<std::pair<uint32_t, uint32_t>>{
                          {0x0000, 32768}, {0x8000, 4096}, {0x9000, 4096}}));
    uint32_t programmed = 0;
    for (const auto& op : flash()->operations(Op::Program))
        programmed += op.length;
    EXPECT_EQ(programmed, 40000u);
    EXPECT_EQ(flash()->contents(0, 40000), image);
    EXPECT_EQ(flash()->contents(40000, 960), Bytes(960, 0xFF)) << "the rest of sector 9";
    EXPECT_EQ(flash()->contents(0xA000, 0x6000), Bytes(0x6000, 0x5A)) << "beyond: untouched";
    EXPECT_FALSE(manager->usb_upgrade_failed());
    EXPECT_EQ(g_app_reset_flag.load(), 0);

    // The reload: FPGA 0 held in reset, released by the pass once more than 200 ticks
    // passed.
    auto stores = newResetStores();
    ASSERT_EQ(stores.size(), 1u);
    EXPECT_EQ(stores[0].value, 0);
    for (int i = 0; i < 300 && newResetStores().size() == 1; ++i)
        pass();
    stores = newResetStores();
    ASSERT_EQ(stores.size(), 2u);
    EXPECT_EQ(stores[1].value, 16);
    EXPECT_EQ(stores[1].tick - stores[0].tick, 201u);
}

TEST_F(UsbUpgrade, TheRunningFpgaImageIsSkippedOnlyWhenThePackageAsksForChangesOnly) {
    // The simulated FPGA 0 runs an image of 2024-06-21, function 1 (registers 31..28).
    readFpgaIdentity();
    const Bytes payload = usbpkg::fpgaImage(usbpkg::pattern(5000, 6));
    onStick("T5.KRX", usbpkg::build({0x80, 0x8D52, {{7, payload, {24, 6, 21, 9, 9, 1}}}}));
    upgrade();
    expectUntouched();

    onStick("T5.KRX", usbpkg::build({0x80, 0x8D52, {{7, payload, {24, 6, 21, 9, 9, 2}}}}));
    upgrade();
    EXPECT_EQ(flash()->contents(0, 5000), usbpkg::pattern(5000, 6));
}

TEST_F(UsbUpgrade, ApplicationAndFpgaTogetherRestartWithoutAReload) {
    const Bytes app = usbpkg::pattern(4096, 7);
    const Bytes image = usbpkg::pattern(9000, 8);
    onStick("T5.KRX",
            usbpkg::build({0, 0x8D52, {{10, app, {}}, {7, usbpkg::fpgaImage(image), {}}}}));
    upgrade();
    EXPECT_EQ(readFile("/data/app/krxT47N"), app);
    EXPECT_EQ(flash()->contents(0, 9000), image);
    EXPECT_EQ(g_app_reset_flag.load(), 1);
    EXPECT_TRUE(newResetStores().empty());
}

TEST_F(UsbUpgrade, ImagesOfFpgaOneAreSkippedWhileItsFlashIsNotOpened) {
    const Bytes app = usbpkg::pattern(500, 9);
    onStick(
        "T5.KRX",
        usbpkg::build(
            {0, 0x8D52, {{8, usbpkg::fpgaImage(usbpkg::pattern(6000, 10)), {}}, {10, app, {}}}}));
    upgrade();
    EXPECT_TRUE(sim::get<sim::SpiNorFlash>("fpga1-flash")->operations().empty());
    EXPECT_TRUE(fpga1Pad.empty()) << "FPGA 1 is not put in reset";
    EXPECT_FALSE(manager->usb_upgrade_failed()) << "skipped, not failed";
    EXPECT_EQ(readFile("/data/app/krxT47N"), app);
    EXPECT_EQ(g_app_reset_flag.load(), 1);
}

TEST_F(UsbUpgrade, OtherControllersApplicationsAndImagesAreSkipped) {
    onStick("T5.KRX", usbpkg::build({0,
                                     0x8D53,
                                     {{10, usbpkg::pattern(500, 11), {}},
                                      {7, usbpkg::fpgaImage(usbpkg::pattern(600, 12)), {}},
                                      {99, usbpkg::pattern(10, 13), {}}}}));
    upgrade();
    expectUntouched();
    EXPECT_FALSE(manager->usb_upgrade_failed());
}

// Each of these packages is refused whole: nothing of it reaches the device, and the
// upgrade ends failed.
TEST_F(UsbUpgrade, EveryRefusedPackageLeavesTheDeviceAsItWas) {
    const Bytes app = usbpkg::pattern(1000, 14);
    const Bytes image = usbpkg::fpgaImage(usbpkg::pattern(1000, 15));
    Bytes cutHead = usbpkg::build({0, 0x8D52, {{10, app, {}}}});
    cutHead.resize(48);
    Bytes cutChildHeads = usbpkg::build({0, 0x8D52, {{10, app, {}}}, uint16_t{2}});
    cutChildHeads.resize(49 + 21 + 20);
    Bytes cutImage = usbpkg::build({0, 0x8D52, {{7, image, {}}}});
    cutImage.pop_back();
    const struct {
        const char* what;
        Bytes package;
    } cases[] = {
        {"a package head of 48 bytes", cutHead},
        {"two child heads announced, one and a bit there", cutChildHeads},
        {"an application reaching past the end", usbpkg::build({0, 0x8D52, {{10, app, {}, 1001}}})},
        {"an application beyond the end",
         usbpkg::build({0, 0x8D52, {{10, app, {}, std::nullopt, 0xFFFFFF00u}}})},
        {"an empty application", usbpkg::build({0, 0x8D52, {{10, Bytes{}, {}}}})},
        {"an FPGA image head past the end", usbpkg::build({0, 0x8D52, {{7, Bytes(63, 0), {}}}})},
        {"an empty FPGA image", usbpkg::build({0, 0x8D52, {{7, usbpkg::fpgaImage(Bytes{}), {}}}})},
        {"an FPGA image cut short", cutImage},
        {"an FPGA image longer than its payload",
         usbpkg::build(
             {0, 0x8D52, {{7, usbpkg::fpgaImage(usbpkg::pattern(100, 16), 0x200000), {}}}})},
        {"a font of height 48", usbpkg::build({0, 0x8D52, {{13, usbpkg::font(1, 48, 4000), {}}}})},
        {"a font of encoding 2", usbpkg::build({0, 0x8D52, {{13, usbpkg::font(2, 32, 4000), {}}}})},
        {"a 32-pixel English font over 64 KiB",
         usbpkg::build({0, 0x8D52, {{13, usbpkg::font(1, 32, 0x10001), {}}}})},
        {"a font shorter than its head",
         usbpkg::build({0, 0x8D52, {{13, usbpkg::font(1, 32, 40), {}, 34}}})},
        {"a good application, then a bad image",
         usbpkg::build({0, 0x8D52, {{10, app, {}}, {7, usbpkg::fpgaImage(Bytes{}), {}}}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reasons.clear();
        onStick("T5.KRX", c.package);
        upgrade();
        expectUntouched();
        EXPECT_TRUE(manager->usb_upgrade_failed());
        EXPECT_EQ(reasons, std::vector<int>{104});
    }
}

TEST_F(UsbUpgrade, TheLimitsOfTheBufferAndOfTheFpgaFlashAreInclusive) {
    // 5,242,880 bytes is the whole buffer; one more is refused.
    onStick("A.KRX", usbpkg::build({0, 0x8D52, {{10, Bytes(5242881, 0x11), {}}}}));
    upgrade();
    expectUntouched();
    EXPECT_TRUE(manager->usb_upgrade_failed());

    onStick("A.KRX", usbpkg::build({0, 0x8D52, {{10, Bytes(5242880, 0x22), {}}}}));
    upgrade();
    EXPECT_FALSE(manager->usb_upgrade_failed());
    EXPECT_EQ(readFile("/data/app/krxT47N"), Bytes(5242880, 0x22));

    // The controller's records begin at 0x301000: an image may fill the flash up to there.
    g_app_reset_flag = 0;
    std::filesystem::remove(rooted("/mnt/usb1/KRX-T5/A.KRX"));
    flash()->setContents(0x301000, Bytes(16, 0xA5));
    onStick("B.KRX",
            usbpkg::build({0, 0x8D52, {{7, usbpkg::fpgaImage(Bytes(0x301001, 0x33)), {}}}}));
    upgrade();
    EXPECT_TRUE(manager->usb_upgrade_failed());
    EXPECT_TRUE(flash()->operations(sim::SpiNorFlash::Op::Erase).empty());

    const Bytes image = usbpkg::pattern(0x301000, 17);
    onStick("B.KRX", usbpkg::build({0, 0x8D52, {{7, usbpkg::fpgaImage(image), {}}}}));
    upgrade();
    EXPECT_FALSE(manager->usb_upgrade_failed());
    EXPECT_EQ(flash()->contents(0x2FF000, 0x2000), Bytes(image.end() - 0x2000, image.end()));
    EXPECT_EQ(flash()->contents(0x301000, 16), Bytes(16, 0xA5)) << "the records stay";
}

TEST_F(UsbUpgrade, AFailedFlashWriteIsShownAndNothingMovesOrReloads) {
    onStick("T5.KRX", usbpkg::build({0,
                                     0x8D52,
                                     {{10, usbpkg::pattern(800, 18), {}},
                                      {7, usbpkg::fpgaImage(usbpkg::pattern(3000, 19)), {}}}}));
    flash()->cutPowerAt(2);  // the erase goes, every program after it is lost
    upgrade();
    EXPECT_TRUE(manager->usb_upgrade_failed());
    EXPECT_EQ(readFile("/data/app/krxT47N"), oldApp);
    EXPECT_FALSE(exists("/data/app/krxT47N2")) << "the new application is deleted";
    EXPECT_FALSE(ran("mv /data/app/krxT47N2  /data/app/krxT47N"));
    EXPECT_EQ(g_app_reset_flag.load(), 0);
    EXPECT_TRUE(newResetStores().empty()) << "no reload of an image that did not read back";
    EXPECT_EQ(reasons, std::vector<int>{104});
}

TEST_F(UsbUpgrade, AFailedMoveIsShownAndNoRestartFollows) {
    sim::setCommandExit("mv", 1);
    onStick("T5.KRX", usbpkg::build({0, 0x8D52, {{10, usbpkg::pattern(800, 20), {}}}}));
    upgrade();
    EXPECT_TRUE(manager->usb_upgrade_failed());
    EXPECT_FALSE(exists("/data/app/krxT47N2"));
    EXPECT_EQ(g_app_reset_flag.load(), 0);
}

TEST_F(UsbUpgrade, AnApplicationThatCannotBeWrittenIsShown) {
    std::filesystem::remove_all(rooted("/data/app"));
    writeFile("/data/app", Bytes{1});  // a file where the folder belongs
    onStick("T5.KRX", usbpkg::build({0, 0x8D52, {{10, usbpkg::pattern(800, 21), {}}}}));
    upgrade();
    EXPECT_TRUE(manager->usb_upgrade_failed());
    EXPECT_EQ(g_app_reset_flag.load(), 0);
    EXPECT_FALSE(ran("mv /data/app/krxT47N2  /data/app/krxT47N"));
}

TEST_F(UsbUpgrade, AnInstalledApplicationStaysInstalledWhenALaterPackageSkipsItsOwn) {
    const Bytes app = usbpkg::pattern(1500, 22);
    onStick("A.KRX", usbpkg::build({0, 0x8D52, {{10, app, {}}}}));
    onStick("B.KRX",
            usbpkg::build({0x80, 0x8D52, {{10, usbpkg::pattern(900, 23), usbpkg::kRunningApp}}}));
    upgrade();
    EXPECT_EQ(readFile("/data/app/krxT47N"), app);
    EXPECT_EQ(g_app_reset_flag.load(), 1);
}

TEST_F(UsbUpgrade, AFontIsWrittenAtItsSetsAddressThenFoundAndLoaded) {
    // A 64-pixel English set of 40000 bytes goes to 0x410000: erased as the 32 KiB block
    // there and the 4 KiB sectors 0x418 and 0x419, written in 16 KiB chunks.
    openVideo();
    c331Flash([](sim::C331FlashController& c) {
        c.flash().load(0x40FFFF, {0x11});
        c.flash().load(0x41A000, {0x22});
        c.clearLog();
    });
    const Bytes font = usbpkg::font(1, 64, 40000, 26);
    // Fonts are taken whatever the controller type.
    onStick("FONT.KRX", usbpkg::build({0, 0x1234, {{13, font, {}}}}));
    upgrade();

    EXPECT_FALSE(manager->usb_upgrade_failed());
    EXPECT_EQ(c331Contents(0x410000, 40000), font);
    EXPECT_EQ(c331Contents(0x410000 + 40000, 960), Bytes(960, 0xFF)) << "the rest of 0x419";
    EXPECT_EQ(c331Contents(0x40FFFF, 1), Bytes{0x11}) << "before: untouched";
    EXPECT_EQ(c331Contents(0x41A000, 1), Bytes{0x22}) << "after: untouched";
    EXPECT_EQ(c331Operations(C331Op::Erase),
              (std::vector<std::pair<uint32_t, uint32_t>>{
                  {0x410000, 32768}, {0x418000, 4096}, {0x419000, 4096}}));
    uint32_t programmed = 0;
    for (const auto& op : c331Operations(C331Op::Program))
        programmed += op.second;
    EXPECT_EQ(programmed, 40000u);
    // Found again: font_status bit 3 is the 64-pixel English set, register 43 bits 2
    // and 4; then the sets are moved into chip memory.
    EXPECT_EQ(video->font_status.load(), 0x8u);
    EXPECT_EQ(store->reg_para[43], 0x14);
    EXPECT_FALSE(c331Operations(C331Op::Dma).empty());
    EXPECT_EQ(g_app_reset_flag.load(), 0);
    EXPECT_EQ(reasons, std::vector<int>{104});
    EXPECT_TRUE(sim::get<sim::C331Model>("c331")->protocolErrors().empty());
}

TEST_F(UsbUpgrade, AChineseFontGoesToItsSetAndAnotherEncodingIsRefused) {
    openVideo();
    const Bytes font = usbpkg::font(0, 32, 5000, 27);
    onStick("FONT.KRX", usbpkg::build({0, 0x8D52, {{13, font, {}}}}));
    upgrade();
    EXPECT_EQ(c331Contents(0x010000, 5000), font);
    EXPECT_EQ(video->font_status.load(), 0x1u) << "bit 0: the 32-pixel Chinese set";

    c331Flash([](sim::C331FlashController& c) { c.clearLog(); });
    onStick("FONT.KRX", usbpkg::build({0, 0x8D52, {{13, usbpkg::font(2, 32, 5000), {}}}}));
    upgrade();
    EXPECT_TRUE(manager->usb_upgrade_failed());
    EXPECT_TRUE(c331Operations(C331Op::Erase).empty());
    EXPECT_TRUE(c331Operations(C331Op::Program).empty());
}

TEST_F(UsbUpgrade, AFontWhoseEraseFailsFailsTheUpgradeAndTheApplicationDoesNotMove) {
    openVideo();
    // The flash never finishes its erase.
    c331Flash([](sim::C331FlashController& c) {
        c.stick(sim::C331FlashController::Stuck::EraseBusy, true);
    });
    onStick(
        "T5.KRX",
        usbpkg::build({0,
                       0x8D52,
                       {{10, usbpkg::pattern(600, 28), {}}, {13, usbpkg::font(1, 32, 3000), {}}}}));
    upgrade();
    EXPECT_TRUE(manager->usb_upgrade_failed());
    EXPECT_EQ(readFile("/data/app/krxT47N"), oldApp);
    EXPECT_FALSE(exists("/data/app/krxT47N2"));
    EXPECT_FALSE(ran("mv /data/app/krxT47N2  /data/app/krxT47N"));
    EXPECT_EQ(g_app_reset_flag.load(), 0);
    c331Flash([](sim::C331FlashController& c) {
        c.stick(sim::C331FlashController::Stuck::EraseBusy, false);
        c.clearProtocolErrors();
    });
}

TEST_F(UsbUpgrade, AFontChildIsNotConsideredWhileEveryFontSetIsPresent) {
    openVideo();
    store->reg_para[43] = 0x3F;
    const Bytes app = usbpkg::pattern(800, 25);
    onStick("T5.KRX",
            usbpkg::build({0, 0x8D52, {{13, usbpkg::font(0, 32, 5000), {}}, {10, app, {}}}}));
    upgrade();
    EXPECT_EQ(readFile("/data/app/krxT47N"), app);
    EXPECT_FALSE(manager->usb_upgrade_failed());
    EXPECT_EQ(g_app_reset_flag.load(), 1);
}

TEST_F(UsbUpgrade, MoreThan255PackagesAreAllInstalled) {
    for (int i = 0; i < 256; ++i)
        onStick(QString("P%1.KRX").arg(i, 3, 10, QChar('0')).toStdString(),
                usbpkg::build({0, 0x8D52, {}}));
    const Bytes app = usbpkg::pattern(300, 24);
    onStick("P256.KRX", usbpkg::build({0, 0x8D52, {{10, app, {}}}}));
    upgrade();
    EXPECT_EQ(manager->usb_file_count, 257);
    EXPECT_EQ(readFile("/data/app/krxT47N"), app);
}

TEST_F(UsbUpgrade, PackagesAreFoundByTheirExactSuffixInTheUpgradeFolder) {
    const Bytes package = usbpkg::build({0, 0x8D52, {}});
    onStick("a.KRX", package);
    onStick("b.KRXZK", package);
    onStick("c.krx", package);
    onStick("d.KRX.bak", package);
    onStick("e.KRXZ", package);
    onStick("root.KRX", package, "/mnt/usb1/");
    std::filesystem::create_symlink(rooted("/mnt/usb1/KRX-T5/a.KRX"),
                                    rooted("/mnt/usb1/KRX-T5/link.KRX"));
    std::filesystem::create_directories(rooted("/mnt/usb1/KRX-T5/folder.KRX"));
    upgrade();
    EXPECT_EQ(manager->usb_file_list,
              QStringList({"/mnt/usb1/KRX-T5/a.KRX", "/mnt/usb1/KRX-T5/b.KRXZK"}));

    g_usb_grade_path = " ";  // the stick's root
    upgrade();
    EXPECT_EQ(manager->usb_file_list, QStringList({"/mnt/usb1/root.KRX"}));

    g_usb_grade_path = "missing";
    upgrade();
    EXPECT_EQ(manager->usb_file_count, 0);
    EXPECT_EQ(reasons, (std::vector<int>{104, 104, 104}));
}

}  // namespace
}  // namespace fpgatest
