// inflate_streams_test.cpp - hand-built deflate streams that each break (or
// stress) one rule, decoded by both loops, with zlib as a second opinion
// where the format itself decides.
#include <gtest/gtest.h>

#include "inflate_test_helpers.h"

namespace tovra::codecs::test {
namespace {

// Runs both loops; they must agree. Returns the careful loop's run.
InflateRun Inflate(const Bytes& stream, int64_t declaredSize) {
    const InflateRun careful = RunInflate(stream, declaredSize, false);
    const InflateRun fast = RunInflate(stream, declaredSize, true);
    EXPECT_EQ(careful.result, fast.result);
    EXPECT_TRUE(careful.output == fast.output);
    EXPECT_EQ(careful.bytesLeft, fast.bytesLeft);
    return careful;
}

// zlib's raw inflate: true when it accepts the stream, with its output.
bool ZlibInflate(const Bytes& stream, Bytes& output) {
    z_stream z{};
    inflateInit2(&z, -15);
    output.assign(1 << 20, 0);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = output.data();
    z.avail_out = static_cast<uInt>(output.size());
    const int rc = inflate(&z, Z_FINISH);
    output.resize(z.total_out);
    inflateEnd(&z);
    return rc == Z_STREAM_END;
}

// Header of a dynamic block whose code-length code gives lengths 0-15 four
// bits each, so every code length is written as its own value.
void DynamicHeader(BitWriter& w, bool last, const std::vector<uint8_t>& literal, const std::vector<uint8_t>& distance) {
    w.Bits(last ? 1 : 0, 1);
    w.Bits(2, 2);
    w.Bits(static_cast<uint32_t>(literal.size() - 257), 5);
    w.Bits(static_cast<uint32_t>(distance.size() - 1), 5);
    w.Bits(19 - 4, 4);
    for (unsigned i = 0; i < 19; ++i) w.Bits(kCodeLengthOrder[i] < 16 ? 4 : 0, 3);
    for (uint8_t len : literal) w.Code(len, 4);
    for (uint8_t len : distance) w.Code(len, 4);
}

// A literal/length code of four 2-bit codes: 'a' 00, 'x' 01, end of block 10,
// length 3 (symbol 257) 11.
std::vector<uint8_t> FourCodeLiterals() {
    std::vector<uint8_t> lengths(258, 0);
    lengths['a'] = lengths['x'] = lengths[256] = lengths[257] = 2;
    return lengths;
}

TEST(InflateStreams, EmptyStoredBlockGivesEmptyOutput) {
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(0, 2);
    w.Align();
    w.Bits(0, 16);
    w.Bits(0xFFFF, 16);
    const InflateRun run = Inflate(w.Finish(), 0);
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_TRUE(run.output.empty());
}

TEST(InflateStreams, StoredLengthCheck) {
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(0, 2);
    w.Align();
    w.Bits(3, 16);
    w.Bits(0xFFFB, 16);  // not the complement of 3
    w.Bits('a', 8);
    w.Bits('b', 8);
    w.Bits('c', 8);
    const Bytes stream = w.Finish();
    EXPECT_EQ(Inflate(stream, 3).result, kInflateBadData);
    Bytes zlibOut;
    EXPECT_FALSE(ZlibInflate(stream, zlibOut));
}

TEST(InflateStreams, StoredBlockCutShortIsInvalid) {
    // Three bytes announced, two present: the third must not be made up as a
    // zero byte, whatever size the member declares.
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(0, 2);
    w.Align();
    w.Bits(3, 16);
    w.Bits(0xFFFC, 16);
    w.Bits('a', 8);
    w.Bits('b', 8);
    const Bytes stream = w.Finish();
    for (int64_t declared : {0, 2, 3}) EXPECT_EQ(Inflate(stream, declared).result, kInflateBadData) << declared;
    Bytes zlibOut;
    EXPECT_FALSE(ZlibInflate(stream, zlibOut));
}

TEST(InflateStreams, BlockTypeThree) {
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(3, 2);
    EXPECT_EQ(Inflate(w.Finish(), 0).result, kInflateBadBlock);
}

TEST(InflateStreams, DistanceOneLength258RepeatsTheByte) {
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(1, 2);
    w.FixedLiteral('z');
    w.FixedLiteral(285);  // length 258
    w.FixedDistance(0);   // distance 1
    w.FixedLiteral(256);
    const Bytes stream = w.Finish();
    const InflateRun run = Inflate(stream, 259);
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_EQ(run.output, Bytes(259, 'z'));
    Bytes zlibOut;
    ASSERT_TRUE(ZlibInflate(stream, zlibOut));
    EXPECT_EQ(zlibOut, run.output);
}

TEST(InflateStreams, LengthSymbols286And287AreInvalid) {
    for (unsigned symbol : {286u, 287u}) {
        BitWriter w;
        w.Bits(1, 1);
        w.Bits(1, 2);
        w.FixedLiteral('a');
        w.FixedLiteral(symbol);
        w.FixedDistance(0);
        w.FixedLiteral(256);
        EXPECT_EQ(Inflate(w.Finish(), 4).result, kInflateBadData) << symbol;
    }
}

TEST(InflateStreams, FixedDistanceSymbols30And31AreInvalid) {
    for (unsigned symbol : {30u, 31u}) {
        BitWriter w;
        w.Bits(1, 1);
        w.Bits(1, 2);
        w.FixedLiteral('a');
        w.FixedLiteral(257);
        w.FixedDistance(symbol);
        w.FixedLiteral(256);
        EXPECT_EQ(Inflate(w.Finish(), 4).result, kInflateBadData) << symbol;
    }
}

TEST(InflateStreams, DistanceBeyondTheOutputIsRejected) {
    // One byte written, then a reference two bytes back: the byte before the
    // member's first one is not this member's data.
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(1, 2);
    w.FixedLiteral('a');
    w.FixedLiteral(257);
    w.FixedDistance(1);  // distance 2
    w.FixedLiteral(256);
    const Bytes stream = w.Finish();
    EXPECT_EQ(Inflate(stream, 4).result, kInflateBadData);
    Bytes zlibOut;
    EXPECT_FALSE(ZlibInflate(stream, zlibOut));
}

TEST(InflateStreams, BackReferenceAcrossTheWindowWrap) {
    // 32868 stored bytes fill the window once and 100 bytes more; then a
    // reference 200 back copies from the window's end on to its start.
    std::mt19937 rng(5);
    Bytes data(kWindowSize + 100);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    BitWriter w;
    size_t done = 0;
    while (done < data.size()) {
        const size_t n = std::min<size_t>(data.size() - done, 65535);
        w.Bits(0, 1);
        w.Bits(0, 2);
        w.Align();
        w.Bits(static_cast<uint32_t>(n), 16);
        w.Bits(static_cast<uint32_t>(~n & 0xFFFF), 16);
        for (size_t i = 0; i < n; ++i) w.Byte(data[done + i]);
        done += n;
    }
    w.Bits(1, 1);
    w.Bits(1, 2);
    w.FixedLiteral(285);  // 258
    w.FixedDistance(15);  // 193 + 3 extra bits
    w.Bits(7, 3);         // distance 200
    w.FixedLiteral(256);
    const Bytes stream = w.Finish();
    Bytes expected = data;
    for (int i = 0; i < 258; ++i) expected.push_back(expected[expected.size() - 200]);
    const InflateRun run = Inflate(stream, static_cast<int64_t>(expected.size()));
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_TRUE(run.output == expected);
    Bytes zlibOut;
    ASSERT_TRUE(ZlibInflate(stream, zlibOut));
    EXPECT_TRUE(zlibOut == expected);
}

TEST(InflateStreams, MissingEndOfBlockEndsAtTheDeclaredSize) {
    // Literal code: 'x' 0, 'a' 10, 'b' 110, end of block 111. After "ab" the
    // stream stops; the zero bits read past its end decode as 'x'.
    std::vector<uint8_t> literal(257, 0);
    literal['x'] = 1;
    literal['a'] = 2;
    literal['b'] = 3;
    literal[256] = 3;
    BitWriter w;
    DynamicHeader(w, true, literal, {1});
    w.Code(0b10, 2);
    w.Code(0b110, 3);
    const Bytes stream = w.Finish();

    const InflateRun fits = Inflate(stream, 2);
    EXPECT_EQ(fits.result, kInflateOk);
    EXPECT_EQ(fits.output, Bytes({'a', 'b'}));
    EXPECT_EQ(Inflate(stream, 40).result, kInflateBadData);  // declared size not reached
}

TEST(InflateStreams, MissingEndOfBlockAfterAWindowFlushIsInvalid) {
    // A stored block one window and two bytes long, then a final block with
    // "ab" whose end-of-block code is missing. More than a window went out, so
    // no declared size can be met by cutting the window: a small one used to
    // end the member after 32768 + 3 bytes, neither its size nor the stream's.
    BitWriter w;
    w.Bits(0, 1);
    w.Bits(0, 2);
    w.Align();
    constexpr uint32_t kStoredLength = 32770;
    w.Bits(kStoredLength, 16);
    w.Bits(~kStoredLength & 0xFFFF, 16);
    for (uint32_t i = 0; i < kStoredLength; ++i) w.Bits('s', 8);
    std::vector<uint8_t> literal(257, 0);
    literal['x'] = 1;
    literal['a'] = 2;
    literal['b'] = 3;
    literal[256] = 3;
    DynamicHeader(w, true, literal, {1});
    w.Code(0b10, 2);
    w.Code(0b110, 3);
    const Bytes stream = w.Finish();

    for (int64_t declared : {int64_t{3}, int64_t{kStoredLength + 2}}) {
        const InflateRun run = Inflate(stream, declared);
        EXPECT_EQ(run.result, kInflateBadData) << declared;
    }
}

TEST(InflateStreams, DynamicDistanceSymbols30And31AreInvalid) {
    for (unsigned symbol : {30u, 31u}) {
        std::vector<uint8_t> distance(32, 0);
        distance[0] = 1;
        distance[symbol] = 1;  // codes: symbol 0 is 0, the other 1
        BitWriter w;
        DynamicHeader(w, true, FourCodeLiterals(), distance);
        w.Code(0b00, 2);  // 'a'
        w.Code(0b11, 2);  // length 3
        w.Code(0b1, 1);   // distance symbol 30 or 31
        w.Code(0b10, 2);
        const Bytes stream = w.Finish();
        EXPECT_EQ(Inflate(stream, 4).result, kInflateBadData) << symbol;
        Bytes zlibOut;
        EXPECT_FALSE(ZlibInflate(stream, zlibOut));
    }
}

// The fixed code's table is 9 bits wide and a dynamic one up to 10: a short
// last code must still not make the decoder read a byte past the input.
TEST(InflateStreams, ShortLastCodeReadsNothingPastTheInput) {
    struct Case {
        const char* name;
        std::vector<unsigned> literals;  // fixed-code symbols before end of block
        Bytes output;
    };
    const Case cases[] = {{"7-bit end of block after an 8-bit literal", {'a'}, {'a'}},
                          {"after a 9-bit literal", {200}, {200}},
                          {"end of block alone", {}, {}}};
    for (const Case& c : cases) {
        BitWriter w;
        w.Bits(1, 1);
        w.Bits(1, 2);
        for (unsigned symbol : c.literals) w.FixedLiteral(symbol);
        w.FixedLiteral(256);
        const InflateRun run = Inflate(w.Finish(), static_cast<int64_t>(c.output.size()));
        EXPECT_EQ(run.result, kInflateOk) << c.name;
        EXPECT_EQ(run.output, c.output) << c.name;
        EXPECT_EQ(run.bytesLeft, 0) << c.name;
    }
}

// A distance beyond the bytes written, met where the fast loop runs (input
// buffered before and after it): the same result and input use as the
// careful loop.
TEST(InflateStreams, DistanceBeyondTheOutputAmidBufferedInput) {
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(1, 2);
    for (int i = 0; i < 40; ++i) w.FixedLiteral('a' + i % 26);
    w.FixedLiteral(257);
    w.FixedDistance(13);  // 97 + 5 extra bits
    w.Bits(0, 5);         // distance 97
    for (int i = 0; i < 40; ++i) w.FixedLiteral('a');
    w.FixedLiteral(256);
    const InflateRun run = Inflate(w.Finish(), 83);
    EXPECT_EQ(run.result, kInflateBadData);
    EXPECT_GE(run.bytesLeft, 40);  // it stopped at the match, not at the end
}

// The dynamic blocks build into the same tables: a second block's incomplete
// distance code must not decode a code that only the first block had.
TEST(InflateStreams, NextDynamicBlockKeepsNoCodeOfThePreviousOne) {
    BitWriter w;
    DynamicHeader(w, false, FourCodeLiterals(), {1, 1});  // distances 1 (0) and 2 (1)
    w.Code(0b00, 2);                                      // 'a'
    w.Code(0b10, 2);                                      // end of block
    DynamicHeader(w, true, FourCodeLiterals(), {1});      // distance 1 only
    w.Code(0b00, 2);                                      // 'a'
    w.Code(0b11, 2);                                      // length 3
    w.Code(0b1, 1);                                       // no such code now
    w.Code(0b10, 2);
    const Bytes stream = w.Finish();
    EXPECT_EQ(Inflate(stream, 5).result, kInflateBadData);
    Bytes zlibOut;
    EXPECT_FALSE(ZlibInflate(stream, zlibOut));
}

TEST(InflateStreams, IncompleteDistanceCodeDecodes) {
    BitWriter w;
    DynamicHeader(w, true, FourCodeLiterals(), {1});  // a single distance code
    w.Code(0b00, 2);                                  // 'a'
    w.Code(0b11, 2);                                  // length 3
    w.Code(0b0, 1);                                   // distance 1
    w.Code(0b01, 2);                                  // 'x'
    w.Code(0b10, 2);
    const Bytes stream = w.Finish();
    const InflateRun run = Inflate(stream, 5);
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_EQ(run.output, Bytes({'a', 'a', 'a', 'a', 'x'}));
    Bytes zlibOut;
    ASSERT_TRUE(ZlibInflate(stream, zlibOut));
    EXPECT_EQ(zlibOut, run.output);
}

// A lone 15-bit distance code (the all-zero code) decodes, and any other
// 15 bits are an invalid code.
TEST(InflateStreams, LoneLongDistanceCode) {
    struct Case {
        uint32_t distanceCode;
        int result;
        Bytes output;
    };
    const Case cases[] = {
        {0, kInflateOk, {'a', 'a', 'a', 'a', 'x'}}, {1u << 14, kInflateBadData, {}}, {1, kInflateBadData, {}}};
    for (const Case& c : cases) {
        std::vector<uint8_t> distance = {15};
        BitWriter w;
        DynamicHeader(w, true, FourCodeLiterals(), distance);
        w.Code(0b00, 2);  // 'a'
        w.Code(0b11, 2);  // length 3
        w.Code(c.distanceCode, 15);
        w.Code(0b01, 2);  // 'x'
        w.Code(0b10, 2);
        const InflateRun run = Inflate(w.Finish(), 5);
        EXPECT_EQ(run.result, c.result) << c.distanceCode;
        EXPECT_EQ(run.output, c.output) << c.distanceCode;
    }
}

// One small dynamic block: literal 0 and end of block in one bit each, a lone
// 15-bit distance code, no data but the end of block (97 bits).
void LoneLongDistanceBlock(BitWriter& w, bool last) {
    w.Bits(last ? 1 : 0, 1);
    w.Bits(2, 2);
    w.Bits(0, 5);       // 257 literal/length codes
    w.Bits(0, 5);       // 1 distance code
    w.Bits(19 - 4, 4);  // 19 code-length codes
    // Code-length code: 18 -> 0, 1 -> 10, 15 -> 11.
    for (unsigned i = 0; i < 19; ++i) {
        const uint8_t symbol = kCodeLengthOrder[i];
        w.Bits(symbol == 18 ? 1 : (symbol == 1 || symbol == 15) ? 2 : 0, 3);
    }
    w.Code(0b10, 2);  // literal 0: length 1
    w.Code(0b0, 1);   // 138 zeros
    w.Bits(127, 7);
    w.Code(0b0, 1);  // 117 zeros
    w.Bits(106, 7);
    w.Code(0b10, 2);  // end of block: length 1
    w.Code(0b11, 2);  // distance 0: length 15
    w.Code(0b1, 1);   // end of block
}

// Many such blocks cost the table builder a few small tables each, not a
// 32768-slot first level (counted, so a loaded machine cannot make it flaky).
TEST(InflateStreams, LoneLongDistanceCodeBlocksStayCheap) {
    constexpr unsigned kBlocks = 5000;
    BitWriter w;
    for (unsigned i = 0; i < kBlocks; ++i) LoneLongDistanceBlock(w, i + 1 == kBlocks);
    const Bytes stream = w.Finish();
    ASSERT_LE(stream.size(), 13u * kBlocks);
    for (bool fast : {false, true}) {
        HuffmanSlotsWritten() = 0;
        const InflateRun run = RunInflate(stream, 0, fast);
        EXPECT_EQ(run.result, kInflateOk);
        EXPECT_TRUE(run.output.empty());
        EXPECT_LE(HuffmanSlotsWritten(), 256u * kBlocks);
    }
}

TEST(InflateStreams, BadCodeLengths) {
    {
        std::vector<uint8_t> literal(257, 0);  // three 1-bit codes
        literal['a'] = literal['b'] = literal[256] = 1;
        BitWriter w;
        DynamicHeader(w, true, literal, {1});
        EXPECT_EQ(Inflate(w.Finish(), 1).result, kInflateBadBlock);
    }
    {
        std::vector<uint8_t> literal(257, 0);  // incomplete: 'a' 1 bit, end of block 2 bits
        literal['a'] = 1;
        literal[256] = 2;
        BitWriter w;
        DynamicHeader(w, true, literal, {1});
        EXPECT_EQ(Inflate(w.Finish(), 1).result, kInflateBadData);
    }
    {
        BitWriter w;  // a repeat that runs past the last length
        w.Bits(1, 1);
        w.Bits(2, 2);
        w.Bits(0, 5);
        w.Bits(0, 5);
        w.Bits(19 - 4, 4);
        for (unsigned i = 0; i < 19; ++i) w.Bits(kCodeLengthOrder[i] == 18 ? 1 : (kCodeLengthOrder[i] == 1 ? 1 : 0), 3);
        // Codes: 1 -> 0, 18 -> 1. 255 zeros via two 18s (138 + 117), then a
        // third 18 overflows the 258 lengths.
        w.Code(1, 1);
        w.Bits(127, 7);
        w.Code(1, 1);
        w.Bits(106, 7);
        w.Code(1, 1);
        w.Bits(10, 7);
        EXPECT_EQ(Inflate(w.Finish(), 1).result, kInflateBadData);
    }
    {
        BitWriter w;  // a code-length code with every length zero
        w.Bits(1, 1);
        w.Bits(2, 2);
        w.Bits(0, 5);
        w.Bits(0, 5);
        w.Bits(0, 4);
        w.Bits(0, 12);
        EXPECT_EQ(Inflate(w.Finish(), 1).result, kInflateBadData);
    }
}

// Runs of 10-bit first-level literals, each followed by a match whose codes
// and extra bits take the most bits a match can (a 15-bit length code with 5
// extra bits, a 15-bit distance code with 13): the fast loop must refill
// between them whatever the length of the run.
TEST(InflateStreams, LiteralRunsBeforeTheLongestMatch) {
    // Complete codes: literals of lengths 1..14 ('a' of 10 bits), the end of
    // block and length symbol 284 of 15; distances 0..13 of lengths
    // 1..14, symbols 28 and 29 of 15.
    std::vector<uint8_t> literal(285, 0);
    const uint8_t byLength[] = {'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'a', 'k', 'l', 'm', 'n'};
    for (int len = 1; len <= 14; ++len) literal[byLength[len - 1]] = static_cast<uint8_t>(len);
    literal[256] = 15;
    literal[284] = 15;
    std::vector<uint8_t> distance(30, 0);
    for (int len = 1; len <= 14; ++len) distance[len - 1] = static_cast<uint8_t>(len);
    distance[28] = distance[29] = 15;
    const std::vector<uint32_t> literalCodes = CanonicalCodes(literal);
    const std::vector<uint32_t> distanceCodes = CanonicalCodes(distance);

    BitWriter w;
    DynamicHeader(w, true, literal, distance);
    size_t written = 0;
    for (; written < 25000; ++written) w.Code(literalCodes[byLength[written % 3]], 1 + written % 3);
    for (unsigned run = 0; run <= 6; ++run) {
        for (unsigned i = 0; i < run; ++i) w.Code(literalCodes['a'], 10);
        w.Code(literalCodes[284], 15);
        w.Bits(31 - run, 5);  // length 227 + extra
        w.Code(distanceCodes[28], 15);
        w.Bits(0x1FFF - run * 97, 13);  // distance 16385 + extra
        written += run + 227 + 31 - run;
    }
    w.Code(literalCodes[256], 15);
    const Bytes stream = w.Finish();
    Bytes expected;
    ASSERT_TRUE(ZlibInflate(stream, expected));
    ASSERT_EQ(expected.size(), written);
    const InflateRun run = Inflate(stream, static_cast<int64_t>(written));
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_TRUE(run.output == expected);
}

// Code lengths read while plenty of input is buffered (the word-wise header
// reader) give the careful reader's result and leave the same input unread.
TEST(InflateStreams, CodeLengthsWithInputBuffered) {
    // A repeat that runs past the last length, with input to spare.
    struct Case {
        uint32_t extra;  // of the third 18-symbol: 11 + extra zeros
        int result;
    };
    const Case cases[] = {{0, kInflateBadData}, {10, kInflateBadData}, {127, kInflateBadData}};
    for (const Case& c : cases) {
        BitWriter w;
        w.Bits(1, 1);
        w.Bits(2, 2);
        w.Bits(0, 5);  // 257 literal/length lengths
        w.Bits(0, 5);  // 1 distance length
        w.Bits(19 - 4, 4);
        for (unsigned i = 0; i < 19; ++i) w.Bits(kCodeLengthOrder[i] == 18 ? 1 : (kCodeLengthOrder[i] == 1 ? 1 : 0), 3);
        // Codes: 1 -> 0, 18 -> 1. 255 zeros, then 11 or more of 258.
        w.Code(1, 1);
        w.Bits(127, 7);
        w.Code(1, 1);
        w.Bits(106, 7);
        w.Code(1, 1);
        w.Bits(c.extra, 7);
        Bytes stream = w.Finish();
        stream.resize(stream.size() + 2000, 0x55);
        const InflateRun run = Inflate(stream, 1);
        EXPECT_EQ(run.result, c.result) << c.extra;
    }
    // Two lengths of one bit after the 255 zeros: a complete code of the
    // last literal and the distance; then a one-bit code for 0xFF.
    BitWriter w;
    w.Bits(1, 1);
    w.Bits(2, 2);
    w.Bits(0, 5);
    w.Bits(0, 5);
    w.Bits(19 - 4, 4);
    for (unsigned i = 0; i < 19; ++i) w.Bits(kCodeLengthOrder[i] == 18 ? 1 : (kCodeLengthOrder[i] == 1 ? 1 : 0), 3);
    w.Code(1, 1);
    w.Bits(127, 7);
    w.Code(1, 1);
    w.Bits(106, 7);
    w.Code(0, 1);                                 // literal 255: 1 bit
    w.Code(0, 1);                                 // end of block: 1 bit
    w.Code(0, 1);                                 // distance 0: 1 bit
    for (int k = 0; k < 5000; ++k) w.Code(0, 1);  // 0xFF
    w.Code(1, 1);
    Bytes stream = w.Finish();
    const size_t body = stream.size();
    stream.resize(body + 700, 0xAA);
    Bytes expected;
    ASSERT_TRUE(ZlibInflate(stream, expected));
    const InflateRun run = Inflate(stream, 5000);
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_TRUE(run.output == expected);
    EXPECT_EQ(run.bytesLeft, 700);
}

}  // namespace
}  // namespace tovra::codecs::test
