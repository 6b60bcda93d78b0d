// The receiving-card set-up screen (page 24, g_smartmapping), opened from the Setting
// menu. A left column chooses one of four functions, each on pages of one stacked widget:
// - the smart-mapping wizard: cabinet size, output port, cabinet rows and columns, offsets
//   and the routing pattern of a screen part made of equal cabinets on one port; Send has
//   the FPGA thread give every card of the port its position (job 1);
// - Load scan: a scan-parameter file of the device or of a USB stick, loaded into the
//   cards of one port (job 2);
// - Parameter curing: every card saves its parameters to its flash (job 3);
// - Mapping switch: the cards' mapping on or off, after bit 7 of FPGA 0's register 0
//   (job 4).
// While a job runs its round progress bar is shown, and the screen can neither be left
// nor post another job.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "ui/menuscreen.h"

class QFrame;
class QLabel;
class QStackedWidget;
class QAbstractButton;
class QPushButton;
class QToolButton;
class My_lineEdit;

class SmartMapping : public MenuScreen {
    Q_OBJECT
public:
    // Pages of the stacked widget.
    enum Page : int {
        kPageStep1 = 0,
        kPageStep2 = 1,
        kPageStep3 = 2,
        kPageRoutes = 3,
        kPageLoadPort = 4,
        kPageLoadFiles = 5,
        kPageCuring = 6,
        kPageMapping = 7,
    };
    // Items of the left column.
    enum Main : u8 { kWizard = 0, kLoadScan = 1, kCuring = 2, kMapping = 3 };
    static constexpr int kRoutes = 16;
    static constexpr int kFileRows = 3;
    static constexpr int kMaxFiles = 100;

    explicit SmartMapping(QWidget* parent = nullptr);

    void language_changed();
    void syncUpdate(int reason);
    // Back to the Setting menu, refused while a job runs. The remote-control handler calls
    // it from its own thread after the PC wrote or deleted scan files; it is carried out on
    // the user-interface thread.
    void Button_back_clicked();
    // Shows routing pattern n (1..16) on Button_route and stores it for the job.
    void line_select(char n);

    // What the screen shows, for its refresh and for tests.
    int currentPage() const;
    u8 mainIndex() const { return main_index_; }
    u8 scanFilesPresent() const { return scan_present_; }
    const QStringList& scanFiles() const { return file_paths_; }
    u8 listPage() const { return list_page_; }
    u8 lastListPage() const { return last_page_; }
    u8 localFileCount() const { return local_count_; }

signals:
    void sig_qround_bar_update(int value);

public slots:
    void slot_Button_back_clicked() override;

    // The left column.
    void on_Button_shortcut_clicked();
    void on_Button_loadscan_clicked();
    void on_Button_paraweld_clicked();
    void on_Button_mapping_clicked();

    // The wizard.
    void on_Button_next_clicked();
    void on_Button_front_2_clicked();
    void on_Button_next_2_clicked();
    void on_Button_front_3_clicked();
    void on_Button_route_clicked();
    void on_Button_route_n_clicked(int n);
    void on_Button_cancel_clicked();
    void on_Button_send_clicked();
    void on_Button_wlan_clicked(int group);
    void krx_button_wlan_clicked();
    void show_numberkeyboard_ui(QString);
    void confirmString(QString text);

    // Load scan, parameter curing, mapping switch.
    void on_Button_next_5_clicked();
    void on_Button_front_6_clicked();
    void on_Button_load_clicked();
    void krx_button_file_clicked();
    void krx_Button_previous_clicked();
    void krx_Button_next_clicked();
    void on_Button_confirm_clicked();
    void on_Button_mapping_state_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    u8 tracedSelect() const override;
    // The wizard's and the load-scan port page's own lines; elsewhere the shared ones.
    void traceKey(PanelKey key) override;
    void keyLeft() override { step(-1); }
    void keyRight() override { step(1); }
    void keyOk() override;
    void keyBack() override;
    bool keyMode() override;

private:
    // Where the keys act.
    enum class State : u8 {
        Main,
        Step1,
        Step2,
        Step2Tiles,
        Step3,
        Routes,
        LoadPort,
        LoadTiles,
        Files,
        Curing,
        Mapping,
    };
    // The look of an item as the focus reaches or leaves it.
    enum class Kind : u8 { Button, Field, Tab };

    void buildForm();
    void buildWizardPages();
    void buildFunctionPages();
    QPushButton* pageButton(QWidget* page, const char* name, const QRect& geometry);
    QLabel* pageLabel(QWidget* page, const char* name, const QRect& geometry);
    My_lineEdit* pageField(QWidget* page, const char* name, const QRect& geometry,
                           const char* text);
    void connectSlots();

