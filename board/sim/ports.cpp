// The servers' ports on the simulated board. The device's well-known ports can be moved
// through the environment, so that several simulated programs (tests among them) run side
// by side on one PC:
//   KRX_TCP_PORT   instead of TCP 5005 (the control protocol's default TCP port)
//   KRX_UDP_PORT   instead of UDP 5008 (the control protocol)
//   KRX_WIFI_PORT  instead of UDP 13769 (the WiFi AT channel)
// Every other port is used as it is: a TCP port the PC has set stays the one it set.
#include <cstdio>
#include <cstdlib>

#include "board/board.h"

namespace board {
namespace {

constexpr uint16_t kTcpControl = 5005;
constexpr uint16_t kUdpControl = 5008;
constexpr uint16_t kUdpWifi = 13769;

// The port the variable names, or the device's port when it is unset or not a port.
uint16_t moved(const char* variable, uint16_t devicePort) {
    const char* value = std::getenv(variable);
    if (!value || !*value)
        return devicePort;
    char* end = nullptr;
    unsigned long port = std::strtoul(value, &end, 10);
    if (*end != '\0' || port == 0 || port > 0xFFFF) {
        std::printf("\n %s=%s is not a port; using %u\n", variable, value, devicePort);
        return devicePort;
    }
    return static_cast<uint16_t>(port);
}

}  // namespace

uint16_t tcpPort(uint16_t devicePort) {
    return devicePort == kTcpControl ? moved("KRX_TCP_PORT", devicePort) : devicePort;
}

uint16_t udpPort(uint16_t devicePort) {
    if (devicePort == kUdpControl)
        return moved("KRX_UDP_PORT", devicePort);
    if (devicePort == kUdpWifi)
        return moved("KRX_WIFI_PORT", devicePort);
    return devicePort;
}

}  // namespace board
