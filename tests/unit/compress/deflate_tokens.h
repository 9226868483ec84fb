// deflate_tokens.h - a small, slow deflate reader for tests that need to see
// what the compressor chose: the type of each block and the literals and
// matches it holds. It trusts its input (only our own output is fed to it).
#pragma once

#include <cstdint>
#include <vector>

namespace tovra::compress::testing {

struct Token {
    bool match = false;
    uint8_t literal = 0;
    uint32_t length = 0;
    uint32_t distance = 0;
};

struct ParsedStream {
    std::vector<int> blockTypes;  // 0 stored, 1 fixed, 2 dynamic
    std::vector<Token> tokens;    // stored bytes appear as literals
};

class TokenReader {
public:
    explicit TokenReader(const std::vector<uint8_t>& in) : in_(in) {}

    ParsedStream Parse() {
        ParsedStream out;
        bool last = false;
        while (!last && !Overrun()) {
            last = Bits(1) != 0;
            const int type = static_cast<int>(Bits(2));
            out.blockTypes.push_back(type);
            if (type == 0) {
                bitPos_ = (bitPos_ + 7) & ~size_t{7};
                const uint32_t len = Bits(16);
                Bits(16);
                for (uint32_t i = 0; i < len; ++i) out.tokens.push_back({false, static_cast<uint8_t>(Bits(8)), 0, 0});
                continue;
            }
            std::vector<int> lit(288), dist(30);
            if (type == 1) {
                for (int n = 0; n < 288; ++n) lit[n] = n < 144 ? 8 : n < 256 ? 9 : n < 280 ? 7 : 8;
                for (int& d : dist) d = 5;
            } else {
                ReadTrees(lit, dist);
            }
            while (!Overrun()) {
                const int sym = Decode(lit);
                if (sym < 0) break;
                if (sym < 256) {
                    out.tokens.push_back({false, static_cast<uint8_t>(sym), 0, 0});
                    continue;
                }
                if (sym == 256) break;
                static const uint16_t kLenBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
                static const uint8_t kLenExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
                static const uint16_t kDistBase[] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                                     33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                                     1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
                Token t;
                t.match = true;
                t.length = kLenBase[sym - 257] + Bits(kLenExtra[sym - 257]);
                const int d = Decode(dist);
                if (d < 0) break;
                t.distance = kDistBase[d] + Bits(d < 4 ? 0 : (d - 2) / 2);
                out.tokens.push_back(t);
            }
        }
        return out;
    }

private:
    // A stream that reads past its end is malformed; parsing stops.
    bool Overrun() const { return bitPos_ > in_.size() * 8; }
    uint32_t Bits(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++bitPos_) {
            const size_t byte = bitPos_ >> 3;
            const uint32_t bit = byte < in_.size() ? (in_[byte] >> (bitPos_ & 7)) & 1 : 0;
            v |= bit << i;
        }
        return v;
    }
    // Canonical decode, one bit at a time.
    int Decode(const std::vector<int>& lengths) {
        int code = 0, first = 0;
        for (int len = 1; len <= 15; ++len) {
            code |= static_cast<int>(Bits(1));
            int count = 0;
            for (int l : lengths) count += l == len;
            if (code - count < first) {
                int k = code - first;  // the k-th symbol of this length
                for (size_t s = 0; s < lengths.size(); ++s) {
                    if (lengths[s] == len && k-- == 0) return static_cast<int>(s);
                }
            }
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }
    void ReadTrees(std::vector<int>& lit, std::vector<int>& dist) {
        const int hlit = static_cast<int>(Bits(5)) + 257;
        const int hdist = static_cast<int>(Bits(5)) + 1;
        const int hclen = static_cast<int>(Bits(4)) + 4;
        static const int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        std::vector<int> cl(19);
        for (int i = 0; i < hclen; ++i) cl[kOrder[i]] = static_cast<int>(Bits(3));
        std::vector<int> all;
        while (static_cast<int>(all.size()) < hlit + hdist && !Overrun()) {
            const int sym = Decode(cl);
            if (sym < 0) break;
            if (sym < 16) {
                all.push_back(sym);
            } else if (sym == 16) {
                const int prev = all.empty() ? 0 : all.back();
                for (uint32_t n = 3 + Bits(2); n > 0; --n) all.push_back(prev);
            } else {
                for (uint32_t n = sym == 17 ? 3 + Bits(3) : 11 + Bits(7); n > 0; --n) all.push_back(0);
            }
        }
        all.resize(static_cast<size_t>(hlit + hdist));
        lit.assign(all.begin(), all.begin() + hlit);
        dist.assign(all.begin() + hlit, all.end());
    }

    const std::vector<uint8_t>& in_;
    size_t bitPos_ = 0;
};

}  // namespace tovra::compress::testing
