#include <sched.h>
#include <unistd.h>

#include "platform/platform.h"

uint32_t ProcessorCount() {
    // The affinity mask, not the machine's count: under taskset or a container's
    // cpuset the other processors would only make the threads take turns.
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof(set), &set) == 0 && CPU_COUNT(&set) > 0) return uint32_t(CPU_COUNT(&set));
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? uint32_t(online) : 1;
}
