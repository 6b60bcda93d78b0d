#include "screens/maintenance/lcdshow.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>

#include "screens/maintenance/maintenance_form.h"
#include "screens/settings/advancedoption.h"
#include "screens/settings/settings_form.h"
#include "ui/language.h"
#include "ui/pages.h"

lcdshow* g_lcdshow = nullptr;

namespace {

// The entry whose value the global holds; a value of no entry shows the first.
int entryOf(const int (&values)[lcdshow::kEntries], int value) {
    for (int i = 0; i < lcdshow::kEntries; ++i)
        if (values[i] == value)
            return i;
    return 0;
}

}  // namespace

lcdshow::lcdshow(QWidget* parent) : MenuScreen("lcdshow", parent) {
    bindPointer(g_lcdshow);
    label_LCDshow_ = form::title(this, "label_LCDshow", QRect(50, 10, 220, 22), 10);
    QFrame* frame = form::frame(this, "frame", QRect(10, 42, 300, 190));
    label_backmainwindow_ = form::caption(frame, "label_backmainwindow", QRect(10, 14, 120, 17), 9);
    label_autolock_ = form::caption(frame, "label_autolock", QRect(10, 48, 120, 17), 9);
    comboBox_back_ = form::list(frame, "comboBox_back", QRect(180, 14, 101, 21), 9);
    comboBox_lock_ = form::list(frame, "comboBox_lock", QRect(180, 48, 101, 21), 9);
    para_init();
    focus.setStyle(form::kListStyle);
    focus.setItems({comboBox_back_, comboBox_lock_});
    language_changed();
}

void lcdshow::para_init() {
    comboBox_back_->clear();
    comboBox_back_->addItems(
        {"30", "60", pickText("从不", "Never", "Отключить", "Không bao giờ khoá", "從不")});
    comboBox_back_->setCurrentIndex(entryOf(kBackTimes, g_back_to_mainwindow_time));
    comboBox_lock_->clear();
    comboBox_lock_->addItems(
        {pickText("5分钟", "5min", "5 мин", "5 phút", "5分鐘"),
         pickText("10分钟", "10min", "10 мин", "10 phút", "10分鐘"),
         pickText("从不", "Never", "Отключить", "Không bao giờ khoá", "從不")});
    comboBox_lock_->setCurrentIndex(entryOf(kLockTimes, g_auto_lock_time));
}

void lcdshow::language_changed() {
    label_LCDshow_->setText(
        pickText("液晶显示", "LCD display", "ЖК дисплей", "Màn hình LCD", "液晶顯示"));
    label_backmainwindow_->setText(pickText("返回主界面时长", "To main interface",
                                            "Возврат к главному", "Quay lại màn hình chính",
                                            "返回主界麵時長"));
    label_autolock_->setText(pickText("自动锁屏", "Auto-screen lock", "Автоблокировка",
                                      "Tự đọng khoá màn hình", "自動鎖屏"));
}

void lcdshow::on_button_backtolock_clicked() {
    if (editIndex_ < kEntries)
        g_back_to_mainwindow_time = kBackTimes[editIndex_];
}

void lcdshow::on_button_autolock_clicked() {
    if (editIndex_ < kEntries)
        g_auto_lock_time = kLockTimes[editIndex_];
}

QComboBox* lcdshow::focusedBox() const {
    return focus.ui_select() == 0 ? comboBox_back_ : comboBox_lock_;
}

// Stepping only shows the entry; the global changes at the OK that ends the editing.
void lcdshow::step(int delta) {
    editIndex_ = static_cast<u8>((editIndex_ + delta + kEntries) % kEntries);
    focusedBox()->setCurrentIndex(editIndex_);
}

void lcdshow::keyLeft() {
    if (editing_)
        step(-1);
    else
        focus.move(-1);
}

void lcdshow::keyRight() {
    if (editing_)
        step(1);
    else
        focus.move(1);
}

// Editing starts from the entry the focused box shows, so that an OK at once keeps what
// the box says.
void lcdshow::keyOk() {
    if (!editing_) {
        editing_ = 1;
        editIndex_ = static_cast<u8>(focusedBox()->currentIndex());
        focusedBox()->setStyleSheet(form::kListEditing);
        return;
    }
    editing_ = 0;
    focus.select(focus.ui_select());
    if (focus.ui_select() == 0)
        on_button_backtolock_clicked();
    else
        on_button_autolock_clicked();
}

void lcdshow::slot_Button_back_clicked() {
    backTo(
        [] {
            if (g_advancedoption)
                g_advancedoption->language_changed();
        },
        page::advancedoption);
}
