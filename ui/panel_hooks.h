// The panel's side of what the FPGA thread reports: the upgrade's dialog and the aging
// log's registers. Installed once at start-up, before the worker threads run.
#pragma once

void install_panel_hooks();
