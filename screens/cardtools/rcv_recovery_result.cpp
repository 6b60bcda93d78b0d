#include "screens/cardtools/rcv_recovery_result.h"

#include "core/guithread.h"
#include "core/krxrampara.h"

RcvRecoveryResult* g_rcv_recovery_result = nullptr;

namespace {

constexpr int kRedraw = 1;
constexpr int kRecoveryOver = 99;

void refresh(int reason) {
    if (KrxRamPara* store = KrxRamPara::p_krxrampara_config)
        store->test_signal(reason);
}

QString two_digits(unsigned value) {
    return QString("%1").arg(value, 2, 10, QChar('0'));
}

}  // namespace

QString rcv_recovery_entry(unsigned screen, unsigned net, unsigned card, unsigned cards) {
    return QStringList{two_digits(screen + 1), two_digits(net + 1), two_digits(card + 1),
                       two_digits(cards)}
        .join('/');
}

void rcv_recovery_result_found(const QString& entry) {
    onGuiThread([entry] {
        if (RcvRecoveryResult* result = g_rcv_recovery_result) {
            result->result_list = QStringList{entry};
            result->result_count = 1;
        }
        refresh(kRedraw);
    });
}

void rcv_recovery_result_cleared() {
    onGuiThread([] {
        RcvRecoveryResult* result = g_rcv_recovery_result;
        if (!result || result->result_count == 0)
            return;
        result->result_list.clear();
        result->result_count = 0;
        refresh(kRecoveryOver);
    });
}
