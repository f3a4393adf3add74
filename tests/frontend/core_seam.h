#pragma once

#include "frontend/app/core_api.h"
#include "frontend/app/form_set.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

// A layer in front of the real libivqa, reached through the forms' table of
// exports: it records every call the forms make, in order, forwards it to
// the library, and lets a test hold the worker before an entry call or make
// a call fail. The library's callbacks pass through it as well, so a test
// can see whether one is running. One seam is in force at a time.
class CoreSeam {
public:
    CoreSeam();
    ~CoreSeam();
    CoreSeam(const CoreSeam&) = delete;
    CoreSeam& operator=(const CoreSeam&) = delete;

    // The services to start the forms with: this seam, the modules beside
    // the programs.
    FormServices services() const;

    // "SDAInit(pass=3 key=file:///k help=156 cipher=0)", "SDAAddFile(/a/b 0)",
    // "SDAAddDir(/a 9)", "SDAFinal", "WipeInit(1 0)", "WipeFile(/a/b)",
    // "WipeDir(/a)", "WipeFinal", "RmFile(/a/b)", "RmDir(/a)"; entry calls
    // are followed by " -> code" once they return.
    QStringList calls() const;
    int count(const QString& prefix) const;
    // The byte counts of the IQ_RndGetBytes requests.
    std::vector<std::uint32_t> randomRequests() const;

    // Holds the worker before the next entry call (SDAAddFile, SDAAddDir,
    // WipeFile, WipeDir, RmFile, RmDir) until release().
    void holdNextEntry();
    bool holding() const;
    void release();
    // Holds the worker in its `step`-th step callback (counted from 1),
    // after the window has shown it, until release().
    void holdAtStep(int step);

    // Library callbacks that have begun and that have returned.
    int callbacksEntered() const { return entered_; }
    int callbacksReturned() const { return returned_; }

    // A test's own stand-ins; unset ones forward to the library.
    std::function<CoreResult(std::uint32_t requestNumber)> randomFailure;  // non-zero fails
    std::function<CoreResult()> wipeInitResult;                            // replaces IQ_WipeInit

private:
    friend struct SeamCalls;
    void record(const QString& call);
    void amend(int index, const QString& suffix);
    int recordIndex(const QString& call);
    void waitIfHeld();
    void holdIfStep();

    mutable std::mutex mutex_;
    std::condition_variable released_;
    QStringList calls_;
    std::vector<std::uint32_t> randomRequests_;
    bool holdRequested_ = false;
    bool holding_ = false;
    int holdStep_ = 0;
    int steps_ = 0;
    std::atomic<int> entered_{0};
    std::atomic<int> returned_{0};
    NameCallback name_ = nullptr;
    RangeCallback range_ = nullptr;
    StepCallback step_ = nullptr;
    SkipCallback skip_ = nullptr;
};
