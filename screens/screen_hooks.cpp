#include "screens/screen_hooks.h"

#include "core/global.h"
#include "fpga/fpga_hooks.h"
#include "remote/card_passby.h"
#include "remote/file_notice.h"
#include "screens/cardtools/rcv_recovery.h"
#include "screens/cardtools/rcv_recovery_result.h"
#include "screens/cardtools/smartmapping.h"
#include "screens/settings/advancedoption.h"
#include "ui/option.h"
#include "ui/pages.h"
#include "ui/panel_hooks.h"

namespace {

// On the GUI thread. The screen in front that lists or uses the files: the smart-mapping
// screen closes after a scan file came or went, the recovery screen after its package
// went, and the Setting menu and the Advanced Settings hub look again at what they offer.
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

void install_recovery_hooks() {
    FpgaHooks& hooks = fpga_hooks();
    hooks.recovery_found = [](unsigned screen, unsigned net, unsigned card, unsigned cards) {
        rcv_recovery_result_found(rcv_recovery_entry(screen, net, card, cards));
    };
    hooks.recovery_cleared = rcv_recovery_result_cleared;
}

}  // namespace

void install_hooks() {
    install_card_answer_route();
    install_panel_hooks();
    install_recovery_hooks();
    set_file_notice_screens(refresh_file_screens);
}
