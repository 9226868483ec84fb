// output_path.cpp - where a member goes on disk: the name mapping of
// output_path.h and MapOutputPath, which joins the mapped name to the output
// directory and creates the directories on the way.
//
// The scan steps whole characters with platform::NextChar, so a Shift JIS
// character whose second byte is 0x5C ('\') stays one character of its
// component.
#include "extract/output_path.h"

#include <string>
#include <vector>

#include "extract/Cunzip.h"
#include "platform/platform.h"

namespace tovra::extract {
namespace {

constexpr const char* kMessageCaption = "TOVRA64";

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

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
        if (next == p + 1 && IsSeparator(*p)) {
            components.emplace_back();
        } else {
            components.back().append(p, static_cast<size_t>(next - p));
        }
        p = next;
    }
    return components;
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

MappedName MapMemberName(const char* name, bool keepPaths) {
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
        // A device name would open the device instead of a file: the member
        // is written under the name with a '_' in front, and the run warns.
        if (platform::IsReservedDeviceName(component)) {
            mapped.unsafe = true;
            kept.push_back("_" + component);
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
    nameWarning = 0;
    if (memoryMode != 0) {
        return kMapGoOn;
    }
    const MappedName mapped = MapMemberName(nameBuffer, options.keepPaths != 0);
    if (mapped.unsafe || mapped.kind == MappedKind::kNothing) {
        // The run result becomes at least 1 through nameWarning (read by
        // PrepareMemberOutput), whatever happens to the member.
        nameWarning = 1;
        const bool written = mapped.kind != MappedKind::kNothing;
        platform::ShowMessage(
            parentWindow,
            platform::AnsiToUtf8(nameBuffer) + (written ? "\n出力先ディレクトリの外を指す部分を取り除いて展開します。"
                                                        : "\n出力先ディレクトリの外を指す名前のため、展開しません。"),
            kMessageCaption, platform::MessageIcon::kExclamation, platform::MessageButtons::kOk);
        if (!written) {
            return kMapNothingLeft;
        }
    }

    outputPath = outputDirectory + mapped.path;
    // Without kept paths every file goes straight into the output directory,
    // which is created here when it is missing (for a directory entry too).
    const std::string directories =
        outputDirectory + (mapped.kind == MappedKind::kDirectory ? mapped.path : mapped.directories);
    if (!EnsureDirectories(directories)) {
        return kMapDirectoryFailed;
    }
    return mapped.kind == MappedKind::kDirectory ? kMapDirectoryEntry : kMapGoOn;
}

bool Cunzip::EnsureDirectories(const std::string& directories) {
    if (directories.empty() || knownDirectories.count(directories) != 0) {
        return true;
    }
    // The mapped part after the output directory separates its components
    // with '/' only, a byte that is never the second byte of a double-byte
    // character, so a plain search finds the parent.
    const size_t base = outputDirectory.size();
    if (directories.size() > base + 1 && directories.compare(0, base, outputDirectory) == 0) {
        const size_t slash = directories.rfind('/', directories.size() - 2);
        const std::string parent =
            slash != std::string::npos && slash >= base ? directories.substr(0, slash + 1) : outputDirectory;
        if (knownDirectories.count(parent) != 0) {
            // The usual case inside a tree: one directory to make.
            const std::string directory = directories.substr(0, directories.size() - 1);
            if (platform::MakeDirectory(directory) || platform::IsDirectory(directory)) {
                knownDirectories.insert(directories);
                return true;
            }
        }
    }
    // The careful walk, which also reports what stands in the way.
    if (CreatePathDirectories(directories, parentWindow) == 0) {
        return false;
    }
    knownDirectories.insert(outputDirectory);
    for (size_t slash = directories.find('/', base); slash != std::string::npos;
         slash = directories.find('/', slash + 1)) {
        knownDirectories.insert(directories.substr(0, slash + 1));
    }
    return true;
}

}  // namespace tovra::extract
