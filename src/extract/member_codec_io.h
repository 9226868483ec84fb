// member_codec_io.h - the extraction context seen through the decoders' two
// interfaces: the member's compressed bytes as a CodecSource (the reader's
// buffer, a block at a time, or NextMemberByte) and FlushOutput as the
// CodecSink.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codecs/codec_io.h"
#include "extract/Cunzip.h"

namespace tovra::extract {

class MemberCodecIo final : public codecs::CodecSource, public codecs::CodecSink {
public:
    explicit MemberCodecIo(Cunzip& context) : context_(context) {}

    int NextByte() override { return context_.NextMemberByte(); }
    // The member's bytes already in the reader's buffer.
    const uint8_t* Buffered(size_t& count) override;
    void Consume(size_t n) override;
    // FlushOutput: 0, 50 after a failed write, 2 once the run is cancelled
    // or the data runs past the member's declared size.
    int FlushWindow(const uint8_t* data, size_t count) override;

private:
    Cunzip& context_;
};

}  // namespace tovra::extract
