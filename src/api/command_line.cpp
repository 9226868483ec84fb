// command_line.cpp - the extraction command line: tokens, response files and
// option letters, and the reset of the run's option state that precedes every
// parse.
//
// Tokens are separated by spaces (0x20 only; a tab is part of a token). A token
// that starts with a double quote runs to the next double quote or to the end
// of the line; after the closing quote the scanner also steps over the next
// character, normally the separating space. Inside an unquoted token a double
// quote is an ordinary character. Scanning steps whole characters of the ANSI
// code page, so a second byte of a double-byte character is never a space, a
// quote or an option letter.
//
// A token is classified by its first character, quoted or not: '-' starts an
// option token (kept aside and evaluated after the whole line, so options
// apply wherever they stand), '@' names a response file (read at once, its
// lines become positional arguments in place), anything else is positional.
// An empty quoted token ("") is an empty positional argument, so a host can
// pass an empty output directory and still name members after it.
//
// Option letters share one pending-negation counter for the whole line: each
// '-' after the first of a token raises it, and the next letter that knows a
// negated form consumes it. Counters saturate instead of overflowing; the
// process-wide overwrite values accumulate over calls.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "api/extract_context.h"
#include "extract/process_state.h"

namespace tovra::api {
namespace {

constexpr int64_t kFieldMax = std::numeric_limits<int32_t>::max();
constexpr int64_t kFieldMin = std::numeric_limits<int32_t>::min();
// Largest upper bound for the text-conversion count after parsing.
constexpr int32_t kMaxTextConversion = 2;
// A response file larger than this (a device, a wrong file) is treated like
// one that cannot be read; real name lists stay far below it.
constexpr size_t kMaxResponseFileBytes = size_t{64} << 20;

int32_t Clamp(int64_t value) { return static_cast<int32_t>(std::clamp(value, kFieldMin, kFieldMax)); }

// A counted field: +1 without a pending negation; with one, lowered by the
// counter (not below 0) and the counter is consumed.
void Count(int32_t* field, int64_t* pendingNegation) {
    if (*pendingNegation == 0) {
        *field = Clamp(int64_t{*field} + 1);
    } else {
        *field = Clamp(std::max<int64_t>(0, int64_t{*field} - *pendingNegation));
        *pendingNegation = 0;
    }
}

// A switch: 1 without a pending negation; with one, 0 and the counter is consumed.
void Switch(int32_t* field, int64_t* pendingNegation) {
    if (*pendingNegation == 0) {
        *field = 1;
    } else {
        *field = 0;
        *pendingNegation = 0;
    }
}

bool IsTrimmedSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

void ExtractContext::ResetRunState() {
    options = extract::ExtractOptions{};
    processAllMembers = 1;
    fullSearch = 0;
    enumerationMode = 0;
    memoryMode = 0;
    cancelSeen = 0;
    sinkPointer = nullptr;
    sinkCapacity = 0;
    sinkUsed = 0;
    extract::ProcessState().ActiveProgressDialog = nullptr;
}

void ExtractContext::ReadResponseFile(const std::string& path) {
    // An unreadable (or absurdly large) response file contributes nothing; the
    // run then reports whatever the remaining arguments lead to.
    platform::File file;
    if (!file.Open(path, platform::OpenMode::kRead)) {
        return;
    }
    std::string content;
    char chunk[4096];
    for (;;) {
        const int64_t got = file.Read(chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        content.append(chunk, static_cast<size_t>(got));
        if (content.size() > kMaxResponseFileBytes) {
            return;
        }
    }
    file.Close();

    size_t lineStart = 0;
    while (lineStart < content.size()) {
        size_t lineEnd = content.find('\n', lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = content.size();
        }
        size_t first = lineStart;
        size_t last = lineEnd;
        while (first < last && IsTrimmedSpace(content[first])) {
            ++first;
        }
        while (last > first && IsTrimmedSpace(content[last - 1])) {
            --last;
        }
        lineStart = lineEnd + 1;
        // A line that is empty after trimming names nothing.
        if (first == last) {
            continue;
        }
        if (content[first] == '"') {
            ++first;
        }
        if (last > first && content[last - 1] == '"') {
            --last;
        }
        // Positional only: a line starting with '-' or '@' is a name.
        ArgumentList.emplace_back(content, first, last - first);
    }
}

void ExtractContext::ApplyOptionToken(const std::string& letters, int64_t* pendingNegation) {
    extract::ExtractOptions& o = options;
    extract::ExtractProcessState& state = extract::ProcessState();
    for (const char* p = letters.c_str(); *p != '\0'; p = platform::NextChar(p)) {
        if (platform::IsLeadByte(static_cast<unsigned char>(*p))) {
            continue;  // a double-byte character is no option letter
        }
        switch (*p) {
            case '-':
                *pendingNegation = std::min<int64_t>(*pendingNegation + 1, kFieldMax);
                break;
            case '$':
                Count(&o.volumeLabel, pendingNegation);
                break;
            case 'L':
                Switch(&o.lowercaseNames, pendingNegation);
                break;
            case 'V':
                Switch(&o.keepVersions, pendingNegation);
                break;
            case 'a':
                Count(&o.textConversion, pendingNegation);
                break;
            case 'b':
                if (*pendingNegation == 0) {
                    o.textConversion = 0;
                } else {
                    *pendingNegation = 0;
                }
                break;
            case 'f':
                Switch(&o.freshen, pendingNegation);
                o.update = o.freshen;
                break;
            case 'j':
                Switch(&o.keepPaths, pendingNegation);
                break;
            case 'l':
                Count(&o.listLevel, pendingNegation);
                break;
            case 'n':
                Switch(&state.NeverOverwriteFlag, pendingNegation);
                break;
            case 'o':
                if (*pendingNegation == 0) {
                    state.OverwriteAllFlag = Clamp(int64_t{state.OverwriteAllFlag} + 1);
                    state.AssumeYesFlag = Clamp(int64_t{state.AssumeYesFlag} + 1);
                } else {
                    state.OverwriteAllFlag =
                        Clamp(std::max<int64_t>(0, int64_t{state.OverwriteAllFlag} - *pendingNegation));
                    state.AssumeYesFlag = Clamp(std::max<int64_t>(0, int64_t{state.AssumeYesFlag} - *pendingNegation));
                    *pendingNegation = 0;
                }
                break;
            case 't':
                Switch(&o.test, pendingNegation);
                break;
            case 'u':
                Switch(&o.update, pendingNegation);
                break;
            case 'v':
                if (*pendingNegation == 0 && o.listLevel == 0) {
                    o.listLevel = 2;
                } else {
                    Count(&o.listLevel, pendingNegation);
                }
                break;
            case 'x':
                o.noExistenceCheck = 1;  // has no negated form; the counter stays pending
                break;
            case 'z':
                if (*pendingNegation == 0) {
                    o.commentLevel = Clamp(int64_t{o.commentLevel} + 1);
                } else {
                    o.commentLevel = Clamp(int64_t{o.commentLevel} - *pendingNegation);  // may go negative
                    *pendingNegation = 0;
                }
                break;
            default:
                break;  // not an option letter: accepted and ignored
        }
    }
}

int ExtractContext::ParseCommandLine(const char* commandLine) {
    std::vector<std::string> optionTokens;
    const char* p = commandLine != nullptr ? commandLine : "";
    while (*p != '\0') {
        while (*p == ' ') {
            ++p;
        }
        if (*p == '\0') {
            break;
        }
        std::string token;
        if (*p == '"') {
            const char* start = ++p;
            while (*p != '\0' && *p != '"') {
                p = platform::NextChar(p);
            }
            token.assign(start, static_cast<size_t>(p - start));
            if (*p == '"') {
                p = platform::NextChar(p + 1);  // the quote and the character after it
            }
        } else {
            const char* start = p;
            while (*p != '\0' && *p != ' ') {
                p = platform::NextChar(p);
            }
            token.assign(start, static_cast<size_t>(p - start));
        }

        if (!token.empty() && token[0] == '-') {
            optionTokens.push_back(token.substr(1));
        } else if (!token.empty() && token[0] == '@') {
            ReadResponseFile(token.substr(1));
        } else {
            ArgumentList.push_back(std::move(token));
        }
    }

    int64_t pendingNegation = 0;  // one counter for the whole line
    for (const std::string& letters : optionTokens) {
        ApplyOptionToken(letters, &pendingNegation);
    }

    if (ArgumentList.size() > 2) {
        processAllMembers = 0;
    }
    options.textConversion = std::min(options.textConversion, kMaxTextConversion);
    extract::ExtractProcessState& state = extract::ProcessState();
    if (state.OverwriteAllFlag != 0 && state.NeverOverwriteFlag != 0) {
        state.OverwriteAllFlag = 0;  // never-overwrite wins; AssumeYesFlag keeps its value
    }
    return 0;
}

}  // namespace tovra::api
