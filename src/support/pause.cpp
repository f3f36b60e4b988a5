#include "support/pause.h"

#include <windows.h>

#include "support/system_library.h"

typedef UINT(WINAPI* TimerPeriodCall)(UINT period);

static TimerPeriodCall beginTimerPeriod;
static TimerPeriodCall endTimerPeriod;

void InitPause() {
    beginTimerPeriod = (TimerPeriodCall)SystemLibraryFunction("winmm.dll", "timeBeginPeriod");
    endTimerPeriod = (TimerPeriodCall)SystemLibraryFunction("winmm.dll", "timeEndPeriod");
}

void PauseMilliseconds(uint32_t milliseconds) {
    if (beginTimerPeriod) beginTimerPeriod(1);
    Sleep(milliseconds);
    if (endTimerPeriod) endTimerPeriod(1);
}
