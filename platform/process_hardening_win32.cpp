#include "platform/process_hardening.h"

#include <windows.h>

bool HardenProcess()
{
    // Archives are run from download folders: a DLL planted beside one must
    // never be loaded at run time.
    const bool dllSearch = SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != 0;
    // No "insert a disk" or fault boxes that would stall a run; a crash
    // ends the process without the fault reporting dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // VirtualLock holds pages within the working set minimum, a few hundred
    // KiB by default: room for both block buffers and the key material.
    const bool workingSet = SetProcessWorkingSetSize(GetCurrentProcess(), 16U << 20, 64U << 20) != 0;
    return dllSearch && workingSet;
}
