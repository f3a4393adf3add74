#pragma once
// The wipe and delete exports called as the front end's worker calls them,
// for the suites that drive the library through its interface.

#include "ivqa.h"
#include "wipe_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

inline constexpr std::uint32_t Fast = 0;
inline constexpr std::uint32_t Dod = 1;
inline constexpr std::uint32_t Gutmann = 2;

// A wipe context for one test, finalised exactly once.
class WipeSession {
public:
    WipeSession(std::uint32_t repetitions, std::uint32_t method)
        : init(IQ_WipeInit(&context, repetitions, method, RecordName, RecordRange, RecordStep, RecordSkip))
    {
    }
    WipeSession(const WipeSession&) = delete;
    WipeSession& operator=(const WipeSession&) = delete;
    ~WipeSession() { Finish(); }

    void Finish()
    {
        IQ_WipeFinal(context);
        context = nullptr;
    }

    WipeContext* context = nullptr;
    CoreResult init;
};

enum class Operation { WipeFile, WipeDir, RmFile, RmDir };

inline const char* OperationName(Operation operation)
{
    switch (operation) {
    case Operation::WipeFile:
        return "IQ_WipeFile";
    case Operation::WipeDir:
        return "IQ_WipeDir";
    case Operation::RmFile:
        return "IQ_RmFile";
    case Operation::RmDir:
        return "IQ_RmDir";
    }
    return "?";
}

// One call; the wipes use `method` once.
inline CoreResult RunOperation(Operation operation, const std::string& path, std::uint32_t method = Fast)
{
    const std::u16string wide = U16(path);
    if (operation == Operation::RmFile)
        return IQ_RmFile(wide.c_str(), RecordName, RecordSkip);
    if (operation == Operation::RmDir)
        return IQ_RmDir(wide.c_str(), RecordName, RecordSkip);
    WipeSession session(1, method);
    EXPECT_EQ(session.init, IQ_OK);
    return operation == Operation::WipeFile ? IQ_WipeFile(session.context, wide.c_str())
                                            : IQ_WipeDir(session.context, wide.c_str());
}
