// archive_contents.cpp - the member list of an existing archive and its
// name-sorted index.
#include "compress/archive_contents.h"

#include <algorithm>
#include <cstring>

namespace tovra::compress {

format::ZipEntry* ArchiveContents::Append() {
    storage.push_back(std::make_unique<format::ZipEntry>());
    format::ZipEntry* entry = storage.back().get();
    (lastEntry == nullptr ? entries : lastEntry->next) = entry;
    lastEntry = entry;
    ++entryCount;
    return entry;
}

void ArchiveContents::Unlink(format::ZipEntry* previous, format::ZipEntry* entry) {
    (previous == nullptr ? entries : previous->next) = entry->next;
    if (lastEntry == entry) lastEntry = previous;
    entry->next = nullptr;
    --entryCount;
}

void ArchiveContents::Clear() {
    entries = nullptr;
    lastEntry = nullptr;
    entryCount = 0;
    ReleaseSortedIndex();
    preambleSize = 0;
    centralDirOffset = 0;
    archiveComment.clear();
    storage.clear();
}

int CompareStoredNames(std::string_view a, std::string_view b) {
    // memcmp compares as unsigned bytes.
    const size_t n = std::min(a.size(), b.size());
    if (const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n); c != 0) return c < 0 ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void ArchiveContents::SortByName() {
    sortedEntries.clear();
    sortedEntries.reserve(entryCount);
    for (format::ZipEntry* e = entries; e != nullptr; e = e->next) sortedEntries.push_back(e);
    std::stable_sort(sortedEntries.begin(), sortedEntries.end(),
                     [](const format::ZipEntry* a, const format::ZipEntry* b) {
                         return CompareStoredNames(a->internalName, b->internalName) < 0;
                     });
}

format::ZipEntry* FindEntry(const ArchiveContents& contents, std::string_view name) {
    const auto& sorted = contents.sortedEntries;
    auto it = std::lower_bound(sorted.begin(), sorted.end(), name, [](const format::ZipEntry* e, std::string_view n) {
        return CompareStoredNames(e->internalName, n) < 0;
    });
    if (it == sorted.end() || CompareStoredNames((*it)->internalName, name) != 0) return nullptr;
    return *it;
}

}  // namespace tovra::compress
