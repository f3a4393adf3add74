#include "cli/library_callbacks.h"

#include "cli/interrupt_guard.h"
#include "platform/utf.h"

namespace {

LibraryObserver* g_observer = nullptr;

std::u16string_view View(const char16_t* text)
{
    return {text != nullptr ? text : u"", Utf16Length(text)};
}

void OnName(const char16_t* name)
{
    ThrowIfInterrupted();
    if (g_observer != nullptr)
        g_observer->OnName(View(name));
}

void OnRange(const std::uint64_t* steps)
{
    ThrowIfInterrupted();
    if (g_observer != nullptr && steps != nullptr)
        g_observer->OnRange(*steps);
}

void OnStep()
{
    ThrowIfInterrupted();
    if (g_observer != nullptr)
        g_observer->OnStep();
}

std::int32_t OnSkip(const char16_t* name)
{
    ThrowIfInterrupted();
    const bool skip = g_observer != nullptr && g_observer->OnSkip(View(name));
    // The question may have been answered with an interrupt.
    ThrowIfInterrupted();
    return skip ? -1 : 0;
}

} // namespace

CallbackScope::CallbackScope(LibraryObserver& observer)
{
    g_observer = &observer;
}

CallbackScope::~CallbackScope()
{
    g_observer = nullptr;
}

LibraryCallbacks CallbackScope::Callbacks()
{
    return {&OnName, &OnRange, &OnStep, &OnSkip};
}
