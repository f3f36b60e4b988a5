#include "support/pause.h"

#include <windows.h>

#include <mmsystem.h>   // after windows.h, whose types it uses

void PauseMilliseconds(uint32_t milliseconds) {
    timeBeginPeriod(1);
    Sleep(milliseconds);
    timeEndPeriod(1);
}
