// The areas the receiving-card screens rebuild (file rows, port tiles, result rows) hold
// the buttons whose clicks ask for the rebuild, so the old area cannot be deleted at once:
// it leaves the screen at once and is deleted once control is back in the event loop.
#pragma once

#include <QWidget>

inline void retireWidget(QWidget* old) {
    if (!old)
        return;
    old->hide();
    old->setParent(nullptr);
    old->deleteLater();
}
