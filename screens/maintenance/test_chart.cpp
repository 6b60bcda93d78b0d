#include "screens/maintenance/test_chart.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "core/krxrampara.h"
#include "screens/settings/settings_form.h"
#include "ui/language.h"
#include "ui/option.h"
#include "ui/pages.h"
#include "video/c331_manage.h"

test_chart* g_test_chart = nullptr;

namespace {

const FocusStyle kImageStyle = {"color: rgb(255, 255, 255);", "border:1px solid rgb(255,171,84);",
                                "", ""};
const FocusStyle kCloseStyle = {
    "color: rgb(255, 255, 255);background-color:rgb(0,0,0);border:1px solid rgb(255,255,255);",
    "color: rgb(255, 255, 255); background-color:rgb(0,0,0);border:1px solid rgb(255,171,84);", "",
    ""};

// The captions' objects in code order; the seventh shows "Vertical line" and the eighth
// "Horizontal line".
const char* const kCaptionNames[test_chart::kPatterns] = {
    "label_red",   "label_green", "label_blue",  "label_white",
    "label_black", "label_color", "label_hline", "label_wline"};
const QRect kCaptionRects[test_chart::kPatterns] = {
    {20, 62, 50, 17},  {90, 62, 50, 17},  {160, 62, 50, 17},  {230, 62, 50, 17},
    {20, 136, 50, 17}, {85, 136, 60, 17}, {155, 136, 60, 17}, {220, 136, 70, 17}};

struct Caption {
    const char* chinese;
    const char* english;
    const char* traditional;
};
const Caption kCaptions[test_chart::kPatterns] = {
    {"红色", "Red", "紅色"},           {"绿色", "Green", "綠色"},
    {"蓝色", "Blue", "藍色"},          {"白色", "White", "白色"},
    {"黑色", "Black", "黑色"},         {"色带", "Colour bar", "色帶"},
    {"竖线", "Vertical line", "豎線"}, {"横线", "Horizontal line", "橫線"}};

}  // namespace

test_chart::test_chart(QWidget* parent) : MenuScreen("test_chart", parent) {
    bindPointer(g_test_chart);
    label_testimage_ = form::title(this, "label_testimage", QRect(40, 0, 220, 22), 10);
    QFrame* frame = form::frame(this, "frame", QRect(10, 42, 300, 190));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Raised);
    for (int i = 0; i < kPatterns; ++i) {
        const int x = 20 + 70 * (i % 4);
        const int y = i < 4 ? 10 : 84;
        image_[i] = form::picture(frame, qPrintable(QString("label_test%1").arg(i + 1)),
                                  QRect(x, y, 50, 50), QString(":/png/img_test%1.png").arg(i + 1));
        caption_[i] = form::title(frame, kCaptionNames[i], kCaptionRects[i], 7);
    }
    Button_closetest_ = form::button(frame, "Button_closetest", QRect(110, 161, 80, 24), 9);
    focus.setStyle(kImageStyle);
    focus.setItemStyle(Button_closetest_, kCloseStyle);
    menulist_init();
    language_changed();
}

void test_chart::menulist_init() {
    std::vector<QWidget*> items(image_, image_ + kPatterns);
    items.push_back(Button_closetest_);
    focus.setItems(items);
}

void test_chart::language_changed() {
    label_testimage_->setText(
        pickText("测试图", "Test pattern", "Тестовый образец", "Biểu đồ kiểm tra", "測試圖"));
    const LanguageId language = uiLanguage();
    for (int i = 0; i < kPatterns; ++i) {
        const Caption& c = kCaptions[i];
        QString text;
        if (language == lang_russian)
            text = QString::fromUtf8("Тест %1").arg(i + 1);
        else if (language == lang_vietnamese)
            text = QString::fromUtf8("Kiểm tra %1").arg(i + 1);
        else
            text = pickText(c.chinese, c.english, c.english, c.english, c.traditional);
        caption_[i]->setText(text);
    }
    Button_closetest_->setText(pickText("关闭测试图", "Close", "Закрыть", "Đóng", "關閉測試圖"));
}

void test_chart::syncUpdate() {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (store && store->KrxLanguageChanged())
        language_changed();
}

// Choosing the pattern already shown asks for it again with the same value.
void test_chart::slot_Button_on_clicked() {
    const u8 select = focus.ui_select();
    const u8 code = select < kPatterns ? static_cast<u8>(select + 1) : 0;
    applyToImage([code](RamParaImage& image) { image[para::test_pattern] = code; });
}

void test_chart::keyOk() {
    if (focus.ui_select() == kClose)
        slot_Button_back_clicked();
    else
        slot_Button_on_clicked();
}

void test_chart::slot_Button_back_clicked() {
    applyToImage([](RamParaImage& image) { image[para::test_pattern] = 0; });
    backTo(
        [] {
            if (g_option)
                g_option->language_changed();
        },
        page::option);
}
