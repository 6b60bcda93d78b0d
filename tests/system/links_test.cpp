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

TEST_F(PcLinks, Fpga1IsNotDrivenItsRegistersRefuseWritesAndItsRamKeepsWhatItHeld) {
    auto pcTcp = systest::tcp();
    // Register 0 of FPGA 1: the write is refused, the read answers the device's copy.
    auto r = pcTcp->exchange(0xA0, pc::access(0x1100, 1, {0x05}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 1);
    EXPECT_EQ(r->data(), header(0x1100, 1));
    r = pcTcp->exchange(0xA1, header(0x1100, 1));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    EXPECT_EQ(r->values(), Bytes{0x00});
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

// Card frames as the protocol page builds them: the frame closed by its check byte.
Bytes cardFrame(Bytes head, const Bytes& payload) {
    head.insert(head.end(), payload.begin(), payload.end());
    head.push_back(pc::checkByte(head, head.size()));
    return head;
}

// The page's card search, for port 0 (the scene's one card on output port 1): the chain's
// count comes back, and stands in FPGA 0's parameter RAM at 100 (count) and 104.
TEST_F(PcLinks, ThePagesCardSearchOfOnePortCountsItsCards) {
    ASSERT_TRUE(systest::waitForOutputRunning());
    Bytes search =
        cardFrame({0xFE, 0x0F, 0x10, 0xF0, 0x10, 0xAA, 0x01, 0x01, 0x00, 0x10}, Bytes(19, 0x00));
    search[21] = 0xFF;
    search.back() = pc::checkByte(search, search.size() - 1);
    ASSERT_EQ(search.size(), 30u);
    // The answer comes from the chain's card (here card 0, port bits cleared).
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to = test::loopback(systest::program().udpPort);
    const Bytes sent = pc::escape(search);
    ASSERT_GT(
        ::sendto(fd, sent.data(), sent.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    pc::Unframer unframer;
    Bytes answer;
    for (int i = 0; i < 300 && !unframer.next(&answer); ++i) {
        pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, 10) != 1)
            continue;
        uint8_t buf[2048];
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n > 0)
            unframer.feed(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    ASSERT_EQ(answer.size(), 30u);
    EXPECT_EQ(Bytes(answer.begin(), answer.begin() + 14),
              (Bytes{0x10, 0xF0, 0x00, 0x00, 0x10, 0xAA, 0x01, 0x01, 0x00, 0x10, 0x00, 0x01, 0x00,
                     0x00}));
    EXPECT_EQ(answer.back(), pc::checkByte(answer, 29));
    auto pcUdp = systest::udp();
    auto ram = pcUdp->exchange(0x61, header(0x30000 + 100, 5));
    ASSERT_TRUE(ram);
    EXPECT_EQ(ram->values(), (Bytes{0x01, 0x00, 0x00, 0x00, 0x00}));
}

// A card RAM read of 4096 bytes: the card's answer cannot come back whole, and none comes;
// the device goes on answering, the card too.
TEST_F(PcLinks, ACardReadLongerThanAnAnswerCanBeGetsNoReplyAndTheDeviceGoesOn) {
    ASSERT_TRUE(systest::waitForOutputRunning());
    auto pcUdp = systest::udp();
    const Bytes huge = {0x00, 0x00, 0x10, 0xF0, 0x10, 0x39, 0x01, 0x01, 0x00, 0x61,
                        0x80, 0x01, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x39};
    ASSERT_EQ(huge.back(), pc::checkByte(huge, huge.size() - 1));
    EXPECT_FALSE(pcUdp->send(huge, 1500));
    auto r = pcUdp->exchange(0x61, header(kScratch, 2));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status(), 0);
    const Bytes four = cardFrame({0x00, 0x00, 0x10, 0xF0, 0x10, 0x3A, 0x01, 0x01, 0x00, 0x61},
                                 {0x80, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00});
    r = pcUdp->send(four, 3000);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->frame.size(), 16u);
    EXPECT_EQ(r->status(), 0);
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
