// archive_command_line.h - the archiving command line: the tokenizer (spaces,
// double quotes, @response files, a base-directory token, the \*.* suffix)
// and the walk over the arguments that sets the run's options, reads the
// existing archive the moment its name is met and collects every file
// argument the moment it is met, followed by the combination rules.
#pragma once

#include <string>

#include "archive/archive_context.h"

namespace tovra::archive {

// Appends the tokens of `text` to context.argumentList; a token ending in a
// separator becomes context.baseDirectory. Always succeeds.
void TokenizeArchiveCommandLine(ArchiveContext& context, const std::string& text);

// Builds context.selectPatterns from the -i / -x lists of argumentList.
// Returns 0 or the error code it reported.
int BuildSelectPatterns(ArchiveContext& context);

// Walks argumentList and applies the combination rules. Returns 0 when the
// run should go on; kParseStop when the run ends without error (-h, or
// nothing to do that is not an error); otherwise the code of the error it
// reported.
inline constexpr int kParseStop = -100;
int ParseArchiveArguments(ArchiveContext& context);

}  // namespace tovra::archive
