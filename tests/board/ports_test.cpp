// The servers' ports on the simulated board: the device's three well-known ports move
// when the environment names a port for them; every other port stays.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "board/board.h"

namespace {

class Ports : public ::testing::Test {
protected:
    void TearDown() override {
        for (const char* name : {"KRX_TCP_PORT", "KRX_UDP_PORT", "KRX_WIFI_PORT"})
            unsetenv(name);
    }
};

TEST_F(Ports, WithoutTheEnvironmentTheDevicesPortsStay) {
    EXPECT_EQ(board::tcpPort(5005), 5005);
    EXPECT_EQ(board::udpPort(5008), 5008);
    EXPECT_EQ(board::udpPort(13769), 13769);
}

TEST_F(Ports, EachWellKnownPortMovesToItsOwnVariable) {
    setenv("KRX_TCP_PORT", "40001", 1);
    setenv("KRX_UDP_PORT", "40002", 1);
    setenv("KRX_WIFI_PORT", "40003", 1);
    EXPECT_EQ(board::tcpPort(5005), 40001);
    EXPECT_EQ(board::udpPort(5008), 40002);
    EXPECT_EQ(board::udpPort(13769), 40003);
    // A TCP port the PC has set, and the numbers of the other protocol, stay as they are.
    EXPECT_EQ(board::tcpPort(6000), 6000);
    EXPECT_EQ(board::tcpPort(5008), 5008);
    EXPECT_EQ(board::udpPort(5005), 5005);
}

TEST_F(Ports, AValueThatIsNoPortLeavesTheDevicesPort) {
    for (const char* value : {"", "0", "65536", "5x", "-1"}) {
        setenv("KRX_UDP_PORT", value, 1);
        EXPECT_EQ(board::udpPort(5008), 5008) << value;
    }
}

}  // namespace
