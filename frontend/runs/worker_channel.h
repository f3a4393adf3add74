#pragma once

#include <functional>
#include <memory>

class QObject;

// Thrown on the worker thread once the user has confirmed an abort. Thrown
// inside a library callback, it unwinds the library's frames and the export
// returns IQ_ABORTED.
struct RunAborted {};

// The meeting point of one worker thread and the GUI thread for one run.
//
// The worker hands every change of the window to call(), which applies it
// on the GUI thread and returns only once it has been applied. While a Break
// question is open (pause()), a change that arrives is held, so the worker
// stays blocked inside its callback until the question is answered: resume()
// applies it and lets the worker go on; abort() drops it and makes this and
// every later call() throw RunAborted.
class WorkerChannel {
public:
    explicit WorkerChannel(QObject* gui);
    ~WorkerChannel();
    WorkerChannel(const WorkerChannel&) = delete;
    WorkerChannel& operator=(const WorkerChannel&) = delete;

    // Worker side.
    // Blocks until start(); the thread is created before its window shows.
    void waitForStart();
    void call(std::function<void()> change);
    // The worker's last look at the channel after its library calls: held
    // and aborted like call(). From then on pause() refuses, since the run
    // can no longer be stopped.
    void close();
    // Runs `last` on the GUI thread, never held: the end of the run, once
    // close() has passed or the run was aborted.
    void post(std::function<void()> last);

    // GUI side.
    void start();
    // False when the run is past close() or already aborted: nothing to ask.
    bool pause();
    void resume();
    void abort();
    bool aborted() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    QObject* gui_;
};
