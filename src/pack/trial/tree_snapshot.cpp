#include "pack/trial/tree_snapshot.h"

namespace {

Problem Walk(const std::string& root, const std::string& relative, TreeSnapshot* snapshot) {
    std::vector<std::string> names;
    std::string folder = relative.empty() ? root : JoinPath(root, relative);
    Problem problem = ListDirectory(folder, &names);
    if (problem) return Prefixed(folder + ": ", problem);
    for (const std::string& name : names) {
        std::string path = relative.empty() ? name : relative + "/" + name;
        FileStatus status;
        problem = QueryFileStatus(JoinPath(root, path), false, &status);
        if (problem) return Prefixed(JoinPath(root, path) + ": ", problem);
        (*snapshot)[path] = status;
        if (status.kind == FILE_KIND_DIRECTORY) problem = Walk(root, path, snapshot);
        if (problem) return problem;
    }
    return {};
}

bool Differs(const FileStatus& before, const FileStatus& after) {
    if (before.kind != after.kind) return true;
    if (after.kind == FILE_KIND_DIRECTORY) return false;
    return before.size != after.size || before.modified != after.modified || !SameFile(before.identity, after.identity);
}

}   // namespace

Problem TakeSnapshot(const std::string& root, TreeSnapshot* snapshot) {
    snapshot->clear();
    return Walk(root, "", snapshot);
}

std::vector<TreeChange> CompareSnapshots(const TreeSnapshot& before, const TreeSnapshot& after) {
    std::vector<TreeChange> changes;
    auto old = before.begin();
    auto now = after.begin();
    while (old != before.end() || now != after.end()) {
        if (now == after.end() || (old != before.end() && old->first < now->first)) {
            changes.push_back({old->first, TREE_REMOVED, old->second});
            ++old;
        } else if (old == before.end() || now->first < old->first) {
            changes.push_back({now->first, TREE_CREATED, now->second});
            ++now;
        } else {
            if (Differs(old->second, now->second)) changes.push_back({now->first, TREE_CHANGED, now->second});
            ++old;
            ++now;
        }
    }
    return changes;
}

Problem RemoveTree(const std::string& path) {
    FileStatus status;
    if (QueryFileStatus(path, false, &status)) return {};   // already gone
    if (status.kind != FILE_KIND_DIRECTORY) {
        RemoveFileIfPresent(path);
        return {};
    }
    std::vector<std::string> names;
    Problem problem = ListDirectory(path, &names);
    for (const std::string& name : names) {
        Problem inner = RemoveTree(JoinPath(path, name));
        if (!problem) problem = inner;
    }
    if (problem) return problem;
    problem = RemoveEmptyDirectory(path);
    return Prefixed(path + ": ", problem);
}
