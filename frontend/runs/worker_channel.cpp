#include "frontend/runs/worker_channel.h"

#include <QMetaObject>
#include <QObject>

#include <condition_variable>
#include <mutex>

namespace {

struct Request {
    std::function<void()> change;
    bool done = false;
};

} // namespace

// Shared with the queued deliveries, which may still sit in the GUI's event
// queue when an aborted worker has already moved on.
struct WorkerChannel::State {
    mutable std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool paused = false;
    bool aborted = false;
    bool closed = false;
    std::shared_ptr<Request> held;

    // GUI thread.
    void apply(const std::shared_ptr<Request>& request)
    {
        request->change();
        {
            std::lock_guard lock(mutex);
            request->done = true;
        }
        changed.notify_all();
    }

    void deliver(const std::shared_ptr<Request>& request)
    {
        {
            std::lock_guard lock(mutex);
            // Once aborted, the worker no longer waits for this change, and
            // what it refers to may be gone.
            if (aborted)
                return;
            if (paused) {
                held = request;
                return;
            }
        }
        apply(request);
    }
};

WorkerChannel::WorkerChannel(QObject* gui) : state_(std::make_shared<State>()), gui_(gui) {}

WorkerChannel::~WorkerChannel() = default;

void WorkerChannel::waitForStart()
{
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [this] { return state_->started || state_->aborted; });
}

void WorkerChannel::call(std::function<void()> change)
{
    auto request = std::make_shared<Request>(Request{std::move(change)});
    {
        std::lock_guard lock(state_->mutex);
        if (state_->aborted)
            throw RunAborted{};
    }
    QMetaObject::invokeMethod(
        gui_, [state = state_, request] { state->deliver(request); }, Qt::QueuedConnection);
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return request->done || state_->aborted; });
    if (!request->done)
        throw RunAborted{};
}

void WorkerChannel::close()
{
    // Marked on the GUI thread, where pause() runs: no Break can slip in
    // between this checkpoint and the end of the run.
    call([state = state_] {
        std::lock_guard lock(state->mutex);
        state->closed = true;
    });
}

void WorkerChannel::post(std::function<void()> last)
{
    QMetaObject::invokeMethod(gui_, std::move(last), Qt::QueuedConnection);
}

void WorkerChannel::start()
{
    {
        std::lock_guard lock(state_->mutex);
        state_->started = true;
    }
    state_->changed.notify_all();
}

bool WorkerChannel::pause()
{
    std::lock_guard lock(state_->mutex);
    if (state_->closed || state_->aborted)
        return false;
    state_->paused = true;
    return true;
}

void WorkerChannel::resume()
{
    std::shared_ptr<Request> held;
    {
        std::lock_guard lock(state_->mutex);
        state_->paused = false;
        held = std::move(state_->held);
    }
    if (held)
        state_->apply(held);
}

void WorkerChannel::abort()
{
    {
        std::lock_guard lock(state_->mutex);
        state_->aborted = true;
        state_->paused = false;
        state_->held.reset();
    }
    state_->changed.notify_all();
}

bool WorkerChannel::aborted() const
{
    std::lock_guard lock(state_->mutex);
    return state_->aborted;
}
