// Loading a scan-parameter file into the cards (job 2) and the receiving-card recovery
// query and run (jobs 5 and 6): one state machine, one state per pass, reading the files
// only through the manager's rcvRecovery reader.
//
// - Load (mode 2): every operation of the chosen scan file goes to all cards of the net
//   picked in the smart-mapping wizard (states 17..19).
// - Query (mode 0): for each screen of the package and each net of the screen, a search
//   packet asks the net's cards about the screen's configuration id (13, 14); the first
//   net whose cards name a card (a result other than 0xFF) ends the query, and the card
//   becomes the recovery screen's result.
// - Run (mode 1): the card the last query found gets the operations of its screen's
//   parameter part (17..19), then those of its own card block in the XY part (8..12).
//
// Every job ends through state 33 (normal end: the job is cleared, then 100 closes the
// progress bar) or 34/35 (error: 100 at once, the job cleared a second later). Whatever the
// files say is checked before it is used: counts must fit their loop index, the packed files
// and blocks must be there, the nets must be this device's (FPGA 0's ports); anything else
// ends the job through its error path, except that a query passes over the nets of FPGA 1,
// which this device does not drive, and asks the others. A result reaches the recovery screen only
// from the answer of the net a query has just asked, never from a result word left behind.
#include <cstdio>

#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "fpga/fpga_hooks.h"
#include "fpga/fpga_manage.h"
#include "fpga/rcv_recovery_file.h"
#include "fpga/send_para.h"

namespace {

enum : u8 {
    kCheckStart = 0,
    kCheckWait = 1,
    kListFiles = 2,
    kReadEntries = 3,
    kCheckTypes = 4,
    kScreenHead = 5,
    kScreenEntry = 6,
    kScreenParts = 7,
    kNetCount = 8,
    kNetEntry = 9,
    kCardOperations = 10,
    kCardRecord = 11,
    kCardOperate = 12,
    kSearchNet = 13,
    kSearchWait = 14,
    kNextNet = 15,
    kParaOperations = 17,
    kParaRecord = 18,
    kParaOperate = 19,
    kOver = 33,
    kError = 34,
    kErrorEnd = 35,
};
constexpr u8 kStates = 35;  // the share of a state in the progress: state x 100 / 35

constexpr u32 kPcQuietTicks = 80;
constexpr u32 kStartEmitTicks = 80;
constexpr u32 kStartTicks = 239;
constexpr u32 kStartScale = 500;
constexpr u32 kSearchTicks = 500;
constexpr u32 kErrorTicks = 100;
constexpr u32 kAnimationTicks = 100;
constexpr u32 kAnimationLast = 99;
constexpr int kJobOver = 100;
constexpr int kCardFound = 28;
constexpr u16 kNoAnswer = 0xFFFF;
constexpr u16 kNothingToRecover = 0xFF;
constexpr unsigned kMaxIndex = 255;  // the jobs count screens, nets and records in a byte
constexpr u16 kDrivenNets = 6;       // nets 6.. are FPGA 1's, which is not driven

const char* const kPackageDir = "/data/rcvrecovery";
const char* const kPackage = "/data/rcvrecovery/YQFX";
const char* const kScanDir = "/data/smartmapping";
const char* const kStickDir = "/mnt/usb1/";

u32 now() {
    return G_timeTicks;
}

void trace(const char* text) {
    if (debugOn())
        std::printf("%s", text);
}

SEND_PARA& job() {
    return g_send_para;
}

class RecoveryJob {
public:
    RecoveryJob(fpga_manage& m, rcvRecovery& r, RCV_CHECK_OR_RECOVERY mode)
        : m_(m), r_(r), mode_(mode) {}

    void step();

private:
    bool query() const { return mode_ == RCV_CHECK; }
    bool run() const { return mode_ == RCV_RECOVERY; }
    bool load() const { return mode_ == RCV_LOAD_SCAN; }
    QString file() const { return r_.rcv_file_path; }
    void go(u8 state) { job().step = state; }
    void fail(const char* why = nullptr) {
        if (why)
            trace(why);
        go(kError);
    }
    void report(int value) const {
        card_job_progress(load() ? CardJobScreen::SmartMapping : CardJobScreen::RcvRecovery, value);
    }
    void report_share(unsigned done, unsigned count) const {
        report(static_cast<int>((100 + done * 100) / (count + 1)));
    }
    // The bar while the files are first looked at: 100 x ticks since the start / 500.
    void report_start() const {
        const u32 share = Utils::getTimeSpace(g_change[2]) * 100 / kStartScale;
        report(static_cast<int>(share < kAnimationLast ? share : kAnimationLast));
    }
    void animation() const;
    void restart_animation() const {
        g_change[46] = 0;
        g_change[2] = now();
    }

