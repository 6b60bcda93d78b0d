// The refresh relay of the panel (SyncUpdate::p_SyncUpdate). Every applied parameter
// change and every USB-stick event reaches para_sync on the user-interface thread, which
// refreshes the screen in front, shows the notices some pages ask for, serves the
// user-mode save requests, stores a changed parameter image, and keeps the key board's
// LEDs in step.
#pragma once

#include <QObject>
#include <functional>

#include "ui/check_hiddev.h"

class QWidget;

class SyncUpdate : public QObject {
    Q_OBJECT
public:
    static SyncUpdate* p_SyncUpdate;
    static SyncUpdate* pInstance();

    // Sends the key-LED report when it differs from the last one sent; nothing without
    // the key board.
    void update_usb_keyLed();
    KeyLedReport keyLedReport() const;

    // Where the key-LED reports go: the key board, unless a test puts itself there.
    using KeyLedWriter = std::function<bool(const KeyLedReport&)>;
    static void setKeyLedWriter(KeyLedWriter writer);

    // The screen named by g_page_focus; null when that page has no screen open.
    static QWidget* screenInFront();

public slots:
    void para_sync(int reason);

private:
    SyncUpdate();

    void resetCurrentWindow();
    void refreshScreenInFront(int reason);
    void showNotice(int reason);
    void serveModeSave();
    void checkModeFiles();
    void saveImage();

    KeyLedReport lastReport_{};
    bool reportSent_ = false;
    bool remoteUpgrade_ = false;
    bool savePending_ = false;
};
