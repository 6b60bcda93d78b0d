// The whole program on the simulated board at rest, and how quickly it answers when
// something happens. The program starts in this process the way the device starts it (the
// two halves of start-up around the application object, offscreen), on a fresh root, with
// the panel up, sources on HDMI1, HDMI2 and HDMI3 and receiving cards on output ports 1
// and 2. Once every source is published and the LED output runs, it prints
// - per thread, the CPU time over a fixed window of rest (and the whole process's);
// - the bus traffic of that window (I2C transfers, SPI bus time per device);
// - the resident memory and the time from start to the home screen;
// - a PC's write of the image (screen black, applied through register 0x0B) until FPGA 0's
//   register 0 shows it, 50th and 99th percentile;
// - a source plugged until its receiver publishes the timing (IT6602 and IT6805);
// - a panel key until the screen repaints.
//
// Usage: bench_at_rest [seconds of rest]   (default 60)
#include <dirent.h>
#include <pthread.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QJsonArray>
#include <QJsonObject>
#include <QKeyEvent>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "board/sim/c331_model.h"
#include "board/sim/fpga_model.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/i2c_bus.h"
#include "board/sim/sim.h"
#include "board/sim/spi_bus.h"
#include "core/global.h"
#include "core/utils.h"
#include "inputs/velmosource.h"
#include "screens/screen_hooks.h"
#include "tests/support/free_port.h"
#include "tests/system/pc_client.h"
#include "ui/lockwindow.h"
#include "ui/mainwindow.h"
#include "ui/startup.h"
#include "ui/syncupdate.h"

namespace {

using Clock = std::chrono::steady_clock;

// The figures go here; the program's own console goes to /dev/null.
FILE* report = stdout;

double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// ---- per thread CPU, from the kernel's own accounting

struct Task {
    std::string name;
    double cpu = 0;  // seconds on a CPU
};

std::string readLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::map<int, Task> tasks() {
    std::map<int, Task> all;
    DIR* dir = opendir("/proc/self/task");
    if (!dir)
        return all;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        const std::string base = std::string("/proc/self/task/") + e->d_name;
        Task t;
        t.name = readLine(base + "/comm");
        std::istringstream stat(readLine(base + "/schedstat"));
        double ns = 0;
        stat >> ns;
        t.cpu = ns / 1e9;
        all[std::atoi(e->d_name)] = t;
    }
    closedir(dir);
    return all;
}

double processCpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

std::string statusField(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return line.substr(line.find_first_not_of(" \t", std::string(key).size()));
    return "?";
}

// ---- the program's state as a user would check it

bool published(int input) {
    velmosource* source = velmosource::p_velmo_source;
    if (!source)
        return false;
    std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
    return source->hdminfo[input].updated == 1 && source->hdminfo[input].nosignal == 0;
}

bool noSignal(int input) {
    velmosource* source = velmosource::p_velmo_source;
    if (!source)
        return false;
    std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
    return source->hdminfo[input].nosignal == 1;
}

bool outputRunning() {
    auto fpga = sim::get<sim::FpgaModel>("fpga0");
    return (fpga->reg(3) & 0xE0) == 0xE0 && (fpga->reg(23) & 0x01) &&
           (fpga->reg(22) & 0x90) == 0x90 && !(fpga->reg(0) & 0x04);
}

template <class Pred>
bool waitUntil(Pred pred, double seconds, int pollUs = 100) {
    const auto start = Clock::now();
    while (!pred()) {
        if (since(start) > seconds)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(pollUs));
    }
    return true;
}

struct Spread {
    double p50 = 0, p99 = 0, max = 0;
    size_t n = 0;
};

Spread spread(std::vector<double> ms) {
    Spread s;
    s.n = ms.size();
    if (ms.empty())
        return s;
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) {
        size_t i = static_cast<size_t>(q * (ms.size() - 1) + 0.5);
        return ms[std::min(i, ms.size() - 1)];
    };
    s.p50 = at(0.5);
    s.p99 = at(0.99);
    s.max = ms.back();
    return s;
}

void printSpread(const char* what, const Spread& s) {
    std::fprintf(report, "%-38s p50 %7.2f ms  p99 %7.2f ms  max %7.2f ms  (%zu)\n", what, s.p50,
                 s.p99, s.max, s.n);
}

// ---- the panel's repaints, seen from the application's event filter

