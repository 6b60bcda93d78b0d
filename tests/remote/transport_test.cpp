// The transports end to end, as a PC reaches them: UDP and TCP on the loopback interface,
// the serial ports through their pseudo-terminals, and the WiFi manager's passes.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "board/sim/serial_port.h"
#include "remote/networkmanage.h"
#include "remote/t47_wifi_config.h"
#include "remote/uart_inout.h"
#include "remote/uart_inout_4G.h"
#include "remote/udpnetmanage.h"
#include "tests/remote/remote_test.h"
#include "tests/support/free_port.h"
#include "tests/support/loopback.h"

using namespace remotetest;

namespace {

using test::loopback;
using test::udpClient;
constexpr unsigned kProcessor = 0xF100;

// Window 2's rectangle as the PC writes it, and the frame that writes it. Serial ports are
// opened as start-up opens them, with the flags 2306 (read-write, no controlling terminal,
// no delay); image byte 774 is wifi_off.
const Bytes kRect = {0x40, 0x01, 0x20, 0x00, 0x80, 0x07, 0x38, 0x04};
unsigned rectAt() {
    return 2272 + 2 * 26 + 10;
}
Bytes rectWrite() {
    return frame(kProcessor, 0x60, mem(rectAt(), kRect.size(), kRect));
}

// Reads what arrives on fd until a whole frame is in or timeoutMs passes.
Bytes readFrames(int fd, int timeoutMs) {
    Bytes got;
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0) {
            unsigned char buf[9000];
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                got.insert(got.end(), buf, buf + n);
            if (n == 0)
                break;
        }
        if (!got.empty() && got.back() == 0x5A)
            break;
    }
    return got;
}

// Waits until the other end closes the connection (a read returns 0); false when the
// time runs out first or data arrives instead.
bool closedByPeer(int fd, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, 10) < 1)
            continue;
        unsigned char byte;
        ssize_t n = ::read(fd, &byte, 1);
        return n == 0 || (n < 0 && errno == ECONNRESET);
    }
    return false;
}

void sendTo(int fd, u16 port, const Bytes& bytes) {
    sockaddr_in to = loopback(port);
    ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

class Transport : public RemoteTest {};

}  // namespace

TEST_F(Transport, UdpWriteOfAWindowIsAnsweredToTheSender) {
    udpnetManage udp(0, 0);
    ASSERT_EQ(udp.initialize(), 0);
    int pc = udpClient();
    // Two frames in one datagram, behind some noise: both are answered.
    Bytes request = rectWrite();
    Bytes apply = frame(kProcessor, 0xA0, mem(11, 1, {1}));
    Bytes datagram = {0x00, 0x13};
    Bytes e1 = escape(request), e2 = escape(apply);
    datagram.insert(datagram.end(), e1.begin(), e1.end());
    datagram.insert(datagram.end(), e2.begin(), e2.end());
    sendTo(pc, udp.control_port(), datagram);

    std::vector<Bytes> replies;
    while (replies.size() < 2) {
        Bytes got = readFrames(pc, 2000);
        ASSERT_FALSE(got.empty());
        for (const Bytes& f : unescapeAll(got))
            replies.push_back(f);
    }
    EXPECT_EQ(replyStatus(request, replies[0]), 0);
    EXPECT_EQ(replyStatus(apply, replies[1]), 0);
    EXPECT_EQ(store().ram_para.u16At(rectAt() + 4), 1920);
    EXPECT_EQ(c331_manage::para_update, 1);
    sockaddr_in peer = udp.last_peer();
    EXPECT_EQ(peer.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    udp.stop();
    ::close(pc);
}

// A frame never spans datagrams: the halves of one frame in two datagrams are two broken
// frames, not one, so that the halves of two PCs can never be joined into a request.
TEST_F(Transport, AFrameSplitOverTwoDatagramsGetsNoReply) {
    udpnetManage udp(0, 0);
    ASSERT_EQ(udp.initialize(), 0);
    int pc = udpClient();
    const Bytes whole = escape(rectWrite());
    const size_t half = whole.size() / 2;
    sendTo(pc, udp.control_port(), Bytes(whole.begin(), whole.begin() + half));
    sendTo(pc, udp.control_port(), Bytes(whole.begin() + half, whole.end()));
    EXPECT_TRUE(readFrames(pc, 500).empty());
    EXPECT_EQ(store().ram_para.u16At(rectAt()), 0) << "nothing written";

    // The same frame in one datagram is answered.
    sendTo(pc, udp.control_port(), whole);
    std::vector<Bytes> replies = unescapeAll(readFrames(pc, 2000));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replyStatus(rectWrite(), replies[0]), 0);
    udp.stop();
    ::close(pc);
}

