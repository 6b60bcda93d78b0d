// The factory setup screen: what each reset leaves in the parameter image, the EDID
// rewrite it asks of the inputs and what reaches their EEPROMs, the network reset, the
// LED re-send, the language box over the offered languages, and the font lines.
//
// Items: 0 language box, 1 "Keep IP", 2 "Keep IP,EDIP", 3 "Reset ALL".
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QPointer>
#include <QSettings>
#include <QStringList>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "board/sim/c331_flash_controller.h"
#include "board/sim/c331_model.h"
#include "board/sim/i2c_bus.h"
#include "board/sim/sim.h"
#include "core/config_engine.h"
#include "core/utils.h"
#include "remote/t47_wifi_config.h"
#include "screens/maintenance/factory.h"
#include "tests/ui/maintenance_test.h"
#include "video/c331_manage.h"

namespace {

using test::MaintenanceTest;
using test::textOf;
using Lines = std::vector<std::string>;

class Factory : public MaintenanceTest {
protected:
    void TearDown() override {
        delete screen;
        video.reset();
        T47_WIFI_CONFIG::p_wifi = nullptr;
        MaintenanceTest::TearDown();
        g_str_ip = "192.168.1.199";
        g_srt_mask = "255.255.255.0";
        g_str_gateway = "192.168.1.1";
        g_wifi_reset_flag = 0;
    }
    factory* open() {
        screen = new factory(nullptr);
        g_factory = screen;
        g_page_focus = 18;
        return screen;
    }
    // Focus on a reset button and OK.
    void reset(int n) {
        for (int i = 0; i < n; ++i)
            keys(screen, {'R'});
        keys(screen, {'Q'});
    }
    // The image the reset should leave: the documented defaults, every fade time's low
    // byte 60.
    static std::array<u8, 4096> afterReset() {
        std::array<u8, 4096> expected = test::documentedDefaults();
        for (size_t k = 0; k < 16; ++k) {
            expected[2816 + 4 * k] = 60;
            expected[2818 + 4 * k] = 60;
        }
        return expected;
    }
    void expectSavedArea(const std::array<u8, 4096>& expected) {
        for (size_t at = 768; at < 4096; ++at)
            ASSERT_EQ(store->ram_para[at], expected[at]) << "image byte " << at;
    }
    void inputsWithoutBus() {
        source = std::make_unique<velmosource>();
        velmosource::p_velmo_source = source.get();
        for (int i = 0; i < 4; ++i)
            source->edid_done[i] = 1;
    }
    std::vector<int> requests() const {
        std::vector<int> r;
        for (int i = 0; i < 4; ++i)
            r.push_back(source->edid_request[i] * 10 + source->edid_done[i]);
        return r;
    }
    static Lines commands() {
        Lines texts;
        for (const sim::Command& command : sim::commands())
            texts.push_back(command.text);
        return texts;
    }
    QString stored(const char* key) const {
        QSettings file(QString::fromStdString(rooted("/data/configs/tcpip.ini")),
                       QSettings::IniFormat);
        return file.value(QString("config/") + key).toString();
    }
    void useNetwork(const char* ip, const char* mask, const char* gateway) {
        ConfigEngine* config = ConfigEngine::p_config;
        config->write_config_variant(ConfigItem::IPAddress, ip);
        config->write_config_variant(ConfigItem::SubNetMask, mask);
        config->write_config_variant(ConfigItem::GateWay, gateway);
        Utils::getIPAddress();
        sim::clearCommands();
    }
    QString boxText() const { return textOf(screen, "Box_lang_2"); }

