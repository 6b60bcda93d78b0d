// The USB-stick upgrade that the FPGA thread runs instead of its normal pass while
// g_usb_grade is set.
//
// The installer is not built yet: a pass only ends the upgrade mode, which returns the
// thread to its normal pass.
#include "core/global.h"
#include "fpga/fpga_manage.h"

void fpga_manage::usb_upgrade_manage_deal(void*) {
    g_usb_grade = 0;
}
