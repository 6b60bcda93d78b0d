#include "core/utils.h"

#include "board/board.h"
#include "core/global.h"

QMutex Utils::_system_mutex;
QMutex Utils::_spi_mutex;
QMutex Utils::_c331_bnk_mutex;
QMutex Utils::_file_deal_mutex;
QMutex Utils::_source_hdminfo_mutex;
QMutex Utils::_source_init_mutex;
QMutex Utils::_test_signal_mutex;
QMutex Utils::_led_para_init_mutex;
QMutex Utils::_bri_set_mutex;
QMutex Utils::_fpga_multicast_mutex;
QMutex Utils::_usleep_mutex;

u8 Utils::BCC(const u8* data, unsigned length) {
    u8 check = 0;
    for (unsigned i = 0; i < length; ++i)
        check ^= data[i];
    return check;
}

int Utils::system_mutex(const QString& command, int* status) {
    QMutexLocker lock(&_system_mutex);
    int result = board::system(command.toLatin1().constData());
    if (status)
        *status = result;
    return result == 0 ? 0 : 255;
}

u32 Utils::getTimeSpace(u32 stamp) {
    u32 now = G_timeTicks;
    if (now < stamp)
        return now - 1 - stamp;
    return now - stamp;
}