class PaintWatch : public QObject {
public:
    std::atomic<bool> homeShown{false};
    std::atomic<double> homeAt{0};
    std::atomic<int64_t> lastPaintNs{0};
    Clock::time_point start;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Paint)
            return false;
        const auto now = Clock::now();
        lastPaintNs = std::chrono::duration_cast<std::chrono::nanoseconds>(now - start).count();
        auto* widget = qobject_cast<QWidget*>(object);
        if (!homeShown && widget && g_lockwindow &&
            (widget == g_lockwindow || g_lockwindow->isAncestorOf(widget))) {
            homeAt = std::chrono::duration<double>(now - start).count();
            homeShown = true;
        }
        return false;
    }
};

// ---- the phases, run on a thread of their own while the GUI thread runs its event loop

struct Bench {
    double restSeconds = 60;
    uint16_t udpPort = 0;
    PaintWatch* watch = nullptr;
    std::string homeRss;
    bool failed = false;

    void fail(const char* what) {
        std::fprintf(report, "FAILED: %s\n", what);
        failed = true;
    }

    void run() {
        const auto up = Clock::now();
        const bool ready =
            waitUntil([] { return published(1) && published(2) && published(3); }, 60, 10000);
        const double sourcesAt = since(up);
        const bool running = waitUntil(outputRunning, 90, 10000);
        const double outputAt = since(up);
        if (!ready || !running)
            return fail(ready ? "the LED output did not start"
                              : "the three sources were not "
                                "published");
        std::fprintf(report,
                     "start to home screen                   %8.3f s, resident memory then %s\n",
                     watch->homeAt.load(), homeRss.c_str());
        std::fprintf(report,
                     "three sources published after          %8.3f s (from the home screen)\n",
                     sourcesAt);
        std::fprintf(report,
                     "LED output running after               %8.3f s (from the home screen)\n",
                     outputAt);
        // Card search, links and the first saves settle.
        std::this_thread::sleep_for(std::chrono::seconds(5));
        rest();
        traffic();
        pcWrite();
        pcWriteToC331();
        plug(1, "plug seen, IT6602 (HDMI1)", 10);
        plug(3, "plug seen, IT6805 (HDMI3)", 5);
        keys();
    }

