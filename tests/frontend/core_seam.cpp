#include "core_seam.h"

#include <QString>

namespace {

CoreSeam* active = nullptr;

QString text(const char16_t* units)
{
    return units ? QString::fromUtf16(units) : QStringLiteral("null");
}

} // namespace

// The table's entries: plain functions, as the library's interface wants.
struct SeamCalls {
    static void name(const char16_t* path)
    {
        ++active->entered_;
        active->name_(path);
        ++active->returned_;
    }
    static void range(const std::uint64_t* steps)
    {
        ++active->entered_;
        active->range_(steps);
        ++active->returned_;
    }
    static void step()
    {
        ++active->entered_;
        active->step_();
        ++active->returned_;
        active->holdIfStep();
    }
    static std::int32_t skip(const char16_t* path)
    {
        ++active->entered_;
        const std::int32_t answer = active->skip_(path);
        ++active->returned_;
        return answer;
    }

    static void keep(NameCallback name, RangeCallback range, StepCallback step, SkipCallback skip)
    {
        active->name_ = name;
        active->range_ = range;
        active->step_ = step;
        active->skip_ = skip;
    }

    template <typename Call>
    static CoreResult entry(const QString& what, Call call)
    {
        active->waitIfHeld();
        const int index = active->recordIndex(what);
        const CoreResult result = call();
        active->amend(index, QStringLiteral(" -> %1").arg(result));
        return result;
    }

    static CoreResult sdaInit(SdaContext** context, const char16_t* archive, const char16_t* passphrase,
                              const char16_t* keyfile, std::uint32_t cipher, const char16_t* help,
                              NameCallback name, RangeCallback range, StepCallback step, SkipCallback skip)
    {
        const QString pass = passphrase ? QString::number(QString::fromUtf16(passphrase).size())
                                        : QStringLiteral("null");
        const QString helpLength = help ? QString::number(QString::fromUtf16(help).size())
                                        : QStringLiteral("null");
        active->record(QStringLiteral("SDAInit(pass=%1 key=%2 help=%3 cipher=%4)")
                           .arg(pass, text(keyfile), helpLength)
                           .arg(cipher));
        keep(name, range, step, skip);
        return IQ_SDAInit(context, archive, passphrase, keyfile, cipher, help, &SeamCalls::name,
                          &SeamCalls::range, &SeamCalls::step, &SeamCalls::skip);
    }
    static CoreResult sdaAddFile(SdaContext* context, const char16_t* path, std::int32_t level)
    {
        return entry(QStringLiteral("SDAAddFile(%1 %2)").arg(text(path)).arg(level),
                     [&] { return IQ_SDAAddFile(context, path, level); });
    }
    static CoreResult sdaAddDir(SdaContext* context, const char16_t* path, std::int32_t level)
    {
        return entry(QStringLiteral("SDAAddDir(%1 %2)").arg(text(path)).arg(level),
                     [&] { return IQ_SDAAddDir(context, path, level); });
    }
    static void sdaFinal(SdaContext* context)
    {
        active->record(QStringLiteral("SDAFinal"));
        IQ_SDAFinal(context);
    }
    static CoreResult wipeInit(WipeContext** context, std::uint32_t passes, std::uint32_t method,
                               NameCallback name, RangeCallback range, StepCallback step, SkipCallback skip)
    {
        active->record(QStringLiteral("WipeInit(%1 %2)").arg(passes).arg(method));
        if (active->wipeInitResult) {
            *context = nullptr;
            return active->wipeInitResult();
        }
        keep(name, range, step, skip);
        return IQ_WipeInit(context, passes, method, &SeamCalls::name, &SeamCalls::range,
                           &SeamCalls::step, &SeamCalls::skip);
    }
    static CoreResult wipeFile(WipeContext* context, const char16_t* path)
    {
        return entry(QStringLiteral("WipeFile(%1)").arg(text(path)),
                     [&] { return IQ_WipeFile(context, path); });
    }
    static CoreResult wipeDir(WipeContext* context, const char16_t* path)
    {
        return entry(QStringLiteral("WipeDir(%1)").arg(text(path)),
                     [&] { return IQ_WipeDir(context, path); });
    }
    static void wipeFinal(WipeContext* context)
    {
        active->record(QStringLiteral("WipeFinal"));
        IQ_WipeFinal(context);
    }
    static CoreResult rmFile(const char16_t* path, NameCallback name, SkipCallback skip)
    {
        keep(name, nullptr, nullptr, skip);
        return entry(QStringLiteral("RmFile(%1)").arg(text(path)),
                     [&] { return IQ_RmFile(path, &SeamCalls::name, &SeamCalls::skip); });
    }
    static CoreResult rmDir(const char16_t* path, NameCallback name, SkipCallback skip)
    {
        keep(name, nullptr, nullptr, skip);
        return entry(QStringLiteral("RmDir(%1)").arg(text(path)),
                     [&] { return IQ_RmDir(path, &SeamCalls::name, &SeamCalls::skip); });
    }
    static CoreResult rndGetBytes(void* buffer, std::uint32_t length)
    {
        std::uint32_t number = 0;
        {
            std::lock_guard lock(active->mutex_);
            active->randomRequests_.push_back(length);
            number = static_cast<std::uint32_t>(active->randomRequests_.size());
        }
        if (active->randomFailure) {
            const CoreResult failure = active->randomFailure(number);
            if (failure != IQ_OK)
                return failure;
        }
        return IQ_RndGetBytes(buffer, length);
    }
};

