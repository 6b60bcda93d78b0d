// The settings file, the device id, the launch settings and the alias file.
#include <QSettings>
#include <string>

#include "board/sim/soc_window.h"
#include "core/alias.h"
#include "tests/core/core_test.h"

namespace {

using coretest::CoreTest;

std::vector<unsigned char> text(const std::string& s) {
    return std::vector<unsigned char>(s.begin(), s.end());
}

class Settings : public CoreTest {};

TEST_F(Settings, MissingAndEmptyKeysGainTheirDefaults) {
    writeFile("/data/configs/tcpip.ini", text("[config]\nTcpPort=6000\nBarcode=\nMAC=\n"));
    loadConfig();
    EXPECT_EQ(g_port, 6000);
    EXPECT_EQ(g_int_tcp_port, 6000);
    QSettings ini(QString::fromStdString(rooted("/data/configs/tcpip.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.allKeys().size(), 18);
    EXPECT_EQ(ini.value("config/TcpPort").toInt(), 6000);
    EXPECT_EQ(ini.value("config/UdpPort").toInt(), 5008);
    EXPECT_EQ(ini.value("config/Barcode").toString(), " ");
    EXPECT_EQ(ini.value("config/MAC").toString(), "FF:FF:FF:FF:FF:FF");
    EXPECT_EQ(ini.value("config/EDIDCheck").toString(), "Once");
    EXPECT_EQ(ini.value("config/KrxLCDLang").toInt(), 0x1001F);
    EXPECT_EQ(ini.value("config/KrxMaxPixel_UINT").toInt(), 0x3C0000);
    EXPECT_EQ(g_str_ip, "192.168.1.199");
    EXPECT_EQ(g_check_edid, "Once");
    EXPECT_EQ(g_check_source, 255);
    EXPECT_EQ(g_usb_grade_path, "KRX-T5");
    EXPECT_EQ(g_eZor_cloudserverport, 0);
    EXPECT_EQ(g_eZor_cloud, 0) << "the cloud is off with the defaults";
    EXPECT_EQ(g_lcd_lang_valid, 0x1001Fu);
    bool chattr = false;
    for (const sim::Command& c : sim::commands())
        chattr = chattr || c.text == "chattr +S /data/configs/tcpip.ini";
    EXPECT_TRUE(chattr);
}

TEST_F(Settings, WrittenValuesSurviveARestart) {
    ConfigEngine* config = loadConfig();
    config->write_config_variant(ConfigItem::eZorcloudserverip, "cloud.example");
    config->write_config_variant(ConfigItem::KrxLCDLang, 0x1E);
    EXPECT_EQ(config->read_config_variant(ConfigItem::KrxLCDLang).toInt(), 0x1E);
    loadConfig();
    EXPECT_EQ(g_eZor_cloudserverip, "cloud.example");
    EXPECT_EQ(g_eZor_cloud, 1);
    EXPECT_EQ(g_lcd_lang_valid, 0x1Eu);
    EXPECT_TRUE(ConfigEngine::p_config->containsItemStr("Barcode"));
    ConfigItem* item = ConfigEngine::p_config->getConfigItem("config/GateWay");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->name, ConfigItem::GateWay);
    EXPECT_EQ(ConfigEngine::p_config->getConfigItem("Nothing"), nullptr);
}

TEST_F(Settings, DeviceIdFollowsTheChipIdRegisters) {
    auto soc = sim::get<sim::SocWindow>("/dev/mem");
    soc->setChipId(0x1234, 0x5678, 0x9ABC);
    soc->setWord(0x400C, 0xFFFF);
    loadConfig();
    // By hand: X3..X0 = 1 2 3 4, Y = 5 6 7 8, Z = 9 a b c, through the 32-digit formula.
    EXPECT_STREQ(g_pid, "1597bca0886b31023001305032627494");
    EXPECT_EQ(soc->word(0x400C), 0xFEFF) << "bit 8 cleared before the id is read";
}

TEST_F(Settings, WithoutTheRegisterWindowTheSettingsStillLoad) {
    sim::get<sim::SocWindow>("/dev/mem")->failMapping(true);
    writeFile("/data/configs/tcpip.ini", text("[config]\nIPAddress=10.1.1.1\n"));
    loadConfig();
    EXPECT_STREQ(g_pid, std::string(32, '0').c_str());
    EXPECT_EQ(g_str_ip, "10.1.1.1");
}

TEST_F(Settings, LaunchLineAndAgingLog) {
    factoryage_log.push_back("x");
    factoryage_log_num = 1;
    writeFile("/data/configs/led_load_config.ini",
              text("[app-1]\napp_path=/data/app/krxT47N -platform linuxfb\n"));
    loadConfig();
    EXPECT_EQ(g_update_status, 1);
    EXPECT_TRUE(factoryage_log.empty());
    EXPECT_EQ(factoryage_log_num, 0);
    writeFile("/data/configs/led_load_config.ini",
              text("[app-1]\napp_path=/data/app/other -platform linuxfb\n"));
    ConfigEngine::pInstance();
    EXPECT_EQ(g_update_status, 0);
}

class Alias : public CoreTest {
protected:
    void writeAlias(const std::string& json) { writeFile("/data/configs/alias.json", text(json)); }
};

TEST_F(Alias, ValidNamesOnly) {
    writeAlias(R"({"filename": "x", "namelist": {
        "win": [{"id": 1, "valid": "on", "name": "Stage"}],
        "source": [
            {"id": 1, "valid": "on", "name": "Camera"},
            {"id": 2, "valid": "on", "name": ""},
            {"id": 3, "valid": "off", "name": "Hidden"},
            {"id": 1, "valid": "on", "name": "Second"},
            {"id": 4, "valid": "on", "name": "\u4e3b\u5c4f"}]}})");
    ALIAS_PARA alias{};
    EXPECT_EQ(get_json_alias_para(&alias, "source", 1), 1);
    EXPECT_EQ(alias.name, "Camera") << "the first entry with the id decides";
    EXPECT_EQ(get_json_alias_para(&alias, "source", 2), 0);
    EXPECT_EQ(get_json_alias_para(&alias, "source", 3), 0);
    EXPECT_EQ(alias.name, "Hidden");
    EXPECT_EQ(get_json_alias_para(&alias, "source", 4), 1);
    EXPECT_EQ(alias.name, "\xE4\xB8\xBB\xE5\xB1\x8F");
    EXPECT_EQ(get_json_alias_para(&alias, "win", 1), 1);
    EXPECT_EQ(get_json_alias_para(&alias, "crop", 1), 0);
    EXPECT_EQ(get_json_alias_para(&alias, "source", 9), 0);
    EXPECT_TRUE(exists("/data/configs/alias.json"));
}

TEST_F(Alias, BrokenFilesAreDeleted) {
    const char* broken[] = {
        R"({"filename": "x"})",
        R"({"namelist": {"source": [{"id": 1, "valid": "on", "name": "A"})",
        R"({"namelist": {"source": [{"id": "one", "valid": "on", "name": "A"}]}})",
        R"({"namelist": {"source": [{"id": 2.5, "valid": "on", "name": "A"}]}})",
        R"({"namelist": {"source": [{"id": 1, "name": "A"}]}})",
        "\xFF\xFE garbage",
    };
    for (const char* json : broken) {
        SCOPED_TRACE(json);
        writeAlias(json);
        ALIAS_PARA alias{};
        EXPECT_EQ(get_json_alias_para(&alias, "source", 1), 0);
        EXPECT_FALSE(exists("/data/configs/alias.json"));
    }
    EXPECT_EQ(get_json_alias_para(nullptr, "source", 1), 0) << "no file";
}

}  // namespace
