#include "screens/cardtools/card_job.h"

#include <QDialog>

#include "core/global.h"
#include "core/guithread.h"
#include "fpga/fpga_manage.h"
#include "ui/QRoundProgressBar.h"

bool card_job_can_post() {
    return !g_qround_bar && send_para_job() == SEND_PARA_JOB_NONE && fpga_manage::p_fpga_manage &&
           g_fpga_c331_start;
}

void card_job_show_progress(QDialog* screen) {
    QRoundProgressBar::create_qround_bar(screen);
    QObject::connect(screen, SIGNAL(sig_qround_bar_update(int)), g_qround_bar,
                     SLOT(para_sync(int)));
}

// The FPGA thread reports from its own thread; the screen is reached only on the
// user-interface thread, where its pointer is tested, since it may have closed meanwhile.
void card_job_route_progress(CardJobScreen screen, void (*emit_progress)(int value)) {
    card_job_progress_connect(screen, [emit_progress](int value) {
        onGuiThread([emit_progress, value] { emit_progress(value); });
    });
}
