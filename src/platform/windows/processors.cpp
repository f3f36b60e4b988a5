#include "platform/windows/system.h"

#include "platform/platform.h"

uint32_t ProcessorCount() {
    // The process's affinity mask, not the machine's count: processors the
    // process may not use would only make the threads take turns.
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process)
        return uint32_t(__builtin_popcountll(process));
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors ? info.dwNumberOfProcessors : 1;
}
