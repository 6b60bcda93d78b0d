// The result of the last receiving-card recovery query, as the recovery screen keeps and
// shows it: a list of entries "screen/net/card/cards" (two digits at least each, 1-based
// numbers) and the number of entries to show. The recovery screen owns one and points
// g_rcv_recovery_result at it while it is open.
//
// The FPGA thread never touches the holder: it hands each change to the GUI thread, where
// the holder is looked up through g_rcv_recovery_result and changed, and the screens are
// then told to redraw (KrxRamPara::test_signal), in that order.
#pragma once

#include <QString>
#include <QStringList>

#include "core/types.h"

struct RcvRecoveryResult {
    QStringList result_list;
    u8 result_count = 0;
};

// Null while no recovery screen is open. GUI thread only.
extern RcvRecoveryResult* g_rcv_recovery_result;

// The entry of a card that needs recovery: screen, net and card 0-based, the net's card
// count as the package gives it.
QString rcv_recovery_entry(unsigned screen, unsigned net, unsigned card, unsigned cards);

// From any thread. A query found a card: the list becomes that one entry, then the
// screens redraw (reason 1).
void rcv_recovery_result_found(const QString& entry);
// A recovery run found nothing (left) to recover: a list that holds an entry is emptied
// and the screens refresh the result (reason 99).
void rcv_recovery_result_cleared();
