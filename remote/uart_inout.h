// The RS-485 control port "/dev/ttyS2": the PC software's serial link.
#pragma once

#include "remote/serial_transport.h"

class Yq_uart_inout : public serial_transport {
public:
    static constexpr int kPort = 2;

    static Yq_uart_inout* p_uart_inout;
    // Creates the transport on the first call, opens its port at g_BPS and starts its
    // thread (a port that cannot be opened is reported and left closed).
    static Yq_uart_inout* pInstance();

    Yq_uart_inout() : serial_transport(RemoteTransport::Serial) {}
};
