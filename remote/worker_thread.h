// A worker pthread that runs one turn of a transport again and again until it is stopped.
// The program never stops its transports; tests do, between cases.
#pragma once

#include <pthread.h>

#include <atomic>
#include <functional>

class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the thread under a name that says what it serves (top -H and a debugger show
    // it); false when it cannot be created. Each turn must return within a bounded time (a
    // receive with a time-out) so that stop() can end the thread.
    bool start(const char* name, std::function<void()> turn);
    // Asks the thread to end after its current turn and waits for it.
    void stop();
    bool started() const { return started_; }

private:
    static void* run(void* self);

    pthread_t thread_{};
    bool started_ = false;
    std::atomic<bool> stopping_{false};
    std::function<void()> turn_;
    const char* name_ = "";
};
