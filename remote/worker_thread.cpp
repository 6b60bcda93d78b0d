#include "remote/worker_thread.h"

#include "core/wakeup.h"

WorkerThread::~WorkerThread() {
    stop();
}

bool WorkerThread::start(const char* name, std::function<void()> turn) {
    if (started_)
        return true;
    name_ = name;
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
    name_this_thread(w->name_);
    while (!w->stopping_)
        w->turn_();
    return nullptr;
}
