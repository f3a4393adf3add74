#include "module/worker_gate.h"

void WorkerGate::Begin()
{
    std::lock_guard lock(mutex_);
    safe_ = false;
}

void WorkerGate::WaitWhileHeld(std::unique_lock<std::mutex>& lock)
{
    safe_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !held_ || abandoned_; });
    if (abandoned_)
        throw WorkerAbandoned{};
    safe_ = false;
}

void WorkerGate::Checkpoint()
{
    std::unique_lock lock(mutex_);
    if (held_ || abandoned_)
        WaitWhileHeld(lock);
}

void WorkerGate::Pause()
{
    std::lock_guard lock(mutex_);
    safe_ = true;
    changed_.notify_all();
}

void WorkerGate::Unpause()
{
    std::unique_lock lock(mutex_);
    WaitWhileHeld(lock);
}

void WorkerGate::End()
{
    std::lock_guard lock(mutex_);
    safe_ = true;
    changed_.notify_all();
}

void WorkerGate::Hold()
{
    std::lock_guard lock(mutex_);
    held_ = true;
}

void WorkerGate::Resume()
{
    std::lock_guard lock(mutex_);
    held_ = false;
    changed_.notify_all();
}

void WorkerGate::WaitUntilSafe()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return safe_; });
}

bool WorkerGate::WaitUntilSafeFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return safe_; });
}

bool WorkerGate::WorkerSafe()
{
    std::lock_guard lock(mutex_);
    return safe_;
}

void WorkerGate::Abandon()
{
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    held_ = false;
    changed_.notify_all();
}
