#pragma once
// A lock that needs no constructor at run time on any platform (the Windows
// std::mutex has one), so that tables guarded by it can be used from other
// static initialisers.

#include <atomic>

class SpinLock {
public:
    void lock()
    {
        while (held_.test_and_set(std::memory_order_acquire))
            held_.wait(true, std::memory_order_relaxed);
    }
    void unlock()
    {
        held_.clear(std::memory_order_release);
        held_.notify_one();
    }

private:
    std::atomic_flag held_;
};
