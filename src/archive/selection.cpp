// selection.cpp - PassesSelection: the -i and -x patterns applied to a stored
// name (see file_collection.h).
//
// With include patterns a name starts out not selected and any matching
// include selects it; without them it starts out selected. A matching exclude
// pattern rejects the name at once, wherever it stands in the list.
#include "archive/file_collection.h"
#include "archive/name_matching.h"

namespace tovra::archive {

bool PassesSelection(const ArchiveContext& context, const std::string& internalName) {
    if (context.selectPatterns.empty()) return true;
    bool selected = context.includeCount == 0;
    for (const SelectPattern& pattern : context.selectPatterns) {
        if (MatchPattern(pattern.text.c_str(), internalName.c_str()) != kMatchYes) continue;
        if (pattern.kind == 'x') return false;
        selected = true;
    }
    return selected;
}

}  // namespace tovra::archive
