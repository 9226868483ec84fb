// member_spans.cpp - the overlap pre-pass of the member loop: one walk over
// the central directory that collects the members' spans (member_spans.h),
// and the sweep over the sorted spans that marks the overlapping ones.
#include "extract/member_spans.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "extract/Cunzip.h"
#include "extract/member_acceptance.h"
#include "extract/run_results.h"
#include "format/zip_values.h"

namespace tovra::extract {

MemberSpan SpanOf(const format::CentralHeader& header, uint32_t entry) {
    MemberSpan span;
    span.start = header.localHeaderOffset;
    span.end = span.start + format::kLocalHeaderSize + header.nameLength + header.compressedSize;
    span.entry = entry;
    return span;
}

void MarkOverlappingSpans(MemberSpan* spans, size_t count, uint8_t* overlapping) {
    std::sort(spans, spans + count, [](const MemberSpan& a, const MemberSpan& b) {
        return a.start != b.start ? a.start < b.start : a.end < b.end;
    });
    // Sorted by start, the spans fall into clusters: a span that starts before
    // the furthest end reached so far in its cluster overlaps the span that
    // reached it. Every span of a cluster of two or more overlaps another one.
    size_t first = 0;    // first span of the current cluster
    uint64_t reach = 0;  // furthest end of the current cluster
    for (size_t i = 0; i <= count; ++i) {
        if (i == count || (i > first && spans[i].start >= reach)) {
            if (i - first > 1) {
                for (size_t j = first; j < i; ++j) overlapping[spans[j].entry] = 1;
            }
            first = i;
        }
        if (i < count) reach = i == first ? spans[i].end : std::max(reach, spans[i].end);
    }
}

int Cunzip::FindOverlappingMembers() {
    const uint32_t entries = reader.endRecord.totalEntries;
    member.overlappingEntries.reset(new (std::nothrow) uint8_t[entries + 1]());
    std::unique_ptr<MemberSpan[]> spans(new (std::nothrow) MemberSpan[entries + 1]);
    if (!member.overlappingEntries || !spans) {
        member.overlappingEntries.reset();
        return kRunOutOfMemory;
    }
    member.overlapEntryCount = entries;

    // The walk stops quietly where the directory is damaged: the member loop
    // meets the same damage and reports it.
    const int64_t directoryStart = ReaderPosition();
    size_t count = 0;
    for (uint32_t entry = 0; entry < entries; ++entry) {
        uint8_t signature[4];
        uint8_t body[format::kCentralHeaderBodySize];
        if (ReadArchiveBytes(signature, 4) != 4 || std::memcmp(signature, reader.centralSignature, 4) != 0 ||
            ReadArchiveBytes(body, sizeof body) != sizeof body) {
            break;
        }
        format::CentralHeader header;
        format::ParseCentralHeader(body, sizeof body, &header);
        if (!NeverAccepted(header)) spans[count++] = SpanOf(header, entry);
        const int64_t fields = int64_t{header.nameLength} + header.extraLength + header.commentLength;
        if (fields != 0 && SeekArchive(ReaderPosition() + fields) != 0) break;
    }
    MarkOverlappingSpans(spans.get(), count, member.overlappingEntries.get());

    // A span that overlaps another but has no local header at its start is a
    // damaged offset, not data: the member loop reports it as such, and it
    // must not take its neighbours down with it. Only overlapping spans are
    // looked at, so a sound archive costs no read here.
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
        if (member.overlappingEntries[spans[i].entry] == 0 || LocalHeaderAt(spans[i].start)) spans[kept++] = spans[i];
    }
    if (kept < count) {
        std::fill(member.overlappingEntries.get(), member.overlappingEntries.get() + entries, uint8_t{0});
        MarkOverlappingSpans(spans.get(), kept, member.overlappingEntries.get());
    }
    return SeekArchive(directoryStart) != 0 ? kRunArchiveEnded : kRunOk;
}

bool Cunzip::LocalHeaderAt(uint64_t offset) {
    // With the preamble correction, or without it, as the member loop tries.
    for (int64_t position : {static_cast<int64_t>(offset) + reader.extraBytes, static_cast<int64_t>(offset)}) {
        uint8_t signature[4];
        if (position >= 0 && SeekArchive(position) == 0 && ReadArchiveBytes(signature, 4) == 4 &&
            std::memcmp(signature, reader.localSignature, 4) == 0) {
            return true;
        }
    }
    return false;
}

bool Cunzip::EntryOverlaps(uint32_t entry) const {
    return member.overlappingEntries != nullptr && entry < member.overlapEntryCount &&
           member.overlappingEntries[entry] != 0;
}

}  // namespace tovra::extract
