#include "support/text_workspace_ring.h"

#include <windows.h>

static DWORD workspaceSlot = TLS_OUT_OF_INDEXES;

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
