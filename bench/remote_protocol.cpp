// Figures of the control protocol on the simulated board: how fast the decoder takes a
// byte stream, the round trip of a small read over UDP on the loopback interface, and how
// long a 5 MiB recovery package takes over TCP in 4096-byte chunks. Plain executable:
// prints its figures.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "board/sim/sim.h"
#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "remote/md5.h"
#include "remote/networkmanage.h"
#include "remote/protocol_phy.h"
#include "remote/udpnetmanage.h"
#include "tests/support/loopback.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<u8>;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void put(Bytes& b, u32 v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<u8>(v >> (8 * i)));
}

Bytes framed(u8 command, const Bytes& payload) {
    Bytes f = {0x00, 0xF1, 0x10, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, command};
    f.insert(f.end(), payload.begin(), payload.end());
    u8 x = 0;
    for (u8 c : f)
        x ^= c;
    f.push_back(x);
    protocol_phy phy;
    Bytes out(protocol_phy::escaped_size(f.size()));
    out.resize(phy.data_re_transf_meaning(out.data(), f.data(), f.size()));
    return out;
}

// Reads until a frame's end byte arrived.
bool awaitReply(int fd) {
    u8 buf[9000];
    for (;;) {
        pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0)
            return false;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        if (buf[n - 1] == protocol_phy::kEnd)
            return true;
    }
}

void decoderThroughput() {
    Bytes stream;
    Bytes data(4096);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<u8>(i * 7);
    Bytes payload;
    put(payload, 0, 4);
    put(payload, 4096, 2);
    put(payload, 0, 2);
    payload.insert(payload.end(), data.begin(), data.end());
    Bytes one = framed(0x60, payload);
    for (int i = 0; i < 256; ++i)
        stream.insert(stream.end(), one.begin(), one.end());
    protocol_phy phy;
    unsigned frames = 0;
    auto start = Clock::now();
    for (int round = 0; round < 8; ++round)
        phy.receive(stream.data(), stream.size(), [&](u8*, unsigned) { ++frames; });
    double ms = msSince(start);
    printf("decoder: %u frames of 4096 data bytes, %.1f MiB escaped in %.1f ms (%.0f MiB/s)\n",
           frames, 8.0 * stream.size() / (1 << 20), ms,
           8.0 * stream.size() / (1 << 20) / ms * 1000);
}

void udpRoundTrip() {
    udpnetManage udp(0, 0);
    udp.initialize();
    int pc = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = test::loopback(udp.control_port());
    Bytes read;
    put(read, 2272, 4);
    put(read, 26, 2);
    put(read, 0, 2);
    Bytes request = framed(0x61, read);
    std::vector<double> times;
    for (int i = 0; i < 200; ++i) {
        auto start = Clock::now();
        ::sendto(pc, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to);
        if (!awaitReply(pc))
            break;
        times.push_back(msSince(start));
    }
    std::sort(times.begin(), times.end());
    if (!times.empty())
        printf("udp: read of one window record, round trip median %.3f ms, worst %.3f ms (%zu)\n",
               times[times.size() / 2], times.back(), times.size());
    udp.stop();
    ::close(pc);
}

void tcpFileTransfer() {
    networkManage tcp(0);
    tcp.initialize();
    int pc = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to = test::loopback(tcp.port());
    if (::connect(pc, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        return;
    Bytes file(5 << 20);
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<u8>(i ^ (i >> 11));
    MD5::Digest digest = MD5::of(file.data(), file.size());
    auto send = [&](const Bytes& f) {
        ::send(pc, f.data(), f.size(), 0);
        return awaitReply(pc);
    };
    auto start = Clock::now();
    Bytes head = {9};
    put(head, static_cast<u32>(file.size()), 4);
    head.insert(head.end(), digest.begin(), digest.end());
    bool ok = send(framed(0x90, head));
    for (size_t at = 0; ok && at < file.size(); at += 4096) {
        Bytes chunk;
        put(chunk, static_cast<u32>(at), 4);
        put(chunk, 4096, 2);
        chunk.insert(chunk.end(), file.begin() + at, file.begin() + at + 4096);
        ok = send(framed(0x91, chunk));
    }
    ok = ok && send(framed(0x92, {}));
    double ms = msSince(start);
    printf("tcp: 5 MiB recovery package in 1280 chunks, stored and checked: %s in %.0f ms\n",
           ok ? "done" : "failed", ms);
    tcp.stop();
    ::close(pc);
}

}  // namespace

int main() {
    std::string root = (std::filesystem::temp_directory_path() / "krx-bench-remote").string();
    std::filesystem::remove_all(root);
    sim::setRoot(root);
    sim::setSleepDivisor(1000);
    g_debugSwitch = 0;
    ConfigEngine::pInstance();
    auto store = std::make_unique<KrxRamPara>();
    store->load();
    KrxRamPara::p_krxrampara_config = store.get();

    decoderThroughput();
    udpRoundTrip();
    tcpFileTransfer();

    KrxRamPara::p_krxrampara_config = nullptr;
    std::filesystem::remove_all(root);
    return 0;
}
