#include "codec/match_finder.h"

#include <algorithm>
#include <cstring>

#include "codec/match_length.h"
#include "codec/tokens.h"

namespace {

constexpr uint32_t TREE_CUT = 32;   // tree nodes visited per position
constexpr uint32_t TREE_MIN_BYTES = 4;
// The trees are keyed on 4 bytes: a 3-byte key made them deeper by the
// strings that share only 3 bytes, slower and no smaller. Matches of exactly 3
// bytes come from the latest position of each 3-byte hash instead.
constexpr uint32_t HEAD_MATCH_BYTES = 3;
constexpr uint32_t HEAD_BITS = 16;
constexpr uint32_t PREFETCH_DISTANCE = 4;   // positions between a root's prefetch and its use
// Roots for at most 4 Mi hashes (16 MiB): the 4-byte strings that share one
// part at their tree's first node. Measured on Wine's DLLs, the text and the
// libraries trees, 24 bits give the same bytes for 48 MiB more.
constexpr uint32_t MAX_ROOT_BITS = 22;

uint32_t TreeHash(const MatchFinder& finder, uint32_t position) {
    uint32_t bytes;
    memcpy(&bytes, finder.data + position, TREE_MIN_BYTES);
    return (bytes * 2654435761u) >> finder.hashShift;
}

uint32_t HeadIndex(const uint8_t* at) { return (Read24(at) * 2654435761u) >> (32 - HEAD_BITS); }

// A match of exactly 3 bytes, which the trees cannot find: the latest
// position searched with the same 3 bytes, where 3 bytes can be coded. One
// with a fourth byte in common is in the same tree, its root.
void AddThreeByteMatch(MatchFinder& finder, uint32_t position, std::vector<MatchCandidate>& found) {
    if (position + HEAD_MATCH_BYTES > finder.size) return;
    const uint8_t* here = finder.data + position;
    int32_t& head = finder.heads[HeadIndex(here)];
    int32_t earlier = head;
    head = int32_t(position);
    if (earlier < 0) return;
    uint32_t offset = position - uint32_t(earlier);
    if (offset > finder.windowMask - (WALKS_AT_ONCE - 1) ||
        (offset > SHORT_MATCH_MAX_OFFSET && MinMatchLength(offset) > HEAD_MATCH_BYTES))
        return;
    const uint8_t* there = finder.data + earlier;
    if (Read24(there) != Read24(here)) return;
    if (position + TREE_MIN_BYTES <= finder.size && there[3] == here[3]) return;
    found.push_back({HEAD_MATCH_BYTES, offset});
}

int32_t* TreeNode(MatchFinder& finder, uint32_t position) {
    return &finder.treeChildren[2 * size_t(position & finder.windowMask)];
}

// One walk down the tree of position's hash: it records longer and longer
// matches and re-roots the tree at position (the usual binary-tree insertion,
// cut short after TREE_CUT nodes, on a match of maxLength or where the window
// ends: every node lies below newer ones). The window ends a few positions
// short of its size: the nodes a window back share their slots with the next
// positions', which the other walks at once have taken.
struct TreeWalk {
    uint32_t position;
    uint32_t maxLength;
    std::vector<MatchCandidate>* found;
    int32_t candidate;
    int32_t* smallerSlot;
    int32_t* largerSlot;
    uint32_t smallerLength = 0, largerLength = 0, best = 0, steps = 0;
};

TreeWalk StartWalk(MatchFinder& finder, uint32_t position, uint32_t maxLength, std::vector<MatchCandidate>& found) {
    uint32_t hash = TreeHash(finder, position);
    int32_t* node = TreeNode(finder, position);
    TreeWalk walk{position, maxLength, &found, finder.treeRoots[hash], &node[0], &node[1]};
    // Lengths rise past the 3-byte match, if any (a tree shared by two hashes
    // may offer shorter ones).
    walk.best = found.empty() ? 0 : found.back().length;
    finder.treeRoots[hash] = int32_t(position);
    return walk;
}

// One node of the walk; false when the walk is over.
inline bool StepWalk(MatchFinder& finder, TreeWalk& walk) {
    int32_t candidate = walk.candidate;
    if (candidate < 0 || walk.position - uint32_t(candidate) > finder.windowMask - (WALKS_AT_ONCE - 1) ||
        walk.steps == TREE_CUT) {
        *walk.smallerSlot = -1;
        *walk.largerSlot = -1;
        return false;
    }
    ++walk.steps;
    const uint8_t* data = finder.data;
    const uint8_t* earlier = data + candidate;
    const uint8_t* here = data + walk.position;
    uint32_t known = std::min(walk.smallerLength, walk.largerLength);
    uint32_t length = known + MatchLength(earlier + known, here + known, walk.maxLength - known);
    int32_t* children = TreeNode(finder, uint32_t(candidate));
    if (length > walk.best) {
        walk.best = length;
        walk.found->push_back({length, walk.position - uint32_t(candidate)});
        if (length == walk.maxLength) {
            // The candidate is replaced by position in the tree.
            *walk.smallerSlot = children[0];
            *walk.largerSlot = children[1];
            return false;
        }
    }
    if (earlier[length] < here[length]) {
        *walk.smallerSlot = candidate;
        walk.smallerSlot = &children[1];
        walk.candidate = children[1];
        walk.smallerLength = length;
    } else {
        *walk.largerSlot = candidate;
        walk.largerSlot = &children[0];
        walk.candidate = children[0];
        walk.largerLength = length;
    }
    // The next node's bytes and children, fetched while the other walks step.
    if (walk.candidate >= 0) {
        __builtin_prefetch(data + walk.candidate + std::min(walk.smallerLength, walk.largerLength));
        __builtin_prefetch(TreeNode(finder, uint32_t(walk.candidate)));
    }
    return true;
}

// The tree walk stalls on memory: its root slot is anywhere in a table of
// megabytes, and so is the first candidate's data (and the 3-byte head). Positions come in order, so
// fetch the root a few positions ahead and the first node of the next one.
void PrefetchAhead(MatchFinder& finder, uint32_t position) {
    if (position + PREFETCH_DISTANCE + TREE_MIN_BYTES > finder.size) return;
    __builtin_prefetch(&finder.treeRoots[TreeHash(finder, position + PREFETCH_DISTANCE)]);
    __builtin_prefetch(&finder.heads[HeadIndex(finder.data + position + PREFETCH_DISTANCE)]);
    int32_t next = finder.treeRoots[TreeHash(finder, position + 1)];
    if (next >= 0) {
        __builtin_prefetch(finder.data + next);
        __builtin_prefetch(TreeNode(finder, uint32_t(next)));
    }
}

uint32_t WalkLimit(const MatchFinder& finder, uint32_t position, uint32_t maxLength) {
    return std::min(maxLength, finder.size - position);
}

}   // namespace