    void start();
    void start_wait();
    void list_files();
    void list_scan_files();
    void read_entries();
    void check_types();
    void screen_head();
    void screen_entry();
    void screen_parts();
    void net_count();
    void net_entry();
    void card_operations();
    void card_record();
    void card_operate();
    void search_net();
    void search_wait();
    void next_net();
    void next_screen();
    void para_operations();
    void para_done();
    void para_record();
    void para_operate();
    void card_found(u8 card);
    void over();
    void error_end();

    // Where the blocks holding the records start in the file.
    u64 xy_block() const;
    u64 para_block() const;
    // The operation's data position for the reader; false when it is beyond any file.
    bool keep_data_offset(u64 block);
    bool has_xy() const { return r_.packed_base(RCV_PACKED_XY, nullptr); }
    bool has_para() const { return r_.packed_base(RCV_PACKED_SMART, nullptr); }

    fpga_manage& m_;
    rcvRecovery& r_;
    const RCV_CHECK_OR_RECOVERY mode_;
};

void RecoveryJob::step() {
    switch (job().step.load()) {
        case kCheckStart:
            return start();
        case kCheckWait:
            return start_wait();
        case kListFiles:
            return load() ? list_scan_files() : list_files();
        case kReadEntries:
            return read_entries();
        case kCheckTypes:
            return check_types();
        case kScreenHead:
            return screen_head();
        case kScreenEntry:
            return screen_entry();
        case kScreenParts:
            return screen_parts();
        case kNetCount:
            return net_count();
        case kNetEntry:
            return net_entry();
        case kCardOperations:
            return card_operations();
        case kCardRecord:
            return card_record();
        case kCardOperate:
            return card_operate();
        case kSearchNet:
            return search_net();
        case kSearchWait:
            return search_wait();
        case kNextNet:
            return next_net();
        case kParaOperations:
            return para_operations();
        case kParaRecord:
            return para_record();
        case kParaOperate:
            return para_operate();
        case kOver:
            return over();
        case kError:
            report(kJobOver);
            g_change[2] = now();
            m_.card_reply_expected = 0;
            go(kErrorEnd);
            return;
        case kErrorEnd:
            return error_end();
        default:
            return;
    }
}

void RecoveryJob::animation() const {
    if (Utils::getTimeSpace(g_change[2]) <= kAnimationTicks)
        return;
    u32 beat = g_change[46] + 1;
    if (beat > kAnimationLast)
        beat = 1;
    g_change[46] = beat;
    g_change[2] = now();
    report(static_cast<int>(beat));
}

void RecoveryJob::start() {
    if (!m_.get_fpga_status())
        return fail("\n there is a error about fpga!!! ");
    trace("\n check rcv.... ");
    g_change[2] = now();
    job().send_ticks = now();
    report_start();
    go(kCheckWait);
}

void RecoveryJob::start_wait() {
    if (Utils::getTimeSpace(job().send_ticks) >= kStartEmitTicks) {
        job().send_ticks = now();
        report_start();
    }
    if (Utils::getTimeSpace(g_change[2]) > kStartTicks)
        go(kListFiles);
}

void RecoveryJob::list_scan_files() {
    if (r_.get_dir_file(kScanDir) != 0 || r_.scan_files().isEmpty()) {
        if (r_.get_dir_file(kStickDir) != 0)
            return fail("\n check file error ");
    }
    if (r_.scan_files().isEmpty()) {
        trace("\n more file error ");
        return go(kOver);
    }
    r_.init_para();
    r_.rcv_file_path = g_yqfile_name.get();
    if (debugOn())
        std::printf("\n smart_files_nmae  %s  !/n", r_.rcv_file_path.toStdString().c_str());
    report_start();
    go(kParaOperations);
}

void RecoveryJob::list_files() {
    if (r_.get_dir_file(kPackageDir) != 0)
        return fail("\n check file error ");
    if (r_.recovery_files().size() != 1) {
        trace("\n more file error ");
        // A run that found no package has recovered nothing: it must not end as if it had.
        return run() ? fail() : go(kOver);
    }
    r_.rcv_file_path = kPackage;
    if (debugOn())
        std::printf("\n recovery_files_nmae  %s  !/n", kPackage);
    if (r_.get_rcvPackedFileNum(file()) != 0)
        return fail("\n packed file number error ");
    report_start();
    go(kReadEntries);
}

void RecoveryJob::read_entries() {
    for (u8 i = 0; i < r_.packed_num(); ++i)
        if (r_.get_rcvPackedFileInfo(file(), i) != 0)
            return fail("\n packed file entry error ");
    report_start();
    go(kCheckTypes);
}

void RecoveryJob::check_types() {
    job().recovery_result = kNoAnswer;
    // A package without packed files holds no screen file either.
    if (r_.packed_num() == 0 || !r_.packed_base(RCV_PACKED_SCREEN, nullptr))
        return fail("\n no file type error ");
    go(kScreenHead);
}

void RecoveryJob::screen_head() {
    trace("\n now in RECOVERY_RCV_GET_SCREEN_NUM ");
    if (r_.update_rcvScreenHead(file()) != 0)
        return fail("\n check screen net error ");
    if (query()) {
        job().screen_index = 0;
    } else {
        job().screen_index = m_.recovery_screen;
        job().net_index = m_.recovery_net_entry;
        if (debugOn())
            std::printf("\n now start to  recovery screen%d ,net%d \n", m_.recovery_screen,
                        m_.recovery_net);
        report(kScreenHead * 100 / kStates);
    }
    go(kScreenEntry);
}

void RecoveryJob::screen_entry() {
    const u8 screen = job().screen_index;
    if (r_.update_rcvScreenIDinfo(file(), screen) != 0)
        return fail();
    if (run()) {
        trace("\n now start to check file ....");
        return go(kScreenParts);
    }
    report_share(screen, r_.screen_head.screen_num);
    // A screen without an XY block has no nets to ask.
    if (r_.screen_info.rcv_xy_len == 0)
        return next_screen();
    if (!has_xy())
        return fail("\n no xy file error ");
    go(kNetCount);
}

void RecoveryJob::screen_parts() {
    const RCV_SCREEN_ID_INFO& s = r_.screen_info;
    if (s.rcv_para_len == 0 && s.rcv_xy_len == 0)
        return fail("\n screen file all len  error ");
    if (s.rcv_para_len != 0)
        return has_para() ? go(kParaOperations) : fail("\n no para file error ");
    has_xy() ? go(kNetCount) : fail("\n no xy file error ");
}

void RecoveryJob::net_count() {
    if (r_.update_rcvXYscreenNetnum(file()) != 0 || r_.screen_net_num > kMaxIndex)
        return fail("\n rcv xy file screen_net num error ");
    if (query()) {
        if (r_.screen_net_num == 0)
            return next_screen();
        job().net_index = 0;
    }
    report(kNetCount * 100 / kStates);
    if (debugOn())
        std::printf("\n now start to recovery net_index = %#x \n", job().net_index.load());
    go(kNetEntry);
}

void RecoveryJob::net_entry() {
    const u8 net = job().net_index;
    if (r_.update_rcvXYscreenNetpara(file(), net) != 0)
        return fail("\n rcv xy file screen_net para error ");
    if (r_.net_para.net_ledx >= kDrivenNets) {
        // The query has no way to FPGA 1's nets: it asks the nets it can reach. A run never
        // gets here with one, as only an answer of a reachable net names a card.
        if (query()) {
            if (debugOn())
                std::printf("\n net %d is not on FPGA 0: not asked\n", r_.net_para.net_ledx);
            return go(kNextNet);
        }
        return fail("\n the net is not on FPGA 0 ");
    }
    if (query()) {
        report_share(net, r_.screen_net_num);
        return go(kSearchNet);
    }
    if (m_.recovery_card >= r_.net_para.net_rcv_num)
        return fail("\n the card is beyond the net's cards ");
    job().load_card = m_.recovery_card;
    report(kCardFound);
    go(kCardOperations);
}

void RecoveryJob::card_operations() {
    if (r_.update_rcvXYrcvOperateTimes(file(), job().load_card, false) != 0 ||
        r_.operate_times > kMaxIndex)
        return fail("\n rcv xy file rcv operate times error ");
    job().operation_index = 0;
    r_.operate_times == 0 ? go(kOver) : go(kCardRecord);
}

void RecoveryJob::card_record() {
    const u8 index = job().operation_index;
    if (r_.update_rcvXYrcvOperatepara(file(), index, false) != 0 || !keep_data_offset(xy_block()))
        return fail("\n rcv xy file rcv operate times error ");
    job().load_step = 20;
    report_share(index, r_.operate_times);
    restart_animation();
    if (debugOn())
        std::printf("\n now in operate_data_offset = %#x\n", r_.operate_data_offset);
    go(kCardOperate);
}

void RecoveryJob::card_operate() {
    const int done = m_.load_rcv_xy_operate(file(), static_cast<u32>(xy_block()), load());
    if (done == fpga_manage::kOperateFailed)
        return fail("\n operation error ");
    if (done == fpga_manage::kOperateRunning)
        return animation();
    const u8 next = static_cast<u8>(job().operation_index + 1);
    job().operation_index = next;
    if (next >= r_.operate_times)
        return go(kOver);
    job().load_step = 20;
    go(kCardRecord);
}

void RecoveryJob::search_net() {
    const u8 port = static_cast<u8>(r_.net_para.net_ledx);
    const u32 id = r_.screen_info.config_id;
    if (debugOn()) {
        std::printf("\n fpga%d_sel, net%d ,config_id_enalbe = %#x\n", 0, port, id);
        std::printf("\n check screen_index = %#x , net_index = %#x \n", job().screen_index.load(),
                    job().net_index.load());
    }
    // This net's answer only: the search packet arms the result for its port and screen.
    job().recovery_result = kNoAnswer;
    m_.check_error_rcv_search_card_cmd(port, 0, id, 0, r_.recovery_files().isEmpty() ? 0 : 1);
    report(kSearchNet * 100 / kStates);
    job().send_ticks = now();
    restart_animation();
    go(kSearchWait);
}

void RecoveryJob::search_wait() {
    const u16 result = job().recovery_result;
    if (result < kNoAnswer) {
        if (debugOn())
            std::printf("\n rcv back info ...%#x\n", result);
        if (result == kNothingToRecover)
            return go(kNextNet);
        card_found(static_cast<u8>(result));
        return go(kOver);
    }
    if (Utils::getTimeSpace(job().send_ticks) > kSearchTicks) {
        trace("\n timeout!!! ");
        // A late answer of this net must not be taken for the next one's.
        m_.recovery_query_port = 0xFF;
        return go(kNextNet);
    }
    animation();
}

void RecoveryJob::next_net() {
    const u8 net = static_cast<u8>(job().net_index + 1);
    job().net_index = net;
    if (net < r_.screen_net_num)
        return go(kNetEntry);
    next_screen();
}

void RecoveryJob::next_screen() {
    job().net_index = 0;
    const u8 screen = static_cast<u8>(job().screen_index + 1);
    job().screen_index = screen;
    if (debugOn())
        std::printf("\n current_screen_index = %#x , screen_num = %#x \n", screen,
                    r_.screen_head.screen_num);
    screen < r_.screen_head.screen_num ? go(kScreenEntry) : go(kOver);
}

void RecoveryJob::para_operations() {
    if (r_.update_smartDebugingOperateTimes(file(), load()) != 0 || r_.operate_times > kMaxIndex)
        return fail("\n rcv xy file rcv operate times error ");
    job().operation_index = 0;
    u8 port;
    if (load()) {
        port = line_type.net_port;
        r_.net_para.net_ledx = port;
    } else {
        port = m_.recovery_net;
        r_.net_para.net_ledx = port;
        job().load_card = m_.recovery_card;
    }
    const u16 cards = m_.get_port_card_num(port);
    if (cards == 0 || (run() && m_.recovery_card >= cards))
        return fail("\n no card on the port ");
    if (r_.operate_times == 0)
        return para_done();
    go(kParaRecord);
}

void RecoveryJob::para_record() {
    const u8 index = job().operation_index;
    if (r_.update_smartDebugingOperatepara(file(), index, load()) != 0 ||
        !keep_data_offset(para_block()))
        return fail("\n rcv xy file rcv operate times error ");
    job().load_step = 20;
    report_share(index, r_.operate_times);
    restart_animation();
    if (debugOn())
        std::printf("\n in operate_para_data_offset=%#x ,net_index = %#x \n",
                    r_.operate_data_offset, r_.net_para.net_ledx);
    go(kParaOperate);
}

void RecoveryJob::para_operate() {
    const int done = m_.load_rcv_xy_operate(file(), static_cast<u32>(para_block()), load());
    if (done == fpga_manage::kOperateFailed)
        return fail("\n operation error ");
    if (done == fpga_manage::kOperateRunning)
        return animation();
    const u8 next = static_cast<u8>(job().operation_index + 1);
    job().operation_index = next;
    if (next < r_.operate_times) {
        job().load_step = 20;
        trace("\n start to set net para operate ");
        return go(kParaRecord);
    }
    para_done();
}

void RecoveryJob::para_done() {
    if (load())
        return go(kOver);
    job().operation_index = 0;
    // A screen whose only part is the parameter part is recovered now.
    if (r_.screen_info.rcv_xy_len == 0)
        return go(kOver);
    if (!has_xy())
        return fail("\n no xy file error ");
    trace("\n start to set point xy ");
    go(kNetCount);
}

u64 RecoveryJob::xy_block() const {
    u32 base = 0;
    r_.packed_base(RCV_PACKED_XY, &base);
    return u64{base} + r_.screen_info.rcv_xy_offset + r_.net_para.net_para_offset;
}

u64 RecoveryJob::para_block() const {
    if (load())
        return rcvRecovery::kStandAloneBlock;
    u32 base = 0;
    r_.packed_base(RCV_PACKED_SMART, &base);
    return u64{base} + r_.screen_info.rcv_para_offset;
}

bool RecoveryJob::keep_data_offset(u64 block) {
    const u64 at = block + r_.operate_para.offset;
    if (at > 0xFFFFFFFFull)
        return false;
    r_.operate_data_offset = static_cast<u32>(at);
    return true;
}

// Only the answer of the net just asked names the card: the result goes to the recovery
// screen from here, never from a result word another job left behind.
void RecoveryJob::card_found(u8 card) {
    m_.recovery_screen = job().screen_index;
    m_.recovery_net = static_cast<u8>(r_.net_para.net_ledx);
    m_.recovery_net_entry = job().net_index;
    m_.recovery_card = card;
    if (const auto& found = fpga_hooks().recovery_found)
        found(m_.recovery_screen, m_.recovery_net, card, r_.net_para.net_rcv_num);
}

void RecoveryJob::over() {
    const u16 result = job().recovery_result;
    if (debugOn())
        std::printf("\n the number of rcv need to recovery is %#x \n", result);
    // The run has restored the card: nothing is left to recover.
    const auto& cleared = fpga_hooks().recovery_cleared;
    if (cleared && run() && (result == kNothingToRecover || result == kNoAnswer))
        cleared();
    send_para_set_job_step(SEND_PARA_JOB_NONE, 0);
    trace("\n over!!! ");
    report(kJobOver);
}

void RecoveryJob::error_end() {
    if (Utils::getTimeSpace(g_change[2]) <= kErrorTicks)
        return;
    send_para_set_job_step(SEND_PARA_JOB_NONE, 0);
    if (KrxRamPara* store = KrxRamPara::p_krxrampara_config)
        store->test_signal(1);
}

// While the PC talks to the cards the job stands still, its time-outs included.
bool pc_pause(fpga_manage& m) {
    if (!pc_cmd_valid)
        return false;
    if (Utils::getTimeSpace(pc_cmd_time) > kPcQuietTicks) {
        pc_cmd_valid = 0;
        m.search_sent_mask = 0;
    }
    g_change[2] = now();
    job().send_ticks = now();
    return true;
}

}  // namespace

void fpga_manage::rcv_recovery_check_deal(RCV_CHECK_OR_RECOVERY mode) {
    if (pc_pause(*this) || job().step > kStates)
        return;
    if (!p_rcvRecovery) {
        send_para_set_job_step(SEND_PARA_JOB_NONE, 0);
        return;
    }
    RecoveryJob(*this, *p_rcvRecovery, mode).step();
}
