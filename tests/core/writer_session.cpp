#include "writer_session.h"

#include "test_support.h"

#include <stdexcept>

namespace {

CallbackLog* g_log = nullptr;

void Record(std::string event)
{
    if (g_log == nullptr)
        return;
    g_log->events.push_back(event);
    if (g_log->onEvent)
        g_log->onEvent(event);
}

void OnName(const char16_t* name)
{
    Record("name:" + U8(name));
}

void OnRange(const std::uint64_t* steps)
{
    Record("range:" + std::to_string(*steps));
}

void OnStep()
{
    Record("step");
}

std::int32_t OnSkip(const char16_t* name)
{
    Record("skip:" + U8(name));
    return g_log != nullptr ? g_log->skipAnswer : 0;
}

} // namespace

CallbackLog::CallbackLog()
{
    g_log = this;
}

CallbackLog::~CallbackLog()
{
    g_log = nullptr;
}

std::size_t CallbackLog::Count(const std::string& prefix) const
{
    std::size_t count = 0;
    for (const std::string& event : events)
        if (event.compare(0, prefix.size(), prefix) == 0)
            ++count;
    return count;
}

Callbacks RecordingCallbacks()
{
    return {&OnName, &OnRange, &OnStep, &OnSkip};
}

WriterSession::WriterSession(std::string archivePath) : archivePath_(std::move(archivePath))
{
    WriteFile(archivePath_, std::vector<std::uint8_t>(ModuleStubLength, 0x4D));
}

CoreResult WriterSession::Init(std::uint32_t cipherId, const char16_t* passphrase, const char16_t* help,
                               const char16_t* keyfile)
{
    const Callbacks callbacks = RecordingCallbacks();
    const std::u16string path = U16(archivePath_);
    initialised_ = true;
    return IQ_SDAInit(&context_, path.c_str(), passphrase, keyfile, cipherId, help, callbacks.name,
                      callbacks.range, callbacks.step, callbacks.skip);
}

CoreResult WriterSession::AddFile(const std::string& path, std::int32_t level)
{
    return IQ_SDAAddFile(context_, U16(path).c_str(), level);
}

CoreResult WriterSession::AddDir(const std::string& path, std::int32_t level)
{
    return IQ_SDAAddDir(context_, U16(path).c_str(), level);
}

void WriterSession::Final()
{
    if (initialised_)
        IQ_SDAFinal(context_);
    initialised_ = false;
    context_ = nullptr;
}

std::vector<std::uint8_t> WriterSession::Payload() const
{
    std::vector<std::uint8_t> bytes = ReadFile(archivePath_);
    if (bytes.size() < ModuleStubLength)
        throw std::runtime_error("archive shorter than the module");
    bytes.erase(bytes.begin(), bytes.begin() + ModuleStubLength);
    return bytes;
}

ParsedArchive WriterSession::Read(const char16_t* passphrase, const char16_t* keyfile) const
{
    return ReadArchive(Payload(), passphrase, keyfile);
}
