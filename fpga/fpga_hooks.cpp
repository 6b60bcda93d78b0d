#include "fpga/fpga_hooks.h"

FpgaHooks& fpga_hooks() {
    static FpgaHooks hooks;
    return hooks;
}