TEST_F(Transport, WifiAtChannelAnswersEveryCommandWithAnError) {
    udpnetManage udp(0, 0);
    ASSERT_EQ(udp.initialize(), 0);
    udp.stop();  // turns are run here
    int pc = udpClient();
    const std::string cmd = "AT+CWMODE?\r\n";
    sendTo(pc, udp.wifi_port(), Bytes(cmd.begin(), cmd.end()));
    udp.wifi_step(2000);
    pollfd p = {pc, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    char reply[64];
    ssize_t n = ::recv(pc, reply, sizeof reply, 0);
    EXPECT_EQ(std::string(reply, n > 0 ? n : 0), "ERROR\r\n");
    ::close(pc);
}

TEST_F(Transport, TcpServesOnePcAtATimeAndKeepsFramesAcrossReads) {
    networkManage tcp(0);
    ASSERT_EQ(tcp.initialize(), 0);
    auto connectPc = [&] {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to = loopback(tcp.port());
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        return fd;
    };
    int first = connectPc();
    Bytes request = rectWrite();
    Bytes e = escape(request);
    // The frame arrives in two pieces.
    ::send(first, e.data(), 5, 0);
    usleep(20000);
    ::send(first, e.data() + 5, e.size() - 5, 0);
    std::vector<Bytes> replies = unescapeAll(readFrames(first, 2000));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replyStatus(request, replies[0]), 0);
    EXPECT_EQ(store().ram_para.u16At(rectAt() + 6), 1080);

    // A second PC takes over; the first one's connection ends.
    int second = connectPc();
    Bytes read = frame(kProcessor, 0x61, mem(rectAt(), 8));
    Bytes er = escape(read);
    ::send(second, er.data(), er.size(), 0);
    replies = unescapeAll(readFrames(second, 2000));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(Bytes(replies[0].begin() + 19, replies[0].end() - 1), kRect);
    EXPECT_TRUE(closedByPeer(first, 5000));
    tcp.stop();
    ::close(first);
    ::close(second);
}

TEST_F(Transport, SerialPortAnswersWithRtsDroppedAroundTheSend) {
    Yq_uart_inout serial;
    ASSERT_GE(serial.usart1_init(2, 115200, 2306), 0);
    auto port = sim::get<sim::SerialPort>("/dev/ttyS2");
    ASSERT_TRUE(port);
    EXPECT_TRUE(port->rts());

    // The line is 115200 8N1, raw.
    int pc = port->pcFd();
    termios tio;
    ASSERT_EQ(tcgetattr(pc, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);

    port->clearEvents();
    Bytes request = rectWrite();
    Bytes e = escape(request);
    ASSERT_EQ(::write(pc, e.data(), e.size()), static_cast<ssize_t>(e.size()));
    for (int i = 0; i < 20 && port->events().empty(); ++i)
        serial.receive_step(100);
    std::vector<Bytes> replies = unescapeAll(readFrames(pc, 2000));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replyStatus(request, replies[0]), 0);
    EXPECT_EQ(store().ram_para.u16At(rectAt()), 0x140);

    std::vector<sim::SerialPort::Event> ev = port->events();
    ASSERT_GE(ev.size(), 3u);
    EXPECT_EQ(ev.front().kind, sim::SerialPort::Event::RtsOff);
    EXPECT_EQ(ev.back().kind, sim::SerialPort::Event::RtsOn);
    size_t written = 0;
    for (size_t i = 1; i + 1 < ev.size(); ++i) {
        EXPECT_EQ(ev[i].kind, sim::SerialPort::Event::Write);
        written += ev[i].bytes;
    }
    EXPECT_EQ(written, escape(replies[0]).size());
}

