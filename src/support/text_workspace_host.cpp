#include "support/text_workspace_ring.h"

static thread_local TextWorkspace workspace;

void InitTextWorkspace() {}

char* NewWorkspaceText(uint32_t length) { return PutInWorkspace(&workspace, (char*)HeapBlock(length + 1)); }

char* AdoptWorkspaceText(char* block) { return PutInWorkspace(&workspace, block); }
