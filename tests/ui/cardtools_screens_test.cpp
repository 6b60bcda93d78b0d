// The receiving-card tool screens in the five languages: the texts of every page as the
// panel shows them, and a picture of every page in two languages under <build>/screens.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <functional>
#include <vector>

#include "screens/cardtools/rcv_recovery.h"
#include "screens/cardtools/smartmapping.h"
#include "tests/ui/cardtools_test.h"
#include "tests/ui/screen_texts.h"

namespace {

using test::CardToolsTest;
using test::textOf;
using test::Texts;

// A page of the smart-mapping screen: how it is shown and what it says.
struct MappingPage {
    const char* name;
    std::function<void(SmartMapping*)> show;
    std::vector<Texts> texts;
};

const Texts kNext = {"", {"下一步", "Next", "Следующий\nшаг", "Bước tiếp theo", "下一步"}};
const Texts kPrevious = {
    "", {"上一步", "Previous", "Предыдущий\nшаг", "Thao tác\nphía trước", "上一步"}};

Texts named(const char* object, const Texts& texts) {
    Texts out = texts;
    out.object = object;
    return out;
}

std::vector<MappingPage> mappingPages() {
    return {
        {"smartmapping-step1",
         [](SmartMapping* s) { s->on_Button_shortcut_clicked(); },
         {{"label_title",
           {"智能调屏", "Smart debugging screen", "Умная регулировка экрана",
            "Điều chỉnh màn hình thông minh", "智能調屏"}},
          {"Button_shortcut",
           {"快捷点屏", "Debugging\nscreen", "Быстрое каса\nние экрана", "Chạm vào màn\nhình nhanh",
            "快捷點屏"}},
          {"Button_loadscan",
           {"加载扫描", "Load scan", "Загрузить\nсканирование", "Cài đặt\nquét", "加載掃描"}},
          {"Button_paraweld",
           {"参数固化", "Curing\nparameter", "Фиксация\nпараметров", "Lưu thông\nsố", "參數固化"}},
          {"Button_mapping", {"Mapping", "Mapping", "Mapping", "Mapping", "Mapping"}},
          {"label_step1",
           {"步骤1箱体设置", "Step 1 Cabinet setup", "Шаг 1. Настройка кабинета",
            "Bước 1: Thiết lập cabin", "步驟1箱體設置"}},
          {"label_boxwidth",
           {"箱体宽度", "Cabinet width", "Ширина кабинета", "Chiều rộng cabin", "箱體寬度"}},
          {"label_boxheight",
           {"箱体高度", "Cabinet height", "Высота кабинета", "Chiều cao cabin", "箱體高度"}},
          named("Button_next", kNext)}},
        {"smartmapping-step2",
         [](SmartMapping* s) { s->on_Button_next_clicked(); },
         {{"label_step2",
           {"步骤2选择网口", "Step 2 Select port", "Шаг 2. Выберите сетевой порт",
            "Bước 2 :Chọn cổng mạng", "步驟2選擇網口"}},
          {"Button_wlan1", {"网口1~6", "LED1~6", "LED1~6", "LED1~6", "網口1~6"}},
          named("Button_front_2", kPrevious),
          named("Button_next_2", kNext)}},
        {"smartmapping-step3",
         [](SmartMapping* s) {
             s->on_Button_next_clicked();
             s->on_Button_next_2_clicked();
         },
         {{"label_step3",
           {"步骤3屏参设置", "Step 3 Screen parameter setting", "Шаг 3.Настройка параметров экрана",
            "Bước 3:Cài đặt thông số màn hình", "步驟3屏參設置"}},
          {"label_boxline",
           {"箱体行数", "Number of Cabinet in rows", "Кол-во рядов", "Số lượng hàng tủ",
            "箱體行數"}},
          {"label_boxlcolumn",
           {"箱体列数", "Number of Cabinet in lines", "Кол-во столбцов", "Số lượng cột tủ",
            "箱體列數"}},
          {"label_routeway",
           {"屏体走线方式", "Screen alignment mode", "Тип подключения кабинетов",
            "Chế độ căn chỉnh màn hình", "屏體走線方式"}},
          {"label_horizon",
           {"水平偏移", "Horizontal offset", "Горизонтальное\nсмещение", "Bù đắp theo\nchiều ngang",
            "水平偏移"}},
          {"label_vert",
           {"垂直偏移", "Vertical offset", "Вертикальное\nсмещение", "Bù đắp theo\nchiều dọc",
            "垂直偏移"}},
          {"Button_route", {"走线1", "Routing 1", "След1", "Dấu vết1", "走線1"}},
          named("Button_front_3", kPrevious),
          {"Button_send", {"发送", "Send", "Отправить", "Gửi", "髮送"}}}},
        {"smartmapping-routes",
         [](SmartMapping* s) { s->on_Button_route_clicked(); },
         {{"Button_route1", {"走线1", "Routing 1", "След1", "Dấu vết1", "走線1"}},
          {"Button_route16", {"走线16", "Routing 16", "След16", "Dấu vết16", "走線16"}},
          {"Button_cancel", {"取消", "Cancle", "Отмена", "Hủy bỏ", "取消"}}}},
        {"smartmapping-loadport",
         [](SmartMapping* s) {
             s->on_Button_loadscan_clicked();
             s->findChild<QAbstractButton*>("Button_wlan5")->click();
         },
         {{"label_step1_5",
           {"步骤1选择网口", "Step 1 Select network port", "Шаг 1. Выбор LAN-порта",
            "Bước 1 Chọn cổng mạng", "步驟1選擇網口"}},
          {"Button_wlan5", {"网口1~6", "LED1~6", "LED1~6", "LED1~6", "網口1~6"}},
          named("Button_next_5", kNext)}},
        {"smartmapping-loadfiles",
         [](SmartMapping* s) { s->on_Button_next_5_clicked(); },
         {{"label_step2_6",
           {"步骤2加载扫描参数", "Step 2 Upload scan parameters", "Шаг 2.Настройка сканирования",
            "Bước 2Tải thông số quét", "步驟2加載掃描參數"}},
          {"label_step2_7",
           {"检测到以下屏参文件", "Detected the following screen parameter\n files",
            "Были обнаружены следующие файлы \nпараметров экрана",
            "Các tập tin tham số màn hình sau đã\n được phát hiện", "檢測到以下屏參文件"}},
          named("Button_front_6", kPrevious),
          {"Button_load", {"加载", "Load", "Загрузка", "Tải về", "加載"}},
          {"label_nofile",
           {"无加载文件!", "No loaded file!", "Нет файлов для загрузки!",
            "Không có tập tin để tải!", "無加載文件!"}}}},
        {"smartmapping-curing",
         [](SmartMapping* s) { s->on_Button_paraweld_clicked(); },
         {{"label_step1_6",
           {"参数固化操作", "Parameter curing operation", "Операция отверждения параметров",
            "Lưu thông số", "參數固化操作"}},
          {"Button_confirm", {"确定", "OK", "OK", "Đồng ý", "確定"}}}},
        {"smartmapping-mapping",
         [](SmartMapping* s) { s->on_Button_mapping_clicked(); },
         {{"label_step1_7",
           {"Mapping开关", "Mapping switch", "Переключатель сопоставления", "Bật mapping",
            "Mapping開關"}}}},
    };
}

class CardToolScreens : public CardToolsTest {};

TEST_F(CardToolScreens, TheSmartMappingPagesSpeakTheFiveLanguages) {
    startCards({});
    for (const MappingPage& page : mappingPages()) {
        for (u8 language = 0; language < 5; ++language) {
            useLanguage(language);
            g_smartmapping = new SmartMapping(nullptr);
            page.show(g_smartmapping);
            for (const Texts& texts : page.texts)
                EXPECT_EQ(textOf(g_smartmapping, texts.object),
                          QString::fromUtf8(texts.text[language]))
                    << page.name << " " << texts.object << " in language " << int(language);
            delete g_smartmapping;
        }
    }
}

TEST_F(CardToolScreens, ALanguageThatIsNotOfferedShowsEnglish) {
    startCards({});
    useLanguage(4);
    g_lcd_lang_valid = 0x0F;  // traditional Chinese not offered
    g_smartmapping = new SmartMapping(nullptr);
    EXPECT_EQ(textOf(g_smartmapping, "label_title"), "Smart debugging screen");
    delete g_smartmapping;
}

TEST_F(CardToolScreens, EverySmartMappingPageIsSavedAsAPictureInTwoLanguages) {
    openWindows();
    startCards({});
    for (const MappingPage& page : mappingPages()) {
        for (u8 language : {0, 1}) {
            useLanguage(language);
            g_smartmapping = new SmartMapping(nullptr);
            g_smartmapping->show();
            page.show(g_smartmapping);
            shot(g_smartmapping, QString("%1-%2").arg(page.name, language == 0 ? "zh" : "en"));
            delete g_smartmapping;
        }
    }
}

TEST_F(CardToolScreens, TheRecoveryScreenSpeaksTheFiveLanguages) {
    startCards({});
    const Texts texts[] = {
        {"label_title",
         {"接收卡自恢复", "Receiving card self recovery", "Самовосстановление приемной карты",
          "Thẻ nhận tự phục hồi", "接收卡自恢複"}},
        {"label_rcv_update",
         {"接收卡更新", "Receiving card update", "Получить обновление карты",
          "Nhận thông tin cập nhập về thẻ", "接收卡更新"}},
        {"Button_check", {"查询", "Query", "Считать", "Tìm hiểu", "查詢"}},
        {"Button_self_covery", {"恢复", "Recovery", "Восстановить", "Phục hồi", "恢複"}},
        {"label_nocard",
         {"暂无接收卡需要更新!", "No receiving cards that need to be updated!",
          "Обновление принимающих карт не требуется!", "Chưa có thẻ nhận nào để cập nhật!",
          "暫無接收卡需要更新!"}},
    };
    // The row of the entry 01/03/05/12: Russian and Vietnamese use the English words.
    const char* rows[5] = {
        "发现 屏幕01, 网口LED03, 接收卡<font color = #FFFFFF >05</font>",
        "Find Screen01, LED03, Rcv<font color = #FFFFFF >05</font>",
        "Find Screen01, LED03, Rcv<font color = #FFFFFF >05</font>",
        "Find Screen01, LED03, Rcv<font color = #FFFFFF >05</font>",
        "髮現 屏幕01, 網口LED03, 接收卡<font color = #FFFFFF >05</font>",
    };
    for (u8 language = 0; language < 5; ++language) {
        useLanguage(language);
        g_rcv_recovery = new rcv_recovery(nullptr);
        for (const Texts& text : texts)
            EXPECT_EQ(textOf(g_rcv_recovery, text.object), QString::fromUtf8(text.text[language]))
                << text.object << " in language " << int(language);
        g_rcv_recovery->result().result_list = QStringList{"01/03/05/12"};
        g_rcv_recovery->result().result_count = 1;
        g_rcv_recovery->rcv_self_recovery_file_list();
        EXPECT_EQ(textOf(g_rcv_recovery, "label_row0"), QString::fromUtf8(rows[language]))
            << "language " << int(language);
        delete g_rcv_recovery;
    }
}

TEST_F(CardToolScreens, TheRecoveryScreenIsSavedAsAPictureInTwoLanguages) {
    openWindows();
    startCards({});
    for (u8 language : {0, 1}) {
        const QString lang = language == 0 ? "zh" : "en";
        useLanguage(language);
        g_rcv_recovery = new rcv_recovery(nullptr);
        g_rcv_recovery->show();
        shot(g_rcv_recovery, "rcv_recovery-" + lang);
        g_rcv_recovery->result().result_list = QStringList{"01/03/05/12"};
        g_rcv_recovery->result().result_count = 1;
        g_rcv_recovery->rcv_self_recovery_file_list();
        shot(g_rcv_recovery, "rcv_recovery-found-" + lang);
        g_rcv_recovery->result().result_list = QStringList{"01/03/15/12"};
        g_rcv_recovery->rcv_self_recovery_file_list();
        shot(g_rcv_recovery, "rcv_recovery-red-" + lang);
        delete g_rcv_recovery;
    }
}

}  // namespace
