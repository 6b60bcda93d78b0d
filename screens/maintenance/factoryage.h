// The aging log screen (page 23, g_factoryage) under the Advanced Settings menu, behind
// the service code: the burn-in log the main window's tick keeps (one line every 180 s
// with the time and FPGA 0's registers 42, 40 and 43), 16 lines a page, with the status
// bits of register 40 in green (set) or red (clear) and the counts of how far register 42
// advanced between lines. The tick redraws the open screen every 180 s. Its texts are the
// same in every language.
#pragma once

#include <QFont>

#include "ui/menuscreen.h"

class QLabel;
class QPushButton;

class factoryage : public MenuScreen {
    Q_OBJECT
public:
    static constexpr int kLinesPerPage = 16;

    explicit factoryage(QWidget* parent = nullptr);

    void para_init() {}
    void menulist_init();
    // Builds the log area; an empty log shows a placeholder line with the time.
    void ageloginit();
    // Redraws the current page and the counters from the log.
    void update_agelog();
    void syncUpdate() {}

    u8 page() const { return page_; }
    int pageCount() const;
    // The rich text of the log area.
    QString logText() const;

    // One line of the log as a row of the page; empty for a line that is not five fields.
    static QString formatRow(const QString& line);

public slots:
    void slot_Button_back_clicked() override;
    void on_ButtonNext_clicked();
    void on_ButtonPriv_clicked();

private:
    void showCounters();

    QWidget* frame_;
    QWidget* container_ = nullptr;
    QLabel* logLabel_ = nullptr;
    QFont logFont_;
    QString logText_;
    QLabel* page_info_;
    QLabel* label_page_;
    QLabel* label_3_;
    QLabel* label_5_;
    QLabel* label_10_;
    QLabel* label_20_;
    QLabel* label_more_;
    QPushButton* ButtonNext_;
    QPushButton* ButtonPriv_;
    u8 page_ = 0;
};

extern factoryage* g_factoryage;
