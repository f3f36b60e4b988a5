#include "support/text_workspace_ring.h"

#include <windows.h>

// Zero until start-up sets it: the stub keeps no initialised writable data.
static DWORD workspaceSlot;

void InitTextWorkspace() { workspaceSlot = TlsAlloc(); }

static TextWorkspace* ThreadWorkspace() {
    TextWorkspace* workspace = (TextWorkspace*)TlsGetValue(workspaceSlot);
    if (!workspace) {
        workspace = (TextWorkspace*)HeapBlock(sizeof(TextWorkspace));
        TlsSetValue(workspaceSlot, workspace);
    }
    return workspace;
}

char* NewWorkspaceText(uint32_t length) { return PutInWorkspace(ThreadWorkspace(), (char*)HeapBlock(length + 1)); }

char* AdoptWorkspaceText(char* block) { return PutInWorkspace(ThreadWorkspace(), block); }
