// The whole program on the simulated board, started once per test process the way the
// device starts it (start-up's two halves around the application object, on the offscreen
// platform), on a fresh root and on ports of its own. Tests then reach it only as a user
// does: the PC links, the panel's keys and screens, files under the root, and the
// simulated chips' state.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/system/pc_client.h"

namespace systest {

struct Program {
    std::string root;
    uint16_t tcpPort = 0;
    uint16_t udpPort = 0;
    uint16_t wifiPort = 0;
    int keyLedReports = 0;
};

// Starts the program on the first call.
Program& program();

// A device path under the root, and its contents (empty when missing).
std::string rooted(const std::string& devicePath);
pc::Bytes readFile(const std::string& devicePath);
bool exists(const std::string& devicePath);
// A key of "/data/configs/tcpip.ini".
std::string setting(const std::string& key);

// The PC's links to the running program.
std::unique_ptr<pc::UdpLink> udp();
std::unique_ptr<pc::TcpLink> tcp();
std::unique_ptr<pc::SerialLink> serial();
std::unique_ptr<pc::Link> link(const std::string& kind);

// Waits (running the event loop, and with it the panel's tick) until FPGA 0 runs its
// output, as its registers show: trained and locked link, output enabled, screen lit.
bool waitForOutputRunning();

// Base of every system test: the program running, and every simulated chip's list of
// refused accesses empty at the end of each case.
class SystemTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace systest
