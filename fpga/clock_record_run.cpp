#include "fpga/clock_record_run.h"

clock_record_run::clock_record_run() : state{} {}

void clock_record_run::clock_record_init() {}

void clock_record_run::clock_record_deal() {}

void clock_record_run::dealwith_record_timing() {}
