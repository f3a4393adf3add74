#include "frontend/runs/worker_thread.h"

#include <utility>

WorkerThread::~WorkerThread()
{
    join();
}

void* WorkerThread::trampoline(void* self)
{
    auto* thread = static_cast<WorkerThread*>(self);
    // The bodies catch what they expect; anything else must not end the
    // process from a thread nobody can see.
    try {
        thread->body_();
    } catch (...) {
    }
    return nullptr;
}

bool WorkerThread::start(std::function<void()> body, std::size_t stackSize)
{
    join();
    body_ = std::move(body);
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    bool ok = stackSize == 0 || pthread_attr_setstacksize(&attributes, stackSize) == 0;
    ok = ok && pthread_create(&thread_, &attributes, &WorkerThread::trampoline, this) == 0;
    pthread_attr_destroy(&attributes);
    running_ = ok;
    if (!ok)
        body_ = nullptr;
    return ok;
}

void WorkerThread::join()
{
    if (!running_)
        return;
    pthread_join(thread_, nullptr);
    running_ = false;
    body_ = nullptr;
}