    QPointer<factory> screen;
    std::unique_ptr<c331_manage> video;
};

TEST_F(Factory, KeepIpPutsTheSavedAreaBackAndAsksEveryInputForItsEdid) {
    inputsWithoutBus();
    useImage();
    const RamParaImage before = store->ram_para;
    open();
    reset(1);
    expectSavedArea(afterReset());
    EXPECT_EQ(c331_manage::para_update, 1);
    EXPECT_EQ(std::memcmp(store->ram_para_shadow.data(), before.data(), 4096), 0)
        << "the shadow is left to the apply and the save";
    EXPECT_EQ(std::memcmp(store->ram_para.data(), before.data(), 768), 0)
        << "the runtime area is not the reset's";
    EXPECT_EQ(requests(), (std::vector<int>{10, 10, 10, 10})) << "request 1, done 0";
    EXPECT_EQ(screen->ui_select(), 1);
}

TEST_F(Factory, KeepIpAndEdidLeavesTheEdidAreaAndTheEepromsAlone) {
    inputsWithoutBus();
    useImage();
    const RamParaImage before = store->ram_para;
    open();
    reset(2);
    std::array<u8, 4096> expected = afterReset();
    for (size_t at = 896; at < 1376; ++at)
        expected[at] = before[at];
    expectSavedArea(expected);
    EXPECT_EQ(c331_manage::para_update, 1);
    EXPECT_EQ(requests(), (std::vector<int>{1, 1, 1, 1})) << "nothing asked";
}

TEST_F(Factory, ResetAllPutsTheNetworkBackWhenAnyOfItDiffers) {
    loadSettings();
    inputsWithoutBus();
    useImage();
    useNetwork("10.1.2.3", "255.255.0.0", "10.1.2.254");
    open();
    reset(3);
    expectSavedArea(afterReset());
    EXPECT_EQ(requests(), (std::vector<int>{10, 10, 10, 10}));
    EXPECT_EQ(stored("IPAddress"), "192.168.1.199");
    EXPECT_EQ(stored("SubNetMask"), "255.255.255.0");
    EXPECT_EQ(stored("GateWay"), "192.168.1.1");
    EXPECT_EQ(g_str_ip, "192.168.1.199");
    EXPECT_EQ(commands(),
              (Lines{"sync", "ifconfig eth0 >/dev/null 2>&1", "route del default wlan0",
                     "ifconfig eth0 192.168.1.199 netmask 255.255.255.0",
                     "route add -host 192.168.1.1 dev eth0",
                     "route add default gw 192.168.1.1 metric 100",
                     "route add -host 255.255.255.255 eth0", "route del 255.255.255.255 wlan1"}));

    // The address alone at its default does not keep a changed gateway.
    useNetwork("192.168.1.199", "255.255.255.0", "192.168.1.254");
    keys(screen, {'Q'});
    EXPECT_EQ(stored("GateWay"), "192.168.1.1");
    EXPECT_EQ(g_str_gateway, "192.168.1.1");
    EXPECT_EQ(commands().at(3), "ifconfig eth0 192.168.1.199 netmask 255.255.255.0");

    // All three at their defaults: the network is left alone.
    sim::clearCommands();
    keys(screen, {'Q'});
    EXPECT_TRUE(commands().empty());
}

TEST_F(Factory, ResetAllWithoutTheSettingsStoreStillResetsTheImage) {
    useImage();
    sim::clearCommands();
    open();
    reset(3);
    expectSavedArea(afterReset());
    EXPECT_TRUE(commands().empty());
}

TEST_F(Factory, AChangedLedSizeIsHandedToTheFpgaOnlyWhileItRuns) {
    startFpga();
    useImage();  // LED size and splice mode differ from the defaults
    open();
    reset(2);
    EXPECT_EQ(g_set_led_para, 0) << "FPGA 0 is not up yet";
    EXPECT_EQ(store->ram_para[2112], 0);

    ASSERT_TRUE(bringUp());
    g_set_led_setup = 5;
    store->ram_para_shadow = store->ram_para;
    store->ram_para_shadow.setU16(1380, 720);
    keys(screen, {'Q'});
    EXPECT_EQ(g_set_led_para, 1);
    EXPECT_EQ(g_set_led_setup, 0);

    // The defaults leave the applied size as it is: no hand-over.
    g_set_led_para = 0;
    g_set_led_setup = 5;
    store->ram_para_shadow = store->ram_para;
    keys(screen, {'Q'});
    EXPECT_EQ(g_set_led_para, 0);
    EXPECT_EQ(g_set_led_setup, 5);
}

TEST_F(Factory, AResetThatTurnsTheAccessPointOnAgainRestartsIt) {
    T47_WIFI_CONFIG wifi;
    T47_WIFI_CONFIG::p_wifi = &wifi;
    g_wifi_reset_flag = 0;
    open();
    reset(2);
    EXPECT_EQ(g_wifi_reset_flag, 0) << "it was on already";
    store->ram_para[774] = 1;
    keys(screen, {'Q'});
    EXPECT_EQ(store->ram_para[774], 0);
    EXPECT_EQ(g_wifi_reset_flag, 1);
}

// The inputs' EEPROMs on the simulated bus, as a source reads them.
TEST_F(Factory, TheEdidRewriteReachesTheEepromsOfAllFourInputs) {
    loadSettings();
    startFpga();
    source->open_bus();
    auto bus = sim::get<sim::I2cBus>("/dev/i2c-0");
    for (int i = 0; i < 4; ++i)
        bus->eeprom(i).setWriteCycleMs(0.001);  // waits here are cut a thousandfold
    for (int i = 0; i < 400 && source->thread_state != SOURCE_RUN; ++i) {
        source->checksource_pass();
        ++G_timeTicks;
    }
    ASSERT_EQ(source->thread_state, SOURCE_RUN);
    auto everyEdid = [&](int width, int height, const std::vector<std::string>& names) {
        for (int i = 0; i < 4; ++i) {
            test::EdidVerdict v = test::decodeEdid(bus->eeprom(i).contents());
            EXPECT_TRUE(v.conforms) << "input " << i << "\n" << v.output;
            EXPECT_EQ(v.width, width) << "input " << i;
            EXPECT_EQ(v.height, height) << "input " << i;
            EXPECT_NEAR(v.refresh, 60, 0.01) << "input " << i;
            EXPECT_EQ(v.name, names[static_cast<size_t>(i)]) << "input " << i;
        }
    };
    auto passes = [&](int n) {
        for (int i = 0; i < n; ++i) {
            source->checksource_pass();
            ++G_timeTicks;
        }
    };
    // Custom sizes written before the reset.
    for (int i = 0; i < 4; ++i) {
        store->ram_para.setU16(896 + 6 * i, 1280);
        store->ram_para.setU16(898 + 6 * i, 720);
        source->request_edid_rewrite(i);
    }
    passes(20);
    everyEdid(1280, 720, {"KRX-DVI", "KRX-HD1", "KRX-HD2", "KRX-HD3"});

    open();
    reset(2);
    passes(20);
    everyEdid(1280, 720, {"KRX-DVI", "KRX-HD1", "KRX-HD2", "KRX-HD3"});

    keys(screen, {'S', 'Q'});
    ASSERT_EQ(screen->ui_select(), 1);
    passes(20);
    everyEdid(1920, 1080, {"KRX-DVI", "KRX-HD1", "KRX-HD2", "KRX-HD3"});
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(source->edid_done[i], 1) << i;
        EXPECT_EQ(source->edid_request[i], 0) << i;
    }
}

