// decrypt_fuzzer.cpp - traditional decryption with the fixed password
// "fuzz" in front of inflate, as the extraction engine runs an encrypted
// deflated member. Byte 0 is the expected check byte; then the 12-byte
// header and the enciphered deflate stream. When the header is accepted, the
// data is decrypted in pieces of varying size (the keys must carry over) and
// inflated through the careful and the fast loop, which must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codecs/codec_memory.h"
#include "codecs/inflate.h"
#include "codecs/traditional_crypto.h"
#include "format/crc32.h"

namespace {

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& in, bool fast, int* result) {
    static uint8_t window[tovra::codecs::kInflateBufferSize];
    tovra::codecs::MemorySource source(in.data(), in.size(), 8192);
    tovra::codecs::MemorySink sink;
    tovra::codecs::Inflater inflater(source, sink, window, 0);
    inflater.SetFastPath(fast);
    *result = inflater.Inflate();
    return sink.output;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 + tovra::codecs::kEncryptionHeaderSize) return 0;
    static uint32_t table[256];
    static bool built = false;
    if (!built) {
        tovra::format::BuildCrcTable(table);
        built = true;
    }
    tovra::codecs::TraditionalCipher cipher(table);
    cipher.SetPassword("fuzz");
    if (!cipher.CheckHeader(data + 1, data[0])) return 0;
    std::vector<uint8_t> body(data + 1 + tovra::codecs::kEncryptionHeaderSize, data + size);
    for (size_t at = 0, piece = 1; at < body.size(); at += piece, piece = piece * 3 + 1) {
        const size_t n = piece < body.size() - at ? piece : body.size() - at;
        cipher.DecryptBytes(body.data() + at, n);
    }
    int careful = 0;
    int fast = 0;
    if (Inflate(body, false, &careful) != Inflate(body, true, &fast) || careful != fast) std::abort();
    return 0;
}
