// member_acceptance.h - what the extraction engine can read at all, judged
// from a member's central header: the methods that have a decoder here, the
// members that ask for a version above 2.0 but use nothing beyond it, and the
// members that AcceptMember refuses whatever the person would answer.
//
// AcceptMember (Cunzip.cpp) applies these rules with its messages and its
// question about VMS members; the overlap pre-pass (member_spans.cpp) uses
// NeverAccepted to leave out members that can never be extracted, so that,
// for instance, a Zip64 member whose sizes live in its extra field does not
// make its neighbours look overlapped.
#pragma once

#include <cstdint>

#include "format/records.h"
#include "format/zip_values.h"

namespace tovra::extract {

// Host byte of the version-needed field that marks a VMS member.
inline constexpr unsigned kHostVms = 2;
// Highest version needed that a VMS member may ask for (4.2).
inline constexpr unsigned kMaxVmsVersion = 42;
// Highest version needed that any other member may ask for without the
// checks of ReadableAboveVersion20 (2.0).
inline constexpr unsigned kMaxPlainVersion = 20;

// The methods this build decodes: stored, shrunk, reduced (1-4), imploded and
// deflated. ExtractMember returns 1 without creating a file for the others.
constexpr bool MethodHasDecoder(uint16_t method) {
    return method <= format::kMethodImploded || method == format::kMethodDeflated;
}

// Methods AcceptMember refuses outright: 7 (tokenized) and everything above 8.
constexpr bool MethodRefused(uint16_t method) { return method == 7 || method > format::kMethodDeflated; }

// A member whose version needed is above 2.0 is still readable when its
// method has a decoder here and it uses nothing this library cannot read:
// no Zip64 placeholder in its sizes, its local header offset or its disk
// number (the real values would be in the extra field, which is not read),
// no strong encryption and no encrypted central directory. Streaming
// writers mark plain stored and deflated members with version 4.5.
constexpr bool ReadableAboveVersion20(const format::CentralHeader& header) {
    return MethodHasDecoder(header.method) && header.compressedSize != format::kZip64Placeholder32 &&
           header.uncompressedSize != format::kZip64Placeholder32 &&
           header.localHeaderOffset != format::kZip64Placeholder32 &&
           header.diskNumberStart != format::kZip64Placeholder16 &&
           (header.flags & (format::kFlagStrongEncryption | format::kFlagEncryptedDirectory)) == 0;
}

// True when AcceptMember refuses the member without asking anybody: a
// refused method, a VMS member above 4.2, or another member above 2.0 that
// is not readable. (A VMS member up to 4.2 depends on the answer to the
// question and so is not "never".)
constexpr bool NeverAccepted(const format::CentralHeader& header) {
    const unsigned version = header.versionNeeded & 0xFF;
    if (MethodRefused(header.method)) return true;
    if ((header.versionNeeded >> 8) == kHostVms) return version > kMaxVmsVersion;
    return version > kMaxPlainVersion && !ReadableAboveVersion20(header);
}

}  // namespace tovra::extract
