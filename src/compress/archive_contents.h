// archive_contents.h - what the archiving side knows about an existing
// archive: its members as ZipEntry records in file order, a name-sorted
// index of them, the preamble before the first member, where the central
// directory begins, and the archive comment.
//
// The update reader (update_reader.h) fills it; the file collection looks new
// names up in it; the archiving run marks, unlinks and copies its entries and
// writes the new central directory from them.
//
// Ownership: ArchiveContents owns every entry it holds (`storage`); `entries`
// and ZipEntry::next only link them in file order. Unlink removes an entry
// from the order in constant time; its memory is freed with the rest by
// Clear (a run unlinks at most the members it read, so nothing piles up).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "format/zip_entry.h"

namespace tovra::compress {

struct ArchiveContents {
    format::ZipEntry* entries = nullptr;    // first member in file order, null when none
    format::ZipEntry* lastEntry = nullptr;  // last member in file order, null when none
    size_t entryCount = 0;                  // members linked from `entries`
    // Pointers to every entry ordered by internalName (byte-wise, unsigned,
    // case-sensitive). Built by the reader; released by the run once no name
    // is looked up any more (then empty).
    std::vector<format::ZipEntry*> sortedEntries;
    uint64_t preambleSize = 0;            // bytes before the first local header (or end record)
    uint64_t centralDirOffset = 0;        // where the central directory begins (repair: end of the last member)
    std::vector<uint8_t> archiveComment;  // the archive comment as read (empty in repair mode)
    std::vector<std::unique_ptr<format::ZipEntry>> storage;  // owns every entry, in no particular order

    // A new zero-filled entry owned by this object, appended to the file
    // order. Throws std::bad_alloc when memory runs out.
    format::ZipEntry* Append();
    // Removes `entry` from the file order; `previous` is the entry before it
    // (null when it is the first). The entry stays valid until Clear.
    // sortedEntries must be empty (it would still list the entry).
    void Unlink(format::ZipEntry* previous, format::ZipEntry* entry);
    // Frees every entry and resets every field.
    void Clear();
    // Builds sortedEntries from the file order.
    void SortByName();
    void ReleaseSortedIndex() { sortedEntries.clear(), sortedEntries.shrink_to_fit(); }
};

// Byte-wise comparison of two stored names as unsigned bytes, stopping at the
// first difference or at the end of either name (so "a" and "ab" differ).
int CompareStoredNames(std::string_view a, std::string_view b);

// The entry whose internalName is `name` (binary search over sortedEntries),
// or null when there is none or the index is empty.
format::ZipEntry* FindEntry(const ArchiveContents& contents, std::string_view name);

}  // namespace tovra::compress
