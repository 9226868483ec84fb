// member_spans.h - where each member's data lies in the archive, and which
// members share bytes with another member.
//
// A crafted archive can point many central headers at the same or at
// overlapping local data, so that a few kilobytes declare gigabytes. Before
// the member loop extracts anything it walks the whole central directory
// once (Cunzip::FindOverlappingMembers), collects one span per member and
// marks every member whose span overlaps the span of another; the loop
// refuses those members (result 3) and extracts the others. A span that
// overlaps another but has no local header at its start is a damaged offset
// rather than shared data; it is left out, so that it does not take its
// neighbours down with it (the loop reports its bad offset as before).
//
// The span of a member starts at its local header offset and covers the 30
// fixed bytes of the local header, a name as long as the central one, and
// the central compressed size. The local extra field is left out: its length
// is only known from the local header, and local and central extra fields
// routinely differ in length, so guessing it would either flag sound
// archives or cost a read of every local header. What the rule guarantees:
// the spans of the members that are extracted are disjoint and each one
// holds its member's whole compressed size, so those compressed sizes add
// up to no more than the archive's length - no byte of the archive is
// counted as the data of two members, and the output cannot be multiplied
// by pointing many members at the same bytes. Every span is at least 30
// bytes long, so empty members and directory entries take part like any
// other member and two of them at different offsets never overlap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/records.h"

namespace tovra::extract {

struct MemberSpan {
    uint64_t start = 0;  // local header offset as recorded (not corrected)
    uint64_t end = 0;    // one past the last byte counted
    uint32_t entry = 0;  // position of the member in the central directory
};

// The span of the member whose central header is `header`.
MemberSpan SpanOf(const format::CentralHeader& header, uint32_t entry);

// Sorts spans[0..count) by start and sets overlapping[span.entry] to 1 for
// every span that overlaps at least one other span (the caller provides a
// zero-filled flag for every entry number used). O(count log count).
void MarkOverlappingSpans(MemberSpan* spans, size_t count, uint8_t* overlapping);

}  // namespace tovra::extract
