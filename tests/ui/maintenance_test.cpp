#include "tests/ui/maintenance_test.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QKeyEvent>
#include <cstdio>
#include <fstream>
#include <regex>

namespace test {

namespace {

void put(std::array<u8, 4096>& image, size_t at, u16 value) {
    image[at] = static_cast<u8>(value);
    image[at + 1] = static_cast<u8>(value >> 8);
}

}  // namespace

std::array<u8, 4096> documentedDefaults() {
    std::array<u8, 4096> d{};
    put(d, 770, 100);
    for (size_t p = 0; p < 6; ++p) {
        put(d, 896 + 6 * p, p < 4 ? 1920 : 3840);
        put(d, 898 + 6 * p, p < 4 ? 1080 : 2160);
        put(d, 900 + 6 * p, 60);
    }
    put(d, 1378, 1920);
    put(d, 1380, 1080);
    put(d, 1386, 1);
    put(d, 1388, 1);
    put(d, 1390, 1920);
    put(d, 1392, 1080);
    for (size_t out : {1408, 1416}) {
        put(d, out + 4, 1920);
        put(d, out + 6, 1080);
    }
    // 40 crop entries and 24 more of the same pattern up to 2111.
    for (size_t at = 1472; at < 2112; at += 10) {
        put(d, at, 0x0002);
        put(d, at + 6, 1920);
        put(d, at + 8, 1080);
    }
    put(d, 2176, 100);
    put(d, 2178, 50);
    put(d, 2180, 10);
    put(d, 2182, 50);
    put(d, 2184, 2);
    put(d, 2186, 64);
    put(d, 2188, 64);
    put(d, 2190, 64);
    for (u16 w = 0; w < 16; ++w)
        put(d, 2208 + 2 * w, w);
    put(d, 2270, 1);
    for (size_t w = 0; w < 6; ++w) {
        const size_t at = 2272 + 26 * w;
        put(d, at, w == 0 ? 1 : 0);
        d[at + 8] = 1;
        put(d, at + 14, 1920);
        put(d, at + 16, 1080);
    }
    return d;
}

EdidVerdict decodeEdid(const std::vector<u8>& image) {
    EdidVerdict verdict;
    char name[] = "/tmp/krx-maint-edid-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        return verdict;
    ::close(fd);
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));
    FILE* pipe = popen((std::string("edid-decode -c ") + name + " 2>&1").c_str(), "r");
    if (pipe) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            verdict.output.append(buffer, got);
        pclose(pipe);
    }
    unlink(name);
    verdict.conforms = verdict.output.find("EDID conformity: PASS") != std::string::npos;
    std::smatch m;
    if (std::regex_search(verdict.output, m,
                          std::regex(R"(DTD 1:\s+(\d+)x(\d+)\s+([0-9.]+) Hz)"))) {
        verdict.width = std::stoi(m[1]);
        verdict.height = std::stoi(m[2]);
        verdict.refresh = std::stod(m[3]);
    }
    if (std::regex_search(verdict.output, m, std::regex(R"(Display Product Name: '([^']*)')")))
        verdict.name = m[1];
    return verdict;
}

void MaintenanceTest::useImage() {
    for (size_t at = 768; at < 4096; ++at)
        store->ram_para[at] = static_cast<u8>(at * 7 + 3);
    store->ram_para[774] = 0;  // the access point on
    store->ram_para_shadow = store->ram_para;
}

void MaintenanceTest::applied() {
    applyPending();
    QCoreApplication::processEvents();
}

void MaintenanceTest::keys(QWidget* screen, std::initializer_list<int> codes) {
    for (int code : codes) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
        QCoreApplication::sendEvent(screen, &press);
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier);
        QCoreApplication::sendEvent(screen, &release);
    }
}

}  // namespace test
