#include "screens/maintenance/usbserver.h"

#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QStringList>
#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "core/global.h"
#include "core/logMsg.h"
#include "core/utils.h"
#include "core/wakeup.h"
#include "ui/option.h"
#include "ui/pages.h"
#include "ui/syncupdate.h"

UsbServer* UsbServer::p_UsbServer = nullptr;

namespace {

constexpr int kWaitMicroseconds = 10000;
// With no stick being readied the thread only waits for the socket: a message ends the
// wait at once.
constexpr int kIdleWaitMicroseconds = 500000;

// "sda" followed by one decimal digit: the first partition names of the first disk.
bool firstDiskPartition(const QString& name) {
    if (name.size() < 4 || !name.startsWith("sda"))
        return false;
    // A rest that is no number counts as 0.
    bool number = false;
    const int value = name.mid(3).toInt(&number);
    const int rest = number ? value : 0;
    return rest >= 0 && rest <= 9;
}

}  // namespace

UsbServer::UsbServer() {
    setObjectName("UsbServer");
}

UsbServer* UsbServer::pInstance() {
    if (!p_UsbServer) {
        p_UsbServer = new UsbServer();
        p_UsbServer->initialize();
    }
    return p_UsbServer;
}

int UsbServer::openSocket() {
    if (debugOn())
        std::printf("=========UsbServer::initialize()=========== ");
    socket_ = board::ueventSocket();
    if (debugOn())
        std::printf("\n usb server getpid = %d \n", static_cast<int>(getpid()));
    if (socket_ < 0) {
        if (debugOn())
            std::printf(" UsbServer  bind error:%m\n");
        writeLogMsg(LOG_MSG_ERROR, "UsbServer bind error:%m");
        return 255;
    }
    // Room for the burst of messages one stick produces while the thread is elsewhere.
    const int size = 64 * 1024;
    setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    return 0;
}

int UsbServer::initialize() {
    if (openSocket() != 0)
        return 255;
    // Connected before the thread starts, so that no event is reported to nobody.
    connect(this, &UsbServer::sig_usb_update, SyncUpdate::pInstance(), &SyncUpdate::para_sync,
            Qt::UniqueConnection);
    if (pthread_create(&thread_, nullptr, acceptThread, this) != 0) {
        if (debugOn())
            std::printf("UsbServer create accept thread failed");
        writeLogMsg(LOG_MSG_ERROR, "UsbServer create accept thread failed");
        return 255;
    }
    started_ = true;
    return 0;
}

void UsbServer::stop() {
    if (!started_)
        return;
    stopping_ = true;
    pthread_join(thread_, nullptr);
    started_ = false;
}

void* UsbServer::acceptThread(void* arg) {
    name_this_thread("usb-watch");
    auto* server = static_cast<UsbServer*>(arg);
    while (!server->stopping_) {
        if (server->recvData() != 0)
            board::usleep(kWaitMicroseconds);
    }
    return nullptr;
}

int UsbServer::recvData() {
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(socket_, &readSet);
    timeval wait{0, readyPending() ? kWaitMicroseconds : kIdleWaitMicroseconds};
    const int ready = select(socket_ + 1, &readSet, nullptr, nullptr, &wait);
    if (ready < 0) {
        if (debugOn())
            std::printf("UsbServer select error:%m\n");
        return 255;
    }
    if (ready > 0 && FD_ISSET(socket_, &readSet)) {
        char buffer[kBufferSize];
        const ssize_t length = recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (length > 0)
            decode(buffer, static_cast<size_t>(length));
    }
    readyStep();
    return 0;
}

void UsbServer::decode(const char* message, size_t length) {
    const size_t header = strnlen(message, length);
    const QStringList tokens = QString::fromLatin1(message, static_cast<int>(header)).split('/');
    bool added = false;
    for (int i = 0; i < tokens.size(); ++i) {
        const QString& token = tokens[i];
        if (token == "add@") {
            added = true;
            usb_signal(100);
        } else if (token == "remove@") {
            ready_ = Ready::Idle;
            usb_signal(101);
        } else if (token == "block" && i + 2 < tokens.size() && tokens[i + 1] == "sda" &&
                   firstDiskPartition(tokens[i + 2]) && added) {
            startReadyWait();
        }
    }
}

void UsbServer::startReadyWait() {
    ready_ = Ready::WaitingForStorage;
    readyStamp_ = G_timeTicks;
}

void UsbServer::readyStep() {
    if (ready_ == Ready::WaitingForStorage) {
        if (access(board::path("/proc/scsi/usb-storage").c_str(), F_OK) == 0) {
            if (debugOn())
                std::printf("\n usb have mound ok ");
            ready_ = Ready::Settling;
            readyStamp_ = G_timeTicks;
        } else if (Utils::getTimeSpace(readyStamp_) >= kStorageWaitTicks) {
            ready_ = Ready::Idle;
        }
        return;
    }
    if (ready_ == Ready::Settling && Utils::getTimeSpace(readyStamp_) >= kSettleTicks)
        becameReady();
}

void UsbServer::becameReady() {
    ready_ = Ready::Idle;
    usb_signal(102);
    // Queued after the refresh for 102, and decided on the user-interface thread.
    QMetaObject::invokeMethod(
        this,
        [] {
            if (g_page_focus == page::option && g_option)
                g_option->slot_Button_back_clicked();
        },
        Qt::QueuedConnection);
}

int UsbServer::usb_signal(int reason) {
    emit sig_usb_update(reason);
    return 1;
}
