// Every entry of the panel's lists in the five languages: the colour-temperature types, the
// LCD time-outs, the other settings' lists, the test patterns (with Close) and the factory
// languages, each as its screen shows it right after opening.
//
// Image offsets: window w at 2272 + 26 w (enable word +0), current_window 2112.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

#include "screens/maintenance/factory.h"
#include "screens/maintenance/lcdshow.h"
#include "screens/maintenance/othersetup.h"
#include "screens/maintenance/test_chart.h"
#include "screens/settings/temperature.h"
#include "tests/ui/maintenance_test.h"
#include "tests/ui/screen_texts.h"

namespace {

using test::MaintenanceTest;
using test::opener;

struct List {
    const char* screen;
    std::function<QWidget*()> open;
    // One combo box, or the captions of a list of items in item order.
    const char* objects;
    std::array<std::vector<const char*>, 5> entries;
};

// Windows 1, 3 and 6 are shown, so the window list names three windows by their numbers.
std::vector<List> lists() {
    return {
        {"temperature",
         opener(g_temperature),
         "comboBox_type",
         {{{"自定义", "偏暖", "自然", "偏冷"},
           {"custom", "warm", "nature", "cool"},
           {"Свой", "Теплый", "Природный", "Холодный"},
           {"Tùy chỉnh", "Màu ấm", "Tự nhiên", "Lạnh hơn"},
           {"自定義", "偏暖", "自然", "偏冷"}}}},
        {"lcdshow",
         opener(g_lcdshow),
         "comboBox_back",
         {{{"30", "60", "从不"},
           {"30", "60", "Never"},
           {"30", "60", "Отключить"},
           {"30", "60", "Không bao giờ khoá"},
           {"30", "60", "從不"}}}},
        {"lcdshow",
         opener(g_lcdshow),
         "comboBox_lock",
         {{{"5分钟", "10分钟", "从不"},
           {"5min", "10min", "Never"},
           {"5 мин", "10 мин", "Отключить"},
           {"5 phút", "10 phút", "Không bao giờ khoá"},
           {"5分鐘", "10分鐘", "從不"}}}},
        {"othersetup",
         opener(g_othersetup),
         "ImageVolume",
         {{{"画面1", "画面3", "画面6"},
           {"image1", "image3", "image6"},
           {"Канал1", "Канал3", "Канал6"},
           {"Hình ảnh1", "Hình ảnh3", "Hình ảnh6"},
           {"畫麵1", "畫麵3", "畫麵6"}}}},
        {"othersetup",
         opener(g_othersetup),
         "volume_state",
         {{{"关闭", "开启"}, {"OFF", "ON"}, {"Откл", "Вкл"}, {"Đóng", "Mở"}, {"關閉", "開啟"}}}},
        {"othersetup",
         opener(g_othersetup),
         "switch_state",
         {{{"无缝快切", "淡入淡出"},
           {"Seamless", "Fade"},
           {"Быстро", "Плавно"},
           {"Chuyển đổi ngay", "và ngoài"},
           {"無縫快切", "淡入淡出"}}}},
        {"othersetup",
         opener(g_othersetup),
         "mode_state",
         {{{"点击切换"}, {"Click OK"}, {"Нажмите ОК"}, {"Đồng ý"}, {"點擊切換"}}}},
        {"othersetup",
         opener(g_othersetup),
         "wifi_state",
         {{{"开启", "关闭"}, {"ON", "OFF"}, {"Вкл", "Откл"}, {"Mở", "Đóng"}, {"開啟", "關閉"}}}},
        {"othersetup",
         opener(g_othersetup),
         "dbd_state",
         {{{"关闭", "开启"}, {"OFF", "ON"}, {"Откл", "Вкл"}, {"Đóng", "Mở"}, {"關閉", "開啟"}}}},
        {"test_chart",
         opener(g_test_chart),
         "label_red label_green label_blue label_white label_black label_color label_hline "
         "label_wline Button_closetest",
         {{{"红色", "绿色", "蓝色", "白色", "黑色", "色带", "竖线", "横线", "关闭测试图"},
           {"Red", "Green", "Blue", "White", "Black", "Colour bar", "Vertical line",
            "Horizontal line", "Close"},
           {"Тест 1", "Тест 2", "Тест 3", "Тест 4", "Тест 5", "Тест 6", "Тест 7", "Тест 8",
            "Закрыть"},
           {"Kiểm tra 1", "Kiểm tra 2", "Kiểm tra 3", "Kiểm tra 4", "Kiểm tra 5", "Kiểm tra 6",
            "Kiểm tra 7", "Kiểm tra 8", "Đóng"},
           {"紅色", "綠色", "藍色", "白色", "黑色", "色帶", "豎線", "橫線", "關閉測試圖"}}}},
        {"factory",
         opener(g_factory),
         "Box_lang_2",
         {{{"中文", "English", "Русский", "Tiếng việt", "繁體中文"},
           {"中文", "English", "Русский", "Tiếng việt", "繁體中文"},
           {"中文", "English", "Русский", "Tiếng việt", "繁體中文"},
           {"中文", "English", "Русский", "Tiếng việt", "繁體中文"},
           {"中文", "English", "Русский", "Tiếng việt", "繁體中文"}}}},
    };
}

// A combo box's entries, or the texts of the named captions.
QStringList entriesOf(QWidget* screen, const char* objects) {
    QStringList texts;
    for (const QString& name : QString(objects).split(' ')) {
        if (auto* box = test::child<QComboBox>(screen, qPrintable(name))) {
            for (int i = 0; i < box->count(); ++i)
                texts << box->itemText(i);
            continue;
        }
        texts << test::textOf(screen, qPrintable(name));
    }
    return texts;
}

class ListEntries : public MaintenanceTest {};

TEST_F(ListEntries, EveryEntryOfEveryListIsShownInEachOfTheFiveLanguages) {
    for (int w = 0; w < 6; ++w)
        store->ram_para.setU16(2272 + 26 * w, w == 0 || w == 2 || w == 5);
    store->ram_para.setU16(2112, 0);
    store->ram_para_shadow = store->ram_para;
    int checked = 0;
    for (const List& list : lists()) {
        for (u8 language = 0; language < 5; ++language) {
            useLanguage(language);
            QWidget* shown = list.open();
            QStringList expected;
            for (const char* entry : list.entries[language])
                expected << QString::fromUtf8(entry);
            EXPECT_EQ(entriesOf(shown, list.objects), expected)
                << list.screen << " " << list.objects << " in language " << int(language);
            checked += static_cast<int>(expected.size());
            delete shown;
        }
    }
    EXPECT_EQ(checked, 180);
}

}  // namespace