void InitMatchFinder(MatchFinder& finder, const uint8_t* data, uint32_t size, uint32_t windowBytes) {
    finder.data = data;
    finder.size = size;
    uint32_t bits = 12;
    while (bits < MAX_ROOT_BITS && (1u << bits) < size) ++bits;
    finder.hashShift = 32 - bits;
    uint32_t window = 1;
    while (window < size && window < windowBytes) window *= 2;
    finder.windowMask = window - 1;
    // Small pages: asking for huge ones saved 8% of the user time but made
    // the kernel compact memory for 2.4 to 3.7 s of system time when it was
    // fragmented, a stall no user could predict.
    finder.treeRoots.assign(size_t(1) << bits, -1);
    finder.heads.assign(size_t(1) << HEAD_BITS, -1);
    finder.treeChildren.assign(2 * size_t(std::min(window, size)), -1);
}

void FindMatches(MatchFinder& finder, uint32_t position, uint32_t maxLength, std::vector<MatchCandidate>& candidates) {
    PrefetchAhead(finder, position);
    AddThreeByteMatch(finder, position, candidates);
    uint32_t limit = WalkLimit(finder, position, maxLength);
    if (limit < TREE_MIN_BYTES) return;
    TreeWalk walk = StartWalk(finder, position, limit, candidates);
    while (StepWalk(finder, walk)) {
    }
}

void FindMatchesAtOnce(MatchFinder& finder, uint32_t position, uint32_t count, uint32_t maxLength,
                       std::vector<MatchCandidate>* candidates) {
    // Walks in the same tree must go one after the other.
    uint32_t hashes[WALKS_AT_ONCE];
    bool apart = count <= WALKS_AT_ONCE && WalkLimit(finder, position + count - 1, maxLength) >= TREE_MIN_BYTES;
    for (uint32_t walk = 0; walk < count && apart; ++walk) {
        hashes[walk] = TreeHash(finder, position + walk);
        for (uint32_t earlier = 0; earlier < walk; ++earlier) apart = apart && hashes[earlier] != hashes[walk];
    }
    if (!apart) {
        for (uint32_t walk = 0; walk < count; ++walk) FindMatches(finder, position + walk, maxLength, candidates[walk]);
        return;
    }
    TreeWalk walks[WALKS_AT_ONCE];
    for (uint32_t walk = 0; walk < count; ++walk) {
        PrefetchAhead(finder, position + walk);
        AddThreeByteMatch(finder, position + walk, candidates[walk]);
        walks[walk] =
            StartWalk(finder, position + walk, WalkLimit(finder, position + walk, maxLength), candidates[walk]);
    }
    for (uint32_t going = count; going > 0;) {
        // A finished walk swaps with the last one going.
        for (uint32_t walk = 0; walk < going;)
            if (StepWalk(finder, walks[walk])) ++walk;
            else walks[walk] = walks[--going];
    }
}

void AppendStaircase(const MatchCandidate* first, size_t firstCount, const MatchCandidate* second, size_t secondCount,
                     std::vector<MatchCandidate>& out) {
    // From the longest down, a tie to the nearer: a match is kept when it is
    // nearer than all kept so far.
    size_t start = out.size();
    uint32_t nearest = UINT32_MAX;
    while (firstCount > 0 || secondCount > 0) {
        const MatchCandidate* next;
        if (secondCount == 0) next = &first[--firstCount];
        else if (firstCount == 0) next = &second[--secondCount];
        else {
            const MatchCandidate& a = first[firstCount - 1];
            const MatchCandidate& b = second[secondCount - 1];
            bool takeFirst = a.length != b.length ? a.length > b.length : a.offset < b.offset;
            next = takeFirst ? &first[--firstCount] : &second[--secondCount];
        }
        if (next->offset < nearest) {
            nearest = next->offset;
            out.push_back(*next);
        }
    }
    std::reverse(out.begin() + start, out.end());
}
