// legacy_encoders.cpp - the test-only encoders of legacy_encoders.h.
//
// Shrink keeps a model of the decoder's code table (nodes with parent,
// sibling and child links, the same allocation and partial-clear rules) and
// defines a string when the decoder will: on reading each code after the
// first, the previous code's string plus this code's first byte. Reduce and
// implode use a small hash-chain matcher; implode's trees are Huffman code
// lengths (limited to 16 bits) sent as Shannon-Fano codes.
#include "support/legacy_encoders.h"

#include <algorithm>
#include <array>
#include <functional>
#include <numeric>
#include <queue>
#include <unordered_map>

namespace tovra::test {

// ---------------------------------------------------------------- bits

void LsbBitWriter::Put(uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i, ++bits_) {
        if (bits_ % 8 == 0) bytes_.push_back(0);
        if ((value >> i) & 1) bytes_.back() = static_cast<uint8_t>(bytes_.back() | (1u << (bits_ % 8)));
    }
}

std::string LsbBitWriter::Finish() const { return std::string(bytes_.begin(), bytes_.end()); }

namespace {

// ---------------------------------------------------------------- encryption

struct Keys {
    uint32_t k0 = 0x12345678, k1 = 0x23456789, k2 = 0x34567890;
};

uint32_t CrcByte(uint32_t crc, uint8_t b) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    return crc;
}

void Update(Keys& k, uint8_t plain) {
    k.k0 = CrcByte(k.k0, plain);
    k.k1 = (k.k1 + (k.k0 & 0xFF)) * 134775813u + 1;
    k.k2 = CrcByte(k.k2, static_cast<uint8_t>(k.k1 >> 24));
}

