// Load scan, parameter curing and the mapping switch of the receiving-card set-up screen:
// the port and file pages of Load scan with the list of scan-parameter files of the
// device and of the USB stick, and the one-button pages of the other two.
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "board/board.h"
#include "fpga/fpga_manage.h"
#include "fpga/rcv_recovery_file.h"
#include "fpga/send_para.h"
#include "screens/cardtools/card_job.h"
#include "screens/cardtools/retire_widget.h"
#include "screens/cardtools/smartmapping.h"
#include "screens/cardtools/smartmapping_style.h"
#include "ui/QRoundProgressBar.h"
#include "ui/language.h"

using namespace smartmapping_style;

namespace {

constexpr const char* kLocalDir = "/data/smartmapping/";
constexpr const char* kUsbDir = "/mnt/usb1/";
// The name under which the PC's file transfer stores a scan-parameter file.
constexpr const char* kTransferredName = "YQFR";
constexpr u8 kMappingBit = 0x80;
constexpr u32 kMappingOn = 9;
constexpr u32 kMappingOff = 0;

// A scan-parameter file: a name with the suffix "yqfile" (exactly), or on the device the
// file the PC sent.
bool isScanFile(const QString& name, bool local) {
    if (local && name == kTransferredName)
        return true;
    return !name.startsWith('.') && QFileInfo(name).suffix() == "yqfile";
}

// The scan files of a device directory, regular files only (no symbolic links), in the
// directory's order, at most limit of them. A missing or unreadable directory has none.
QStringList scanFilesIn(const char* dir, bool local, int limit) {
    QStringList found;
    std::error_code ec;
    std::filesystem::directory_iterator it(board::path(dir), ec);
    for (; !ec && it != std::filesystem::directory_iterator() && found.size() < limit;
         it.increment(ec)) {
        std::error_code type;
        if (it->symlink_status(type).type() != std::filesystem::file_type::regular)
            continue;
        const QString name = QString::fromStdString(it->path().filename().string());
        if (isScanFile(name, local))
            found << QString(dir) + name;
    }
    return found;
}

QString displayName(const QString& path) {
    return path.section('/', -1).remove('\n');
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The pages.

void SmartMapping::buildFunctionPages() {
    QWidget* page = pages_[kPageLoadPort];
    label_step1_5_ = pageLabel(page, "label_step1_5", QRect(5, 5, 225, 20));
    for (int i = 4; i < 8; ++i) {
        Button_wlan_[i] = pageButton(page, qPrintable(QString("Button_wlan%1").arg(i + 1)),
                                     QRect(10 + 60 * (i - 4), 32, 55, 17));
        QFont font = Button_wlan_[i]->font();
        font.setPointSize(7);
        Button_wlan_[i]->setFont(font);
        kinds_.back().second = Kind::Tab;
    }
    auto* line = new QFrame(page);
    line->setObjectName("line");
    line->setGeometry(5, 53, 225, 1);
    line->setStyleSheet("border:1px solid rgb(133, 129, 153);");
    Button_next_5_ = pageButton(page, "Button_next_5", QRect(140, 152, 85, 30));

    page = pages_[kPageLoadFiles];
    label_step2_6_ = pageLabel(page, "label_step2_6", QRect(5, 1, 225, 18));
    label_step2_7_ = pageLabel(page, "label_step2_7", QRect(5, 19, 225, 34));
    QFont small = label_step2_7_->font();
    small.setPointSize(7);
    label_step2_7_->setFont(small);
    Button_front_6_ = pageButton(page, "Button_front_6", QRect(15, 152, 85, 30));
    Button_load_ = pageButton(page, "Button_load", QRect(140, 152, 85, 30));

    page = pages_[kPageCuring];
    label_step1_6_ = pageLabel(page, "label_step1_6", QRect(5, 30, 225, 40));
    label_step1_6_->setAlignment(Qt::AlignCenter);
    Button_confirm_ = pageButton(page, "Button_confirm", QRect(75, 110, 85, 30));

    page = pages_[kPageMapping];
    label_step1_7_ = pageLabel(page, "label_step1_7", QRect(5, 30, 225, 40));
    label_step1_7_->setAlignment(Qt::AlignCenter);
    Button_mapping_state_ = pageButton(page, "Button_mapping_state", QRect(90, 100, 56, 30));
    Button_mapping_state_->setIconSize(QSize(40, 20));
}

void SmartMapping::loadPortTexts() {
    label_step1_5_->setText(pickText("步骤1选择网口", "Step 1 Select network port",
                                     "Шаг 1. Выбор LAN-порта", "Bước 1 Chọn cổng mạng",
                                     "步驟1選擇網口"));
    Button_wlan_[4]->setText(
        pickText("网口%1~%2", "LED%1~%2", "LED%1~%2", "LED%1~%2", "網口%1~%2").arg(1).arg(6));
    Button_next_5_->setText(
        pickText("下一步", "Next", "Следующий\nшаг", "Bước tiếp theo", "下一步"));
}

void SmartMapping::loadFilesTexts() {
    label_step2_6_->setText(pickText("步骤2加载扫描参数", "Step 2 Upload scan parameters",
                                     "Шаг 2.Настройка сканирования", "Bước 2Tải thông số quét",
                                     "步驟2加載掃描參數"));
    label_step2_7_->setText(
        pickText("检测到以下屏参文件", "Detected the following screen parameter\n files",
                 "Были обнаружены следующие файлы \nпараметров экрана",
                 "Các tập tin tham số màn hình sau đã\n được phát hiện", "檢測到以下屏參文件"));
    Button_front_6_->setText(
        pickText("上一步", "Previous", "Предыдущий\nшаг", "Thao tác\nphía trước", "上一步"));
    Button_load_->setText(pickText("加载", "Load", "Загрузка", "Tải về", "加載"));
    if (total_count_ == 0 && frame_file_) {
        if (auto* empty = frame_file_->findChild<QLabel*>("label_nofile"))
            empty->setText(pickText("无加载文件!", "No loaded file!", "Нет файлов для загрузки!",
                                    "Không có tập tin để tải!", "無加載文件!"));
    }
}

void SmartMapping::curingTexts() {
    label_step1_6_->setText(pickText("参数固化操作", "Parameter curing operation",
                                     "Операция отверждения параметров", "Lưu thông số",
                                     "參數固化操作"));
    Button_confirm_->setText(pickText("确定", "OK", "OK", "Đồng ý", "確定"));
}

void SmartMapping::mappingTexts() {
    label_step1_7_->setText(pickText("Mapping开关", "Mapping switch", "Переключатель сопоставления",
                                     "Bật mapping", "Mapping開關"));
}

// ---------------------------------------------------------------------------------------
// The left column's three functions.

void SmartMapping::on_Button_loadscan_clicked() {
    if (g_qround_bar)
        return;
    if (level_)
        leavePage();
    main_index_ = kLoadScan;
    styleMain();
    stackedWidget_->setCurrentIndex(kPageLoadPort);
    loadPortTexts();
    file_list_shown_ = 0;
}

void SmartMapping::on_Button_paraweld_clicked() {
    if (g_qround_bar)
        return;
    if (level_)
        leavePage();
    main_index_ = kCuring;
    styleMain();
    stackedWidget_->setCurrentIndex(kPageCuring);
    curingTexts();
    file_list_shown_ = 0;
}

// The switch shows the cards' mapping as FPGA 0's register 0 holds it (bit 7), read anew
// each time the page is shown.
void SmartMapping::on_Button_mapping_clicked() {
    if (g_qround_bar)
        return;
    if (level_)
        leavePage();
    main_index_ = kMapping;
    styleMain();
    bool on = false;
    if (fpga_manage* manager = fpga_manage::p_fpga_manage) {
        manager->read_from_register(0, 0);
        on = fpga_manage::MCU_REG_func[0][0].load() & kMappingBit;
    }
    Button_mapping_state_->setIcon(QPixmap(on ? ":/png/button_on.png" : ":/png/button_off.png"));
    Button_mapping_state_->setIconSize(QSize(40, 20));
    stackedWidget_->setCurrentIndex(kPageMapping);
    file_list_shown_ = 0;
    mappingTexts();
}

void SmartMapping::on_Button_confirm_clicked() {
    if (!card_job_can_post())
        return;
    card_job_show_progress(this);
    send_para_post(SEND_PARA_JOB_SAVE_PARA);
}

void SmartMapping::on_Button_mapping_state_clicked() {
    if (!card_job_can_post())
        return;
    fpga_manage* manager = fpga_manage::p_fpga_manage;
    manager->read_from_register(0, 0);
    const bool on = fpga_manage::MCU_REG_func[0][0].load() & kMappingBit;
    manager->write_to_register(0, kMappingBit, on ? 0 : kMappingBit, 0);
    g_send_para.mapping_value = on ? kMappingOff : kMappingOn;
    Button_mapping_state_->setIcon(QPixmap(on ? ":/png/button_off.png" : ":/png/button_on.png"));
    card_job_show_progress(this);
    send_para_post(SEND_PARA_JOB_MAPPING_ENABLE);
}

// ---------------------------------------------------------------------------------------
// Load scan: the port page.

void SmartMapping::enterLoadScan() {
    on_Button_loadscan_clicked();
    level_ = 1;
    port_item_ = 0;
    state_ = State::LoadPort;
    mark(Button_next_5_, false);
    if (line_type.net_port < 8)
        pressTab(true);
    mark(tab(true), true);
}

// ---------------------------------------------------------------------------------------
// Load scan: the file list.

// Load scan is offered while there is a file to load: on the device, or else on the
// stick. It is decided once the FPGA manager, which would load it, exists.
void SmartMapping::updateScanFilesPresent() {
    if (!fpga_manage::p_fpga_manage)
        return;
    int count = scanFilesIn(kLocalDir, true, kMaxFiles).size();
    if (count == 0)
        count = scanFilesIn(kUsbDir, false, kMaxFiles).size();
    scan_present_ = static_cast<u8>(count);
}

void SmartMapping::listScanFiles() {
    file_paths_ = scanFilesIn(kLocalDir, true, kMaxFiles);
    local_count_ = static_cast<u8>(file_paths_.size());
    file_paths_ += scanFilesIn(kUsbDir, false, kMaxFiles - local_count_);
    total_count_ = static_cast<u8>(file_paths_.size());
    list_page_ = 0;
    // The last page holds the last one to three files; without files there is page 0 only.
    last_page_ = static_cast<u8>(total_count_ == 0 ? 0 : (total_count_ - 1) / kFileRows);
}

void SmartMapping::on_Button_next_5_clicked() {
    listScanFiles();
    file_list_shown_ = 1;
    scan_file_list();
    loadFilesTexts();
}

void SmartMapping::on_Button_front_6_clicked() {
    if (g_qround_bar)
        return;
    file_list_shown_ = 0;
    stackedWidget_->setCurrentIndex(kPageLoadPort);
    loadPortTexts();
}

int SmartMapping::rowsOnPage() const {
    return static_cast<int>(row_labels_.size());
}

bool SmartMapping::rowIsLocal(int row) const {
    return list_page_ * kFileRows + row < local_count_;
}

void SmartMapping::styleRow(int row, bool cursor, bool pressed) {
    if (row < 0 || row >= rowsOnPage())
        return;
    const bool local = rowIsLocal(row);
    const char* style = pressed  ? (local ? kRowPressedLocal : kRowPressedUsb)
                        : cursor ? (local ? kRowCursorLocal : kRowCursorUsb)
                                 : (local ? kRowLocal : kRowUsb);
    row_labels_[row]->setStyleSheet(style);
}

void SmartMapping::scan_file_list() {
    retireWidget(frame_file_);
    row_labels_.clear();
    row_paths_.clear();
    frame_file_ = new QFrame(pages_[kPageLoadFiles]);
    frame_file_->setObjectName("frame_file");
    frame_file_->setGeometry(10, 55, 220, 90);
    frame_file_->setStyleSheet(
        "#frame_file{background-color: rgb(33, 36, 53);border:1px solid #FFFFFF;}");
    QFont font = frame_file_->font();
    font.setPointSize(7);
    frame_file_->setFont(font);
    if (total_count_ == 0) {
        auto* empty = new QLabel(frame_file_);
        empty->setObjectName("label_nofile");
        empty->setGeometry(5, 5, 190, 20);
        empty->setFont(font);
        empty->setStyleSheet(kRowLocal);
        empty->setText(pickText("无加载文件!", "No loaded file!", "Нет файлов для загрузки!",
                                "Không có tập tin để tải!", "無加載文件!"));
        g_yqfile_name.set(QString());
    }
    const int first = list_page_ * kFileRows;
    const int end = std::min(first + kFileRows, static_cast<int>(total_count_));
    for (int index = first; index < end; ++index) {
        const int row = index - first;
        auto* label = new QLabel(frame_file_);
        label->setObjectName(QString("label_file%1").arg(row));
        label->setGeometry(5, 5 + 25 * row, 190, 20);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setFont(font);
        label->setText(displayName(file_paths_[index]));
        row_labels_.push_back(label);
        row_paths_ << file_paths_[index];
        styleRow(row, row == chosen_row_, false);
        auto* press = new QPushButton(frame_file_);
        press->setObjectName(QString::number(row));
        press->setGeometry(5, 5 + 25 * row, 190, 20);
        press->setFlat(true);
        press->setFocusPolicy(Qt::NoFocus);
        press->setStyleSheet("background-color: transparent;");
        connect(press, &QPushButton::clicked, this, &SmartMapping::krx_button_file_clicked);
    }
    const QString paging = "background-color: rgb(33, 36, 53);";
    if (list_page_ > 0) {
        auto* previous = new QPushButton(frame_file_);
        previous->setObjectName("Button_previous");
        previous->setGeometry(200, 5, 15, 20);
        previous->setIcon(QPixmap(":/png/previous.png"));
        previous->setIconSize(QSize(15, 20));
        previous->setStyleSheet(paging);
        previous->setFocusPolicy(Qt::NoFocus);
        connect(previous, &QPushButton::clicked, this, &SmartMapping::krx_Button_previous_clicked);
    }
    if (list_page_ < last_page_) {
        auto* next = new QPushButton(frame_file_);
        next->setObjectName("Button_nextpage");
        next->setGeometry(200, 55, 15, 20);
        next->setIcon(QPixmap(":/png/next.png"));
        next->setIconSize(QSize(15, 20));
        next->setStyleSheet(paging);
        next->setFocusPolicy(Qt::NoFocus);
        connect(next, &QPushButton::clicked, this, &SmartMapping::krx_Button_next_clicked);
    }
    frame_file_->show();
    stackedWidget_->setCurrentIndex(kPageLoadFiles);
}

// A row pressed: its file is the one Load loads.
void SmartMapping::chooseRow(int row) {
    if (row < 0 || row >= rowsOnPage())
        return;
    styleRow(chosen_row_, false, false);
    chosen_row_ = static_cast<u8>(row);
    g_yqfile_name.set(row_paths_[row]);
    styleRow(row, false, true);
}

void SmartMapping::krx_button_file_clicked() {
    if (g_qround_bar || !sender())
        return;
    bool ok = false;
    const int row = sender()->objectName().toInt(&ok);
    if (ok)
        chooseRow(row);
}

void SmartMapping::krx_Button_previous_clicked() {
    if (g_qround_bar)
        return;
    if (list_page_ > 0)
        --list_page_;
    chosen_row_ = 0;
    scan_file_list();
}

void SmartMapping::krx_Button_next_clicked() {
    if (g_qround_bar)
        return;
    list_page_ = list_page_ < last_page_ ? static_cast<u8>(list_page_ + 1) : 0;
    chosen_row_ = 0;
    scan_file_list();
}

void SmartMapping::on_Button_load_clicked() {
    if (g_yqfile_name.get().isEmpty() || !card_job_can_post())
        return;
    // The load reports from its first step on: the bar is connected before the post.
    card_job_show_progress(this);
    send_para_post(SEND_PARA_JOB_LOAD_SCAN);
}

// The keys on the file list. In mode 0 the cursor walks the rows (and the pages); in
// mode 1, and while there are no rows, the focus walks the two buttons.

void SmartMapping::enterFileList() {
    mark(tab(true), false);
    mark(Button_next_5_, false);
    state_ = State::Files;
    file_item_ = total_count_ > 0 ? 1 : 0;
    file_mode_ = 0;
    chosen_row_ = 0;
    for (QWidget* item : fileItems())
        mark(item, item == fileItems()[file_item_]);
    styleRow(0, true, false);
}

void SmartMapping::leaveFileList() {
    on_Button_front_6_clicked();
    if (currentPage() != kPageLoadPort)
        return;
    for (QWidget* item : fileItems())
        mark(item, false);
    state_ = State::LoadPort;
    mark(port_item_ == 0 ? static_cast<QWidget*>(tab(true)) : Button_next_5_, true);
}

void SmartMapping::stepFiles(int direction) {
    if (file_mode_ == 1 || rowsOnPage() == 0) {
        moveItem(fileItems(), &file_item_, direction);
        return;
    }
    styleRow(chosen_row_, false, false);
    if (direction < 0) {
        if (chosen_row_ > 0) {
            --chosen_row_;
        } else if (list_page_ > 0) {
            --list_page_;
            chosen_row_ = kFileRows - 1;
            scan_file_list();
        } else {
            scan_file_list();
        }
    } else if (chosen_row_ + 1 < rowsOnPage()) {
        ++chosen_row_;
    } else {
        list_page_ = list_page_ < last_page_ ? static_cast<u8>(list_page_ + 1) : 0;
        chosen_row_ = 0;
        scan_file_list();
    }
    styleRow(chosen_row_, true, false);
}

void SmartMapping::okFiles() {
    if (file_mode_ == 0 && rowsOnPage() > 0) {
        chooseRow(chosen_row_);
        file_mode_ = 1;
        mark(fileItems()[file_item_], true);
        return;
    }
    if (file_item_ == 0) {
        leaveFileList();
        return;
    }
    on_Button_load_clicked();
    mark(Button_load_, false);
    styleRow(chosen_row_, true, false);
    file_mode_ = 0;
}

void SmartMapping::backFiles() {
    if (file_mode_ == 1 && rowsOnPage() > 0) {
        styleRow(chosen_row_, true, false);
        mark(fileItems()[file_item_], false);
        file_mode_ = 0;
        return;
    }
    leaveFileList();
}
