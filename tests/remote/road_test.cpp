// The road of one remote request: a PC on the loopback interface writes a window's
// rectangle and asks for it to be applied, over UDP, TCP or the serial port; the video-processor
// manager applies it and runs the requested service sequence on the simulated c331; the
// synchroniser on the GUI thread stores the image in "/data/ram_device_info".
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "board/sim/c331_model.h"
#include "board/sim/serial_port.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"
#include "remote/networkmanage.h"
#include "remote/uart_inout.h"
#include "remote/udpnetmanage.h"
#include "tests/remote/remote_test.h"
#include "tests/support/loopback.h"
#include "ui/syncupdate.h"
#include "video/c331_manage.h"

using namespace remotetest;

namespace {

using test::loopback;
class Road : public RemoteTest {
protected:
    void SetUp() override {
        RemoteTest::SetUp();
        fpga = std::make_unique<fpga_manage>();
        fpga_manage::p_fpga_manage = fpga.get();
        fpga->open_spi_links();
        ASSERT_EQ(fpga->map_gpio_window(), 0);
        inputs = std::make_unique<velmosource>();
        velmosource::p_velmo_source = inputs.get();
        video = std::make_unique<c331_manage>();
        video->open_device();
        video->c331_bringup();
        video->manage_state = c331_manage::kStateRun;
        connection = QObject::connect(&store(), SIGNAL(sig_update_para(int)),
                                      SyncUpdate::pInstance(), SLOT(para_sync(int)));
    }
    void TearDown() override {
        QObject::disconnect(connection);
        video.reset();
        velmosource::p_velmo_source = nullptr;
        inputs.reset();
        fpga.reset();
        RemoteTest::TearDown();
    }

    std::unique_ptr<fpga_manage> fpga;
    std::unique_ptr<velmosource> inputs;
    std::unique_ptr<c331_manage> video;
    QMetaObject::Connection connection;
};

// A PC's link to the device: sends one frame, returns the reply frame (empty on none).
class PcLink {
public:
    virtual ~PcLink() = default;
    Bytes exchange(const Bytes& request) {
        Bytes e = escape(request);
        send(e);
        Bytes got;
        for (int waited = 0; waited < 3000; waited += 10) {
            pollfd p = {fd, POLLIN, 0};
            if (::poll(&p, 1, 10) != 1)
                continue;
            unsigned char buf[9000];
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                got.insert(got.end(), buf, buf + n);
            std::vector<Bytes> frames = unescapeAll(got);
            if (!frames.empty())
                return frames[0];
        }
        return {};
    }

protected:
    virtual void send(const Bytes& bytes) { ::write(fd, bytes.data(), bytes.size()); }
    int fd = -1;
};

class UdpLink : public PcLink {
public:
    UdpLink() : device(0, 0) {
        EXPECT_EQ(device.initialize(), 0);
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    }
    ~UdpLink() override {
        device.stop();
        ::close(fd);
    }

private:
    void send(const Bytes& bytes) override {
        sockaddr_in to = loopback(device.control_port());
        ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    udpnetManage device;
};

class TcpLink : public PcLink {
public:
    TcpLink() : device(0) {
        EXPECT_EQ(device.initialize(), 0);
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to = loopback(device.port());
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    }
    ~TcpLink() override {
        device.stop();
        ::close(fd);
    }

private:
    networkManage device;
};

class SerialLink : public PcLink {
public:
    SerialLink() {
        EXPECT_GE(device.usart1_init(2, 115200, 2306), 0);
        EXPECT_EQ(device.start(), 0);
        fd = sim::get<sim::SerialPort>("/dev/ttyS2")->pcFd();
    }
    ~SerialLink() override { device.stop(); }

private:
    Yq_uart_inout device;
};

std::unique_ptr<PcLink> link(const std::string& kind) {
    if (kind == "udp")
        return std::make_unique<UdpLink>();
    if (kind == "tcp")
        return std::make_unique<TcpLink>();
    return std::make_unique<SerialLink>();
}

class RoadOver : public Road, public ::testing::WithParamInterface<std::string> {};

}  // namespace

TEST_P(RoadOver, AWindowWrittenByThePcIsAppliedAndSaved) {
    std::unique_ptr<PcLink> pc = link(GetParam());

    const unsigned at = 2272 + 26 + 10;                                   // window 1's x, y, w, h
    const Bytes rect = {0x00, 0x01, 0x80, 0x00, 0x00, 0x04, 0x40, 0x02};  // 256,128 1024x576
    Bytes write = frame(0xF100, 0x60, mem(at, rect.size(), rect));
    Bytes reply = pc->exchange(write);
    ASSERT_EQ(replyStatus(write, reply), 0);
    EXPECT_EQ(get16(reply, 0), 0xF010u);
    EXPECT_EQ(get16(reply, 2), 0xF100u);
    // Register 11 applies the image, 0xA2 bit 1 puts the output test bars on.
    Bytes apply = frame(0xF100, 0xA0, mem(11, 1, {1}));
    ASSERT_EQ(replyStatus(apply, pc->exchange(apply)), 0);
    Bytes bars = frame(0xF100, 0xA0, mem(0xA2, 1, {0x02}));
    ASSERT_EQ(replyStatus(bars, pc->exchange(bars)), 0);
    pc.reset();

    // One cycle of the video-processor thread, on a thread of its own as in the program.
    EXPECT_EQ(c331_manage::para_update, 1);
    std::thread([this] { c331_manage::c331managerdeal(video.get()); }).join();
    EXPECT_EQ(c331_manage::para_update, 0);
    EXPECT_EQ(sim::get<sim::C331Model>("c331")->field(0x08, 0x57, 1), 9u);
    EXPECT_EQ(store().reg_para[0x22], 0);

    // The synchroniser saves the image on the GUI thread.
    auto saved = [&] {
        Bytes file = readFile("/data/ram_device_info");
        return file.size() == 4096 && Bytes(file.begin() + 2 + (at - 768),
                                            file.begin() + 2 + (at - 768) + rect.size()) == rect;
    };
    EXPECT_TRUE(test::waitFor(saved, 3000));
    EXPECT_EQ(store().ram_para_shadow.u16At(at + 4), 1024);
}

INSTANTIATE_TEST_SUITE_P(Links, RoadOver, ::testing::Values("udp", "tcp", "serial"));
