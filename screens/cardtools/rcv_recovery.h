// The receiving-card self-recovery screen (page 25, g_rcv_recovery) under the Advanced
// Settings hub. Query has the FPGA thread ask the screen's cards, against the recovery
// package in "/data/rcvrecovery", which card needs recovery (job 5); the card found is
// shown as one row "Find Screen01, LED03, Rcv05"; Recovery restores it (job 6). While a job
// runs its round progress bar is shown and the screen can neither be left nor post again.
#pragma once

#include <QString>
#include <vector>

#include "screens/cardtools/rcv_recovery_result.h"
#include "ui/menuscreen.h"

class QFrame;
class QLabel;

class rcv_recovery : public MenuScreen {
    Q_OBJECT
public:
    static constexpr int kRowsPerPage = 4;

    explicit rcv_recovery(QWidget* parent = nullptr);
    ~rcv_recovery() override;

    void menulist_init();
    void language_changed();
    void syncUpdate(int reason);
    void menulist_sel_left();
    void menulist_sel_right();
    void menulist_button_ok_page();
    // Back to the Advanced Settings hub, refused while a job runs. The remote-control
    // handler calls it from its own thread after the PC deleted the recovery package; it
    // is carried out on the user-interface thread.
    void menulist_back_page();
    // Redraws the result area.
    void rcv_self_recovery_file_list();

    // The result of the last query; written on the user-interface thread for the FPGA
    // thread's jobs (through g_rcv_recovery_result), read by the redraw.
    RcvRecoveryResult& result() { return result_; }
    bool recoveryRefused() const { return recovery_refused_; }
    int currentPage() const { return current_page_; }

signals:
    void sig_qround_bar_update(int value);

public slots:
    void slot_Button_back_clicked() override;
    void krx_Button_previous_clicked();
    void krx_Button_next_clicked();
    void krx_button_file_clicked();

protected:
    void keyLeft() override { menulist_sel_left(); }
    void keyRight() override { menulist_sel_right(); }
    void keyOk() override { menulist_button_ok_page(); }
    void keyBack() override { menulist_back_page(); }
    bool keyMode() override;

private:
    // The row of one entry "screen/net/card/cards"; empty when the entry has fewer parts.
    QString rowText(const QString& entry);
    void post(u8 job);

    RcvRecoveryResult result_;
    bool recovery_refused_ = false;
    int8_t current_page_ = 0;
    int8_t page_max_ = 0;
    QFrame* frame_ = nullptr;
    QFrame* frame_file_ = nullptr;
    std::vector<QLabel*> row_labels_;
    std::vector<QString> row_texts_;
    u8 file_select_ = 0;

    QLabel* label_title_;
    QLabel* label_rcv_update_;
    QAbstractButton* Button_check_;
    QAbstractButton* Button_self_covery_;
};

extern rcv_recovery* g_rcv_recovery;
