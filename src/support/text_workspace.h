// Storage behind temporary text results. Each thread keeps a small ring of
// them: a result stays valid until TEXT_WORKSPACE_SLOTS further results have
// been made on the same thread, long enough for any one nested expression.
// Text variables keep copies of their own and never point into the ring.
#pragma once
#include <stdint.h>

enum { TEXT_WORKSPACE_SLOTS = 16 };

void InitTextWorkspace();
// Room for length bytes and a NUL, zero-filled; null when memory runs out.
char* NewWorkspaceText(uint32_t length);
// Hands a block from HeapBlock over to the ring, which frees it in its turn.
char* AdoptWorkspaceText(char* block);
