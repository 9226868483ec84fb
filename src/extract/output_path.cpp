// output_path.cpp - where a member goes on disk: the name mapping of
// output_path.h and MapOutputPath, which joins the mapped name to the output
// directory (always absolute, see the run driver) and creates the directories
// on the way.
//
// The scan steps whole characters with platform::NextChar, so a Shift JIS
// character whose second byte is 0x5C ('\') or 0x7C ('|') stays one character
// of its component and is never taken for a separator or replaced.
#include "extract/output_path.h"

#include <string>
#include <vector>

#include "extract/Cunzip.h"
#include "extract/message_caption.h"
#include "platform/platform.h"

namespace tovra::extract {
namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A component made only of dots and spaces, with at least one dot: "..", but
// also "...", ". ." and ".. ", which Windows trims to ".." or "." and which
// therefore cannot be trusted to stay inside the directory.
bool IsDotLike(const std::string& component) {
    bool dot = false;
    for (char c : component) {
        if (c == '.') {
            dot = true;
        } else if (c != ' ') {
            return false;
        }
    }
    return dot;
}

// The components of `name` between separators, in order; empty ones included.
std::vector<std::string> SplitComponents(const char* name) {
    std::vector<std::string> components(1);
    for (const char* p = name; *p != '\0';) {
        const char* next = platform::NextChar(p);
        if (next == p + 1 && platform::IsPathSeparator(*p)) {
            components.emplace_back();
        } else {
            components.back().append(p, static_cast<size_t>(next - p));
        }
        p = next;
    }
    return components;
}

// Replaces each single-byte character that a Windows name cannot hold with
// '_' (the bytes of a double-byte character are never looked at alone).
// Returns true when anything was replaced.
bool ReplaceForbiddenCharacters(std::string* component) {
    bool replaced = false;
    char* const base = component->data();
    for (const char* p = base; *p != '\0'; p = platform::NextChar(p)) {
        if (platform::NextChar(p) == p + 1 && platform::IsWindowsForbiddenNameByte(static_cast<unsigned char>(*p))) {
            base[p - base] = '_';
            replaced = true;
        }
    }
    return replaced;
}

std::string Join(const std::vector<std::string>& parts, size_t count) {
    std::string joined;
    for (size_t i = 0; i < count; ++i) {
        joined += parts[i];
        joined += '/';
    }
    return joined;
}

}  // namespace

MappedName MapMemberName(const char* name, bool keepPaths, const platform::FileNameRules& rules) {
    MappedName mapped;
    std::vector<std::string> components = SplitComponents(name);
    // A trailing separator leaves an empty last component: a directory entry.
    const bool directoryEntry = components.size() > 1 && components.back().empty();

    // Leading separators: one '/' is the harmless form some writers store; a
    // '\' or a second separator is a rooted or server path.
    size_t first = 0;
    while (first + 1 < components.size() && components[first].empty()) {
        ++first;
    }
    if (first > 1 || (first == 1 && name[0] == '\\')) {
        mapped.unsafe = true;
    }
    if (first >= 2 && components.size() - first >= 3) {
        first += 2;  // "\\server\share\rest": the server and the share go
    }

    std::vector<std::string> kept;
    for (size_t i = first; i < components.size(); ++i) {
        const std::string& component = components[i];
        if (component.empty() || component == ".") {
            continue;
        }
        if (IsDotLike(component)) {
            mapped.unsafe = true;
            continue;
        }
        kept.push_back(component);
    }
    // A drive prefix on what is now the first component ("C:x", "C:" before
    // "\x"): dropped, as often as it occurs.
    while (!kept.empty() && kept[0].size() >= 2 && IsDriveLetter(kept[0][0]) && kept[0][1] == ':') {
        mapped.unsafe = true;
        kept[0].erase(0, 2);
        if (kept[0].empty() || IsDotLike(kept[0])) {
            kept.erase(kept.begin());
        }
    }
    // What Windows would read otherwise: a ':' would name a drive or a data
    // stream, '*' and '?' would fail the open, a device name would open the
    // device and swallow or misplace the data. The device test looks at the
    // component as it will be opened, after the replacement, so "NUL:"
    // becomes the ordinary "NUL_" and "C:NUL" (its drive already dropped)
    // becomes "_NUL".
    if (rules.windows) {
        for (std::string& component : kept) {
            if (ReplaceForbiddenCharacters(&component)) {
                mapped.unsafe = true;
            }
            if (platform::IsWindowsDeviceName(component, rules.codePage)) {
                component = "_" + component;
                mapped.unsafe = true;
            }
        }
    }

    if (kept.empty()) {
        // Nothing of the name is left. A plain "/" or "./" is an empty
        // directory entry, not a hostile name.
        mapped.kind = directoryEntry && !mapped.unsafe ? MappedKind::kDirectory : MappedKind::kNothing;
        return mapped;
    }
    if (directoryEntry) {
        mapped.kind = MappedKind::kDirectory;
        if (keepPaths) {
            mapped.path = Join(kept, kept.size());
            mapped.directories = mapped.path;
        }
        return mapped;
    }
    mapped.kind = MappedKind::kFile;
    if (keepPaths) {
        mapped.directories = Join(kept, kept.size() - 1);
        mapped.path = mapped.directories + kept.back();
    } else {
        mapped.path = kept.back();
    }
    return mapped;
}

int Cunzip::MapOutputPath() {
    output.nameWarning = 0;
    if (memoryMode != 0) {
        return kMapGoOn;
    }
    const MappedName mapped = MapMemberName(member.nameBuffer, options.keepPaths != 0);
    if (mapped.unsafe || mapped.kind == MappedKind::kNothing) {
        // The run result becomes at least 1 through nameWarning (read by
        // PrepareMemberOutput), whatever happens to the member.
        output.nameWarning = 1;
        const bool written = mapped.kind != MappedKind::kNothing;
        platform::ShowMessage(parentWindow,
                              platform::AnsiToUtf8(member.nameBuffer) +
                                  (written ? "\n出力先ディレクトリの外を指す部分を取り除いて展開します。"
                                           : "\n出力先ディレクトリの外を指す名前のため、展開しません。"),
                              kMessageCaption, platform::MessageIcon::kExclamation, platform::MessageButtons::kOk);
        if (!written) {
            return kMapNothingLeft;
        }
    }

    output.outputPath = outputDirectory + mapped.path;
    // Without kept paths every file goes straight into the output directory,
    // which is created here when it is missing (for a directory entry too).
    const std::string directories =
        outputDirectory + (mapped.kind == MappedKind::kDirectory ? mapped.path : mapped.directories);
    if (CreatePathDirectories(directories, parentWindow) == 0) {
        return kMapDirectoryFailed;
    }
    return mapped.kind == MappedKind::kDirectory ? kMapDirectoryEntry : kMapGoOn;
}

}  // namespace tovra::extract
