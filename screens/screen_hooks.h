// Start-up wiring of the floors: every hook by which a lower floor reaches a higher one
// (the FPGA thread's reports, card answers going back to a PC, a PC's file notices) is
// installed here, once, before any worker thread starts.
#pragma once

void install_hooks();
