#include "pack/host/entry_order.h"

#include <algorithm>

namespace {

// A name split where the order looks: its directory and its extension.
struct SortKey {
    std::string directory;   // up to the last backslash, without it
    std::string extension;   // after the last dot of the last part; empty when none
    const SourceEntry* entry;
};

SortKey KeyOf(const SourceEntry& entry) {
    const std::string& name = entry.name;
    size_t slash = name.rfind('\\');
    size_t partStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = name.rfind('.');
    SortKey key;
    key.directory = slash == std::string::npos ? "" : name.substr(0, slash);
    key.extension = dot == std::string::npos || dot < partStart ? "" : name.substr(dot + 1);
    key.entry = &entry;
    return key;
}

}   // namespace

// Measured against the walk's order and against grouping by extension across
// the whole tree (with name or size next): on headers, scripts and fonts,
// files of one directory compress best together, and grouping a directory's
// files by extension gains a little more; across directories it loses.
void OrderForCompression(std::vector<SourceEntry>* entries) {
    std::vector<SourceEntry> ordered;
    std::vector<SortKey> files;
    ordered.reserve(entries->size());
    for (const SourceEntry& entry : *entries) {
        if (entry.isDirectory) ordered.push_back(entry);
        else files.push_back(KeyOf(entry));
    }
    std::sort(files.begin(), files.end(), [](const SortKey& a, const SortKey& b) {
        if (a.directory != b.directory) return a.directory < b.directory;
        if (a.extension != b.extension) return a.extension < b.extension;
        return a.entry->name < b.entry->name;
    });
    for (const SortKey& file : files) ordered.push_back(*file.entry);
    entries->swap(ordered);
}
