// The USB-stick watcher (UsbServer::p_UsbServer): listens to the kernel's uevents in a
// thread of its own and reports a stick being added (100), removed (101) and, once the
// system has had time to mount it at "/mnt/usb1/", ready to be read (102), through
// sig_usb_update. When a stick becomes ready while the Setting menu is in front, that
// menu closes.
//
// The ready wait runs between the receives, so events that arrive meanwhile are still
// decoded; it gives up when "/proc/scsi/usb-storage" does not appear in time, and a
// removal cancels it.
#pragma once

#include <pthread.h>

#include <QObject>
#include <atomic>
#include <string>

#include "core/types.h"

class UsbServer : public QObject {
    Q_OBJECT
public:
    static constexpr u32 kSettleTicks = 301;
    static constexpr u32 kStorageWaitTicks = 1000;
    static constexpr size_t kBufferSize = 4096;

    static UsbServer* p_UsbServer;
    // Creates the watcher on the first call, ties its signal to the refresh relay and
    // starts its thread.
    static UsbServer* pInstance();

    UsbServer();

    // Opens the uevent socket, connects sig_usb_update to SyncUpdate::para_sync and
    // starts the thread. 0 on success, 255 on failure.
    int initialize();
    // Opens the uevent socket only. 0 on success, 255 on failure.
    int openSocket();
    static void* acceptThread(void* arg);
    // Ends the thread after its current pass and waits for it.
    void stop();
    // One pass: waits briefly for a message, decodes it, and moves the ready wait on.
    // 0 when nothing arrived or a message was handled, 255 when the wait failed.
    int recvData();
    int usb_signal(int reason);

    // Decodes one message of the given length (it need not end in a NUL).
    void decode(const char* message, size_t length);
    bool readyPending() const { return ready_ != Ready::Idle; }

signals:
    void sig_usb_update(int reason);

private:
    enum class Ready { Idle, WaitingForStorage, Settling };

    void startReadyWait();
    void readyStep();
    void becameReady();

    int socket_ = -1;
    pthread_t thread_{};
    bool started_ = false;
    std::atomic<bool> stopping_{false};
    Ready ready_ = Ready::Idle;
    u32 readyStamp_ = 0;
};