TEST_F(Factory, TheFocusWalksTheBoxAndTheThreeResetButtons) {
    const char buttonIdle[] = "color:rgb(255,255,255);\nborder:1px solid rgb(255, 255, 255);";
    const char buttonFocused[] = "color:rgb(255,255,255);\nborder:1px solid rgb(255,171,84);";
    const char boxIdle[] =
        "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid "
        "rgb(255,255,255);\n}\nQComboBox:drop-down{\nborder-style:none\n}";
    open();
    auto style = [this](const char* name) {
        return test::child<QWidget>(screen, name)->styleSheet();
    };
    EXPECT_EQ(screen->ui_select(), 0);
    EXPECT_EQ(style("Button_rst1"), buttonIdle);
    keys(screen, {'S'});
    EXPECT_EQ(screen->ui_select(), 3) << "Left from the box is Reset ALL";
    EXPECT_EQ(style("Button_rst3"), buttonFocused);
    EXPECT_EQ(style("Box_lang_2"), boxIdle);
    keys(screen, {'R'});
    EXPECT_EQ(screen->ui_select(), 0);
    keys(screen, {'R', 'R'});
    EXPECT_EQ(screen->ui_select(), 2);
    EXPECT_EQ(style("Button_rst2"), buttonFocused);
    EXPECT_EQ(style("Button_rst3"), buttonIdle);
    EXPECT_EQ(c331_manage::para_update, 0) << "moving applies nothing";
}