uint8_t Stream(const Keys& k) {
    const uint32_t t = (k.k2 | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

// ---------------------------------------------------------------- matching

struct Match {
    size_t length = 0;
    size_t distance = 0;
};

class Matcher {
public:
    Matcher(const std::string& data, size_t window, size_t maxLength)
        : data_(data), window_(window), maxLength_(maxLength), head_(1 << 15, kNone), chain_(data.size(), kNone) {}

    // Longest match at `at` (earlier positions inserted), then inserts `at`.
    Match Find(size_t at) {
        Match best;
        if (at + 3 <= data_.size()) {
            size_t candidate = head_[Hash(at)];
            for (int depth = 0; candidate != kNone && depth < 48; ++depth, candidate = chain_[candidate]) {
                if (at - candidate > window_) break;
                size_t n = 0;
                const size_t limit = std::min(maxLength_, data_.size() - at);
                while (n < limit && data_[candidate + n] == data_[at + n]) ++n;
                if (n > best.length) best = Match{n, at - candidate};
            }
        }
        Insert(at);
        return best;
    }
    void Insert(size_t at) {
        if (at + 3 > data_.size()) return;
        const size_t h = Hash(at);
        chain_[at] = head_[h];
        head_[h] = at;
    }

private:
    static constexpr size_t kNone = ~size_t{0};
    size_t Hash(size_t at) const {
        const auto b = [&](size_t i) { return static_cast<uint8_t>(data_[at + i]); };
        return ((b(0) << 10) ^ (b(1) << 5) ^ b(2)) & 0x7FFF;
    }
    const std::string& data_;
    size_t window_;
    size_t maxLength_;
    std::vector<size_t> head_;
    std::vector<size_t> chain_;
};

// ---------------------------------------------------------------- shrink

constexpr uint16_t kNone = 0xFFFF;
constexpr unsigned kNodes = 8192;

class ShrinkModel {
public:
    ShrinkModel() {
        parent_.fill(kNone);
        sibling_.fill(kNone);
        child_.fill(kNone);
        byte_.fill(0);
        for (unsigned i = 0; i < 256; ++i) {
            parent_[i] = 256;
            sibling_[i] = i < 255 ? static_cast<uint16_t>(i + 1) : kNone;
            byte_[i] = static_cast<uint8_t>(i);
        }
    }

    // The node of string(w) + c, or kNone.
    uint16_t Find(uint16_t w, uint8_t c) const {
        auto it = dict_.find(Key(w, c));
        return it == dict_.end() ? kNone : it->second;
    }

    bool Full() const {
        for (unsigned n = last_ + 1; n < kNodes; ++n)
            if (parent_[n] == kNone) return false;
        return true;
    }

    void Add(uint16_t under, uint8_t first) {
        unsigned node = last_ + 1;
        while (node < kNodes && parent_[node] != kNone) ++node;
        if (node >= kNodes) {
            last_ = kNodes - 1;
            return;
        }
        last_ = node;
        const bool underFree = parent_[under] == kNone;
        if (child_[under] == kNone) {
            child_[under] = static_cast<uint16_t>(node);
            if (underFree) sibling_[under] = 256;
        } else {
            uint16_t at = child_[under];
            while (sibling_[at] != kNone && sibling_[at] != 256) at = sibling_[at];
            sibling_[at] = static_cast<uint16_t>(node);
        }
        byte_[node] = first;
        parent_[node] = under;
        if (sibling_[node] != 256) child_[node] = kNone;
        sibling_[node] = kNone;
        if (!underFree) dict_[Key(under, first)] = static_cast<uint16_t>(node);
    }

    void PartialClear() {
        std::vector<uint16_t> owners;
        for (uint16_t r = 0; r < 256; ++r)
            if (child_[r] != kNone) owners.push_back(r);
        while (!owners.empty()) {
            const uint16_t owner = owners.back();
            owners.pop_back();
            uint16_t kept = kNone;
            for (uint16_t n = child_[owner]; n != kNone && n != 256;) {
                const uint16_t next = sibling_[n] == 256 ? kNone : sibling_[n];
                if (child_[n] == kNone) {
                    if (kept == kNone)
                        child_[owner] = next;
                    else
                        sibling_[kept] = next;
                    parent_[n] = kNone;
                    sibling_[n] = kNone;
                } else {
                    kept = n;
                    owners.push_back(n);
                }
                n = next;
            }
        }
        last_ = 256;
        // Only strings the decoder can walk are used again.
        dict_.clear();
        std::array<int8_t, kNodes> valid{};  // 0 unknown, 1 yes, -1 no
        for (unsigned n = 257; n < kNodes; ++n) {
            if (parent_[n] == kNone) continue;
            std::vector<unsigned> path;
            unsigned at = n;
            int verdict = 0;
            while (verdict == 0) {
                if (at < 256) {
                    verdict = 1;
                } else if (at == 256 || parent_[at] == kNone || path.size() > kNodes) {
                    verdict = -1;
                } else if (valid[at] != 0) {
                    verdict = valid[at];
                } else {
                    path.push_back(at);
                    at = parent_[at];
                }
            }
            for (unsigned p : path) valid[p] = static_cast<int8_t>(verdict);
            if (verdict == 1) dict_[Key(parent_[n], byte_[n])] = static_cast<uint16_t>(n);
        }
    }

private:
    static uint32_t Key(uint16_t w, uint8_t c) { return (uint32_t{w} << 8) | c; }
    std::array<uint16_t, kNodes> parent_, sibling_, child_;
    std::array<uint8_t, kNodes> byte_;
    unsigned last_ = 256;
    std::unordered_map<uint32_t, uint16_t> dict_;
};

// ---------------------------------------------------------------- implode trees

// Huffman code lengths for `freq` (every symbol gets a code), at most 16.
std::vector<uint8_t> CodeLengths(std::vector<uint64_t> freq) {
    const size_t n = freq.size();
    for (;;) {
        struct Node {
            uint64_t weight;
            int left, right;
        };
        std::vector<Node> nodes;
        using Item = std::pair<uint64_t, int>;
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
        for (size_t i = 0; i < n; ++i) {
            nodes.push_back({freq[i] + 1, -1, -1});
            queue.push({freq[i] + 1, static_cast<int>(i)});
        }
        while (queue.size() > 1) {
            auto [wa, a] = queue.top();
            queue.pop();
            auto [wb, b] = queue.top();
            queue.pop();
            nodes.push_back({wa + wb, a, b});
            queue.push({wa + wb, static_cast<int>(nodes.size() - 1)});
        }
        std::vector<uint8_t> lengths(n, 0);
        std::vector<std::pair<int, int>> stack{{queue.top().second, 0}};
        int deepest = 0;
        while (!stack.empty()) {
            auto [node, depth] = stack.back();
            stack.pop_back();
            if (nodes[node].left < 0) {
                lengths[node] = static_cast<uint8_t>(depth);
                deepest = std::max(deepest, depth);
            } else {
                stack.push_back({nodes[node].left, depth + 1});
                stack.push_back({nodes[node].right, depth + 1});
            }
        }
        if (deepest <= 16) return lengths;
        for (uint64_t& f : freq) f >>= 1;
    }
}

struct Code {
    uint32_t bits;
    int length;
};

// Shannon-Fano codes of the method: the complement of the canonical code
// (shorter codes first, equal lengths in symbol order), sent first bit first.
std::vector<Code> ImplodeCodes(const std::vector<uint8_t>& lengths) {
    std::vector<size_t> order(lengths.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return lengths[a] < lengths[b]; });
    std::vector<Code> codes(lengths.size());
    uint32_t code = 0;
    int previous = lengths[order[0]];
    for (size_t k = 0; k < order.size(); ++k) {
        const int len = lengths[order[k]];
        code <<= (len - previous);
        previous = len;
        const uint32_t complement = ~code & ((1u << len) - 1);
        uint32_t reversed = 0;
        for (int i = 0; i < len; ++i) reversed |= ((complement >> (len - 1 - i)) & 1) << i;
        codes[order[k]] = Code{reversed, len};
        ++code;
    }
    return codes;
}

std::string TreeDescription(const std::vector<uint8_t>& lengths) {
    std::string runs;
    for (size_t i = 0; i < lengths.size();) {
        size_t j = i;
        while (j < lengths.size() && lengths[j] == lengths[i] && j - i < 16) ++j;
        runs += static_cast<char>(((j - i - 1) << 4) | (lengths[i] - 1));
        i = j;
    }
    return std::string(1, static_cast<char>(runs.size() - 1)) + runs;
}

}  // namespace

