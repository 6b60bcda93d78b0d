#include "tests/inputs/edid_decode.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace test {

EdidReport edidDecode(const unsigned char* image, size_t size) {
    EdidReport report;
    char name[] = "/tmp/krx-edid-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        return report;
    ::close(fd);
    {
        std::ofstream out(name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(image), static_cast<std::streamsize>(size));
    }
    std::string command = std::string("edid-decode -c -p -s ") + name + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        unlink(name);
        return report;
    }
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        report.output.append(buffer, got);
    int status = pclose(pipe);
    unlink(name);
    report.ran = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) != 127;
    report.passed = report.output.find("EDID conformity: PASS") != std::string::npos;

    const std::string preferred = "Preferred Video Timing if only Block 0 is parsed:";
    size_t at = report.output.find(preferred);
    if (at != std::string::npos) {
        at = report.output.find("DTD", at);
        if (at != std::string::npos)
            std::sscanf(report.output.c_str() + at, "DTD %*d: %dx%d %lf Hz %*s %*f kHz %lf MHz",
                        &report.width, &report.height, &report.refresh, &report.clockMhz);
    }
    const std::string product = "Display Product Name: '";
    at = report.output.find(product);
    if (at != std::string::npos) {
        at += product.size();
        report.name = report.output.substr(at, report.output.find('\'', at) - at);
    }
    return report;
}

}  // namespace test
