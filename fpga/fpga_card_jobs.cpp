// The receiving-card jobs that the screens post in g_send_para: smart mapping (job 1),
// saving card parameters (job 3) and the mapping switch (job 4).
//
// Not built yet: the pass already dispatches to them, and each is empty until the card
// jobs land.
#include "fpga/fpga_manage.h"

void fpga_manage::SmartMapping_deal() {}

void fpga_manage::save_para_deal() {}

void fpga_manage::mapping_enable_deal() {}
