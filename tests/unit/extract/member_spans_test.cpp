// member_spans_test.cpp - the overlap sweep over members' data spans: which
// members of a list are marked, whatever order the central directory gives.
#include "extract/member_spans.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovra::extract {
namespace {

struct SpanCase {
    const char* what;
    std::vector<std::pair<uint64_t, uint64_t>> spans;  // [start, end), entry = position in the list
    std::string marked;                                // one character per entry: 'x' overlaps, '.' does not
};

TEST(MemberSpans, OverlappingSpansAreMarkedWhateverTheirOrder) {
    const SpanCase cases[] = {
        {"touching spans share no byte", {{0, 10}, {10, 20}, {20, 30}}, "..."},
        {"one byte in common", {{0, 10}, {9, 20}}, "xx"},
        {"the same span twice", {{40, 70}, {0, 30}, {40, 70}}, "x.x"},
        {"a long span swallows two later ones", {{0, 100}, {10, 20}, {30, 40}, {100, 130}}, "xxx."},
        {"a span bridging two others, given last", {{0, 10}, {20, 30}, {5, 25}}, "xxx"},
        {"only the middle pair of a row", {{0, 30}, {30, 60}, {50, 90}, {90, 120}}, ".xx."},
        {"unsorted, nothing shared", {{300, 330}, {0, 30}, {100, 130}}, "..."},
    };
    for (const SpanCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<MemberSpan> spans;
        for (const auto& [start, end] : c.spans) {
            spans.push_back({start, end, static_cast<uint32_t>(spans.size())});
        }
        std::vector<uint8_t> flags(spans.size(), 0);
        MarkOverlappingSpans(spans.data(), spans.size(), flags.data());
        std::string marked;
        for (uint8_t f : flags) marked += f != 0 ? 'x' : '.';
        EXPECT_EQ(marked, c.marked);
    }
}

}  // namespace
}  // namespace tovra::extract
