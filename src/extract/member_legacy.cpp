// member_legacy.cpp - running the decoders of the oldest methods over one
// member (unshrink, unreduce, explode) and turning their results into the
// member's result, with the message box for damaged data or a lack of
// memory where the method has one.
#include "codecs/explode.h"
#include "codecs/unreduce.h"
#include "codecs/unshrink.h"
#include "extract/Cunzip.h"
#include "extract/member_codec_io.h"
#include "extract/process_state.h"
#include "extract/run_results.h"

namespace tovra::extract {
namespace {

// A decoder stopped by its sink: a cancel or a failed write, told by the
// engine's own flags.
bool StoppedBySink(const Cunzip& context) { return context.cancelSeen != 0 || ProcessState().WriteFailureState != 0; }

}  // namespace

int Cunzip::UnshrinkMember() {
    MemberCodecIo io(*this);
    codecs::Unshrinker unshrinker(io, io, output.outputBuffer);
    const int result = unshrinker.Unshrink();
    if (result == 0) return kRunOk;
    if (StoppedBySink(*this)) return cancelSeen != 0 ? kRunError : kRunOutputFailed;
    return result;  // 2 damaged data, 6 out of memory
}

int Cunzip::UnreduceMember() {
    MemberCodecIo io(*this);
    codecs::Unreducer unreducer(io, io, output.outputBuffer, member.localHeader.method - 1, DeclaredUncompressedSize());
    const int result = unreducer.Unreduce();
    if (result != 0 && StoppedBySink(*this)) return cancelSeen != 0 ? kRunError : kRunOutputFailed;
    return kRunOk;  // damaged data shows in the CRC
}

int Cunzip::ExplodeMember() {
    MemberCodecIo io(*this);
    codecs::Exploder exploder(io, io, output.outputBuffer, member.localHeader.flags, member.compressedBytesLeft,
                              DeclaredUncompressedSize());
    const int result = exploder.Explode();
    if (result == codecs::kExplodeOk) return kRunOk;
    if (StoppedBySink(*this)) return cancelSeen != 0 ? kRunError : kRunOutputFailed;
    if (result == codecs::kExplodeInputMismatch) {
        // The whole size came out: input read beyond the member is damage,
        // input left over only a warning (the CRC still decides).
        return exploder.InputDifference() < 0 ? kRunError : kRunWarning;
    }
    if (result == codecs::kExplodeNoMemory) {
        ReportDecoderFailure("not enough memory to ", "explode");
        return kRunDecoderNoMemory;
    }
    ReportDecoderFailure("invalid compressed data to ", "explode");
    return kRunError;
}

}  // namespace tovra::extract
