// member_inflate.cpp - running the inflate decoder over one member and turning
// its result into the member's result, with the message box for damaged data
// or a lack of memory.
#include <cstdio>
#include <string>

#include "codecs/inflate.h"
#include "extract/Cunzip.h"
#include "extract/member_codec_io.h"
#include "extract/message_caption.h"
#include "extract/process_state.h"
#include "extract/run_results.h"
#include "platform/platform.h"

namespace tovra::extract {

void Cunzip::ReportDecoderFailure(const char* cause, const char* methodWord) {
    // String 1 carries the member name, string 2 does not; the library is
    // always quiet, so string 1 is the one normally shown.
    const unsigned id = quiet != 0 ? 1 : 2;
    std::string format;
    if (!platform::LoadStringResource(id, &format)) {
        format = quiet != 0 ? "error:  %s%s %s" : "error:  %s%s";
    }
    char text[600];
    std::snprintf(text, sizeof text, format.c_str(), cause, methodWord, member.nameBuffer);
    platform::ShowMessage(parentWindow, platform::AnsiToUtf8(text), kMessageCaption, platform::MessageIcon::kStop,
                          platform::MessageButtons::kOk);
}

static_assert(kOutputBufferSize >= codecs::kInflateBufferSize, "inflate works in the output buffer");

int Cunzip::InflateMember() {
    MemberCodecIo io(*this);
    codecs::Inflater inflater(io, io, output.outputBuffer, DeclaredUncompressedSize());
    const int result = inflater.Inflate();
    // Stopped by the flush at the declared size: ExtractMember reports that
    // (or the cancel or failed write that came with it).
    if (output.sizeExceeded != 0) {
        return kRunOk;
    }
    // The decoder stops with the sink's own code after a cancel or a failed
    // write; those are told by the engine's flags, not by the code.
    if (result == 0 || cancelSeen != 0 || ProcessState().WriteFailureState != 0) {
        return result == 0 ? kRunOk : (cancelSeen != 0 ? kRunError : kRunOutputFailed);
    }
    if (result == codecs::kInflateNoMemory) {
        ReportDecoderFailure("not enough memory to ", "inflate");
        return kRunDecoderNoMemory;
    }
    ReportDecoderFailure("invalid compressed data to ", "inflate");
    return kRunError;
}

}  // namespace tovra::extract
