// archive_tokenizer.cpp - splits the Zip command string into argumentList.
//
// Tokens are separated by spaces (0x20 only). A token that starts with a
// double quote runs to the next double quote, spaces included; any other
// token runs to the next space and keeps the double quotes inside it. After
// a token one more character is passed over (the separating space, or the
// character after a closing quote). Then the token is classified:
//   @name   a response file: each of its lines, trimmed of white space, is
//           tokenized by the same rules (nested files included, to a fixed
//           depth so that a file naming itself cannot loop for ever);
//   dir\    a token ending in a separator names the base directory;
//   x\*.*   anything else is an argument, cut before a "\*.*" it contains.
// Every step goes by whole characters of the ANSI code page, so the trail
// byte of a double-byte character is never taken for a quote, a space or a
// separator.
#include <cstring>
#include <string>

#include "archive/archive_command_line.h"
#include "platform/platform.h"

namespace tovra::archive {
namespace {

// Response files nest at most this deep; a deeper @name contributes nothing.
constexpr int kMaxResponseDepth = 16;

void TokenizeText(ArchiveContext& context, const std::string& text, int depth);

bool IsLineSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The start of the last character of `token` (which is not empty).
const char* LastCharacter(const std::string& token) {
    const char* p = token.c_str();
    const char* last = p;
    while (*p != '\0') {
        last = p;
        p = platform::NextChar(p);
    }
    return last;
}

// Offset of the first "\*.*" that starts on a character boundary, or npos.
size_t FindWildcardSuffix(const std::string& token) {
    for (const char* p = token.c_str(); *p != '\0'; p = platform::NextChar(p)) {
        if (std::strncmp(p, "\\*.*", 4) == 0) return static_cast<size_t>(p - token.c_str());
    }
    return std::string::npos;
}

// Reads the response file `name` and tokenizes each of its lines. A file
// that cannot be opened contributes nothing.
void ReadResponseFile(ArchiveContext& context, const std::string& name, int depth) {
    if (depth >= kMaxResponseDepth) return;
    platform::File file;
    if (!file.Open(name, platform::OpenMode::kRead)) return;
    std::string content;
    char block[8192];
    for (;;) {
        const int64_t n = file.Read(block, sizeof block);
        if (n <= 0) break;
        content.append(block, static_cast<size_t>(n));
    }
    file.Close();
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        size_t first = start, last = end;
        while (first < last && IsLineSpace(content[first])) ++first;
        while (last > first && IsLineSpace(content[last - 1])) --last;
        // A zero byte would end the line for the character steps; cut there.
        std::string line = content.substr(first, last - first);
        line.resize(std::strlen(line.c_str()));
        if (!line.empty()) TokenizeText(context, line, depth + 1);
        start = end + 1;
    }
}

void ClassifyToken(ArchiveContext& context, const std::string& token, int depth) {
    if (token.empty()) return;  // a lone quote at the end of the text
    if (token.compare(0, 1, "@") == 0) {
        ReadResponseFile(context, token.substr(1), depth);
        return;
    }
    const char* last = LastCharacter(token);
    if (*last == '/' || *last == '\\') {
        context.baseDirectory = token;
        return;
    }
    context.argumentList.push_back(token.substr(0, FindWildcardSuffix(token)));
}

void TokenizeText(ArchiveContext& context, const std::string& text, int depth) {
    const char* p = text.c_str();
    for (;;) {
        while (*p == ' ') ++p;
        if (*p == '\0') return;
        const char* start = p;
        if (*p == '"') {
            start = ++p;
            if (*p != '\0') p = platform::NextChar(p);  // the first character always belongs
            while (*p != '\0' && *p != '"') p = platform::NextChar(p);
        } else {
            while (*p != '\0' && *p != ' ') p = platform::NextChar(p);
        }
        std::string token(start, static_cast<size_t>(p - start));
        if (*p == '"') ++p;
        if (*p != '\0') p = platform::NextChar(p);
        ClassifyToken(context, token, depth);
    }
}

}  // namespace

void TokenizeArchiveCommandLine(ArchiveContext& context, const std::string& text) {
    // A zero byte inside the host's string ends it, as for any C string.
    TokenizeText(context, std::string(text.c_str()), 0);
}

}  // namespace tovra::archive
