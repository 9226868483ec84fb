// inflate_fast_tables.cpp - translation of a code's lookup tables into the
// fast loop's compact words (layout in inflate_fast_tables.h).
#include "codecs/inflate_fast_tables.h"

#include <cstring>

namespace tovra::codecs {

void BuildFastTable(const HuffmanTableList& list, int rootBits, FastCode code, FastTable& table) {
    const int fastRootBits = code == FastCode::kLiteralLength ? kFastLiteralRootBits : kFastDistanceRootBits;
    table.usable = false;
    if (rootBits > fastRootBits) return;
    // An empty code's list still has its header and one invalid slot.
    const uint32_t count = list.Empty() ? 2 : list.EntryCount();
    const uint32_t listRoot = 1u << rootBits;
    const uint32_t fastRoot = 1u << fastRootBits;
    const uint32_t rest = count - 1 - listRoot;  // sub-tables with their headers
    if (fastRoot + rest > kFastTableCapacity) return;

    // The list's sub-tables start at 1 + listRoot, the compact ones at fastRoot.
    const uint32_t shift = fastRoot - (1 + listRoot);
    const HuffmanEntry* const entries = list.Base();
    // Translate the list's first level once, then repeat it by doubling: a
    // hostile stream of tiny dynamic blocks makes this build run once every
    // few input bytes, so its cost follows the code's own width.
    for (uint32_t i = 0; i < listRoot; ++i) table.slots[i] = FastWord(entries[1 + i], code, shift);
    for (uint32_t filled = listRoot; filled < fastRoot; filled *= 2) {
        std::memcpy(table.slots + filled, table.slots, filled * sizeof(table.slots[0]));
    }
    for (uint32_t i = 0; i < rest; ++i) table.slots[fastRoot + i] = FastWord(entries[1 + listRoot + i], code, shift);
    table.usable = true;
}

}  // namespace tovra::codecs
