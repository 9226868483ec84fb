// select_patterns.cpp - the -i / -x pattern lists of the archiving command
// line, collected before the arguments are walked.
//
// An option group that holds the letter i anywhere opens an include list,
// else one that holds x opens an exclude list, else any option group closes
// the list. Every plain argument while a list is open becomes a pattern of
// that kind, in stored-name form, in command-line order.
#include <new>
#include <string>

#include "archive/archive_command_line.h"
#include "archive/file_collection.h"
#include "format/archive_errors.h"

namespace tovra::archive {

int BuildSelectPatterns(ArchiveContext& context) {
    context.selectPatterns.clear();
    context.includeCount = 0;
    try {
        char kind = 0;  // 0: no list open
        for (size_t i = 1; i < context.argumentList.size(); ++i) {
            const std::string& argument = context.argumentList[i];
            if (!argument.empty() && argument[0] == '-') {
                kind = argument.find('i') != std::string::npos   ? 'i'
                       : argument.find('x') != std::string::npos ? 'x'
                                                                 : 0;
                continue;
            }
            if (kind == 0) continue;
            SelectPattern pattern;
            pattern.text = ToInternalName(context, argument, false, nullptr);
            pattern.kind = kind;
            context.selectPatterns.push_back(std::move(pattern));
            if (kind == 'i') ++context.includeCount;
        }
    } catch (const std::bad_alloc&) {
        context.selectPatterns.clear();
        context.includeCount = 0;
        return context.ReportError(format::kArchiveErrorMemory, "was creating pattern list");
    }
    return 0;
}

}  // namespace tovra::archive
