#include "remote/uart_inout_4G.h"

#include "core/global.h"

Yq_uart_inout_4G* Yq_uart_inout_4G::p_uart_inout_4G = nullptr;

Yq_uart_inout_4G* Yq_uart_inout_4G::pInstance() {
    if (p_uart_inout_4G)
        return p_uart_inout_4G;
    p_uart_inout_4G = new Yq_uart_inout_4G;
    if (p_uart_inout_4G->usart1_init(kPort, g_BPS, kOpenFlags) >= 0)
        p_uart_inout_4G->start();
    return p_uart_inout_4G;
}
