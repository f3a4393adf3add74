#pragma once

#include <pthread.h>

#include <cstddef>
#include <functional>

// One worker thread with a chosen stack size, joined before its owner goes.
// Threads are made through pthreads because std::thread cannot set the
// stack size, and a failed creation must become a message, not an exception.
class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // False when the thread cannot be created; `body` then never runs.
    // A stack size of 0 takes the system's default.
    bool start(std::function<void()> body, std::size_t stackSize = 0);
    void join();

private:
    static void* trampoline(void* self);

    std::function<void()> body_;
    pthread_t thread_{};
    bool running_ = false;
};