CoreSeam::CoreSeam()
{
    active = this;
}

CoreSeam::~CoreSeam()
{
    {
        std::lock_guard lock(mutex_);
        holdRequested_ = false;
    }
    release();
    active = nullptr;
}

FormServices CoreSeam::services() const
{
    FormServices services;
    services.core = CoreApi{&SeamCalls::sdaInit, &SeamCalls::sdaAddFile, &SeamCalls::sdaAddDir,
                            &SeamCalls::sdaFinal, &SeamCalls::wipeInit, &SeamCalls::wipeFile,
                            &SeamCalls::wipeDir, &SeamCalls::wipeFinal, &SeamCalls::rmFile,
                            &SeamCalls::rmDir, &SeamCalls::rndGetBytes};
    services.moduleDir = qEnvironmentVariable("IVQA_BIN_DIR");
    return services;
}

void CoreSeam::record(const QString& call)
{
    recordIndex(call);
}

int CoreSeam::recordIndex(const QString& call)
{
    std::lock_guard lock(mutex_);
    calls_.append(call);
    return static_cast<int>(calls_.size()) - 1;
}

void CoreSeam::amend(int index, const QString& suffix)
{
    std::lock_guard lock(mutex_);
    calls_[index] += suffix;
}

QStringList CoreSeam::calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

int CoreSeam::count(const QString& prefix) const
{
    std::lock_guard lock(mutex_);
    int found = 0;
    for (const QString& call : calls_)
        found += call.startsWith(prefix) ? 1 : 0;
    return found;
}

std::vector<std::uint32_t> CoreSeam::randomRequests() const
{
    std::lock_guard lock(mutex_);
    return randomRequests_;
}

void CoreSeam::holdNextEntry()
{
    std::lock_guard lock(mutex_);
    holdRequested_ = true;
}

bool CoreSeam::holding() const
{
    std::lock_guard lock(mutex_);
    return holding_;
}

void CoreSeam::release()
{
    {
        std::lock_guard lock(mutex_);
        holding_ = false;
    }
    released_.notify_all();
}

void CoreSeam::holdAtStep(int step)
{
    std::lock_guard lock(mutex_);
    holdStep_ = step;
    steps_ = 0;
}

void CoreSeam::holdIfStep()
{
    std::unique_lock lock(mutex_);
    if (holdStep_ == 0 || ++steps_ != holdStep_)
        return;
    holdStep_ = 0;
    holding_ = true;
    released_.wait(lock, [this] { return !holding_; });
}

void CoreSeam::waitIfHeld()
{
    std::unique_lock lock(mutex_);
    if (!holdRequested_)
        return;
    holdRequested_ = false;
    holding_ = true;
    released_.wait(lock, [this] { return !holding_; });
}
