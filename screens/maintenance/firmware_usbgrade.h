// The "USB UPDATE" screen (page 26, g_firmware_usbgrade) of the Communication menu: lists
// the upgrade packages of the USB stick, four to a page, and on OK starts the installer,
// which the FPGA thread runs. Every listed package is installed, not only a highlighted
// one. When the installer ends (reason 104) the log shows "downing over", or that the
// upgrade failed, with its start and end times.
//
// The keys: OK starts, Back goes back (also while the upgrade runs), Mode is refused once
// started; Left and Right only trace. The rows and page arrows answer a touch; a touch on
// OK shows whether the upgrade started here runs or is over, and starts nothing.
#pragma once

#include <QStringList>
#include <array>

#include "ui/menuscreen.h"

class QFrame;
class QLabel;

class firmware_usbgrade : public MenuScreen {
    Q_OBJECT
public:
    static constexpr int kMaxFiles = 100;
    static constexpr int kRowsPerPage = 4;

    explicit firmware_usbgrade(QWidget* parent = nullptr);

    void language_changed();
    void syncUpdate(int reason);
    // Lists the stick's packages afresh: page 0, the highlights of a new listing.
    void get_file_list_smartpath();
    // Rebuilds the frame of the page shown.
    void upgrade_file_list();
    // OK: starts the upgrade once in the screen's life.
    void menulist_button_ok_page();
    void menulist_back_page();

    const QStringList& files() const { return file_list_; }
    int krxCount() const { return krx_count_; }
    int krxzkCount() const { return krxzk_count_; }
    bool highlighted(int entry) const { return highlight_[entry] != 0; }
    u8 page() const { return page_; }
    u8 lastPage() const { return last_page_; }
    u8 fileSelect() const { return file_select_; }
    u8 fileDowning() const { return file_downing_; }

signals:
    // The progress signal every job screen offers; the installer reports through the log
    // and the update dialog instead, so nothing emits it.
    void sig_qround_bar_update(int value);

public slots:
    void slot_Button_back_clicked() override;
    // A touch on a row, a page arrow or the OK button. A touch on OK only shows the log.
    void krx_button_file_clicked();
    void krx_Button_previous_clicked();
    void krx_Button_next_clicked();
    void on_Button_grade_clicked();

protected:
    void keyLeft() override {}
    void keyRight() override {}
    void keyOk() override;
    bool keyMode() override;
    void traceKey(PanelKey key) override;

private:
    void styleRow(int row, bool highlighted);
    void showLog(const QString& colour, int pixels, const QString& text);

    QLabel* label_usb_update_;
    QFrame* frame_;
    QLabel* label_log_;
    QAbstractButton* Button_grade_;
    QFrame* frame_file_ = nullptr;
    QLabel* label_nofile_ = nullptr;
    std::array<QLabel*, kRowsPerPage> row_label_{};

    QStringList file_list_;
    int krx_count_ = 0;
    int krxzk_count_ = 0;
    std::array<u8, kMaxFiles> highlight_{};
    u8 page_ = 0;
    u8 last_page_ = 0;
    u8 file_select_ = 0;
    u8 file_downing_ = 0;
    // When a touch on OK last showed the upgrade running; empty before.
    QString time_text_;
};

extern firmware_usbgrade* g_firmware_usbgrade;
