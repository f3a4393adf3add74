#include "platform/entropy.h"

#include "platform/secure_memory.h"
#include "platform/win32_handle.h"

#include <cstring>
// windows.h first: the other headers build on its types.
#include <windows.h>
#include <bcrypt.h>
#include <lm.h>
#include <tlhelp32.h>

// Every item goes to the sink with the size the system gives it. The two
// statistics queries (and the system's own generator) may fail; a snapshot
// that cannot be taken, or whose first entry cannot be read, fails the poll.

namespace {

template <typename Value>
void SinkValue(EntropySink sink, void* context, const Value& value)
{
    sink(context, &value, sizeof value);
}

// The statistics record of one network service, when it answers.
void SinkServiceStatistics(const wchar_t* service, EntropySink sink, void* context, std::size_t length)
{
    LPBYTE record = nullptr;
    if (NetStatisticsGet(nullptr, const_cast<LPWSTR>(service), 0, 0, &record) == NERR_Success &&
        record != nullptr)
        sink(context, record, length);
    if (record != nullptr)
        NetApiBufferFree(record);
}

// Walks a snapshot: first(entry) must succeed, then next(entry) until it
// says no more.
template <typename Entry, typename First, typename Next, typename Visit>
bool WalkSnapshot(HANDLE snapshot, First first, Next next, Visit&& visit)
{
    Entry entry{};
    entry.dwSize = sizeof entry;
    if (first(snapshot, &entry) == 0)
        return false;
    do {
        visit(entry);
        entry.dwSize = sizeof entry;
    } while (next(snapshot, &entry) != 0);
    return true;
}

} // namespace

bool PollProcesses(EntropySink sink, void* context)
{
    SinkServiceStatistics(L"LanmanWorkstation", sink, context, sizeof(STAT_WORKSTATION_0));
    const Win32Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    return snapshot && WalkSnapshot<PROCESSENTRY32W>(snapshot.Get(), Process32FirstW, Process32NextW,
                                                     [&](const PROCESSENTRY32W& entry) { SinkValue(sink, context, entry); });
}

bool PollThreads(EntropySink sink, void* context)
{
    SinkServiceStatistics(L"LanmanServer", sink, context, sizeof(STAT_SERVER_0));
    const Win32Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    return snapshot && WalkSnapshot<THREADENTRY32>(snapshot.Get(), Thread32First, Thread32Next,
                                                   [&](const THREADENTRY32& entry) { SinkValue(sink, context, entry); });
}

namespace {

// The heaps of the library's own process as the heap-list snapshot gives
// them.
bool SinkHeapSnapshot(EntropySink sink, void* context)
{
    const Win32Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPHEAPLIST, GetCurrentProcessId()));
    if (!snapshot)
        return false;
    bool blocksRead = true;
    const bool listed = WalkSnapshot<HEAPLIST32>(snapshot.Get(), Heap32ListFirst, Heap32ListNext,
                                                 [&](const HEAPLIST32& heap) {
        SinkValue(sink, context, heap);
        HEAPENTRY32 block{};
        block.dwSize = sizeof block;
        if (Heap32First(&block, heap.th32ProcessID, heap.th32HeapID) == 0) {
            blocksRead = false;
            return;
        }
        do {
            SinkValue(sink, context, block);
            block.dwSize = sizeof block;
        } while (Heap32Next(&block) != 0);
    });
    return listed && blocksRead;
}

// The same heaps walked directly, for systems whose snapshot has no heap
// list (Wine): every entry of every heap of the process.
bool SinkHeapWalk(EntropySink sink, void* context)
{
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    std::size_t entries = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (HeapLock(heaps[i]) == 0)
            continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry) != 0) {
            SinkValue(sink, context, entry);
            ++entries;
        }
        HeapUnlock(heaps[i]);
    }
    return entries > 0;
}

} // namespace

bool PollOwnProcess(EntropySink sink, void* context)
{
    return SinkHeapSnapshot(sink, context) || SinkHeapWalk(sink, context);
}

bool PollTimesAndCounters(EntropySink sink, void* context)
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    SinkValue(sink, context, now);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    SinkValue(sink, context, startup);

    POINT points[2] = {};
    (void)GetCursorPos(&points[0]);
    (void)GetCaretPos(&points[1]);
    SinkValue(sink, context, points);

    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (GlobalMemoryStatusEx(&memory) != 0)
        SinkValue(sink, context, memory);

    const std::uint64_t values[] = {
        GetQueueStatus(QS_ALLEVENTS),
        static_cast<std::uint64_t>(GetMessageTime()),
        GetTickCount64(),
        reinterpret_cast<std::uintptr_t>(GetActiveWindow()),
        reinterpret_cast<std::uintptr_t>(GetCapture()),
        reinterpret_cast<std::uintptr_t>(GetClipboardOwner()),
        reinterpret_cast<std::uintptr_t>(GetClipboardViewer()),
        reinterpret_cast<std::uintptr_t>(GetCurrentProcess()),
        GetCurrentProcessId(),
        reinterpret_cast<std::uintptr_t>(GetCurrentThread()),
        GetCurrentThreadId(),
        reinterpret_cast<std::uintptr_t>(GetDesktopWindow()),
        reinterpret_cast<std::uintptr_t>(GetFocus()),
        static_cast<std::uint64_t>(GetInputState()),
        GetMessagePos(),
        reinterpret_cast<std::uintptr_t>(GetOpenClipboardWindow()),
        reinterpret_cast<std::uintptr_t>(GetProcessHeap()),
    };
    SinkValue(sink, context, values);

    FILETIME times[8] = {};
    (void)GetProcessTimes(GetCurrentProcess(), &times[0], &times[1], &times[2], &times[3]);
    (void)GetThreadTimes(GetCurrentThread(), &times[4], &times[5], &times[6], &times[7]);
    SinkValue(sink, context, times);

    LARGE_INTEGER counters[2] = {};
    (void)QueryPerformanceCounter(&counters[0]);
    (void)QueryPerformanceFrequency(&counters[1]);
    SinkValue(sink, context, counters);

    // The system's own generator, one more source among the others.
    std::uint8_t systemBytes[64];
    if (BCryptGenRandom(nullptr, systemBytes, sizeof systemBytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0)
        sink(context, systemBytes, sizeof systemBytes);
    SecureWipe(systemBytes, sizeof systemBytes);
    return true;
}

void ReadTimeVector(std::uint8_t* out)
{
    // The system time in 100 ns and the performance counter: two calls
    // within one time slice still differ.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    LARGE_INTEGER counter{};
    (void)QueryPerformanceCounter(&counter);
    const std::uint64_t fields[2] = {(static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime,
                                     static_cast<std::uint64_t>(counter.QuadPart)};
    static_assert(sizeof fields == TimeVectorLength);
    std::memcpy(out, fields, sizeof fields);
}
