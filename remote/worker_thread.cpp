#include "remote/worker_thread.h"

WorkerThread::~WorkerThread() {
    stop();
}

bool WorkerThread::start(std::function<void()> turn) {
    if (started_)
        return true;
    turn_ = std::move(turn);
    stopping_ = false;
    started_ = pthread_create(&thread_, nullptr, &WorkerThread::run, this) == 0;
    return started_;
}

void WorkerThread::stop() {
    if (!started_)
        return;
    stopping_ = true;
    pthread_join(thread_, nullptr);
    started_ = false;
}

void* WorkerThread::run(void* self) {
    WorkerThread* w = static_cast<WorkerThread*>(self);
    while (!w->stopping_)
        w->turn_();
    return nullptr;
}