// RS-485 is half duplex: the direction line (RTS) goes back to receive only once the last
// byte of the reply has left the port, or the reply's tail would be cut off the line.
TEST_F(Transport, SerialDirectionLineTurnsBackAfterTheLastByteHasLeft) {
    Yq_uart_inout serial;
    ASSERT_GE(serial.usart1_init(2, 115200, 2306), 0);
    auto port = sim::get<sim::SerialPort>("/dev/ttyS2");
    ASSERT_TRUE(port);
    int pc = port->pcFd();
    for (unsigned count : {1u, 600u}) {
        SCOPED_TRACE(count);
        port->clearEvents();
        // A read of the image: count bytes back, the reply escaped and framed.
        Bytes e = escape(frame(kProcessor, 0x61, mem(0, count)));
        ASSERT_EQ(::write(pc, e.data(), e.size()), static_cast<ssize_t>(e.size()));
        for (int i = 0; i < 20 && port->events().size() < 3; ++i)
            serial.receive_step(100);
        ASSERT_EQ(unescapeAll(readFrames(pc, 2000)).size(), 1u);
        std::vector<sim::SerialPort::Event> ev = port->events();
        ASSERT_GE(ev.size(), 3u);
        ASSERT_EQ(ev.back().kind, sim::SerialPort::Event::RtsOn);
        double lastByteLeft = 0;
        for (const auto& event : ev)
            if (event.kind == sim::SerialPort::Event::Write)
                lastByteLeft = std::max(lastByteLeft, event.leftMs);
        // 10 bits a byte at 115200 baud: the reply takes its time on the line.
        EXPECT_GE(ev.back().ms, lastByteLeft);
    }
}

TEST_F(Transport, SerialToolConnectsThroughTheSymlinkAnd4GRefusesCardFrames) {
    Yq_uart_inout_4G modem;
    ASSERT_GE(modem.usart1_init(1, 115200, 2306), 0);
    auto port = sim::get<sim::SerialPort>("/dev/ttyS1");
    ASSERT_EQ(port->pcPath(), rooted("/dev/ttyS1"));
    int tool = ::open(port->pcPath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(tool, 0);
    termios tio;
    tcgetattr(tool, &tio);
    cfmakeraw(&tio);
    tcsetattr(tool, TCSANOW, &tio);

    Bytes card = frame(0x0FFF, 0x60, mem(0x180, 1, {1}));
    Bytes e = escape(card);
    ASSERT_EQ(::write(tool, e.data(), e.size()), static_cast<ssize_t>(e.size()));
    std::vector<Bytes> replies;
    for (int i = 0; i < 20 && replies.empty(); ++i) {
        modem.receive_step(100);
        replies = unescapeAll(readFrames(tool, 100));
    }
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replyStatus(card, replies[0]), 1);
    ::close(tool);
}

TEST_F(Transport, UnopenablePortsAreReportedNotUsed) {
    Yq_uart_inout serial;
    EXPECT_EQ(serial.usart1_init(7, 115200, 2306), -1);
    EXPECT_EQ(serial.usart1_init(2, 12345, 2306), -1);
    EXPECT_EQ(serial.start(), 255);
    serial.receive_step(1);  // nothing to read, nothing breaks
}

