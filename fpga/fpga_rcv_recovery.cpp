// Loading a scan-parameter file into the cards (job 2) and the receiving-card recovery
// query and run (jobs 5 and 6), read through the manager's rcvRecovery reader.
//
// Not built yet: the pass already dispatches to it, and it is empty until it lands.
#include "fpga/fpga_manage.h"

void fpga_manage::rcv_recovery_check_deal(RCV_CHECK_OR_RECOVERY) {}
