#include "remote/file_notice.h"

#include "core/global.h"
#include "fpga/fpga_manage.h"
#include "screens/cardtools/rcv_recovery.h"
#include "screens/cardtools/rcv_recovery_file.h"
#include "screens/cardtools/smartmapping.h"
#include "screens/settings/advancedoption.h"
#include "ui/guithread.h"
#include "ui/option.h"
#include "ui/pages.h"

namespace {

std::function<void(FileNotice)>& listener() {
    static std::function<void(FileNotice)> f;
    return f;
}

// Files deleted by the PC are gone from the reader's list of their folder too.
void forget_deleted_files(FileNotice notice) {
    fpga_manage* m = fpga_manage::p_fpga_manage;
    if (!m || !m->p_rcvRecovery)
        return;
    if (notice == FileNotice::RecoveryDeleted)
        m->p_rcvRecovery->clear_recovery_files();
    else if (notice == FileNotice::ScanDeleted)
        m->p_rcvRecovery->clear_scan_files();
}

// The screen in front that lists or uses the files: the smart-mapping screen closes after
// a scan file came or went, the recovery screen after its package went, and the Setting
// menu and the Advanced Settings hub look again at what they offer.
void refresh_file_screens(FileNotice notice) {
    const u8 page = g_page_focus;
    const bool scan = notice == FileNotice::ScanWritten || notice == FileNotice::ScanDeleted;
    if (scan && page == page::smartmapping && g_smartmapping)
        g_smartmapping->Button_back_clicked();
    else if (notice == FileNotice::ScanDeleted && page == page::option && g_option)
        g_option->language_changed();
    else if (notice == FileNotice::RecoveryDeleted && page == page::rcv_recovery && g_rcv_recovery)
        g_rcv_recovery->menulist_back_page();
    else if (!scan && page == page::advancedoption && g_advancedoption)
        g_advancedoption->language_changed();
}

}  // namespace

void post_file_notice(FileNotice notice) {
    forget_deleted_files(notice);
    onGuiThread([notice] { deliver_file_notice(notice); });
}

// The screens that list the files exist only together with the FPGA manager, which owns
// the reader of those files.
void deliver_file_notice(FileNotice notice) {
    if (fpga_manage::p_fpga_manage)
        refresh_file_screens(notice);
    if (listener())
        listener()(notice);
}

void set_file_notice_listener(std::function<void(FileNotice)> f) {
    listener() = std::move(f);
}