std::string TraditionalEncrypt(const std::string& password, const std::string& plain, uint8_t checkByte,
                               uint32_t seed) {
    Keys k;
    for (char c : password) Update(k, static_cast<uint8_t>(c));
    std::string header(12, '\0');
    for (int i = 0; i < 11; ++i) {
        seed = seed * 1103515245u + 12345u;
        header[i] = static_cast<char>(seed >> 16);
    }
    header[11] = static_cast<char>(checkByte);
    std::string out;
    out.reserve(12 + plain.size());
    for (const std::string* part : {static_cast<const std::string*>(&header), &plain}) {
        for (char c : *part) {
            const uint8_t p = static_cast<uint8_t>(c);
            out += static_cast<char>(p ^ Stream(k));
            Update(k, p);
        }
    }
    return out;
}

std::string Shrink(const std::string& data, const ShrinkOptions& options) {
    if (data.empty()) return "";
    ShrinkModel model;
    LsbBitWriter out;
    int bits = 9;
    int previous = -1;
    auto emit = [&](uint16_t code, uint8_t first) {
        while (code >= (1u << bits)) {
            out.Put(256, bits);
            out.Put(1, bits);
            ++bits;
        }
        out.Put(code, bits);
        if (previous >= 0) model.Add(static_cast<uint16_t>(previous), first);
        previous = code;
    };
    uint16_t w = static_cast<uint8_t>(data[0]);
    uint8_t first = static_cast<uint8_t>(data[0]);
    size_t sinceClear = 0;
    for (size_t i = 1; i < data.size(); ++i) {
        const uint8_t c = static_cast<uint8_t>(data[i]);
        ++sinceClear;
        const uint16_t next = model.Find(w, c);
        if (next != kNone) {
            w = next;
            continue;
        }
        emit(w, first);
        w = c;
        first = c;
        // A clear comes right after a literal code: the string the decoder
        // defines next then hangs under a root, which no clear removes.
        const bool due = options.clearEvery != 0 && sinceClear >= options.clearEvery;
        if ((due || (options.clearWhenFull && model.Full())) && previous < 256) {
            out.Put(256, bits);
            out.Put(2, bits);
            model.PartialClear();
            sinceClear = 0;
        }
    }
    emit(w, first);
    return out.Finish();
}

