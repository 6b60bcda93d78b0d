// The 4G module's serial link "/dev/ttyS1": the same frames as the control port. Frames
// for the receiving cards are refused here (their answers have no way back on this link).
#pragma once

#include "remote/serial_transport.h"

class Yq_uart_inout_4G : public serial_transport {
public:
    static constexpr int kPort = 1;

    static Yq_uart_inout_4G* p_uart_inout_4G;
    // Creates the transport on the first call, opens its port at g_BPS and starts its
    // thread (a port that cannot be opened is reported and left closed).
    static Yq_uart_inout_4G* pInstance();

    Yq_uart_inout_4G() : serial_transport(RemoteTransport::Modem4G) {}
};
