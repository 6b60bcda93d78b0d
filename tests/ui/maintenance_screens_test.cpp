// The five maintenance screens as a whole: opened from their menus and back, their texts
// in the five languages, and a picture of each in two languages under <build>/screens.
//
// Pages: 5 Setting menu, 12 Advanced Settings, 15 LCD display, 16 test pattern, 17 other
// settings, 18 factory setup, 23 aging log.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <functional>
#include <vector>

#include "screens/maintenance/factory.h"
#include "screens/maintenance/factoryage.h"
#include "screens/maintenance/lcdshow.h"
#include "screens/maintenance/othersetup.h"
#include "screens/maintenance/test_chart.h"
#include "screens/settings/advancedoption.h"
#include "tests/ui/maintenance_test.h"
#include "tests/ui/panel_script.h"
#include "tests/ui/screen_texts.h"
#include "ui/numberkeyboard.h"
#include "ui/option.h"

namespace {

using test::MaintenanceTest;
using test::opener;
using test::PanelScript;
using test::Screen;
using test::textOf;
using test::Texts;

std::vector<Screen> screens() {
    return {
        {"lcdshow",
         opener(g_lcdshow),
         {{"label_LCDshow", {"液晶显示", "LCD display", "ЖК дисплей", "Màn hình LCD", "液晶顯示"}},
          {"label_backmainwindow",
           {"返回主界面时长", "To main interface", "Возврат к главному", "Quay lại màn hình chính",
            "返回主界麵時長"}},
          {"label_autolock",
           {"自动锁屏", "Auto-screen lock", "Автоблокировка", "Tự đọng khoá màn hình", "自動鎖屏"}},
          {"comboBox_lock", {"5分钟", "5min", "5 мин", "5 phút", "5分鐘"}}}},
        {"factory",
         opener(g_factory),
         {{"label_factory",
           {"工厂设置", "Factory setup", "Системные настройки", "Khôi phục cài đăt gốc",
            "工廠設置"}},
          {"label_lang", {"语言", "language", "Язык", "Ngôn ngữ", "語言"}},
          {"label_rst",
           {"工厂复位", "Factory reset", "Сброс настроек", "Khôi phục cài đặt gốc", "工廠複位"}},
          {"label_ip", {"保持IP不变", "Keep IP", "Сохранить IP", "Giữ nguyên IP", "保持IP不變"}},
          {"label_edid",
           {"IP和EDID保持不变", "Keep IP,EDIP", "Сохранить IP и EDID", "IP và EDID vẫn giữ nguyên",
            "IP和EDID保持不變"}},
          {"label_all",
           {"全部恢复出厂设置", "Reset ALL", "Сбросить все", "Khôi phục cài đặt gốc tất cả",
            "全部恢複出廠設置"}},
          {"Button_rst3", {"点击OK应用", "Press Ok", "Нажмите ОК", "Đồng ý", "點擊OK應用"}},
          {"Box_lang_2", {"中文", "English", "Русский", "Tiếng việt", "繁體中文"}}}},
        {"othersetup",
         opener(g_othersetup),
         {{"label_other",
           {"其它设置", "Other Settings", "Другие настройки", "Cài đặt khác", "其它設置"}},
          {"label_name_volume", {"音量", "Volume", "Звук", "âm thanh", "音量"}},
          {"label_name_switch", {"切换特效", "Switch mode", "Эффект", "Hiệu ứng", "切換特效"}},
          {"label_wifi", {"WIFI状态", "Wifi state", "WiFi статус", "Trạng thái wifi", "WIFI狀態"}},
          {"label_name_DBD", {"点对点", "DBD", "Пиксель к пикселю", "Điểm tới điểm", "點對點"}},
          {"label_name_mode",
           {"投屏设备", "Projection", "Радиоприбор", "Cài đặt Thiết bị", "投屏設備"}},
          {"mode_state", {"点击切换", "Click OK", "Нажмите ОК", "Đồng ý", "點擊切換"}},
          {"ImageVolume", {"画面1", "image1", "Канал1", "Hình ảnh1", "畫麵1"}},
          {"volume_state", {"关闭", "OFF", "Откл", "Đóng", "關閉"}},
          {"switch_state", {"无缝快切", "Seamless", "Быстро", "Chuyển đổi ngay", "無縫快切"}},
          {"wifi_state", {"开启", "ON", "Вкл", "Mở", "開啟"}},
          {"dbd_state", {"关闭", "OFF", "Откл", "Đóng", "關閉"}}}},
        {"test_chart",
         opener(g_test_chart),
         {{"label_testimage",
           {"测试图", "Test pattern", "Тестовый образец", "Biểu đồ kiểm tra", "測試圖"}},
          {"label_red", {"红色", "Red", "Тест 1", "Kiểm tra 1", "紅色"}},
          {"label_green", {"绿色", "Green", "Тест 2", "Kiểm tra 2", "綠色"}},
          {"label_blue", {"蓝色", "Blue", "Тест 3", "Kiểm tra 3", "藍色"}},
          {"label_white", {"白色", "White", "Тест 4", "Kiểm tra 4", "白色"}},
          {"label_black", {"黑色", "Black", "Тест 5", "Kiểm tra 5", "黑色"}},
          {"label_color", {"色带", "Colour bar", "Тест 6", "Kiểm tra 6", "色帶"}},
          {"label_hline", {"竖线", "Vertical line", "Тест 7", "Kiểm tra 7", "豎線"}},
          {"label_wline", {"横线", "Horizontal line", "Тест 8", "Kiểm tra 8", "橫線"}},
          {"Button_closetest", {"关闭测试图", "Close", "Закрыть", "Đóng", "關閉測試圖"}}}},
        {"factoryage",
         opener(g_factoryage),
         {{"ButtonNext", {"Nex", "Nex", "Nex", "Nex", "Nex"}},
          {"ButtonPriv", {"Priv", "Priv", "Priv", "Priv", "Priv"}},
          {"label_more", {"0>20", "0>20", "0>20", "0>20", "0>20"}}}},
    };
}

class MaintenanceScreens : public MaintenanceTest {};

TEST_F(MaintenanceScreens, EveryScreenSpeaksTheFiveLanguages) {
    const char* never[5] = {"从不", "Never", "Отключить", "Không bao giờ khoá", "從不"};
    const char* fade[5] = {"淡入淡出", "Fade", "Плавно", "và ngoài", "淡入淡出"};
    for (const Screen& screen : screens()) {
        for (u8 language = 0; language < 5; ++language) {
            useLanguage(language);
            QWidget* shown = screen.open();
            for (const Texts& texts : screen.texts)
                EXPECT_EQ(textOf(shown, texts.object), QString::fromUtf8(texts.text[language]))
                    << screen.name << " " << texts.object << " in language " << int(language);
            if (auto* box = test::child<QComboBox>(shown, "comboBox_back")) {
                EXPECT_EQ(box->itemText(2), QString::fromUtf8(never[language]));
            }
            if (auto* box = test::child<QComboBox>(shown, "switch_state")) {
                EXPECT_EQ(box->itemText(1), QString::fromUtf8(fade[language]));
            }
            delete shown;
        }
    }
}

TEST_F(MaintenanceScreens, ALanguageThatIsNotOfferedShowsEnglish) {
    useLanguage(4);
    g_lcd_lang_valid = 0x0F;  // traditional Chinese not offered
    for (const Screen& screen : screens()) {
        QWidget* shown = screen.open();
        const Texts& first = screen.texts.front();
        EXPECT_EQ(textOf(shown, first.object), QString::fromUtf8(first.text[1])) << screen.name;
        delete shown;
    }
}

TEST_F(MaintenanceScreens, EveryScreenIsSavedAsAPictureInTwoLanguages) {
    openWindows();
    factoryage_log = {"05-06 07:08 7 31 255", "05-06 07:11 9 27 254", "05-06 07:14 12 0 253"};
    for (const Screen& screen : screens()) {
        for (u8 language : {0, 1}) {
            useLanguage(language);
            QWidget* shown = screen.open();
            shown->show();
            shot(shown, QString("%1-%2").arg(screen.name, language == 0 ? "zh" : "en"));
            delete shown;
        }
    }
    factoryage_log.clear();
}

// The Advanced Settings menu opens four of the screens (the aging log behind the code),
// and Back from each returns to it.
TEST_F(MaintenanceScreens, TheAdvancedSettingsMenuOpensThemAndTheyComeBack) {
    openWindows();
    const char focused[] =
        "background-color: rgb(33, 36, 53); border:2px solid "
        "rgb(255,171,84);border-radius:10px;padding:2px 4px;color:rgb(255,255,255)";
    PanelScript script;
    script.run([] { openScreen(g_option, 5); })
        .waitPage(5)
        .keys({'R', 'R', 'Q'})
        .waitPage(12)
        .run([&] {
            EXPECT_EQ(test::child<QWidget>(g_advancedoption, "Button_LCDshow")->styleSheet(),
                      focused);
        })
        .key('Q')
        .waitPage(15)
        .run([] { EXPECT_NE(g_lcdshow, nullptr); })
        .key('O')
        .waitPage(12)
        .run([] { EXPECT_EQ(g_lcdshow, nullptr); })
        .keys({'R', 'Q'})
        .waitPage(17)
        .run([] { EXPECT_NE(g_othersetup, nullptr); })
        .key('O')
        .waitPage(12)
        .keys({'R', 'R', 'Q'})
        .waitPage(18)
        .run([] { EXPECT_NE(g_factory, nullptr); })
        .key('O')
        .waitPage(12)
        .run([] { EXPECT_EQ(g_factory, nullptr); })
        .keys({'R', 'Q'})
        .waitUntil("the keypad", [] { return g_numberkeyboard->isVisible(); })
        .keys({'1', '2', '3', '4'})
        .run(test::pressKeypadOk)
        .waitUntil("the keypad to close", [] { return !g_numberkeyboard->isVisible(); })
        .run([] {
            EXPECT_EQ(g_page_focus, 12) << "a wrong code";
            EXPECT_EQ(g_factoryage, nullptr);
        })
        .key('Q')
        .waitUntil("the keypad", [] { return g_numberkeyboard->isVisible(); })
        .keys({'5', '1', '8', '3'})
        .run(test::pressKeypadOk)
        .waitPage(23)
        .run([] { EXPECT_NE(g_factoryage, nullptr); })
        .key('O')
        .waitPage(12)
        .run([] { EXPECT_EQ(g_factoryage, nullptr); })
        .key('O')
        .waitPage(5);
    EXPECT_TRUE(script.play());
}

TEST_F(MaintenanceScreens, ModeFromAMaintenanceScreenClosesTheMenusBelowIt) {
    openWindows();
    for (int entry : {0, 1, 3}) {
        g_page_focus = 1;
        PanelScript script;
        script.run([] { openScreen(g_option, 5); }).waitPage(5).keys({'R', 'R', 'Q'}).waitPage(12);
        for (int i = 0; i < entry; ++i)
            script.key('R');
        script.key('Q')
            .waitUntil("the screen", [] { return g_page_focus != 12; })
            .key('M')
            .waitPage(4)
            .run([] {
                EXPECT_EQ(g_lcdshow, nullptr);
                EXPECT_EQ(g_othersetup, nullptr);
                EXPECT_EQ(g_factory, nullptr);
                EXPECT_EQ(g_advancedoption, nullptr);
                EXPECT_EQ(g_option, nullptr);
            })
            .key('O')
            .waitPage(0);
        EXPECT_TRUE(script.play()) << "entry " << entry;
    }
}

// A language changed by the PC while a screen is in front re-translates it.
TEST_F(MaintenanceScreens, ARemoteLanguageChangeReachesTheScreenInFront) {
    openWindows();
    struct Case {
        u8 page;
        std::function<QWidget*()> open;
        const char* object;
        const char* russian;
    };
    const std::vector<Case> cases = {
        {16, opener(g_test_chart), "label_testimage", "Тестовый образец"},
        {17, opener(g_othersetup), "label_other", "Другие настройки"},
        {18, opener(g_factory), "label_factory", "Системные настройки"},
        {15, opener(g_lcdshow), "label_LCDshow", "ЖК дисплей"},
    };
    for (const Case& c : cases) {
        useLanguage(1);
        QWidget* shown = c.open();
        g_page_focus = c.page;
        changeLanguage(2);
        EXPECT_EQ(g_language, 2);
        const QString expected = c.page == 15 ? "LCD display" : QString::fromUtf8(c.russian);
        EXPECT_EQ(textOf(shown, c.object), expected) << "page " << int(c.page);
        delete shown;
    }
}

}  // namespace
