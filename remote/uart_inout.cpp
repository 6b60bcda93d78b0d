#include "remote/uart_inout.h"

#include "core/global.h"

Yq_uart_inout* Yq_uart_inout::p_uart_inout = nullptr;

Yq_uart_inout* Yq_uart_inout::pInstance() {
    if (p_uart_inout)
        return p_uart_inout;
    p_uart_inout = new Yq_uart_inout;
    if (p_uart_inout->usart1_init(kPort, g_BPS, kOpenFlags) >= 0)
        p_uart_inout->start();
    return p_uart_inout;
}
