#include <gtest/gtest.h>

#include <vector>

#include "files/object_table.h"

namespace {
struct TestObject {
    int32_t handle;   // the liveness field
    int32_t payload;
};

ObjectTable* table;
std::vector<int32_t> released;
int32_t alsoFree = 0;   // a second object the release action frees, 0 for none

// Like the program table's action: close a live object, then free it.
void ReleaseAndFree(int32_t number) {
    released.push_back(number);
    if (FindObject(table, number)) FreeObject(table, number);
    if (alsoFree) FreeObject(table, alsoFree);
}

TestObject* Acquire(int32_t number, int32_t handle) {
    TestObject* object = (TestObject*)AcquireObject(table, number);
    object->handle = handle;
    return object;
}

int32_t Id(const void* object) { return ObjectIdentifier(object); }

ListNode* NodeOf(void* payload) { return (ListNode*)payload - 1; }   // list links sit before the payload

struct ObjectTableTest : testing::Test {
    void SetUp() override {
        table = CreateObjectTable(sizeof(TestObject), 16, ReleaseAndFree);
        released.clear();
        alsoFree = 0;
    }
};

// The lock must be free for other threads once an operation or a walk is over.
DWORD WINAPI TryTableLock(void*) {
    if (!TryEnterCriticalSection(&table->lock)) return 0;
    LeaveCriticalSection(&table->lock);
    return 1;
}

bool LockFreeForOtherThreads() {
    HANDLE thread = CreateThread(0, 0, TryTableLock, 0, 0, 0);
    WaitForSingleObject(thread, INFINITE);
    DWORD free = 0;
    GetExitCodeThread(thread, &free);
    CloseHandle(thread);
    return free == 1;
}
}   // namespace

TEST_F(ObjectTableTest, GrowthAddsStepBeyondTheNumberAndNewSlotsAreUnused) {
    Acquire(20, 0);
    EXPECT_EQ(table->slotCount, 36);
    for (int32_t number = 16; number < 36; ++number)
        if (number != 20) EXPECT_EQ(table->slots[number], nullptr) << number;
    // Numbers beyond the old end still acquire fresh, with no release action.
    TestObject* object = Acquire(35, 0);
    EXPECT_EQ(object->payload, 0);
    EXPECT_EQ(table->slotCount, 36);
    EXPECT_TRUE(released.empty());
}

TEST_F(ObjectTableTest, ReuseOfANumberRunsTheReleaseActionAndGivesTheSameZeroedObject) {
    TestObject* first = Acquire(3, 77);
    first->payload = 5;
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(FindObject(table, 3), first);

    TestObject* second = (TestObject*)AcquireObject(table, 3);   // live: released, freed
    EXPECT_EQ(second, first);
    EXPECT_EQ(second->handle, 0);
    EXPECT_EQ(second->payload, 0);
    EXPECT_EQ(FindObject(table, 3), nullptr);   // freed: none until marked live again
    AcquireObject(table, 3);                    // not live, still released
    EXPECT_EQ(released, (std::vector<int32_t>{3, 3}));
    second->handle = 1;
    EXPECT_EQ(FindObject(table, 3), second);
    EXPECT_TRUE(LockFreeForOtherThreads());
}

TEST_F(ObjectTableTest, FindAndFreeTellNumbersFromIdentifiers) {
    EXPECT_EQ(FindObject(table, AnyNumber), nullptr);
    FreeObject(table, 4);   // never used: nothing happens
    EXPECT_EQ(table->slots[4], nullptr);

    TestObject* older = Acquire(AnyNumber, 1);
    TestObject* middle = Acquire(AnyNumber, 0);
    TestObject* newer = Acquire(AnyNumber, 1);
    EXPECT_EQ(table->listHead, NodeOf(newer));
    EXPECT_EQ(FindObject(table, Id(older)), older);
    EXPECT_EQ(FindObject(table, Id(middle)), nullptr);   // not live
    FreeObject(table, Id(middle) + 1);                   // identifies nothing
    FreeObject(table, Id(middle));
    EXPECT_EQ(NodeOf(newer)->next, NodeOf(older));
    EXPECT_EQ(NodeOf(older)->prev, NodeOf(newer));
    FreeObject(table, Id(newer));
    EXPECT_EQ(table->listHead, NodeOf(older));
    EXPECT_EQ(NodeOf(older)->prev, nullptr);
    EXPECT_EQ(FindObject(table, Id(newer)), nullptr);
    EXPECT_TRUE(released.empty());
}

TEST_F(ObjectTableTest, WalkVisitsLiveSlotsInOrderThenListObjectsOldestFirst) {
    Acquire(5, 1);
    Acquire(3, 0);   // acquired but not live: skipped
    Acquire(1, 1);
    TestObject* older = Acquire(AnyNumber, 0);   // list objects are returned live or not
    TestObject* newer = Acquire(AnyNumber, 1);
    std::vector<int32_t> visited;
    int32_t number;
    BeginObjectWalk(table);
    while (NextObject(table, &number)) visited.push_back(number);
    EXPECT_EQ(visited, (std::vector<int32_t>{1, 5, Id(older), Id(newer)}));
    EXPECT_TRUE(LockFreeForOtherThreads());
}

TEST_F(ObjectTableTest, ReleaseAllFreesAsItWalks) {
    Acquire(0, 1);
    Acquire(18, 1);
    TestObject* oldest = Acquire(AnyNumber, 1);
    TestObject* middle = Acquire(AnyNumber, 1);
    TestObject* newest = Acquire(AnyNumber, 1);
    ReleaseAllObjects(table);
    EXPECT_EQ(released, (std::vector<int32_t>{0, 18, Id(oldest), Id(middle), Id(newest)}));
    EXPECT_EQ(table->listHead, nullptr);
    EXPECT_EQ(FindObject(table, 0), nullptr);
    EXPECT_EQ(FindObject(table, 18), nullptr);
    EXPECT_TRUE(LockFreeForOtherThreads());
}

TEST_F(ObjectTableTest, ReleaseThatAlsoFreesTheNextListObjectDoesNotVisitIt) {
    TestObject* oldest = Acquire(AnyNumber, 1);
    TestObject* middle = Acquire(AnyNumber, 1);
    TestObject* newest = Acquire(AnyNumber, 1);
    alsoFree = Id(middle);   // the walk's cursor when the oldest is released
    ReleaseAllObjects(table);
    EXPECT_EQ(released, (std::vector<int32_t>{Id(oldest), Id(newest)}));
    EXPECT_EQ(table->listHead, nullptr);
}

TEST_F(ObjectTableTest, ReleaseAllCallsNothingWithoutActionOrLiveObjects) {
    Acquire(2, 0);
    ReleaseAllObjects(table);
    EXPECT_TRUE(released.empty());

    table = CreateObjectTable(sizeof(TestObject), 4, 0);
    Acquire(2, 1)->payload = 9;
    AcquireObject(table, 2);   // reuse without an action: nothing runs, nothing is cleared
    ReleaseAllObjects(table);
    EXPECT_EQ(((TestObject*)FindObject(table, 2))->payload, 9);
    EXPECT_TRUE(LockFreeForOtherThreads());
}
