#include "files/object_table.h"

#include "support/heap.h"

#include <string.h>

static ListNode* NodeOf(void* payload) { return (ListNode*)payload - 1; }
static void* PayloadOf(ListNode* node) { return node + 1; }

void* PushListNode(ListNode** head, int32_t payloadSize) {
    ListNode* node = (ListNode*)HeapBlock(sizeof(ListNode) + (uint32_t)payloadSize);
    if (!node) return 0;
    node->next = *head;
    if (*head) (*head)->prev = node;
    *head = node;
    return PayloadOf(node);
}

void UnlinkListNode(ListNode** head, void* payload) {
    ListNode* node = NodeOf(payload);
    if (node == *head) {
        *head = node->next;
        if (node->next) node->next->prev = 0;
    } else {
        if (node->prev) node->prev->next = node->next;
        if (node->next) node->next->prev = node->prev;
    }
    FreeHeapBlock(node);
}

int32_t ObjectIdentifier(const void* object) { return (int32_t)(uintptr_t)object; }

ObjectTable* CreateObjectTable(int32_t objectSize, int32_t growthStep, ReleaseAction releaseAction) {
    ObjectTable* table = (ObjectTable*)HeapBlock(sizeof(ObjectTable));
    if (!table) return 0;
    table->objectSize = objectSize;
    table->growthStep = growthStep;
    table->slotCount = growthStep;
    table->slots = (void**)HeapBlock((uint32_t)growthStep * sizeof(void*));
    table->releaseAction = releaseAction;
    InitializeCriticalSection(&table->lock);
    return table;
}

static int32_t IsSlotNumber(ObjectTable* table, int32_t number) { return number >= 0 && number < table->slotCount; }

static ListNode* FindListNode(ObjectTable* table, int32_t identifier) {
    for (ListNode* node = table->listHead; node; node = node->next)
        if (ObjectIdentifier(PayloadOf(node)) == identifier) return node;
    return 0;
}

static int32_t IsLive(const void* object) { return object && *(const int32_t*)object != 0; }

// Grows the slot array to number + growthStep entries; the new ones read as never used.
static int32_t GrowSlots(ObjectTable* table, int32_t number) {
    int32_t newCount = number + table->growthStep;
    void** slots = (void**)ResizeHeapBlock(table->slots, (uint32_t)newCount * sizeof(void*));
    if (!slots) return 0;
    memset(slots + table->slotCount, 0, (uint32_t)(newCount - table->slotCount) * sizeof(void*));
    table->slots = slots;
    table->slotCount = newCount;
    return 1;
}

void* AcquireObject(ObjectTable* table, int32_t number) {
    void* object = 0;
    EnterCriticalSection(&table->lock);
    if (number == AnyNumber) {
        object = PushListNode(&table->listHead, table->objectSize);
    } else if (number >= 0 && (number < table->slotCount || GrowSlots(table, number))) {
        if (table->slots[number]) {
            // A number used before: its owner cleans up whatever it still holds.
            if (table->releaseAction) table->releaseAction(number);
        } else {
            table->slots[number] = HeapBlock((uint32_t)table->objectSize);
        }
        object = table->slots[number];
    }
    LeaveCriticalSection(&table->lock);
    return object;
}

void* FindObject(ObjectTable* table, int32_t number) {
    void* object = 0;
    EnterCriticalSection(&table->lock);
    if (IsSlotNumber(table, number)) {
        object = table->slots[number];
    } else {
        ListNode* node = FindListNode(table, number);
        if (node) object = PayloadOf(node);
    }
    LeaveCriticalSection(&table->lock);
    return IsLive(object) ? object : 0;
}

void FreeObject(ObjectTable* table, int32_t number) {
    EnterCriticalSection(&table->lock);
    if (IsSlotNumber(table, number)) {
        // The slot keeps its memory for the next use of the number.
        if (table->slots[number]) memset(table->slots[number], 0, (uint32_t)table->objectSize);
    } else {
        ListNode* node = FindListNode(table, number);
        if (node) {
            if (table->walkNode == node) table->walkNode = node->prev;
            UnlinkListNode(&table->listHead, PayloadOf(node));
        }
    }
    LeaveCriticalSection(&table->lock);
}

void BeginObjectWalk(ObjectTable* table) {
    EnterCriticalSection(&table->lock);
    table->walkSlot = 0;
    ListNode* oldest = table->listHead;
    while (oldest && oldest->next) oldest = oldest->next;
    table->walkNode = oldest;
}

void* NextObject(ObjectTable* table, int32_t* number) {
    while (table->walkSlot < table->slotCount) {
        int32_t slot = table->walkSlot++;
        if (IsLive(table->slots[slot])) {
            *number = slot;
            return table->slots[slot];
        }
    }
    ListNode* node = table->walkNode;
    if (node) {
        table->walkNode = node->prev;
        *number = ObjectIdentifier(PayloadOf(node));
        return PayloadOf(node);
    }
    LeaveCriticalSection(&table->lock);   // taken by BeginObjectWalk
    return 0;
}

void ReleaseAllObjects(ObjectTable* table) {
    if (!table->releaseAction) return;
    int32_t number;
    BeginObjectWalk(table);
    while (NextObject(table, &number)) table->releaseAction(number);
}