std::string Reduce(const std::string& data, int factor) {
    const int shift = 8 - factor;
    const uint32_t lengthMask = 127u >> (factor - 1);
    const size_t maxDistance = size_t{1} << (8 + factor);
    Matcher matcher(data, maxDistance, lengthMask + 255 + 3);
    std::vector<uint8_t> stage;  // the bytes before follower coding
    for (size_t i = 0; i < data.size();) {
        Match m = matcher.Find(i);
        if (m.length >= 3) {
            const uint32_t high = static_cast<uint32_t>((m.distance - 1) >> 8);
            const uint32_t lengthPart = std::min<uint32_t>(static_cast<uint32_t>(m.length - 3), lengthMask);
            const uint32_t v = (high << shift) | lengthPart;
            if (v != 0) {  // 144, 0 is the escaped literal 144
                stage.push_back(144);
                stage.push_back(static_cast<uint8_t>(v));
                if (lengthPart == lengthMask) stage.push_back(static_cast<uint8_t>(m.length - 3 - lengthMask));
                stage.push_back(static_cast<uint8_t>((m.distance - 1) & 0xFF));
                for (size_t k = 1; k < m.length; ++k) matcher.Insert(i + k);
                i += m.length;
                continue;
            }
        }
        const uint8_t b = static_cast<uint8_t>(data[i]);
        stage.push_back(b);
        if (b == 144) stage.push_back(0);
        ++i;
    }

    // Follower sets: the most frequent successors of each byte, up to 32.
    std::vector<std::array<uint32_t, 256>> pairs(256);
    for (auto& row : pairs) row.fill(0);
    uint8_t prev = 0;
    for (uint8_t b : stage) {
        ++pairs[prev][b];
        prev = b;
    }
    std::vector<std::vector<uint8_t>> sets(256);
    for (int x = 0; x < 256; ++x) {
        std::vector<int> order(256);
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return pairs[x][a] > pairs[x][b]; });
        for (int k = 0; k < 32 && pairs[x][order[k]] > 1; ++k) sets[x].push_back(static_cast<uint8_t>(order[k]));
    }
    LsbBitWriter out;
    for (int x = 255; x >= 0; --x) {
        out.Put(static_cast<uint32_t>(sets[x].size()), 6);
        for (uint8_t b : sets[x]) out.Put(b, 8);
    }
    prev = 0;
    for (uint8_t b : stage) {
        const auto& set = sets[prev];
        if (set.empty()) {
            out.Put(b, 8);
        } else {
            auto it = std::find(set.begin(), set.end(), b);
            if (it == set.end()) {
                out.Put(1, 1);
                out.Put(b, 8);
            } else {
                int bits = 1;
                while ((1u << bits) < set.size()) ++bits;
                out.Put(0, 1);
                out.Put(static_cast<uint32_t>(it - set.begin()), bits);
            }
        }
        prev = b;
    }
    return out.Finish();
}

std::string Implode(const std::string& data, uint16_t flags) {
    const bool largeWindow = (flags & 2) != 0;
    const bool literalTree = (flags & 4) != 0;
    const int lowBits = largeWindow ? 7 : 6;
    const size_t minLength = literalTree ? 3 : 2;
    const size_t maxLength = minLength + 63 + 255;
    const size_t window = largeWindow ? 8192 : 4096;

    struct Token {
        bool literal;
        uint8_t byte;
        size_t length, distance;
    };
    std::vector<Token> tokens;
    Matcher matcher(data, window, maxLength);
    for (size_t i = 0; i < data.size();) {
        Match m = matcher.Find(i);
        if (m.length >= minLength) {
            tokens.push_back({false, 0, m.length, m.distance});
            for (size_t k = 1; k < m.length; ++k) matcher.Insert(i + k);
            i += m.length;
        } else {
            tokens.push_back({true, static_cast<uint8_t>(data[i]), 0, 0});
            ++i;
        }
    }
    std::vector<uint64_t> literalFreq(256, 0), lengthFreq(64, 0), distanceFreq(64, 0);
    for (const Token& t : tokens) {
        if (t.literal) {
            ++literalFreq[t.byte];
        } else {
            ++lengthFreq[std::min<size_t>(t.length - minLength, 63)];
            ++distanceFreq[(t.distance - 1) >> lowBits];
        }
    }
    const auto literalLengths = CodeLengths(literalFreq);
    const auto lengthLengths = CodeLengths(lengthFreq);
    const auto distanceLengths = CodeLengths(distanceFreq);
    const auto literalCodes = ImplodeCodes(literalLengths);
    const auto lengthCodes = ImplodeCodes(lengthLengths);
    const auto distanceCodes = ImplodeCodes(distanceLengths);

    std::string header;
    if (literalTree) header += TreeDescription(literalLengths);
    header += TreeDescription(lengthLengths);
    header += TreeDescription(distanceLengths);
    LsbBitWriter out;
    for (const Token& t : tokens) {
        if (t.literal) {
            out.Put(1, 1);
            if (literalTree) {
                out.Put(literalCodes[t.byte].bits, literalCodes[t.byte].length);
            } else {
                out.Put(t.byte, 8);
            }
            continue;
        }
        out.Put(0, 1);
        const size_t d = t.distance - 1;
        out.Put(static_cast<uint32_t>(d & ((1u << lowBits) - 1)), lowBits);
        const Code& dc = distanceCodes[d >> lowBits];
        out.Put(dc.bits, dc.length);
        const size_t l = t.length - minLength;
        const Code& lc = lengthCodes[std::min<size_t>(l, 63)];
        out.Put(lc.bits, lc.length);
        if (l >= 63) out.Put(static_cast<uint32_t>(l - 63), 8);
    }
    return header + out.Finish();
}

}  // namespace tovra::test
