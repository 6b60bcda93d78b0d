// What a window change costs on the c331's bus, on the simulated board with the
// video-processor thread running as the program runs it: a PC frame writes the image (0x60)
// and a second one applies it (register 11), handled by the protocol handler as a link
// hands them over. Three operations, each repeated:
// - window move: window 0 (HDMI1, 1920 x 1080) moved between x = 0 and x = 100;
// - source switch: window 0 between HDMI1 and HDMI2;
// - layer change: windows 0 and 1 (HDMI2 in 960 x 540 over window 0) swap layers.
//
// Per operation: SPI messages, bytes and bus time to the c331 from the PC's first frame to
// the last register written (the video thread's idle polling left out; the polls of a wait
// for a frame counted, as reads), the register writes among them, the registers whose value
// the operation changed (the chip's stored registers before and after), and the time from
// the PC's first frame to the last register written.
//
// Usage: bench_c331_windows [repetitions (default 40)]
#include <stdlib.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "board/sim/c331_model.h"
#include "board/sim/c331_picture.h"
#include "board/sim/hdmi_sources.h"
#include "board/sim/sim.h"
#include "board/sim/spi_bus.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"
#include "remote/message_deal.h"
#include "video/c331_manage.h"

namespace {

using Bytes = std::vector<u8>;

void put(Bytes& b, u32 v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<u8>(v >> (8 * i)));
}

// An unescaped frame to the device itself: address, count, extra word, data.
Bytes frame(u8 command, u32 address, const Bytes& data) {
    Bytes f = {0x00, 0xF1, 0x10, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, command};
    put(f, address, 4);
    put(f, static_cast<u32>(data.size()), 2);
    put(f, 0, 2);
    f.insert(f.end(), data.begin(), data.end());
    u8 x = 0;
    for (u8 c : f)
        x ^= c;
    f.push_back(x);
    return f;
}

void send(message_deal& handler, Bytes f) {
    static u8 reply[message_deal::kMaxReply];
    handler.message_group_deal(f.data(), static_cast<unsigned>(f.size()), reply);
}

using Access = sim::C331Model::Access;

// A register by bank and address, and whether it was written.
int key(const Access& a) {
    return a.bank << 9 | a.address << 1 | (a.write ? 1 : 0);
}

std::vector<u8> stored(sim::C331Model& chip) {
    std::vector<u8> regs;
    for (int bank = 0; bank < 256; ++bank)
        for (int a = 1; a < 128; ++a)
            regs.push_back(chip.reg(static_cast<u8>(bank), static_cast<u8>(a)));
    return regs;
}

// The video thread polls the chip while idle (sync status, the update latch): the registers
// it reads and writes then, sampled over a quiet stretch, are not an operation's traffic.
std::set<int> idleTraffic(sim::C331Model& chip, double ms) {
    chip.clearLog();
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(ms)));
    std::set<int> idle;
    for (const Access& a : chip.log())
        if (a.address != 0)
            idle.insert(key(a));
    return idle;
}

// The accesses of an operation: those outside the idle traffic, with the bank selects that
// lead to them.
std::vector<Access> operation(const std::vector<Access>& log, const std::set<int>& idle) {
    std::vector<Access> out, selects;
    for (const Access& a : log) {
        if (a.address == 0) {
            selects.push_back(a);
            continue;
        }
        if (!idle.count(key(a))) {
            out.insert(out.end(), selects.begin(), selects.end());
            out.push_back(a);
        }
        selects.clear();
    }
    return out;
}

// The time of the operation's last register write (bank selects aside), 0 without one.
double lastWrite(const std::vector<Access>& accesses) {
    for (auto a = accesses.rbegin(); a != accesses.rend(); ++a)
        if (a->write && a->address != 0)
            return a->timeMs;
    return 0;
}

