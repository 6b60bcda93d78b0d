#include "tests/system/program.h"

#include <gmock/gmock.h>
#include <stdlib.h>

#include <QJsonArray>
#include <QSettings>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "board/sim/fpga_model.h"
#include "board/sim/sim.h"
#include "tests/support/free_port.h"
#include "tests/support/sim_test.h"
#include "ui/startup.h"
#include "ui/syncupdate.h"

namespace systest {
namespace {

void start(Program& p) {
    std::string base = std::filesystem::temp_directory_path() / "krx-system-XXXXXX";
    if (!mkdtemp(base.data()))
        return;
    p.root = base;
    p.tcpPort = test::freePort(SOCK_STREAM);
    p.udpPort = test::freePort(SOCK_DGRAM);
    p.wifiPort = test::freePort(SOCK_DGRAM);
    setenv("KRX_TCP_PORT", std::to_string(p.tcpPort).c_str(), 1);
    setenv("KRX_UDP_PORT", std::to_string(p.udpPort).c_str(), 1);
    setenv("KRX_WIFI_PORT", std::to_string(p.wifiPort).c_str(), 1);
    sim::reset();
    // What is plugged in: the board's default, with the EDID memory of input 2 blank.
    sim::setScene(QJsonObject{{"edid", QJsonArray{"valid", "valid", "blank", "valid"}}});
    sim::setRoot(p.root);
    sim::setSleepDivisor(20);
    // No USB key board is plugged in; a report to it would be counted here.
    SyncUpdate::setKeyLedWriter([&p](const KeyLedReport&) {
        ++p.keyLedReports;
        return true;
    });
    startup::beforeApplication();
    startup::afterApplication();
}

Program* running = nullptr;

}  // namespace

Program& program() {
    static Program p;
    if (!running) {
        running = &p;
        start(p);
    }
    return p;
}

std::string rooted(const std::string& devicePath) {
    return program().root + devicePath;
}

pc::Bytes readFile(const std::string& devicePath) {
    std::ifstream in(rooted(devicePath), std::ios::binary);
    return pc::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool exists(const std::string& devicePath) {
    return std::filesystem::exists(rooted(devicePath));
}

std::string setting(const std::string& key) {
    QSettings ini(QString::fromStdString(rooted("/data/configs/tcpip.ini")), QSettings::IniFormat);
    return ini.value(QString::fromStdString(key)).toString().toStdString();
}

std::unique_ptr<pc::UdpLink> udp() {
    return std::make_unique<pc::UdpLink>(program().udpPort);
}

std::unique_ptr<pc::TcpLink> tcp() {
    auto link = std::make_unique<pc::TcpLink>(program().tcpPort);
    EXPECT_TRUE(link->connected());
    return link;
}

std::unique_ptr<pc::SerialLink> serial() {
    auto link = std::make_unique<pc::SerialLink>(rooted("/dev/ttyS2"));
    EXPECT_TRUE(link->opened());
    return link;
}

std::unique_ptr<pc::Link> link(const std::string& kind) {
    if (kind == "udp")
        return udp();
    if (kind == "tcp")
        return tcp();
    return serial();
}

bool waitForOutputRunning() {
    auto fpga = sim::get<sim::FpgaModel>("fpga0");
    return test::waitFor(
        [&] {
            return (fpga->reg(3) & 0xE0) == 0xE0 && (fpga->reg(23) & 0x01) &&
                   (fpga->reg(22) & 0x90) == 0x90 && !(fpga->reg(0) & 0x04);
        },
        60000);
}

void SystemTest::SetUp() {
    ASSERT_FALSE(program().root.empty());
}

void SystemTest::TearDown() {
    EXPECT_THAT(sim::allProtocolErrors(), ::testing::IsEmpty());
}

}  // namespace systest

namespace {

// The program's threads are stopped as main stops them once its event loop ends, before
// the process's static objects go; then its root goes.
class RemoveRoot : public ::testing::Environment {
public:
    void TearDown() override {
        if (!systest::running)
            return;
        startup::stopThreads();
        if (systest::running->root.empty())
            return;
        std::error_code ec;
        std::filesystem::remove_all(systest::running->root, ec);
    }
};

[[maybe_unused]] ::testing::Environment* const removeRoot =
    ::testing::AddGlobalTestEnvironment(new RemoveRoot);

}  // namespace