TEST_F(Transport, WifiStartsTheAccessPointUnlessSwitchedOffAndRestartsOnRequest) {
    auto ran = [](const std::string& prefix) {
        int n = 0;
        for (const sim::Command& c : sim::commands())
            n += c.text.rfind(prefix, 0) == 0;
        return n;
    };
    T47_WIFI_CONFIG wifi;
    sim::clearCommands();
    G_timeTicks = 99;
    wifi.wifi_pass();
    EXPECT_EQ(ran("/usr/bin/hostapd"), 0);
    G_timeTicks = 100;
    wifi.wifi_pass();
    EXPECT_EQ(ran("ifconfig wlan0 192.168.22.101 netmask 255.255.255.0 up"), 1);
    EXPECT_EQ(ran("/usr/sbin/udhcpd /etc/udhcpd.conf"), 1);
    EXPECT_EQ(ran("/usr/bin/hostapd -B /etc/rtl_hostapd_2G.conf"), 1);
    EXPECT_TRUE(wifi.ap_started());
    G_timeTicks = 200;
    wifi.wifi_pass();
    EXPECT_EQ(ran("/usr/bin/hostapd"), 1);  // running: not started again

    // Switched off and reset: the processes are stopped 300 ticks later and not started.
    store().ram_para[774] = 1;
    wifi.set_wifi_reset_flag();
    G_timeTicks = 499;
    wifi.wifi_pass();
    EXPECT_EQ(ran("kill -9"), 0);
    G_timeTicks = 500;
    wifi.wifi_pass();
    EXPECT_EQ(ran("kill -9 `pidof /usr/bin/hostapd /etc/rtl_hostapd_2G.conf`"), 1);
    EXPECT_EQ(ran("kill -9 `pidof /usr/sbin/udhcpd  /etc/udhcpd.conf`"), 1);
    EXPECT_EQ(g_wifi_reset_flag, 0);
    G_timeTicks = 700;
    wifi.wifi_pass();
    EXPECT_EQ(ran("/usr/bin/hostapd"), 1);

    // Switched on again: the next start-up pass starts it.
    store().ram_para[774] = 0;
    G_timeTicks = 800;
    wifi.wifi_pass();
    EXPECT_EQ(ran("/usr/bin/hostapd"), 2);
}

TEST_F(Transport, WifiAddressThatIsNoAddressNeverReachesTheShell) {
    ConfigEngine::p_config->write_config_variant(ConfigItem::WifiIPAddress, "192.168.22.1;reboot");
    T47_WIFI_CONFIG wifi;
    sim::clearCommands();
    G_timeTicks = 100;
    wifi.wifi_pass();
    EXPECT_TRUE(sim::commands().empty());
    EXPECT_FALSE(wifi.ap_started());
}

TEST_F(Transport, TcpPortChangedByThePcTakesEffectAfterTheReply) {
    auto connectTo = [](u16 port) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to = loopback(port);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    };
    u16 before = test::freePort(SOCK_STREAM), after = test::freePort(SOCK_STREAM);
    g_port = before;
    networkManage tcp;
    ASSERT_EQ(tcp.initialize(), 0);
    tcp.stop();  // turns are run here
    EXPECT_EQ(tcp.port(), before);
    int pc = connectTo(before);
    ASSERT_GE(pc, 0);
    Bytes p = {192, 168, 1, 50, 255, 255, 255, 0, 192, 168, 1, 1};
    put16(p, after);
    Bytes request = frame(kProcessor, 0xC0, p);
    Bytes e = escape(request);
    ::send(pc, e.data(), e.size(), 0);
    tcp.serve_step(100);   // accept
    tcp.serve_step(1000);  // the frame and its reply
    std::vector<Bytes> replies = unescapeAll(readFrames(pc, 2000));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replyStatus(request, replies[0]), 0);
    tcp.serve_step(10);
    EXPECT_EQ(tcp.port(), after);
    int again = connectTo(after);
    EXPECT_GE(again, 0);
    ::close(pc);
    if (again >= 0)
        ::close(again);
    g_port = 5005;
}