TEST_F(Factory, TheLanguageBoxStepsOverTheOfferedLanguages) {
    g_lcd_lang_valid = 0x1001F;
    useLanguage(4);
    open();
    EXPECT_EQ(boxText(), QString::fromUtf8("繁體中文"));
    keys(screen, {'Q'});
    EXPECT_TRUE(screen->choosing());
    EXPECT_EQ(test::child<QComboBox>(screen, "Box_lang_2")->styleSheet(),
              "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid "
              "rgb(255,0,0);\n}\nQComboBox:drop-down{\nborder-style:none\n}");
    keys(screen, {'R'});
    EXPECT_EQ(screen->langIndex(), 0) << "4 wraps to 0";
    EXPECT_EQ(boxText(), QString::fromUtf8("中文"));
    keys(screen, {'S'});
    EXPECT_EQ(screen->langIndex(), 4) << "0 wraps to 4";
    keys(screen, {'S', 'S'});
    EXPECT_EQ(screen->langIndex(), 2);
    EXPECT_EQ(screen->ui_select(), 0) << "choosing keeps the focus";

    // Only English and Russian offered: Right and Left alternate between them.
    g_lcd_lang_valid = 0x6;
    keys(screen, {'R'});
    EXPECT_EQ(screen->langIndex(), 1);
    keys(screen, {'R'});
    EXPECT_EQ(screen->langIndex(), 2);
    keys(screen, {'S'});
    EXPECT_EQ(screen->langIndex(), 1);
    keys(screen, {'S'});
    EXPECT_EQ(screen->langIndex(), 2);
}

TEST_F(Factory, OpeningOnALanguageNotOfferedShowsEnglish) {
    useLanguage(3);
    g_lcd_lang_valid = 0x6;
    open();
    EXPECT_EQ(screen->langIndex(), 1);
    EXPECT_EQ(boxText(), "English");
    EXPECT_EQ(textOf(screen, "label_factory"), "Factory setup");
}

