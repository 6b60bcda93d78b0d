#include "ui/startup.h"

#include <QApplication>
#include <QFont>
#include <QTimer>

#include "board/board.h"
#include "board/settle.h"
#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"
#include "remote/networkmanage.h"
#include "remote/t47_wifi_config.h"
#include "remote/uart_inout.h"
#include "remote/uart_inout_4G.h"
#include "remote/udpnetmanage.h"
#include "screens/maintenance/usbserver.h"
#include "ui/check_hiddev.h"
#include "ui/lockwindow.h"
#include "ui/mainwindow.h"
#include "ui/numberkeyboard.h"
#include "ui/pages.h"
#include "ui/syncupdate.h"
#include "video/c331_manage.h"

namespace startup {

void beforeApplication() {
    board::msleep(board::keyBoardSettleMilliseconds());
    g_krx_keys = static_cast<u8>(check_hiddev());
    ConfigEngine::pInstance();
    KrxRamPara::pInstance();
    velmosource::pInstance();
    fpga_manage::pInstance();
    velmosource::p_velmo_source->initialize();
    c331_manage::pInstance();
    udpnetManage::pInstance();
    Yq_uart_inout::pInstance();
    networkManage::pInstance();
    Yq_uart_inout_4G::pInstance();
    T47_WIFI_CONFIG::pInstance();
}

void afterApplication() {
    QFont font("WenQuanYi Micro Hei");
    font.setPixelSize(12);
    QApplication::setFont(font);

    g_mainwindow = new MainWindow(nullptr);
    g_lockwindow = new LockWindow(nullptr);
    g_mainwindow->show();
    g_page_focus = page::home;
    g_lockwindow->show();
    g_lockwindow->raise();
    g_lockwindow->activateWindow();

    const QPoint origin = g_mainwindow->pos();
    g_numberkeyboard->setGeometry(QRect(origin + QPoint(160, 0), origin + QPoint(319, 239)));

    g_timer = new QTimer(nullptr);
    QObject::connect(g_timer, SIGNAL(timeout()), g_mainwindow, SLOT(slot_update_timer_ticks()));
    g_timer->start(10);

    QObject::connect(KrxRamPara::p_krxrampara_config, SIGNAL(sig_update_para(int)),
                     SyncUpdate::pInstance(), SLOT(para_sync(int)));
    if (g_krx_keys)
        SyncUpdate::pInstance()->update_usb_keyLed();

    UsbServer::pInstance();
}

// The USB watcher and the transports first, as they reach into the managers; the video
// processor before the FPGA link, whose LED-panel hand-over it may be waiting for.
void stopThreads() {
    if (UsbServer::p_UsbServer)
        UsbServer::p_UsbServer->stop();
    if (T47_WIFI_CONFIG::p_wifi)
        T47_WIFI_CONFIG::p_wifi->stop();
    if (Yq_uart_inout_4G::p_uart_inout_4G)
        Yq_uart_inout_4G::p_uart_inout_4G->stop();
    if (networkManage::p_networkManage)
        networkManage::p_networkManage->stop();
    if (Yq_uart_inout::p_uart_inout)
        Yq_uart_inout::p_uart_inout->stop();
    if (udpnetManage::p_udpnetManage)
        udpnetManage::p_udpnetManage->stop();
    if (c331_manage::p_c331_manage)
        c331_manage::p_c331_manage->stop_thread();
    if (velmosource::p_velmo_source)
        velmosource::p_velmo_source->stop_thread();
    if (fpga_manage::p_fpga_manage)
        fpga_manage::p_fpga_manage->stop_thread();
}

}  // namespace startup
