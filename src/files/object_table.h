// Numbered object table: small caller-chosen numbers name fixed-size,
// zero-filled objects that the table owns. Objects made without a number sit
// in a list and are named by an identifier (their address). An object is live
// while its first 32-bit field (its user's primary handle) is non-zero.
#pragma once
#include <stdint.h>
#include <windows.h>

enum { AnyNumber = -1 };

typedef void (*ReleaseAction)(int32_t number);

// Doubly linked, newest-first list node; callers only see the payload behind it.
struct ListNode {
    ListNode* next;   // next older
    ListNode* prev;   // next newer
};

struct ObjectTable {
    int32_t objectSize;
    int32_t growthStep;
    int32_t slotCount;
    void** slots;
    ListNode* listHead;
    ReleaseAction releaseAction;
    int32_t walkSlot;
    ListNode* walkNode;
    CRITICAL_SECTION lock;
};

ObjectTable* CreateObjectTable(int32_t objectSize, int32_t growthStep, ReleaseAction releaseAction);
void* AcquireObject(ObjectTable* table, int32_t number);
void* FindObject(ObjectTable* table, int32_t number);
void FreeObject(ObjectTable* table, int32_t number);
void ReleaseAllObjects(ObjectTable* table);
void BeginObjectWalk(ObjectTable* table);
void* NextObject(ObjectTable* table, int32_t* number);
// The object's address in 32 bits: negative above 2 GiB (the installer is
// large-address aware), so identifiers are only ever compared for equality.
int32_t ObjectIdentifier(const void* object);

// The list facility; no lock is taken, callers that share a list guard it.
void* PushListNode(ListNode** head, int32_t payloadSize);
void UnlinkListNode(ListNode** head, void* payload);
