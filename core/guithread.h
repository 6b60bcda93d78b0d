// Work that a worker thread asks of a screen runs on the user-interface thread: at once
// when the caller is already there, queued otherwise. The work finds its screen through
// the screen's global pointer and tests it there, since the screen may have closed
// before the work runs.
#pragma once

#include <QCoreApplication>
#include <QThread>

template <class Work>
void onGuiThread(Work work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (QThread::currentThread() == app->thread())
        work();
    else
        QMetaObject::invokeMethod(app, work, Qt::QueuedConnection);
}
