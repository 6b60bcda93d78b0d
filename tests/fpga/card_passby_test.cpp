// Frames of the PC for the receiving cards: the port they go to, what is refused, and the
// cards' answers coming back over the transport and to the peer that sent the request,
// over UDP, TCP and the serial port; a broadcast answered once for all its ports.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "board/sim/serial_port.h"
#include "remote/networkmanage.h"
#include "remote/uart_inout.h"
#include "remote/udpnetmanage.h"
#include "tests/fpga/card_fixture.h"
#include "tests/remote/remote_test.h"
#include "tests/support/loopback.h"

namespace fpgatest {
namespace {

using remotetest::escape;
using remotetest::unescapeAll;
using test::loopback;
using test::udpClient;

// A frame as a PC sends it: escaped, in one datagram to the device's port.
void sendFrame(int fd, const sockaddr_in& to, const Bytes& frame) {
    const Bytes e = escape(frame);
    ::sendto(fd, e.data(), e.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

u8 xorOf(const Bytes& b, size_t n) {
    u8 x = 0;
    for (size_t i = 0; i < n; ++i)
        x ^= b[i];
    return x;
}

// A PC frame for a card: source 0xF010, the check byte closing it.
Bytes pcFrame(u16 destination, u8 routing, u8 selector, u8 opcode, const Bytes& payload,
              u8 kind = 0x67) {
    Bytes f = {static_cast<u8>(destination),
               static_cast<u8>(destination >> 8),
               0x10,
               0xF0,
               0x10,
               kind,
               routing,
               selector,
               0x00,
               opcode};
    f.insert(f.end(), payload.begin(), payload.end());
    f.push_back(xorOf(f, f.size()));
    return f;
}

// Card RAM at 0x180: write four bytes, read four bytes.
const Bytes kWrite4 = {0x80, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44};
const Bytes kRead4 = {0x80, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00};

// The answer of card 0 of port 1 to the read, as the PC gets it: to 0xF010, source with its
// port bits cleared, port selector 2 (port 1), status 0, the bytes.
Bytes readAnswer() {
    Bytes a = {0x10, 0xF0, 0x00, 0x00, 0x10, 0x67, 0x01, 0x02,
               0x00, 0x61, 0x00, 0x11, 0x22, 0x33, 0x44};
    a.push_back(xorOf(a, a.size()));
    return a;
}

// Whatever is waiting on fd, without waiting.
Bytes drain(int fd) {
    Bytes got;
    for (;;) {
        pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0)
            return got;
        u8 buf[4096];
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            return got;
        got.insert(got.end(), buf, buf + n);
    }
}

// A card's answer as it comes off the chain: the check byte set.
Bytes closed(Bytes frame) {
    frame.push_back(xorOf(frame, frame.size()));
    return frame;
}

class CardPassby : public CardTest {
protected:
    void SetUp() override {
        CardTest::SetUp();
        g_udpnetmode = 1;
        g_networkMode = 1;
        g_passby_trans_port = 0xFF;
    }
    void TearDown() override {
        for (int fd : fds)
            ::close(fd);
        CardTest::TearDown();
    }
    int track(int fd) {
        fds.push_back(fd);
        return fd;
    }
    int hand(Bytes& f) {
        pthread_mutex_lock(&manager->passby_mutex);
        int r = manager->Dealwith1_PC_to_eth(static_cast<unsigned>(f.size()), f.data());
        pthread_mutex_unlock(&manager->passby_mutex);
        return r;
    }
    size_t sentCount() { return ports()->sent().size(); }
    // Frames of the PC (source 0xF010) a port carried; the device's own searches aside.
    std::vector<Bytes> pcFramesOn(int port) {
        std::vector<Bytes> out;
        for (const auto& s : sentOn(port))
            if (s.frame[2] == 0x10 && s.frame[3] == 0xF0)
                out.push_back(s.frame);
        return out;
    }
    // Runs passes (the transport threads run meanwhile) until `fd` has a whole reply, or
    // 3 s have passed; the replies, unescaped.
    std::vector<Bytes> replies(int fd) {
        Bytes got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < end) {
            run();
            Bytes more = drain(fd);
            got.insert(got.end(), more.begin(), more.end());
            if (!got.empty() && got.back() == 0x5A)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return unescapeAll(got);
    }
    // Whatever arrives on fd within ms, without passes, unescaped.
    std::vector<Bytes> repliesWithin(int fd, int ms) {
        Bytes got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            Bytes more = drain(fd);
            got.insert(got.end(), more.begin(), more.end());
            if (!got.empty() && got.back() == 0x5A)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return unescapeAll(got);
    }
    // Runs passes for about ms, collecting what arrives on fd meanwhile.
    Bytes runFor(int fd, int ms) {
        Bytes got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            run();
            Bytes more = drain(fd);
            got.insert(got.end(), more.begin(), more.end());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return got;
    }
    // Looks of the FPGA at a register (reads of it) since its log was last cleared.
    size_t readsOf(u8 reg) {
        size_t n = 0;
        for (const auto& a : fpga()->log())
            n += a.read && a.op == 2 && a.address == reg;
        return n;
    }
    // Waits (without passes) until the ports carried n frames in all.
    bool waitSent(size_t n) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (sentCount() < n && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return sentCount() >= n;
    }

    std::vector<int> fds;
};

TEST_F(CardPassby, RoutingByteAndPortSelectorChooseThePortAndItsAddressBits) {
    plug({{0, 6}, {1, 6}, {2, 6}});
    bringUpAndSearch();
    forgetSent();
    // Routing byte 0, selector 3: port 2, the destination's port bits made 2.
    Bytes f = {0x05, 0x00, 0x10, 0xF0, 0x10, 0x67, 0x00, 0x03, 0x00, 0x61,
               0x80, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x75};
    EXPECT_EQ(hand(f), 1);
    auto sent = sentOn(2);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].frame, (Bytes{0x05, 0x20, 0x10, 0xF0, 0x10, 0x67, 0x00, 0x03, 0x00, 0x61,
                                    0x80, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x55}));
    // Routing byte 1, selector 0, destination 0x2005: port 2, the frame as it is.
    forgetSent();
    Bytes g = {0x05, 0x20, 0x10, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0x61,
               0x80, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x57};
    const Bytes before = g;
    EXPECT_EQ(hand(g), 1);
    sent = sentOn(2);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].frame, before);
    // Routing byte 0 and selector 0: port 0, unchanged.
    forgetSent();
    Bytes h = pcFrame(0x2005, 0x00, 0x00, 0x61, kRead4);
    EXPECT_EQ(hand(h), 1);
    ASSERT_EQ(sentOn(0).size(), 1u);
    EXPECT_EQ(sentOn(0)[0].frame, pcFrame(0x2005, 0x00, 0x00, 0x61, kRead4));
    run(4);  // the answers
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardPassby, FramesThatCannotGoAnywhereAreRefusedUntouched) {
    plug({{0, 2}});
    bringUpAndSearch();
    forgetSent();
    Bytes shortFrame = pcFrame(0x0000, 0x01, 0x00, 0x61, {});
    shortFrame.pop_back();  // 10 bytes
    Bytes copy = shortFrame;
    EXPECT_EQ(hand(shortFrame), 0);
    EXPECT_EQ(shortFrame, copy);
    Bytes longFrame = pcFrame(0x0000, 0x01, 0x01, 0x60, Bytes(1013, 0x3C));  // 1024 bytes
    ASSERT_EQ(longFrame.size(), 1024u);
    copy = longFrame;
    EXPECT_EQ(hand(longFrame), 0);
    EXPECT_EQ(longFrame, copy);
    Bytes routing2 = pcFrame(0x0000, 0x02, 0x01, 0x61, kRead4);
    EXPECT_EQ(hand(routing2), 0);
    Bytes port16 = pcFrame(0x0000, 0x01, 17, 0x61, kRead4);
    EXPECT_EQ(hand(port16), 0);
    Bytes noCards = pcFrame(0x0000, 0x01, 0x04, 0x61, kRead4);  // port 3: no link
    EXPECT_EQ(hand(noCards), 1) << "sent, even if nobody listens";
    EXPECT_EQ(sentCount(), 1u);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardPassby, UdpAnswerGoesToThePeerOfTheRequestNotToTheLastOne) {
    plug({{1, 2}});
    bringUpAndSearch();
    udpnetManage udp(0, 0);
    ASSERT_EQ(udp.initialize(), 0);
    int a = track(udpClient()), b = track(udpClient());
    const sockaddr_in to = loopback(udp.control_port());

    sendFrame(a, to, pcFrame(0x1000, 0x01, 0x00, 0x60, kWrite4));
    auto got = replies(a);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][10], 0) << "status";
    EXPECT_EQ(card(1, 0).ram(0x180, 4), (Bytes{0x11, 0x22, 0x33, 0x44}));

    // A asks, B's request comes before the card's answer is served: the answer is A's.
    forgetSent();
    sendFrame(a, to, pcFrame(0x1000, 0x01, 0x00, 0x61, kRead4));
    ASSERT_TRUE(waitSent(1));
    Bytes processorRead = remotetest::frame(0xF100, 0x61, remotetest::mem(0, 2));
    sendFrame(b, to, processorRead);
    std::vector<Bytes> toB;
    for (int i = 0; i < 300 && toB.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        toB = unescapeAll(drain(b));
    }
    ASSERT_EQ(toB.size(), 1u);
    EXPECT_EQ(remotetest::replyStatus(processorRead, toB[0]), 0);
    got = replies(a);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], readAnswer());
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(drain(b).empty()) << "B hears only its own reply";
    EXPECT_EQ(g_passby_trans_port, 0xFF);
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardPassby, ANewerRequestTakesOverAndTheOlderAnswerIsNotItsAnswer) {
    plug({{1, 2}});
    bringUpAndSearch();
    udpnetManage udp(0, 0);
    ASSERT_EQ(udp.initialize(), 0);
    int a = track(udpClient()), b = track(udpClient());
    const sockaddr_in to = loopback(udp.control_port());
    forgetSent();
    sendFrame(a, to, pcFrame(0x1000, 0x01, 0x00, 0x61, kRead4, 0x67));
    ASSERT_TRUE(waitSent(1));
    sendFrame(b, to, pcFrame(0x1001, 0x01, 0x00, 0x61, kRead4, 0x55));
    ASSERT_TRUE(waitSent(2));
    // Both cards answer; A's answer comes first and is not B's.
    auto got = replies(b);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][5], 0x55);
    EXPECT_EQ(got[0][2], 0x01) << "card 1 answered";
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(drain(a).empty());
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardPassby, TcpAnswerGoesBackOnTheConnection) {
    plug({{1, 2}});
    bringUpAndSearch();
    networkManage tcp(0);
    ASSERT_EQ(tcp.initialize(), 0);
    int pc = track(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in to = loopback(tcp.port());
    ASSERT_EQ(::connect(pc, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    for (const Bytes& payload : {kWrite4, kRead4}) {
        const u8 op = payload.size() > 8 ? 0x60 : 0x61;
        Bytes e = escape(pcFrame(0x1000, 0x01, 0x00, op, payload));
        ASSERT_EQ(::send(pc, e.data(), e.size(), 0), static_cast<ssize_t>(e.size()));
        auto got = replies(pc);
        ASSERT_EQ(got.size(), 1u);
        if (op == 0x61) {
            EXPECT_EQ(got[0], readAnswer());
        }
    }
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardPassby, SerialAnswerGoesBackOnThePort) {
    plug({{1, 2}});
    bringUpAndSearch();
    Yq_uart_inout serial;
    ASSERT_GE(serial.usart1_init(2, 115200, serial_transport::kOpenFlags), 0);
    ASSERT_EQ(serial.start(), 0);
    auto port = sim::get<sim::SerialPort>("/dev/ttyS2");
    int tool = track(::open(port->pcPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    ASSERT_GE(tool, 0);
    termios tio;
    tcgetattr(tool, &tio);
    cfmakeraw(&tio);
    tcsetattr(tool, TCSANOW, &tio);
    for (const Bytes& payload : {kWrite4, kRead4}) {
        const u8 op = payload.size() > 8 ? 0x60 : 0x61;
        Bytes e = escape(pcFrame(0x1000, 0x01, 0x00, op, payload));
        ASSERT_EQ(::write(tool, e.data(), e.size()), static_cast<ssize_t>(e.size()));
        auto got = replies(tool);
        ASSERT_EQ(got.size(), 1u);
        if (op == 0x61) {
            EXPECT_EQ(got[0], readAnswer());
        }
    }
    serial.stop();
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardPassby, ABroadcastIsAnsweredOnceWhenEveryPortHasAnswered) {
    plug({{0, 2}, {2, 3}});
    bringUpAndSearch();
    udpnetManage udp(0, 0);
    ASSERT_EQ(udp.initialize(), 0);
    int pc = track(udpClient());
    const sockaddr_in to = loopback(udp.control_port());
    struct Case {
        u16 destination;
        u8 opcode;
        u8 kind;
        Bytes payload;
        Bytes source;
    };
    const Case cases[] = {
        {0x0FFF, 0x81, 0x67, {0xFF, 0x00}, {0xFF, 0x0F}},  // every card saves
        {0x0FFE, 0x10, 0xAA, Bytes(20, 0), {0xFE, 0x0F}},  // the PC's own search
    };
    for (const Case& c : cases) {
        forgetSent();
        sendFrame(pc, to, pcFrame(c.destination, 0x01, 0xFF, c.opcode, c.payload, c.kind));
        auto got = replies(pc);
        EXPECT_EQ(pcFramesOn(0).size(), 1u);
        EXPECT_EQ(pcFramesOn(2).size(), 1u);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(Bytes(got[0].begin(), got[0].begin() + 4),
                  (Bytes{0x10, 0xF0, c.source[0], c.source[1]}));
        EXPECT_EQ(got[0][7], 0xFF);
        EXPECT_EQ(got[0][9], c.opcode);
        EXPECT_EQ(got[0].back(), xorOf(got[0], got[0].size() - 1));
        // Nothing more: the second port's answer was the one forwarded, the first dropped.
        for (int i = 0; i < 100; ++i)
            run();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_TRUE(drain(pc).empty());
    }
    EXPECT_TRUE(card(0, 1).saved() && card(2, 2).saved());
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardPassby, ALateBroadcastAnswerIsNoAnswerToTheNextRequest) {
    plug({{0, 2}, {2, 3}});
    bringUpAndSearch();
    Bytes broadcast = pcFrame(0x0FFF, 0x01, 0xFF, 0x81, {0xFF, 0x00}, 0x31);
    ASSERT_EQ(hand(broadcast), 1);
    run(6);  // both ports answer; nobody asked through a transport

    // The next request goes to a card that keeps silent; answers shaped like the
    // broadcast's come from both ports meanwhile.
    sim::CardFaults silent;
    silent.silent = true;
    ports()->setFaults(0, 0, silent);
    udpnetManage udp(0, 0);
    ASSERT_EQ(udp.initialize(), 0);
    int pc = track(udpClient());
    const sockaddr_in to = loopback(udp.control_port());
    forgetSent();
    sendFrame(pc, to, pcFrame(0x0000, 0x01, 0x00, 0x61, kRead4, 0x31));
    ASSERT_TRUE(waitSent(1));
    ports()->answer(
        0, sealed({0x10, 0xF0, 0x01, 0x00, 0x10, 0x31, 0x01, 0xFF, 0x00, 0x81, 0x00, 0x00}), 0,
        sim::nowMs());
    ports()->answer(
        2, sealed({0x10, 0xF0, 0x02, 0x20, 0x10, 0x31, 0x01, 0xFF, 0x00, 0x81, 0x00, 0x00}), 0,
        sim::nowMs());
    run(8);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(drain(pc).empty());
    EXPECT_EQ(g_passby_trans_port, 3) << "the request still waits for its answer";
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(CardPassby, AnswersWithoutAPendingRequestOrWhoseTransportWentAreDropped) {
    plug({{1, 2}});
    bringUpAndSearch();
    int pc = track(udpClient());
    {
        udpnetManage udp(0, 0);
        ASSERT_EQ(udp.initialize(), 0);
        const sockaddr_in to = loopback(udp.control_port());
        forgetSent();
        sendFrame(pc, to, pcFrame(0x1000, 0x01, 0x00, 0x61, kRead4));
        ASSERT_TRUE(waitSent(1));
    }
    EXPECT_EQ(g_passby_trans_port, 3) << "the request is pending";
    run(4);  // the answer comes: its transport has gone
    EXPECT_EQ(g_passby_trans_port, 0xFF);
    EXPECT_EQ(manager->passby_reply_ready, 0);

    // A card answer for the PC with nothing asked: nobody gets it.
    udpnetManage udp(0, 0);
    ASSERT_EQ(udp.initialize(), 0);
    ports()->answer(
        1, sealed({0x10, 0xF0, 0x00, 0x10, 0x10, 0x42, 0x01, 0x02, 0x00, 0x61, 0x00, 0x00}), 0,
        sim::nowMs());
    run(4);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(drain(pc).empty());
    EXPECT_EQ(manager->passby_reply_ready, 0);
    EXPECT_EQ(boardErrors(), "");
}

// A TCP client asks a card that answers late and hangs up; the next client gets the same
// socket number. The late answer belongs to nobody: the next client hears only its own.
TEST_F(CardPassby, TheAnswerForAClosedConnectionIsNotTheNextConnections) {
    plug({{1, 2}});
    bringUpAndSearch();
    sim::CardFaults late;
    late.lateMs = 1e9;
    ports()->setFaults(1, 0, late);
    networkManage tcp(0);
    ASSERT_EQ(tcp.initialize(), 0);
    sockaddr_in to = loopback(tcp.port());
    auto connectPc = [&] {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        return fd;
    };
    auto until = [](auto pred) {
        for (int i = 0; i < 3000 && !pred(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return pred();
    };

    int first = connectPc();
    ASSERT_TRUE(until([&] { return tcp.client_socket() >= 0; }));
    const int served = tcp.client_socket();
    forgetSent();
    Bytes e = escape(pcFrame(0x1000, 0x01, 0x00, 0x61, kRead4));
    ASSERT_EQ(::send(first, e.data(), e.size(), 0), static_cast<ssize_t>(e.size()));
    ASSERT_TRUE(waitSent(1));
    ::close(first);
    ASSERT_TRUE(until([&] { return tcp.client_socket() < 0; })) << "the device saw it go";

    int next = track(connectPc());
    ASSERT_TRUE(until([&] { return tcp.client_socket() >= 0; }));
    ASSERT_EQ(tcp.client_socket(), served) << "the socket number is used again";
    // FPGA 0's register 80 (0x1050), as the next PC reads it.
    const Bytes readReady = remotetest::frame(0xF100, 0xA1, remotetest::mem(0x1050, 1));
    e = escape(readReady);
    ASSERT_EQ(::send(next, e.data(), e.size(), 0), static_cast<ssize_t>(e.size()));
    auto got = repliesWithin(next, 3000);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(remotetest::replyStatus(readReady, got[0]), 0);

    ports()->releaseLate();  // the first client's answer comes now
    EXPECT_TRUE(runFor(next, 300).empty());
    EXPECT_EQ(card(1, 0).frames().size(), 1u) << "the card did answer";
    EXPECT_EQ(boardErrors(), "");
}

// A frame for a port whose pair stays busy must not hold the transport: it is refused at
// once with the error status, after a few looks at the busy bit rather than 3 s of them,
// and a broadcast waits only for the ports that took it.
TEST_F(CardPassby, AFrameForAStuckPairIsRefusedAtOnceAndABroadcastGoesOnWithoutIt) {
    plug({{0, 1}, {2, 1}});
    bringUpAndSearch();
    ports()->setStuckBusy(2, true);  // pair 1: ports 2 and 3
    udpnetManage udp(0, 0);
    ASSERT_EQ(udp.initialize(), 0);
    int a = track(udpClient()), b = track(udpClient());
    const sockaddr_in to = loopback(udp.control_port());

    fpga()->clearLog();
    forgetSent();
    const Bytes toPort2 = pcFrame(0x2000, 0x01, 0x00, 0x61, kRead4);
    sendFrame(a, to, toPort2);
    auto got = repliesWithin(a, 3000);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(Bytes(got[0].begin(), got[0].begin() + 4), (Bytes{0x10, 0xF0, 0x00, 0x20}));
    EXPECT_EQ(got[0][9], 0x61);
    EXPECT_EQ(got[0][10], 0x01) << "error status";
    EXPECT_LE(readsOf(129), 40u) << "a short wait of its own, not the 3 s of the jobs";
    EXPECT_TRUE(sentOn(2).empty());
    // Port 3 by its selector: the error reply's source is the destination as it was sent,
    // without the port bits the device would have set.
    sendFrame(a, to, pcFrame(0x0001, 0x01, 0x04, 0x61, kRead4, 0x44));
    got = repliesWithin(a, 3000);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(Bytes(got[0].begin(), got[0].begin() + 11),
              (Bytes{0x10, 0xF0, 0x01, 0x00, 0x10, 0x44, 0x01, 0x04, 0x00, 0x61, 0x01}));
    EXPECT_EQ(got[0].back(), xorOf(got[0], got[0].size() - 1));
    EXPECT_TRUE(sentOn(3).empty());

    // The other PC is served meanwhile.
    const Bytes processorRead = remotetest::frame(0xF100, 0x61, remotetest::mem(0, 2));
    sendFrame(b, to, processorRead);
    got = repliesWithin(b, 3000);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(remotetest::replyStatus(processorRead, got[0]), 0);

    // A broadcast goes to port 0 only, and is answered once port 0 has answered.
    sendFrame(b, to, pcFrame(0x0FFF, 0x01, 0xFF, 0x81, {0xFF, 0x00}, 0x2B));
    got = replies(b);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][5], 0x2B);
    EXPECT_EQ(got[0][7], 0xFF);
    EXPECT_EQ(pcFramesOn(0).size(), 1u);
    EXPECT_TRUE(sentOn(2).empty());
    EXPECT_TRUE(card(0, 0).saved());
    EXPECT_EQ(boardErrors(), "");
}

// Every port a broadcast went to must answer: while the chain of one port stays silent
// the PC gets nothing, however many other ports answered.
TEST_F(CardPassby, ABroadcastIsNotAnsweredWhileOnePortStaysSilent) {
    plug({{0, 2}, {2, 3}, {4, 1}});
    bringUpAndSearch();
    sim::CardFaults silent;
    silent.silent = true;
    ports()->setFaults(2, 2, silent);  // the chain of port 2 answers through its last card
    udpnetManage udp(0, 0);
    ASSERT_EQ(udp.initialize(), 0);
    int pc = track(udpClient());
    const sockaddr_in to = loopback(udp.control_port());
    auto broadcast = [&](u8 tag) {
        forgetSent();
        sendFrame(pc, to, pcFrame(0x0FFF, 0x01, 0xFF, 0x81, {0xFF, 0x00}, tag));
        EXPECT_TRUE(waitSent(3));
    };
    broadcast(0x51);
    EXPECT_TRUE(runFor(pc, 400).empty());
    EXPECT_TRUE(card(0, 1).saved() && card(4, 0).saved()) << "ports 0 and 4 did answer";

    ports()->setFaults(2, 2, sim::CardFaults{});
    broadcast(0x52);
    auto got = replies(pc);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][5], 0x52);
    EXPECT_EQ(boardErrors(), "");
}

// A card that leaves byte 7 at 0: the port is told by the receive buffer's port group and
// the port bits of the source, for the answer the PC gets (byte 7 = port + 1, source
// without port bits) and for the card count of a search answer.
TEST_F(CardPassby, AnAnswerWithoutItsPortSelectorIsPlacedByBufferAndSource) {
    plug({{2, 2}, {5, 2}});
    bringUpAndSearch();
    sim::CardFaults silent;
    silent.silent = true;
    for (int port : {2, 5})
        ports()->setFaults(port, 1, silent);  // the injected answer is the only one
    udpnetManage udp(0, 0);
    ASSERT_EQ(udp.initialize(), 0);
    int pc = track(udpClient());
    const sockaddr_in to = loopback(udp.control_port());
    struct Case {
        int port;
        u16 destination;  // card 1 of the port
        u8 sourceHigh;    // byte 3 of the card's source: port bits (port & 3) << 4
        u8 selector;      // what the PC gets in byte 7: the port + 1
    };
    for (const Case& c : {Case{2, 0x2001, 0x20, 3}, Case{5, 0x1001, 0x10, 6}}) {
        SCOPED_TRACE(c.port);
        forgetSent();
        sendFrame(pc, to, pcFrame(c.destination, 0x01, 0x00, 0x61, kRead4, 0x3C));
        ASSERT_TRUE(waitSent(1));
        ports()->answer(c.port,
                        closed({0x10, 0xF0, 0x01, c.sourceHigh, 0x10, 0x3C, 0x01, 0x00, 0x00, 0x61,
                                0x00, 0xDE, 0xAD, 0xBE, 0xEF}),
                        0, sim::nowMs());
        auto got = replies(pc);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], closed({0x10, 0xF0, 0x01, 0x00, 0x10, 0x3C, 0x01, c.selector, 0x00, 0x61,
                                  0x00, 0xDE, 0xAD, 0xBE, 0xEF}));
    }

    // A search answer to the PC without its selector: port 5's count (parameter RAM 564)
    // and status byte (566) are the answer's.
    ports()->answer(5, closed({0x10, 0xF0, 0xFE, 0x1F, 0x10, 0xAA, 0xFF, 0x00, 0x00, 0x10,
                               0x00, 0x07, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                               0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}),
                    0, sim::nowMs());
    run(4);
    EXPECT_EQ(fpga()->ram(1, 564, 3), (Bytes{0x07, 0x00, 0x01}));
    EXPECT_EQ(fpga()->ram(1, 108, 2), (Bytes{0x02, 0x00})) << "port 2 keeps its count";
    EXPECT_EQ(boardErrors(), "");
}

// A PC that asks a card for more than one answer can carry (RAM at 0x180, 4096 bytes): the
// card's answer is longer than the FPGA's receive buffer, which keeps its first 1024 bytes;
// they end without the answer's check byte, so the device drops them, and the PC hears
// nothing. The next request is answered as ever.
TEST_F(CardPassby, AnAnswerLongerThanTheReceiveBufferIsCutAndDropped) {
    plug({{0, 1}});
    bringUpAndSearch();
    udpnetManage udp(0, 0);
    ASSERT_EQ(udp.initialize(), 0);
    int pc = track(udpClient());
    const sockaddr_in to = loopback(udp.control_port());
    const u32 checkErrors = manager->rcv_check_errors;
    const Bytes huge = {0x00, 0x00, 0x10, 0xF0, 0x10, 0x21, 0x01, 0x01, 0x00, 0x61,
                        0x80, 0x01, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x21};
    ASSERT_EQ(huge.back(), xorOf(huge, huge.size() - 1));
    sendFrame(pc, to, huge);
    ASSERT_TRUE(waitSent(1));
    EXPECT_TRUE(runFor(pc, 300).empty());
    EXPECT_EQ(ports()->cutAnswers(), 1);
    EXPECT_EQ(manager->rcv_check_errors, checkErrors + 1);

    sendFrame(pc, to, pcFrame(0x0000, 0x01, 0x01, 0x61, kRead4, 0x22));
    auto got = replies(pc);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][5], 0x22);
    EXPECT_EQ(got[0].size(), 16u);
    EXPECT_EQ(boardErrors(), "");
}

}  // namespace
}  // namespace fpgatest
