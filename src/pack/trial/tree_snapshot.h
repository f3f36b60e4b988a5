// The files and folders below a folder, taken before and after a run to tell
// what the run created, changed and removed.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

// Paths below the root, '/' between their parts; a link is taken as itself.
typedef std::map<std::string, FileStatus> TreeSnapshot;

Problem TakeSnapshot(const std::string& root, TreeSnapshot* snapshot);

enum TreeChangeKind { TREE_CREATED, TREE_CHANGED, TREE_REMOVED };

struct TreeChange {
    std::string path;
    TreeChangeKind change;
    FileStatus status;   // after the run; before it for what was removed
};

// In the paths' order. A folder counts as changed only when something else
// took its place: what changed inside it is listed itself.
std::vector<TreeChange> CompareSnapshots(const TreeSnapshot& before, const TreeSnapshot& after);

// Removes the folder and everything below it, links as links.
Problem RemoveTree(const std::string& path);
