// Runs Debian's edid-decode on an image: the independent reference for what a source
// makes of the EDIDs the program writes.
#pragma once

#include <string>

namespace test {

struct EdidReport {
    bool ran = false;     // edid-decode could be started
    bool passed = false;  // "EDID conformity: PASS"
    std::string output;
    // The preferred timing of the base block, as edid-decode prints it.
    int width = 0;
    int height = 0;
    double refresh = 0;
    double clockMhz = 0;
    std::string name;  // Display Product Name
};

EdidReport edidDecode(const unsigned char* image, size_t size = 256);

}  // namespace test
