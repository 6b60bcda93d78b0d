#include "remote/file_notice.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {

std::function<void(FileNotice)>& listener() {
    static std::function<void(FileNotice)> f;
    return f;
}

}  // namespace

void post_file_notice(FileNotice notice) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app, [notice] { deliver_file_notice(notice); }, Qt::QueuedConnection);
}

void deliver_file_notice(FileNotice notice) {
    if (listener())
        listener()(notice);
}

void set_file_notice_listener(std::function<void(FileNotice)> f) {
    listener() = std::move(f);
}
