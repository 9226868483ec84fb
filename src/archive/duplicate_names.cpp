// duplicate_names.cpp - CheckDuplicateNames: the same file named twice is
// added once, and two different files may not end up under one stored name
// (see file_collection.h).
//
// Both sorts work on an array of list positions; the list keeps the order in
// which the files were found. The first sort is stable, so of a file named
// twice the record found first stays.
#include <algorithm>
#include <new>
#include <vector>

#include "archive/file_collection.h"
#include "format/archive_errors.h"

namespace tovra::archive {

int CheckDuplicateNames(ArchiveContext& context) {
    if (context.pendingFiles.empty()) return 0;
    try {
        using Position = std::list<PendingFile>::iterator;
        std::vector<Position> records;
        records.reserve(context.pendingFiles.size());
        for (auto it = context.pendingFiles.begin(); it != context.pendingFiles.end(); ++it) records.push_back(it);

        std::stable_sort(records.begin(), records.end(), [](const Position& a, const Position& b) {
            return compress::CompareStoredNames(a->externalName, b->externalName) < 0;
        });
        std::vector<Position> kept;
        kept.reserve(records.size());
        for (const Position& record : records) {
            if (!kept.empty() && kept.back()->externalName == record->externalName) {
                context.pendingFiles.erase(record);
            } else {
                kept.push_back(record);
            }
        }

        std::stable_sort(kept.begin(), kept.end(), [](const Position& a, const Position& b) {
            return compress::CompareStoredNames(a->internalName, b->internalName) < 0;
        });
        for (size_t i = 1; i < kept.size(); ++i) {
            if (kept[i]->internalName != kept[i - 1]->internalName) continue;
            context.ReportWarning("name in zip file repeated: ", kept[i]->internalName);
            context.ReportWarning("  first full name: ", kept[i - 1]->externalName);
            context.ReportWarning(" second full name: ", kept[i]->externalName);
            return format::kArchiveErrorParameters;
        }
        return 0;
    } catch (const std::bad_alloc&) {
        return format::kArchiveErrorMemory;
    }
}

}  // namespace tovra::archive
