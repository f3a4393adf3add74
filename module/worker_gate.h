#pragma once
// Lets the dialog thread hold the extraction worker while it asks whether
// to abort. The worker passes the gate at every checkpoint of the engine and
// around every callback that blocks; while the gate is held it waits there,
// and the dialog thread knows it touches nothing of the extraction state.

#include <chrono>
#include <condition_variable>
#include <mutex>

// Thrown into an abandoned worker so that it unwinds instead of resuming.
struct WorkerAbandoned {};

class WorkerGate {
public:
    // Worker side.
    void Begin();      // a run starts: the worker is busy
    void Checkpoint(); // waits while held; throws WorkerAbandoned
    void Pause();      // entering a callback that blocks: the worker is safe
    void Unpause();    // leaving it: waits while held; throws WorkerAbandoned
    void End();        // the run is over: safe until the next Begin

    // Dialog side.
    void Hold();
    void Resume();
    // Returns once the worker waits at the gate, blocks in a callback or has
    // ended its run.
    void WaitUntilSafe();
    // The same, for at most `timeout`; false when the worker is still busy
    // (inside a slow read, say).
    bool WaitUntilSafeFor(std::chrono::milliseconds timeout);
    bool WorkerSafe();
    // The worker never resumes: any wait at the gate throws.
    void Abandon();

private:
    void WaitWhileHeld(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool safe_ = true;
    bool abandoned_ = false;
};
