#include "remote/file_notice.h"

#include "core/global.h"
#include "fpga/fpga_manage.h"
#include "screens/cardtools/smartmapping.h"
#include "ui/guithread.h"
#include "ui/option.h"
#include "ui/pages.h"

namespace {

std::function<void(FileNotice)>& listener() {
    static std::function<void(FileNotice)> f;
    return f;
}

}  // namespace

void post_file_notice(FileNotice notice) {
    onGuiThread([notice] { deliver_file_notice(notice); });
}

// The screens that list the files exist only together with the FPGA manager, which owns
// the reader of those files.
void deliver_file_notice(FileNotice notice) {
    const bool scan = notice == FileNotice::ScanWritten || notice == FileNotice::ScanDeleted;
    if (fpga_manage::p_fpga_manage && scan && g_page_focus == page::smartmapping && g_smartmapping)
        g_smartmapping->Button_back_clicked();
    else if (fpga_manage::p_fpga_manage && notice == FileNotice::ScanDeleted &&
             g_page_focus == page::option && g_option)
        g_option->language_changed();
    if (listener())
        listener()(notice);
}

void set_file_notice_listener(std::function<void(FileNotice)> f) {
    listener() = std::move(f);
}