TEST_F(Factory, ChoosingALanguageSwitchesAtOnceAndIsSaved) {
    useLanguage(0);
    open();
    keys(screen, {'Q', 'Q'});
    EXPECT_EQ(c331_manage::para_update, 0) << "the language in force: nothing to apply";
    EXPECT_FALSE(screen->choosing());
    keys(screen, {'Q', 'R', 'R', 'Q'});
    EXPECT_EQ(store->ram_para[768], 2);
    EXPECT_EQ(g_language, 2);
    EXPECT_EQ(c331_manage::para_update, 1);
    EXPECT_EQ(textOf(screen, "label_factory"), QString::fromUtf8("Системные настройки"));
    EXPECT_EQ(test::child<QComboBox>(screen, "Box_lang_2")->styleSheet(),
              "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid "
              "rgb(255,171,84);\n}\nQComboBox:drop-down{\nborder-style:none\n}");
    applied();
    EXPECT_EQ(store->ram_para_shadow[768], 2);
    std::ifstream file(rooted("/data/ram_device_info"), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    ASSERT_EQ(bytes.size(), 4096u);
    EXPECT_EQ(bytes[2], 2) << "image byte 768 in the parameter file";

    // Browsing and leaving with Back applies nothing.
    keys(screen, {'Q', 'R'});
    keys(screen, {'O'});
    EXPECT_EQ(store->ram_para[768], 2);
    EXPECT_EQ(c331_manage::para_update, 0);
}

TEST_F(Factory, AResetShowsTheDefaultLanguageOnceApplied) {
    useLanguage(1);
    open();
    reset(1);
    EXPECT_EQ(textOf(screen, "label_factory"), "Factory setup");
    applied();
    EXPECT_EQ(textOf(screen, "label_factory"), QString::fromUtf8("工厂设置"));
    EXPECT_EQ(boxText(), QString::fromUtf8("中文"));
    // What the box shows is what its OK applies.
    keys(screen, {'S', 'Q', 'Q'});
    EXPECT_EQ(screen->langIndex(), 0);
    EXPECT_EQ(c331_manage::para_update, 0);
}

TEST_F(Factory, FontLinesShowWhichSetsTheFlashHolds) {
    video = std::make_unique<c331_manage>();
    c331_manage::p_c331_manage = video.get();
    video->font_status = 0x5;  // the two Chinese sets
    useLanguage(1);
    open();
    const QString white = "<font style = 'font-size:12px' color = #ffffff >%1</font>";
    const QString green = "<font style = 'font-size:13px' color = #00ff00 >%1</font>";
    const QString red = "<font style = 'font-size:13px' color = #ff0000 >%1</font>";
    EXPECT_EQ(textOf(screen, "FontCN"), white.arg("CN:") + green.arg("32") + white.arg("|") +
                                            green.arg("64") + white.arg("|") + green.arg("128"));
    EXPECT_EQ(textOf(screen, "FontEN"), white.arg("EN:") + red.arg("32") + white.arg("|") +
                                            red.arg("64") + white.arg("|") + red.arg("128"));
    delete screen;

    video->font_status = 0xA;  // the two English sets
    useLanguage(0);
    open();
    EXPECT_EQ(textOf(screen, "FontCN"), white.arg(QString::fromUtf8("中文:")) +
                                            red.arg(QString::fromUtf8("32宽")) + white.arg("|") +
                                            red.arg(QString::fromUtf8("64宽")) + white.arg("|") +
                                            red.arg(QString::fromUtf8("128宽")));
    EXPECT_EQ(textOf(screen, "FontEN"), white.arg(QString::fromUtf8("英文:")) +
                                            green.arg(QString::fromUtf8("32宽")) + white.arg("|") +
                                            green.arg(QString::fromUtf8("64宽")) + white.arg("|") +
                                            green.arg(QString::fromUtf8("128宽")));
    delete screen;

    video->font_status = 0x2;  // 32-pixel English only
    useLanguage(4);
    open();
    EXPECT_EQ(textOf(screen, "FontEN"), white.arg("EN:") + green.arg(QString::fromUtf8("32寬")) +
                                            white.arg("|") + red.arg(QString::fromUtf8("64寬")) +
                                            white.arg("|") + red.arg(QString::fromUtf8("128寬")));
}

// The lines come from the font headers in the chip's serial flash: a set counts when its
// 35-byte header starts with 'P'.
TEST_F(Factory, FontLinesFollowTheFontHeadersInTheChipsFlash) {
    auto chip = sim::get<sim::C331Model>("c331");
    ASSERT_TRUE(chip);
    std::vector<u8> header(35, 0);
    header[0] = 'P';
    header[17] = 32;
    header[18] = 32;
    std::vector<u8> notPresent = header;
    notPresent[0] = 'Q';
    ASSERT_TRUE(chip->with<sim::C331FlashController>([&](sim::C331FlashController& c) {
        c.flash().load(0x010000, header);      // 32-pixel Chinese
        c.flash().load(0x000000, notPresent);  // 32-pixel English: no mark
        c.flash().load(0x410000, header);      // 64-pixel English
        // 64-pixel Chinese at 0x450000: erased flash
    }));
    startFpga();  // the register window that routes the SPI bus to the chip
    video = std::make_unique<c331_manage>();
    c331_manage::p_c331_manage = video.get();
    video->open_device();
    video->read_c331_font(video->c331_fd);
    useLanguage(1);
    open();
    const QString white = "<font style = 'font-size:12px' color = #ffffff >%1</font>";
    const QString green = "<font style = 'font-size:13px' color = #00ff00 >%1</font>";
    const QString red = "<font style = 'font-size:13px' color = #ff0000 >%1</font>";
    EXPECT_EQ(textOf(screen, "FontCN"), white.arg("CN:") + green.arg("32") + white.arg("|") +
                                            red.arg("64") + white.arg("|") + red.arg("128"));
    EXPECT_EQ(textOf(screen, "FontEN"), white.arg("EN:") + red.arg("32") + white.arg("|") +
                                            green.arg("64") + white.arg("|") + green.arg("128"));
}

TEST_F(Factory, FontLinesWithoutTheVideoProcessorShowEverySetMissing) {
    useLanguage(2);
    open();
    EXPECT_TRUE(textOf(screen, "FontCN")
                    .startsWith("<font style = 'font-size:12px' color = #ffffff >CN:</font>"));
    EXPECT_EQ(textOf(screen, "FontCN").count("#ff0000"), 3);
    EXPECT_EQ(textOf(screen, "FontEN").count("#ff0000"), 3);
}

}  // namespace
