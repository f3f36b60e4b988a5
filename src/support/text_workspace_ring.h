// The ring itself, shared by the Windows and host builds, which differ only in
// how a thread finds its own ring.
#pragma once
#include "support/heap.h"
#include "support/text_workspace.h"

struct TextWorkspace {
    uint32_t next;
    char* slots[TEXT_WORKSPACE_SLOTS];
};

static inline char* PutInWorkspace(TextWorkspace* workspace, char* block) {
    if (!workspace || !block) {
        FreeHeapBlock(block);
        return 0;
    }
    char** slot = &workspace->slots[workspace->next];
    FreeHeapBlock(*slot);
    *slot = block;
    workspace->next = (workspace->next + 1) % TEXT_WORKSPACE_SLOTS;
    return block;
}
