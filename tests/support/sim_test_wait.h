#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace test {

template <class Pred>
bool waitFor(Pred pred, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs)
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace test
