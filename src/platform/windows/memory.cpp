#include "platform/platform.h"

// Large pages need a privilege that ordinary accounts lack: no hint on Windows.
void AdviseHugePages(void*, size_t) {}
