// Base of the maintenance-screen tests: the settings-screen base, the parameter image as
// the built-in defaults are documented, and edid-decode as the reference for the EDIDs the
// inputs hold.
#pragma once

#include <QString>
#include <array>
#include <string>
#include <vector>

#include "tests/ui/settings_test.h"

namespace test {

// Image bytes 768..4095 of the default image, built from the documented field table
// (every field without a default is zero), at their image offsets.
std::array<u8, 4096> documentedDefaults();

// What edid-decode makes of one EEPROM's 256 bytes.
struct EdidVerdict {
    bool conforms = false;  // "EDID conformity: PASS"
    int width = 0;          // the first detailed timing of the base block
    int height = 0;
    double refresh = 0;
    std::string name;  // Display Product Name
    std::string output;
};
EdidVerdict decodeEdid(const std::vector<u8>& image);

class MaintenanceTest : public SettingsTest {
protected:
    // Every byte of the saved area given a value of its own, as a device long in use
    // holds; the shadow agrees (nothing is pending).
    void useImage();
    // The pending change applied as the video-processor thread does, and its refresh run.
    void applied();
    // Runs the screen's own key handling with one press and release of each code.
    static void keys(QWidget* screen, std::initializer_list<int> codes);
};

}  // namespace test
