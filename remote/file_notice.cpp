#include "remote/file_notice.h"

#include "core/guithread.h"
#include "fpga/fpga_manage.h"
#include "fpga/rcv_recovery_file.h"

namespace {

std::function<void(FileNotice)>& listener() {
    static std::function<void(FileNotice)> f;
    return f;
}

std::function<void(FileNotice)>& screens() {
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

}  // namespace

void post_file_notice(FileNotice notice) {
    forget_deleted_files(notice);
    onGuiThread([notice] { deliver_file_notice(notice); });
}

// The screens that list the files exist only together with the FPGA manager, which owns
// the reader of those files.
void deliver_file_notice(FileNotice notice) {
    if (fpga_manage::p_fpga_manage && screens())
        screens()(notice);
    if (listener())
        listener()(notice);
}

void set_file_notice_screens(std::function<void(FileNotice)> refresh) {
    screens() = std::move(refresh);
}

void set_file_notice_listener(std::function<void(FileNotice)> f) {
    listener() = std::move(f);
}
