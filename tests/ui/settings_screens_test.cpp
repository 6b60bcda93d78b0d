// Every settings screen in the five languages: its texts as the panel shows them, and a
// picture of it in two languages under <build>/screens.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <functional>
#include <vector>

#include "screens/settings/advancedoption.h"
#include "screens/settings/imagequality.h"
#include "screens/settings/ledset.h"
#include "screens/settings/linkcom.h"
#include "screens/settings/linkoption.h"
#include "screens/settings/linkwlan.h"
#include "screens/settings/machinestate.h"
#include "screens/settings/netset.h"
#include "screens/settings/quality.h"
#include "screens/settings/temperature.h"
#include "tests/ui/screen_texts.h"
#include "tests/ui/settings_test.h"

namespace {

using test::opener;
using test::Screen;
using test::SettingsTest;
using test::textOf;
using test::Texts;

std::vector<Screen> screens() {
    return {
        {"ImageQuality",
         opener(g_imagequality),
         {{"label_title",
           {"图像效果", "Image quality", "Изображение", "Chất lượng hình ảnh", "圖像效果"}},
          {"Button_quality", {"画质", "Quality", "Качество", "Chất lượng", "畫質"}},
          {"Button_temperature", {"色温", "Temperature", "Оттенок", "Độ màu", "色溫"}}}},
        {"LinkOption",
         opener(g_linkoption),
         {{"label_title",
           {"通讯设置", "Communication", "Подключение", "Cài đặt giao tiếp", "通訊設置"}},
          {"Button_com",
           {"串口连接", "Serial port", "COM-порт", "Cài đặt cổng\n nối tiếp", "串口連接"}},
          {"Button_wlan",
           {"网口设置", "Net connect", "Сетевое по\nдключение", "Cài đặt\ncổng mạng", "網口設置"}},
          {"Button_usb",
           {"USB升级", "USB UPDATE", "Обновление\nчерез USB", "Sử dụng ổ USB\nđể cập nhập",
            "USB昇級"}}}},
        {"AdvancedOption",
         opener(g_advancedoption),
         {{"label_title",
           {"高级设置", "Advanced Settings", "Доп.опции", "Cài đặt nâng cao", "高級設置"}},
          {"Button_LCDshow",
           {"液晶显示", "LCD display", "ЖК\nдисплей", "Màn hình\nLCD", "液晶顯示"}},
          {"Button_other",
           {"其他设置", "Others", "Другие\nнастройки", "Khôi phục\ncài đăt gốc", "其他設置"}},
          {"Button_rcv_recovery",
           {"接收卡自恢复", "Rcv\nrecovery", "Самовосст\nановление", "Thẻ nhận tự\nphục hồi",
            "接收卡自恢複"}},
          {"Button_factory",
           {"工厂设置", "Factory", "Системные\nнастройки", "Khôi phục\ncàiđăt gốc", "工廠設置"}},
          {"Button_age",
           {"工厂老化", "Aging", "Заводское\nстрение", "Lão hóa\nnhà máy", "工廠老化"}}}},
        {"MachineState",
         opener(g_machinestate),
         {{"label_title", {"设备信息", "Devices", "Устроство", "Thiết bị", "設備信息"}}}},
        {"ledset",
         opener(g_ledset),
         {{"label_ledset", {"LED设置", "LED Setting", "Настройки LED", "Cài đặt LED", "LED設置"}},
          {"label_note_led_w",
           {"设置LED屏宽高", "Set LED W&H", "Разрешение LED шир и выс", "Cài đặt thông số led",
            "設置LED屏寬高"}},
          {"label_ledw", {"宽", "W", "Ширина", "Rộng", "寬"}},
          {"label_ledh", {"高", "H", "Высота", "Cao", "高"}},
          {"label_tip",
           {"可设LED屏最大点数:8188(宽),8188(高)", "LED max:8188(w),8188(h)",
            "Ширина:8188(px)Высота:8188(px)", "Điểm ảnh lớn nhất:8188(ngang),8188(dọc)",
            "可設LED屏最大點數:8188(寬),8188(高)"}},
          {"Button_apply", {"应用", "Apply", "OK", "Đồng ý", "應用"}},
          {"Button_cancle", {"取消", "Cancle", "Отмена", "Hủy bỏ", "取消"}}}},
        {"netset",
         opener(g_netset),
         {{"label_netset",
           {"网口输出", "Port output", "Настройка LAN", "Cài đặt cổng MẠNG", "網口輸出"}},
          {"w_label", {"宽", "W", "Ширина", "Rộng", "寬"}},
          {"h_label", {"高", "H", "Высота", "Cao", "高"}},
          {"x_label", {"X", "X", "X", "X", "X"}},
          {"LED1label", {"网口LED1", "LED1", "LED1", "LED1", "網口LED1"}},
          {"LED4label", {"网口LED4", "LED4", "LED4", "LED4", "網口LED4"}}}},
        {"linkcom",
         opener(g_linkcom),
         {{"label_com",
           {"串口连接", "Serial port", "COM-порт", "Cài đặt cổng nối tiếp", "串口連接"}},
          {"label_baud", {"波特率", "Baud rate", "Скорость передачи", "Tốc độ truyền", "波特率"}},
          {"label_bit", {"数据位", "Data bits", "Биты данных", "Bit dữ liệ", "數據位"}},
          {"label_stop", {"停止位", "Stop bit", "Бит остановки", "Dừng bit", "停止位"}},
          {"Button_baud", {"115200", "115200", "115200", "115200", "115200"}},
          {"pushButton", {"8", "8", "8", "8", "8"}},
          {"pushButton_2", {"1", "1", "1", "1", "1"}}}},
        {"linkwlan",
         opener(g_linkwlan),
         {{"label_wlan",
           {"网口设置", "Net connect", "Сетевое подключение", "Cài đặt cổng mạng", "網口設置"}},
          {"label_IpSet", {"IP地址", "IP", "IP-адрес", "Địa chỉ IP", "IP地址"}},
          {"label_netmask", {"子网掩码", "Mask", "Маска", "Cài đặt mặt lạ con", "子網掩碼"}},
          {"label_gateway", {"默认网关", "Gate", "Шлюз", "Cổng vào", "默認網關"}},
          {"Button_apply", {"应用", "Apply", "OK", "Đồng ý", "應用"}},
          {"Button_cancle", {"取消", "Cancle", "Отмена", "Hủy bỏ", "取消"}}}},
        {"quality",
         opener(g_quality),
         {{"label_quality",
           {"图像效果", "Image quality", "Изображение", "Chất lượng hình ảnh", "圖像效果"}},
          {"label_bright", {"亮度", "Brightness", "Яркость", "Độ cao", "亮度"}},
          {"label_Sharpness", {"锐度", "Sharpness", "Резкость", "Độ sắc nét", "銳度"}},
          {"label_Contrast", {"对比度", "Contrast", "Контраст", "Độ tương phản", "對比度"}},
          {"label_Saturation", {"饱和度", "Saturation", "Насыщенность", "Độ bão hòa", "飽和度"}},
          {"label_reset",
           {"画质复位", "Reset", "Сбросить", "Đặt lại chất lượng hình ảnh", "畫質複位"}},
          {"lineEdit_Reset", {"点击OK应用", "Press Ok", "Нажмите ОК", "Đồng ý", "點擊OK應用"}}}},
        {"temperature",
         opener(g_temperature),
         {{"label_temperature", {"色温", "Temperature", "Температура Оттенок", "Độ màu", "色溫"}},
          {"label_type",
           {"色温类型", "temperature type", "Выбор цвета", "Lựa chọn độ màu", "色溫類型"}},
          {"label_name_red", {"红色", "Red", "Красный", "Màu đỏ", "紅色"}},
          {"label_name_green", {"绿色", "Green", "Зеленый", "Màu xanh lá cây", "綠色"}},
          {"label_name_blue", {"蓝色", "Blue", "Синий", "Màu xanh da trời", "藍色"}},
          // The default type is 2, nature.
          {"comboBox_type", {"自然", "nature", "Природный", "Tự nhiên", "自然"}}}},
    };
}

class SettingsScreens : public SettingsTest {};

TEST_F(SettingsScreens, EveryScreenSpeaksTheFiveLanguages) {
    for (const Screen& screen : screens()) {
        for (u8 language = 0; language < 5; ++language) {
            useLanguage(language);
            QWidget* shown = screen.open();
            for (const Texts& texts : screen.texts)
                EXPECT_EQ(textOf(shown, texts.object), QString::fromUtf8(texts.text[language]))
                    << screen.name << " " << texts.object << " in language " << int(language);
            delete shown;
        }
    }
}

TEST_F(SettingsScreens, ALanguageThatIsNotOfferedShowsEnglish) {
    useLanguage(3);
    g_lcd_lang_valid = 0x17;  // Vietnamese not offered
    for (const Screen& screen : screens()) {
        QWidget* shown = screen.open();
        const Texts& first = screen.texts.front();
        EXPECT_EQ(textOf(shown, first.object), QString::fromUtf8(first.text[1])) << screen.name;
        delete shown;
    }
}

TEST_F(SettingsScreens, EveryScreenIsSavedAsAPictureInTwoLanguages) {
    openWindows();
    for (const Screen& screen : screens()) {
        for (u8 language : {0, 1}) {
            useLanguage(language);
            QWidget* shown = screen.open();
            shown->show();
            shot(shown, QString("%1-%2").arg(screen.name, language == 0 ? "zh" : "en"));
            delete shown;
        }
    }
}

}  // namespace