// Waits until the chip has seen no register write of an operation for quietMs.
double settle(sim::C331Model& chip, const std::set<int>& idle, double quietMs) {
    for (;;) {
        const double last = lastWrite(operation(chip.log(), idle));
        if (c331_manage::para_update == 0 && sim::nowMs() - last > quietMs)
            return last;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// The clocks of the c331's reads and writes on the bus.
struct Clocks {
    double read = 0, write = 0;
};

Clocks clocks() {
    Clocks c;
    for (const sim::SpiBus::Message& m : sim::get<sim::SpiBus>("spi-bus")->messages()) {
        if (m.target != sim::SpiTarget::C331 || m.head.empty())
            continue;
        (m.head[0] & 0x80 ? c.write : c.read) = m.speedHz;
    }
    return c;
}

struct Sample {
    double messages, bytes, busUs, reads, writes, changed, latencyMs;
};

Sample run(message_deal& handler, sim::C331Model& chip, const std::set<int>& idle,
           const std::vector<Bytes>& frames) {
    settle(chip, idle, 30);
    const std::vector<u8> before = stored(chip);
    sim::get<sim::SpiBus>("spi-bus")->clearLog();
    chip.clearLog();
    const double start = sim::nowMs();
    for (const Bytes& f : frames)
        send(handler, f);
    const double last = settle(chip, idle, 60);
    const Clocks clock = clocks();
    Sample s{};
    for (const Access& a : operation(chip.log(), idle)) {
        if (a.timeMs > last)
            break;
        s.messages += 1;
        s.bytes += 2;
        s.busUs += 16 * 1e6 / (a.write ? clock.write : clock.read);
        s.reads += !a.write;
        s.writes += a.write && a.address != 0;
    }
    const std::vector<u8> after = stored(chip);
    for (size_t i = 0; i < before.size(); ++i) {
        const int bank = static_cast<int>(i / 127), address = static_cast<int>(i % 127) + 1;
        if (!idle.count(bank << 9 | address << 1 | 1))
            s.changed += before[i] != after[i];
    }
    s.latencyMs = last - start;
    return s;
}

void report(const char* name, std::vector<Sample> samples) {
    auto mean = [&](double Sample::*f) {
        double sum = 0;
        for (const Sample& s : samples)
            sum += s.*f;
        return sum / samples.size();
    };
    std::vector<double> latency;
    for (const Sample& s : samples)
        latency.push_back(s.latencyMs);
    std::sort(latency.begin(), latency.end());
    auto at = [&](double q) { return latency[static_cast<size_t>(q * (latency.size() - 1))]; };
    const double changed = mean(&Sample::changed);
    std::printf(
        "%-14s messages %6.1f  bytes %6.1f  bus %7.1f us  reads %6.1f  writes %5.1f  changed "
        "%5.1f  messages/changed %6.2f  writes/changed %5.2f  latency median %6.2f ms  p99 %6.2f "
        "ms\n",
        name, mean(&Sample::messages), mean(&Sample::bytes), mean(&Sample::busUs),
        mean(&Sample::reads), mean(&Sample::writes), changed, mean(&Sample::messages) / changed,
        mean(&Sample::writes) / changed, at(0.5), at(0.99));
}

Bytes u16s(std::initializer_list<unsigned> values) {
    Bytes b;
    for (unsigned v : values)
        put(b, v, 2);
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(2, std::atoi(argv[1])) : 40;
    QCoreApplication app(argc, argv);
    std::string root = std::filesystem::temp_directory_path() / "krx-bench-windows-XXXXXX";
    if (!mkdtemp(root.data()))
        return 1;
    sim::setRoot(root);
    sim::reset();
    g_debugSwitch = 0;
    g_force_bkcolor = 2;  // the FPGA is up: no forced background

    KrxRamPara* store = KrxRamPara::pInstance();
    fpga_manage::pInstance();
    // The receivers' timing records as the input thread publishes them for 1080p on HDMI1
    // and HDMI2; the cables to match.
    auto sources = sim::get<sim::HdmiSources>("hdmi-sources");
    velmosource inputs;
    velmosource::p_velmo_source = &inputs;
    for (int input : {1, 2}) {
        sources->plug(input, *sim::VideoTiming::cta861(16));
        std::lock_guard<std::mutex> lock(Utils::_source_hdminfo_mutex);
        inputs.hdminfo[input] =
            HDMI_INFO{1920, 44, 148, 1, 2200, 1080, 5, 36, 1, 1125, 148.5f, 0, 0, 0, 0, 0, 1};
    }
    auto chip = sim::get<sim::C331Model>("c331");
    c331_manage* manager = c331_manage::pInstance();
    const auto begin = std::chrono::steady_clock::now();
    while (!sim::C331Picture::of(*chip).visible(0, 0, 0)) {
        if (std::chrono::steady_clock::now() - begin > std::chrono::seconds(10)) {
            std::printf("the chip never showed HDMI1\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    message_deal handler(RemoteTransport::Udp);
    const Bytes applyFrame = frame(0xA0, 11, {0x01});
    const u32 window0 = 2272;
    const std::set<int> idle = idleTraffic(*chip, 2000);

    std::vector<Sample> move, source, layer;
    for (int i = 0; i < repetitions; ++i)
        move.push_back(run(handler, *chip, idle,
                           {frame(0x60, window0 + 10, u16s({i % 2 ? 0u : 100u})), applyFrame}));
    for (int i = 0; i < repetitions; ++i)
        source.push_back(run(handler, *chip, idle,
                             {frame(0x60, window0 + 8, u16s({i % 2 ? 1u : 2u})), applyFrame}));
    // Window 1: HDMI2 in 960 x 540 at 480, 270.
    run(handler, *chip, idle,
        {frame(0x60, window0 + 8, u16s({1})),
         frame(0x60, window0 + 26, u16s({1, 0, 0, 0, 2, 480, 270, 960, 540})), applyFrame});
    for (int i = 0; i < repetitions; ++i)
        layer.push_back(
            run(handler, *chip, idle,
                {frame(0x60, 2208, u16s({i % 2 ? 0u : 1u, i % 2 ? 1u : 0u})), applyFrame}));
    const Clocks clock = clocks();
    std::printf("c331 bus per operation (%d each, writes at %.0f MHz, reads at %.0f MHz):\n",
                repetitions, clock.write / 1e6, clock.read / 1e6);
    report("window move", move);
    report("source switch", source);
    report("layer change", layer);

    delete manager;
    velmosource::p_velmo_source = nullptr;
    (void)store;
    std::filesystem::remove_all(root);
    return 0;
}
