#pragma once
// Drives the archive writer through its exports the way the front end
// does: a module stand-in copied first, the four callbacks recorded, and
// IQ_SDAFinal exactly once.

#include "archive_reader.h"
#include "ivqa.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the callbacks saw, as "name:<text>", "range:<B>", "step",
// "skip:<text>". The callbacks have no user data, so one log is current.
struct CallbackLog {
    CallbackLog();
    ~CallbackLog();
    CallbackLog(const CallbackLog&) = delete;
    CallbackLog& operator=(const CallbackLog&) = delete;

    std::vector<std::string> events;
    std::int32_t skipAnswer = 1;
    // Called after each event is logged; a test aborts the run by throwing.
    std::function<void(const std::string& event)> onEvent;

    std::size_t Count(const std::string& prefix) const;
};

struct Callbacks {
    NameCallback name;
    RangeCallback range;
    StepCallback step;
    SkipCallback skip;
};
// The recording callbacks of the current CallbackLog.
Callbacks RecordingCallbacks();

inline constexpr std::size_t ModuleStubLength = 1000;

class WriterSession {
public:
    explicit WriterSession(std::string archivePath);
    WriterSession(const WriterSession&) = delete;
    WriterSession& operator=(const WriterSession&) = delete;
    ~WriterSession() { Final(); }

    CoreResult Init(std::uint32_t cipherId, const char16_t* passphrase = u"pass",
                    const char16_t* help = nullptr, const char16_t* keyfile = nullptr);
    CoreResult AddFile(const std::string& path, std::int32_t level = 6);
    CoreResult AddDir(const std::string& path, std::int32_t level = 6);
    void Final();

    SdaContext* Context() const { return context_; }
    const std::string& ArchivePath() const { return archivePath_; }
    // The bytes behind the module stand-in.
    std::vector<std::uint8_t> Payload() const;
    ParsedArchive Read(const char16_t* passphrase = u"pass", const char16_t* keyfile = nullptr) const;

private:
    std::string archivePath_;
    SdaContext* context_ = nullptr;
    bool initialised_ = false;
};
