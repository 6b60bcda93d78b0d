// Resident memory of the simulated device under a PC's traffic. Starts the real
// krxT47N-sim on a fresh root and ports of its own, with four receiving cards on output
// port 1, and talks to it as one PC over UDP: card frames alternating a 64-byte RAM read
// of card 0 and a 128-byte RAM write to every card of the chain, each sent once the answer
// to the one before has come. It reads the program's resident memory (VmRSS) after a
// warm-up and again after the measured frames, and prints both, their difference and the
// frames answered, with the longest wait for an answer. The simulated board's memory
// follows the work, not the hours run, so the two figures stay a few MB apart however many
// frames come between them.
//
// Usage: bench_sim_memory [warm-up frames] [measured frames] [path of krxT47N-sim]
// Defaults: 40000, 400000, and krxT47N-sim beside this program (or KRX_SIM).
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/free_port.h"
#include "tests/support/loopback.h"
#include "tests/system/pc_client.h"

namespace {

namespace fs = std::filesystem;
using pc::Bytes;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kArea = 0x2000;  // the card RAM the frames read and write
constexpr int kWriteSlots = 8;      // 128-byte writes cycle over 1 KiB of it
constexpr int kResendMs = 1000;
constexpr int kGiveUpMs = 10000;

// A card frame as a PC builds it: to the card (or 0FFF, every card), from the PC, the tag
// in byte 5, routing 01 and port selector 01 (the first output port), the card's command
// and payload, the check byte.
Bytes cardFrame(uint16_t destination, uint8_t tag, uint8_t command, const Bytes& payload) {
    Bytes f = {static_cast<uint8_t>(destination),
               static_cast<uint8_t>(destination >> 8),
               0x10,
               0xF0,
               0x10,
               tag,
               0x01,
               0x01,
               0x00,
               command};
    f.insert(f.end(), payload.begin(), payload.end());
    f.push_back(pc::checkByte(f, f.size()));
    return f;
}

Bytes ramRead(uint8_t tag) {
    return cardFrame(0x0000, tag, 0x61, pc::access(kArea, 64));
}

Bytes ramWrite(uint8_t tag, uint64_t n) {
    Bytes data(128);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(n + i);
    const uint32_t at = kArea + static_cast<uint32_t>(n % kWriteSlots) * 128;
    return cardFrame(0x0FFF, tag, 0x60, pc::access(at, 128, data));
}

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// One PC on UDP that waits for the answer to each card frame.
class Pc {
public:
    explicit Pc(uint16_t port) : fd_(test::udpClient()), to_(test::loopback(port)) {}
    ~Pc() { ::close(fd_); }

    // Sends the frame (again after each second without an answer, for ten seconds); true
    // when the card's answer came.
    bool exchange(const Bytes& request) {
        const Bytes wire = pc::escape(request);
        const auto start = Clock::now();
        auto sent = start - std::chrono::hours(1);
        while (Clock::now() - start < std::chrono::milliseconds(kGiveUpMs)) {
            if (Clock::now() - sent > std::chrono::milliseconds(kResendMs)) {
                ::sendto(fd_, wire.data(), wire.size(), 0, reinterpret_cast<sockaddr*>(&to_),
                         sizeof to_);
                sent = Clock::now();
            }
            if (answered(request)) {
                slowest_ = std::max(slowest_, seconds(start));
                return true;
            }
            pollfd p = {fd_, POLLIN, 0};
            if (::poll(&p, 1, 10) != 1)
                continue;
            uint8_t buf[4096];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n > 0)
                unframer_.feed(buf, static_cast<size_t>(n));
        }
        return false;
    }

    // The longest wait for an answer so far, in seconds; and it starts afresh.
    double slowest() {
        const double s = slowest_;
        slowest_ = 0;
        return s;
    }

private:
    // An answer to the PC with the request's tag and command and a good check byte.
    bool answered(const Bytes& request) {
        Bytes f;
        while (unframer_.next(&f)) {
            if (f.size() >= 12 && pc::get16(f, 0) == pc::kPc && f[5] == request[5] &&
                f[9] == request[9] && pc::checkByte(f, f.size() - 1) == f.back())
                return true;
        }
        return false;
    }

    int fd_;
    sockaddr_in to_;
    pc::Unframer unframer_;
    double slowest_ = 0;
};

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