    void rest() {
        const std::map<int, Task> before = tasks();
        const double cpu0 = processCpu();
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(restSeconds));
        const double wall = since(t0);
        const double cpu = processCpu() - cpu0;
        const std::map<int, Task> after = tasks();
        std::fprintf(report, "\nat rest for %.1f s; load average %s\n", wall,
                     readLine("/proc/loadavg").c_str());
        std::fprintf(report, "  %-7s %-16s %8s\n", "tid", "thread", "CPU %");
        for (const auto& [tid, t] : after) {
            auto was = before.find(tid);
            const double used = t.cpu - (was == before.end() ? 0 : was->second.cpu);
            std::fprintf(report, "  %-7d %-16s %8.3f\n", tid, t.name.c_str(), 100 * used / wall);
        }
        std::fprintf(report, "  %-24s %8.3f %% of one core\n", "whole process", 100 * cpu / wall);
        std::fprintf(report, "resident memory at rest                %s (peak %s)\n",
                     statusField("VmRSS:").c_str(), statusField("VmHWM:").c_str());
    }

    // The buses over a few seconds of rest (the simulated buses keep a bounded log).
    void traffic() {
        auto spi = sim::get<sim::SpiBus>("spi-bus");
        auto i2c = sim::get<sim::I2cBus>("/dev/i2c-0");
        auto c331 = sim::get<sim::C331Model>("c331");
        if (spi)
            spi->clearLog();
        if (i2c)
            i2c->clearLog();
        if (c331)
            c331->clearLog();
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        const double wall = since(t0);
        if (i2c) {
            std::map<int, size_t> byDevice;
            for (const sim::I2cBus::Transfer& t : i2c->log())
                ++byDevice[t.messages.front().address];
            std::fprintf(report, "I2C transfers                          %8.1f per second\n",
                         i2c->log().size() / wall);
            for (const auto& [address, n] : byDevice)
                std::fprintf(report, "    device 0x%02X %8.1f per second\n", address, n / wall);
            busiestI2c(i2c->log(), wall);
        }
        if (spi) {
            using sim::SpiTarget;
            for (SpiTarget target : {SpiTarget::C331, SpiTarget::Fpga0, SpiTarget::Flash0}) {
                const sim::SpiBus::Counters c = spi->counters(target);
                std::fprintf(report, "SPI %-8s %9.0f messages/s, bus busy %6.2f ms/s\n",
                             sim::targetName(target), c.messages / wall, c.busNs / 1e6 / wall);
            }
        }
        if (c331)
            busiestRegisters(c331->log(), wall);
    }

    // The receiver registers the program reads or writes most (device, first register,
    // read or write), per second.
    static void busiestI2c(const std::vector<sim::I2cBus::Transfer>& log, double wall) {
        std::map<std::tuple<int, int, bool>, size_t> byRegister;
        for (const sim::I2cBus::Transfer& t : log) {
            const sim::I2cBus::Message& m = t.messages.front();
            const bool read = t.messages.size() > 1 && t.messages.back().read;
            ++byRegister[{m.address, m.bytes.empty() ? -1 : m.bytes[0], read}];
        }
        std::vector<std::pair<size_t, std::tuple<int, int, bool>>> top;
        for (const auto& [reg, n] : byRegister)
            top.push_back({n, reg});
        std::sort(top.rbegin(), top.rend());
        std::fprintf(report, "  the busiest I2C registers:\n");
        for (size_t i = 0; i < top.size() && i < 12; ++i)
            std::fprintf(report, "    device 0x%02X register 0x%02X %-5s %8.1f per second\n",
                         std::get<0>(top[i].second), std::get<1>(top[i].second),
                         std::get<2>(top[i].second) ? "read" : "write", top[i].first / wall);
    }

    // The c331 registers the program touches most, per second.
    static void busiestRegisters(const std::vector<sim::C331Model::Access>& log, double wall) {
        std::map<std::pair<int, int>, size_t> byRegister;
        for (const sim::C331Model::Access& a : log)
            ++byRegister[{a.bank, a.address}];
        std::vector<std::pair<size_t, std::pair<int, int>>> top;
        for (const auto& [reg, n] : byRegister)
            top.push_back({n, reg});
        std::sort(top.rbegin(), top.rend());
        std::fprintf(report, "c331 accesses %8.1f per second; the busiest registers:\n",
                     log.size() / wall);
        for (size_t i = 0; i < top.size() && i < 6; ++i)
            std::fprintf(report, "    bank 0x%02X 0x%02X %8.1f per second\n", top[i].second.first,
                         top[i].second.second, top[i].first / wall);
    }

    // Screen black and shown again through the image and register 0x0B, as PC software
    // does it, until FPGA 0's register 0 shows it.
    void pcWrite() {
        pc::UdpLink link(udpPort);
        auto fpga = sim::get<sim::FpgaModel>("fpga0");
        std::vector<double> ms;
        for (int i = 0; i < 200; ++i) {
            const uint8_t black = i % 2 == 0 ? 1 : 0;
            if (!link.exchange(0x60, pc::access(2116, 1, {black})))
                return fail("the image write was not answered");
            const auto t0 = Clock::now();
            link.sendRaw(
                pc::escape(pc::frame(0xA0, pc::access(0x0B, 1, {1}), link.nextSequence())));
            const bool seen =
                waitUntil([&] { return ((fpga->reg(0) & 0x04) != 0) == (black == 1); }, 2, 50);
            if (!seen)
                return fail("FPGA 0 did not follow the image");
            ms.push_back(since(t0) * 1000);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        printSpread("PC write to FPGA 0 (image 2116)", spread(ms));
    }

    // Window 1's x moved and back through the image and register 0x0B, until the c331
    // takes a programming write (anything but the bank selects and the measurement latch
    // that the idle cycles write).
    void pcWriteToC331() {
        pc::UdpLink link(udpPort);
        auto c331 = sim::get<sim::C331Model>("c331");
        auto programmed = [&] {
            for (const sim::C331Model::Access& a : c331->writes())
                if (a.address != 0x00 && !(a.bank == 0x00 && a.address == 0x29))
                    return true;
            return false;
        };
        std::vector<double> ms;
        for (int i = 0; i < 100; ++i) {
            const uint8_t x = i % 2 == 0 ? 8 : 0;
            if (!link.exchange(0x60, pc::access(2272 + 10, 2, {x, 0})))
                return fail("the image write was not answered");
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            c331->clearLog();
            const auto t0 = Clock::now();
            link.sendRaw(
                pc::escape(pc::frame(0xA0, pc::access(0x0B, 1, {1}), link.nextSequence())));
            if (!waitUntil(programmed, 2, 50))
                return fail("the c331 was not programmed");
            ms.push_back(since(t0) * 1000);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        printSpread("PC write to the c331 (window 1 x)", spread(ms));
    }

    void plug(int input, const char* what, int times) {
        auto sources = sim::get<sim::HdmiSources>("hdmi-sources");
        const auto timing = sources->source(input);
        if (!timing)
            return fail("no source to unplug");
        std::vector<double> ms;
        for (int i = 0; i < times; ++i) {
            sources->unplug(input);
            if (!waitUntil([&] { return noSignal(input); }, 10, 200))
                return fail("the unplug was not seen");
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const auto t0 = Clock::now();
            sources->plug(input, *timing);
            if (!waitUntil([&] { return published(input); }, 20, 200))
                return fail("the plug was not seen");
            ms.push_back(since(t0) * 1000);
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        printSpread(what, spread(ms));
    }

    // OK on the home screen opens the main menu; then Right and Left move its focus, each
    // a repaint; Back returns home.
    void keys() {
        key(Qt::Key_Q, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::vector<double> ms;
        for (int i = 0; i < 60; ++i) {
            const double t = key(i % 2 ? Qt::Key_S : Qt::Key_R, false);
            if (t < 0)
                return fail("a key did not repaint the screen");
            ms.push_back(t);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        key(Qt::Key_O, true);
        printSpread("key to repaint (main menu focus)", spread(ms));
    }

    // Posts a press and a release to the screen in front; the time until the next paint.
    double key(int code, bool toHome) {
        const int64_t before = watch->lastPaintNs;
        const auto t0 = Clock::now();
        QMetaObject::invokeMethod(
            qApp,
            [code, toHome] {
                QWidget* target = toHome ? static_cast<QWidget*>(g_lockwindow)
                                         : static_cast<QWidget*>(g_mainwindow);
                if (toHome && g_lockwindow && !g_lockwindow->isVisible())
                    target = g_mainwindow;
                if (!target)
                    return;
                QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
                QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier);
                QApplication::sendEvent(target, &press);
                QApplication::sendEvent(target, &release);
            },
            Qt::QueuedConnection);
        const int64_t startNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(t0 - watch->start).count();
        if (!waitUntil([&] { return watch->lastPaintNs > before && watch->lastPaintNs > startNs; },
                       2, 50))
            return -1;
        return (watch->lastPaintNs - startNs) / 1e6;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const auto start = Clock::now();
    report = fdopen(dup(STDOUT_FILENO), "w");
    if (FILE* quiet = std::freopen("/dev/null", "w", stdout); !quiet || !report)
        return 1;
    setvbuf(report, nullptr, _IOLBF, 0);
    Bench bench;
    bench.restSeconds = argc > 1 ? std::atof(argv[1]) : 60;
    std::string root = (std::filesystem::temp_directory_path() / "krx-at-rest-XXXXXX").string();
    if (!mkdtemp(root.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    bench.udpPort = test::freePort(SOCK_DGRAM);
    setenv("KRX_UDP_PORT", std::to_string(bench.udpPort).c_str(), 1);
    setenv("KRX_TCP_PORT", std::to_string(test::freePort(SOCK_STREAM)).c_str(), 1);
    setenv("KRX_WIFI_PORT", std::to_string(test::freePort(SOCK_DGRAM) + 1).c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    sim::reset();
    sim::setScene(QJsonObject{
        {"hdmi",
         QJsonArray{QJsonObject{{"input", 1}, {"vic", 16}}, QJsonObject{{"input", 2}, {"vic", 16}},
                    QJsonObject{{"input", 3}, {"vic", 97}, {"colour", "420"}}}},
        {"outputs", QJsonArray{QJsonObject{{"port", 1}, {"fpga", 0}, {"cards", 2}},
                               QJsonObject{{"port", 2}, {"fpga", 0}, {"cards", 2}}}}});
    sim::setRoot(root);
    SyncUpdate::setKeyLedWriter([](const KeyLedReport&) { return true; });
    g_debugSwitch = 0;

    install_hooks();
    startup::beforeApplication();
    QApplication app(argc, argv);
    PaintWatch watch;
    watch.start = start;
    app.installEventFilter(&watch);
    bench.watch = &watch;
    startup::afterApplication();

    std::thread driver([&] {
        if (!waitUntil([&] { return watch.homeShown.load(); }, 30, 1000)) {
            bench.fail("the home screen was not shown");
        } else {
            bench.homeRss = statusField("VmRSS:");
            bench.run();
        }
        QMetaObject::invokeMethod(
            qApp, [] { QApplication::quit(); }, Qt::QueuedConnection);
    });
    app.exec();
    driver.join();
    std::fflush(report);
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    // The program's threads never end; neither does a device. Leave without tearing down.
    std::_Exit(bench.failed ? 1 : 0);
}
