// What the FPGA side has to tell the floors above it: the panel (the upgrade's dialog, the
// recovery result) and the PC links (a card's answer). Each floor installs its hooks at
// start-up, before any worker thread runs, and never changes them afterwards; a hook that
// was not installed does nothing. A hook that reaches a screen queues to the GUI thread.
#pragma once

#include <functional>

#include "core/types.h"

struct FpgaHooks {
    // The USB upgrade pass begins and ends: the panel shows and closes its update dialog.
    std::function<void()> upgrade_started;
    std::function<void()> upgrade_over;
    // A recovery query found the card to recover: screen, net and card 0-based, and the
    // net's card count as the package gives it.
    std::function<void(unsigned screen, unsigned net, unsigned card, unsigned cards)>
        recovery_found;
    // A recovery run left nothing to recover.
    std::function<void()> recovery_cleared;
    // A card's answer (unescaped, check byte last) to the pending pass-through request of
    // transport (1 serial, 2 TCP, 3 UDP): true when it was queued for the PC that asked.
    // Called with the FPGA manager's passby_mutex held.
    std::function<bool(u8 transport, const u8* frame, unsigned length)> card_answer;
};

FpgaHooks& fpga_hooks();
