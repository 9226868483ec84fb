// deflate_fuzzer.cpp - round-trips arbitrary data through the deflate
// compressor. The first bytes choose the level and the conditions: byte 0 the
// level (1 + byte % 9); byte 1 bit 0 a repositionable output (the member may
// then be stored), bit 1 short reads of 1 + byte 2 * 31 bytes, bit 2 a second
// run in reference mode that must give the same bytes, bit 3 the payload
// repeated up to 200000 bytes (long matches and window slides). The stream
// must inflate back exactly with zlib and with the library's own inflater,
// and the compressor's size must equal the bytes written.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "codecs/codec_memory.h"
#include "codecs/inflate.h"
#include "compress/deflate_memory.h"

namespace {

using tovra::compress::BitOutput;
using tovra::compress::Deflater;
using tovra::compress::DeflateResult;

void Check(bool ok) {
    if (!ok) std::abort();
}

std::vector<uint8_t> ZlibInflate(const std::vector<uint8_t>& in, size_t expected) {
    std::vector<uint8_t> out(expected + 1);
    z_stream z{};
    Check(inflateInit2(&z, -15) == Z_OK);
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    Check(rc == Z_STREAM_END && z.avail_in == 0);
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

std::vector<uint8_t> OwnInflate(const std::vector<uint8_t>& in, size_t expected) {
    tovra::codecs::MemorySource source(in.data(), in.size());
    tovra::codecs::MemorySink sink;
    std::vector<uint8_t> window(tovra::codecs::kInflateBufferSize);
    tovra::codecs::Inflater inflater(source, sink, window.data(), static_cast<int64_t>(expected));
    Check(inflater.Inflate() == tovra::codecs::kInflateOk);
    return sink.output;
}

struct Engine {
    BitOutput out;
    std::unique_ptr<Deflater> deflater = std::make_unique<Deflater>(out);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const int level = 1 + data[0] % 9;
    const uint8_t options = data[1];
    const bool repositionable = (options & 1) != 0;
    const uint32_t maxRead = (options & 2) != 0 ? 1 + uint32_t{data[2]} * 31 : 0;
    std::vector<uint8_t> input(data + 3, data + size);
    if ((options & 8) != 0 && !input.empty()) {
        const size_t period = input.size();
        while (input.size() < 200000) input.push_back(input[input.size() - period]);
    }

    static Engine fast;
    DeflateResult r =
        DeflateToMemory(*fast.deflater, fast.out, input.data(), input.size(), level, repositionable, maxRead);
    Check(r.error == 0);
    Check(static_cast<uint64_t>(r.compressedSize) == r.data.size() && r.bytesWritten == r.data.size());
    Check(r.flags == tovra::compress::kLevelTable[level].flagBits);
    if (r.method == tovra::compress::kMethodStored) {
        Check(repositionable && r.data == input);
    } else {
        Check(ZlibInflate(r.data, input.size()) == input);
        Check(OwnInflate(r.data, input.size()) == input);
    }
    if ((options & 4) != 0) {
        static Engine reference;
        reference.deflater->SetReferenceMode(true);
        DeflateResult s = DeflateToMemory(*reference.deflater, reference.out, input.data(), input.size(), level,
                                          repositionable, maxRead);
        Check(s.data == r.data && s.method == r.method);
    }
    return 0;
}
