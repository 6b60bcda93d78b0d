// How the receiving-card screens hand a long job to the FPGA thread and watch it: the job
// goes into the job block, and the shared round progress bar on the posting screen is fed
// the job's progress through the screen's sig_qround_bar_update(int) until the job
// reports 100.
#pragma once

#include "core/types.h"
#include "fpga/send_para.h"

class QDialog;

// Whether a job may be posted now: no bar is shown (no job of a screen is being watched),
// the job block holds no job, and the job will be worked: the FPGA manager exists and its
// thread runs its passes (the start gate is open). A job posted without a worker would
// keep its bar, and with it Back and Mode, locked for ever.
bool card_job_can_post();

// Shows the round progress bar on screen and connects the screen's
// sig_qround_bar_update(int) to it.
void card_job_show_progress(QDialog* screen);

// The progress a job reports for screen, delivered on the user-interface thread to the
// screen's signal through emit_progress, which finds the screen (if it is still open)
// itself.
void card_job_route_progress(CardJobScreen screen, void (*emit_progress)(int value));
