// The running program as a PC program sees it over UDP, TCP and the RS-485 port: what it
// answers, what it keeps, and what it refuses. The PC side is pc_client.h, written from
// the protocol page.
#include <gmock/gmock.h>

#include "board/sim/fpga_model.h"
#include "board/sim/sim.h"
#include "tests/support/sim_test.h"
#include "tests/system/program.h"

using pc::Bytes;
using systest::SystemTest;

namespace {

// Image byte 512: runtime memory with no field, never saved.
constexpr uint32_t kScratch = 512;

Bytes header(uint32_t address, unsigned count, unsigned extra = 0) {
    return pc::access(address, count, {}, extra);
}

class PcLinks : public SystemTest {};

class EachLink : public SystemTest, public ::testing::WithParamInterface<std::string> {};

}  // namespace

TEST_F(PcLinks, FramesUpTo4200BytesWithTheCheckByteAreTakenLongerOnesDropped) {
    auto pcTcp = systest::tcp();
    // An unknown command of 4200 bytes in all is read and answered: error, no data.
    Bytes request = pc::frame(0x42, Bytes(4189, 0x00), pcTcp->nextSequence());
    ASSERT_EQ(request.size(), 4200u);
    auto r = pcTcp->send(request);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 1);
    EXPECT_TRUE(r->data().empty());
    // One byte more and the frame is dropped unanswered: the next reply is the next
    // request's.
    Bytes tooLong = pc::frame(0x42, Bytes(4190, 0x00), pcTcp->nextSequence());
    ASSERT_EQ(tooLong.size(), 4201u);
    pcTcp->sendRaw(pc::escape(tooLong));
    r = pcTcp->exchange(0x61, header(kScratch, 1));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    EXPECT_EQ(pcTcp->staleWith(tooLong[5]), 0u);
}

TEST_F(PcLinks, BytesFourToEightOfADeviceFrameAreNotCheckedAndComeBackAsSent) {
    auto pcUdp = systest::udp();
    Bytes request = {0x00, 0xF1, 0x10, 0xF0, 0x33, pcUdp->nextSequence(), 0x55, 0x22, 0x11, 0x61};
    Bytes p = header(kScratch, 2);
    request.insert(request.end(), p.begin(), p.end());
    request.push_back(pc::checkByte(request, request.size()));
    auto r = pcUdp->send(request);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    EXPECT_EQ(Bytes(r->frame.begin() + 4, r->frame.begin() + 10),
              (Bytes{0x33, request[5], 0x55, 0x22, 0x11, 0x61}));
}

TEST_F(PcLinks, EveryCopyOfARetriedUdpRequestIsAnsweredAndByte5TellsTheRepliesApart) {
    auto pcUdp = systest::udp();
    // A request sent three times, as a PC does that heard no reply: one reply per copy.
    Bytes write = pc::frame(0x60, pc::access(kScratch, 2, {0x5A, 0xA5}), pcUdp->nextSequence());
    for (int copy = 0; copy < 3; ++copy)
        pcUdp->sendRaw(pc::escape(write));
    // The next request's reply is told from theirs by its own number in byte 5.
    auto r = pcUdp->exchange(0x61, header(kScratch, 2));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->sequence(), static_cast<uint8_t>(write[5] + 1));
    EXPECT_EQ(r->values(), (Bytes{0x5A, 0xA5}));
    EXPECT_EQ(pcUdp->staleWith(write[5]), 3u);
}

TEST_F(PcLinks, Fpga1IsNotDrivenItsRegistersAnswerFromTheDevicesCopy) {
    auto pcTcp = systest::tcp();
    // Register 0 of FPGA 1 written and read back: the device's copy, not the FPGA's.
    auto r = pcTcp->exchange(0xA0, pc::access(0x1100, 1, {0x05}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    r = pcTcp->exchange(0xA1, header(0x1100, 1));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->values(), Bytes{0x05});
    EXPECT_EQ(sim::get<sim::FpgaModel>("fpga1")->reg(0), 0);
    // Its parameter RAM refuses writes and keeps what it held.
    r = pcTcp->exchange(0x61, header(0x31000, 2));
    ASSERT_TRUE(r);
    const Bytes before = r->values();
    r = pcTcp->exchange(0x60, pc::access(0x31000, 2, {0x12, 0x34}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 1);
    EXPECT_EQ(r->data(), header(0x31000, 2));
    r = pcTcp->exchange(0x61, header(0x31000, 2));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->values(), before);
}

TEST_F(PcLinks, TheWifiChannelAnswersEveryCommandWithError) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to = test::loopback(systest::program().wifiPort);
    const char command[] = "AT+VER\r\n";
    ASSERT_GT(
        ::sendto(fd, command, sizeof command - 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
        0);
    pollfd p = {fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 10000), 1);
    char reply[64] = {};
    ssize_t n = ::recv(fd, reply, sizeof reply, 0);
    ::close(fd);
    EXPECT_EQ(std::string(reply, n > 0 ? static_cast<size_t>(n) : 0), "ERROR\r\n");
}

TEST_P(EachLink, MalformedFramesChangeNothingAndGetNoReply) {
    auto link = systest::link(GetParam());
    auto scratch = [&] {
        auto r = link->exchange(0x61, header(kScratch, 4));
        return r && r->status() == 0 ? r->values() : Bytes{};
    };
    const Bytes before = scratch();
    ASSERT_EQ(before.size(), 4u);
    const Bytes write = pc::frame(0x60, pc::access(kScratch, 4, {0x11, 0x22, 0x33, 0x44}), 0x77);
    Bytes bad = write;
    bad.back() ^= 0x01;  // check byte
    link->sendRaw(pc::escape(bad));
    Bytes badEscape = pc::escape(write);
    badEscape.insert(badEscape.begin() + 10, {0xAA, 0x07});  // no such escape
    link->sendRaw(badEscape);
    Bytes cut = pc::escape(write);
    cut.resize(cut.size() - 4);  // a new start comes before the end
    link->sendRaw(cut);
    Bytes tooLong = pc::frame(0x60, pc::access(kScratch, 4, Bytes(4187, 0x11)), 0x78);
    link->sendRaw(pc::escape(tooLong));
    Bytes tooShort = {0x00, 0xF1, 0x10, 0xF0, 0x10, 0x79, 0x00, 0x00, 0x00};
    tooShort.push_back(pc::checkByte(tooShort, tooShort.size()));  // 10 bytes in all
    link->sendRaw(pc::escape(tooShort));
    EXPECT_EQ(scratch(), before);
    // Not one reply came for the broken frames, numbered 77, 78 and 79.
    EXPECT_THAT(link->stale(),
                ::testing::Not(::testing::Contains(::testing::AnyOf(0x77, 0x78, 0x79))));

    // Well-formed but wrong: refused with the status 1, the header echoed.
    auto r = link->exchange(0x60, pc::access(kScratch, 4, {0x11, 0x22, 0x33}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 1);
    EXPECT_EQ(r->data(), header(kScratch, 4));
    r = link->exchange(0x61, header(0x11000, 1));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 1);
    EXPECT_EQ(r->data(), header(0x11000, 1));
    EXPECT_EQ(scratch(), before);
}

INSTANTIATE_TEST_SUITE_P(PcLinks, EachLink, ::testing::Values("udp", "tcp", "serial"));
