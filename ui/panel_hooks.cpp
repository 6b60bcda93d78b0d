#include "ui/panel_hooks.h"

#include "fpga/fpga_hooks.h"
#include "ui/agelog.h"
#include "ui/mainwindow.h"

void install_panel_hooks() {
    FpgaHooks& hooks = fpga_hooks();
    hooks.upgrade_started = MainWindow::update_start;
    hooks.upgrade_over = MainWindow::update_over;
    installFpgaAgeLogSource();
}
