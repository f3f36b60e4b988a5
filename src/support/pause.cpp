#include "support/pause.h"

#include <windows.h>
#include <mmsystem.h>

void PauseMilliseconds(uint32_t milliseconds) {
    timeBeginPeriod(1);
    Sleep(milliseconds);
    timeEndPeriod(1);
}
