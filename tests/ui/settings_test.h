// Base of the settings-screen tests: the panel of UiTest, and on demand the FPGA manager
// with FPGA 0 on the simulated board and the settings store, as start-up has them. Each
// test ends with no protocol error on any simulated part.
#pragma once

#include <QString>
#include <memory>

#include "board/sim/fpga_model.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"
#include "tests/ui/panel_test.h"

namespace test {

class SettingsTest : public UiTest {
protected:
    void TearDown() override;

    // The FPGA manager with its links and register window, FPGA 0 released by the input
    // side; its passes are run by the test.
    void startFpga();
    // n passes of the FPGA thread, each one tick later.
    void fpgaPass(int n = 1);
    // Passes until pred() holds; false when maxPasses ran out first.
    template <class Pred>
    bool fpgaUntil(Pred pred, int maxPasses = 5000) {
        for (int i = 0; i < maxPasses && !pred(); ++i)
            fpgaPass();
        return pred();
    }
    bool bringUp() {
        return fpgaUntil([this] { return manager->get_fpga_status(); });
    }
    std::shared_ptr<sim::FpgaModel> fpga() { return sim::get<sim::FpgaModel>("fpga0"); }

    // The settings store, loaded from the root (a fresh settings file).
    void loadSettings();

    // A language offered and chosen, as the factory screen sets it.
    static void useLanguage(u8 language);
    // A change of the language made by the PC, applied, with the refresh it raises.
    void changeLanguage(u8 language);

    // Saves the screen as <build>/screens/<name>.png.
    static void shot(QWidget* screen, const QString& name);

    std::unique_ptr<fpga_manage> manager;
    std::unique_ptr<velmosource> source;
};

// The text a label, button, field or combo box of the screen shows.
QString textOf(QWidget* screen, const char* name);

// The keypad's own OK, pressed as a touch presses it.
void pressKeypadOk();

// Whether the label shows the picture of that resource.
bool showsPicture(QWidget* screen, const char* label, const char* resource);

}  // namespace test