std::string simPath(int argc, char** argv) {
    if (argc > 3)
        return argv[3];
    const char* env = std::getenv("KRX_SIM");
    if (env && *env)
        return env;
    return (fs::read_symlink("/proc/self/exe").parent_path() / "krxT47N-sim").string();
}

pid_t start(const std::string& sim, const fs::path& dir, uint16_t tcp, uint16_t udp,
            uint16_t wifi) {
    const fs::path scene = dir / "scene.json";
    std::ofstream(scene) << R"({"outputs": [{"port": 1, "cards": 4}]})"
                         << "\n";
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::setenv("KRX_ROOT", (dir / "root").c_str(), 1);
    ::setenv("KRX_SCENE", scene.c_str(), 1);
    ::setenv("KRX_TCP_PORT", std::to_string(tcp).c_str(), 1);
    ::setenv("KRX_UDP_PORT", std::to_string(udp).c_str(), 1);
    ::setenv("KRX_WIFI_PORT", std::to_string(wifi).c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::freopen((dir / "program.log").c_str(), "w", stdout) ||
        !std::freopen((dir / "program.log").c_str(), "a", stderr))
        ::_exit(126);
    ::execl(sim.c_str(), sim.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
}

void stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// The frames from number first on; returns how many were answered.
uint64_t run(Pc& client, uint64_t first, uint64_t count) {
    uint64_t answered = 0;
    for (uint64_t n = first; n < first + count; ++n) {
        const auto tag = static_cast<uint8_t>(n);
        if (client.exchange(n % 2 ? ramWrite(tag, n / 2) : ramRead(tag)))
            ++answered;
        else
            std::printf("frame %llu (%s) got no answer\n", static_cast<unsigned long long>(n),
                        n % 2 ? "write" : "read");
    }
    return answered;
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t warmUp = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 40000;
    const uint64_t measured = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 400000;
    const std::string sim = simPath(argc, argv);
    if (!fs::exists(sim)) {
        std::fprintf(stderr, "no program at %s\n", sim.c_str());
        return 2;
    }
    std::string dir = (fs::temp_directory_path() / "krx-sim-memory-XXXXXX").string();
    if (!::mkdtemp(dir.data()))
        return 2;
    const uint16_t udp = test::freePort(SOCK_DGRAM);
    const pid_t pid = start(sim, dir, test::freePort(SOCK_STREAM), udp, test::freePort(SOCK_DGRAM));
    Pc client(udp);

    // The program is up once a card answers.
    const auto booting = Clock::now();
    bool up = false;
    for (uint8_t tag = 0; !up && seconds(booting) < 120; ++tag)
        up = client.exchange(ramRead(tag));
    int status = 0;
    if (!up || ::waitpid(pid, &status, WNOHANG) == pid) {
        std::fprintf(stderr, "the program did not answer (log: %s/program.log)\n", dir.c_str());
        stop(pid);
        return 1;
    }
    client.slowest();  // the wait for start-up is not an answer's
    const long atRest = residentKiB(pid);
    std::printf("program up after %.1f s, resident %ld KiB\n", seconds(booting), atRest);

    auto begin = Clock::now();
    const uint64_t warmAnswered = run(client, 0, warmUp);
    const long afterWarmUp = residentKiB(pid);
    std::printf(
        "after %llu frames of warm-up: resident %ld KiB, %llu answered, %.1f s (slowest "
        "answer %.3f s)\n",
        static_cast<unsigned long long>(warmUp), afterWarmUp,
        static_cast<unsigned long long>(warmAnswered), seconds(begin), client.slowest());
    std::fflush(stdout);

    begin = Clock::now();
    const uint64_t answered = run(client, warmUp, measured);
    const double took = seconds(begin);
    const long after = residentKiB(pid);
    std::printf(
        "after %llu frames more: resident %ld KiB, %llu answered, %.1f s (%.0f frames/s, "
        "slowest answer %.3f s)\n",
        static_cast<unsigned long long>(measured), after, static_cast<unsigned long long>(answered),
        took, took > 0 ? static_cast<double>(measured) / took : 0.0, client.slowest());
    const long grown = after - afterWarmUp;
    std::printf("grown by %ld KiB (%.1f MB): %s 8 MB\n", grown, grown / 1024.0,
                std::labs(grown) <= 8 * 1024 ? "within" : "beyond");

    stop(pid);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return after > 0 && answered == measured ? 0 : 1;
}