    // Texts of the column, the title and of each page.
    void mainTexts();
    void step1Texts();
    void step2Texts();
    void step3Texts();
    void routeTexts();
    void loadPortTexts();
    void loadFilesTexts();
    void curingTexts();
    void mappingTexts();
    void pageTexts();

    // The focus.
    void mark(QWidget* item, bool focused);
    void styleMain();
    void step(int direction);
    void enterMain();
    QWidget* currentItem() const;
    void leavePage();
    void backToMain();
    void stepMain(int direction);
    void stepWizard(int direction);
    void stepTiles(int direction, bool load);
    void stepFiles(int direction);
    void moveItem(const std::vector<QWidget*>& items, u8* index, int direction);
    void okWizard();
    void okFiles();
    void backFiles();
    void enterStep1();
    void enterStep2();
    void enterStep3();
    void openRoutes();
    void closeRoutes();
    void enterLoadScan();
    void enterFileList();
    void leaveFileList();
    std::vector<QWidget*> step1Items() const;
    std::vector<QWidget*> step2Items() const;
    std::vector<QWidget*> step3Items() const;
    std::vector<QWidget*> fileItems() const;
    int wizardStep() const;

    // The port tiles of the group shown on page (step 2 or the load-scan port page).
    void wlan_init(QWidget* page);
    void pressTab(bool load);
    QAbstractButton* tab(bool load) const;
    int tileCount() const;
    void markTile(int tile, bool current);

    // The scan-file list.
    void updateScanFilesPresent();
    void listScanFiles();
    void scan_file_list();
    void styleRow(int row, bool cursor, bool pressed);
    bool rowIsLocal(int row) const;
    int rowsOnPage() const;
    void chooseRow(int row);

    void routeProgress();

    QLabel* label_title_;
    QAbstractButton* Button_shortcut_;
    QAbstractButton* Button_loadscan_;
    QAbstractButton* Button_paraweld_;
    QAbstractButton* Button_mapping_;
    QStackedWidget* stackedWidget_;
    std::vector<QWidget*> pages_;
    std::vector<std::pair<QWidget*, Kind>> kinds_;

    // Wizard pages.
    QLabel* label_step1_;
    QLabel* label_boxwidth_;
    QLabel* label_boxheight_;
    My_lineEdit* lineEdit_X_;
    My_lineEdit* lineEdit_Y_;
    QPushButton* Button_next_;
    QLabel* label_step2_;
    QPushButton* Button_wlan_[8];  // 1..4 on step 2, 5..8 on the load-scan port page
    QPushButton* Button_front_2_;
    QPushButton* Button_next_2_;
    QLabel* label_step3_;
    QLabel* label_boxline_;
    QLabel* label_boxlcolumn_;
    QLabel* label_routeway_;
    QLabel* label_horizon_;
    QLabel* label_vert_;
    My_lineEdit* lineEdit_line_;
    My_lineEdit* lineEdit_column_;
    My_lineEdit* lineEdit_horzion_;
    My_lineEdit* lineEdit_vert_;
    QPushButton* Button_route_;
    QPushButton* Button_front_3_;
    QPushButton* Button_send_;
    QToolButton* Button_routes_[kRoutes];
    QPushButton* Button_cancel_;

    // Load-scan, curing and mapping pages.
    QLabel* label_step1_5_;
    QPushButton* Button_next_5_;
    QLabel* label_step2_6_;
    QLabel* label_step2_7_;
    QPushButton* Button_front_6_;
    QPushButton* Button_load_;
    QLabel* label_step1_6_;
    QPushButton* Button_confirm_;
    QLabel* label_step1_7_;
    QPushButton* Button_mapping_state_;

    State state_ = State::Main;
    u8 main_index_ = kWizard;
    u8 level_ = 0;
    u8 scan_present_ = 0;
    u8 step1_item_ = 0;
    u8 step2_item_ = 0;
    u8 step3_item_ = 0;
    u8 route_cursor_ = 0;
    u8 port_item_ = 0;
    u8 file_item_ = 0;
    u8 file_mode_ = 0;

    // Port tiles: the group of the tab pressed last, the tile under the cursor, the port
    // to restore when tile mode is left with Back.
    u8 port_group_ = 0;
    u8 tile_cursor_ = 0;
    u8 saved_port_ = 0;
    QFrame* tiles_ = nullptr;
    std::vector<QFrame*> tile_frames_;

    // The scan files: device paths, local ones first.
    QStringList file_paths_;
    u8 local_count_ = 0;
    u8 total_count_ = 0;
    u8 list_page_ = 0;
    u8 last_page_ = 0;
    u8 chosen_row_ = 0;
    u8 file_list_shown_ = 0;
    QFrame* frame_file_ = nullptr;
    std::vector<QLabel*> row_labels_;
    QStringList row_paths_;
};

extern SmartMapping* g_smartmapping;
