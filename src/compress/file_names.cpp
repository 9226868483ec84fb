// file_names.cpp - the facts the archiving side reads from a file on disk
// (FileDosTime) and the disk name given to a member of an existing archive
// (ToDiskName).
//
// ToDiskName keeps a stored name that names an existing file; any other name
// is reduced, component by component, to a form an 8.3 file system accepts,
// so that freshening and updating look for the file under the name such a
// system would have given it. Every scan steps by whole characters of the
// ANSI code page: the trail byte of a double-byte character is never taken
// for a separator, a dot or one of the replaced punctuation marks.
#include "compress/file_names.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "format/dos_time.h"
#include "format/zip_values.h"
#include "platform/platform.h"

namespace tovra::compress {
namespace {

constexpr size_t kBaseLength = 8;       // characters kept before the extension
constexpr size_t kExtensionLength = 4;  // the '.' and three characters

// One character of a name: its first byte and its byte length (1 or 2).
struct Char {
    size_t at;
    size_t size;
};

// The characters of `text`, stepping by the code page.
std::vector<Char> SplitChars(const std::string& text) {
    std::vector<Char> chars;
    const char* start = text.c_str();
    for (const char* p = start; *p != '\0';) {
        const char* next = platform::NextChar(p);
        chars.push_back({static_cast<size_t>(p - start), static_cast<size_t>(next - p)});
        p = next;
    }
    return chars;
}

bool IsSeparator(const std::string& text, const Char& c) {
    return c.size == 1 && (text[c.at] == '/' || text[c.at] == '\\');
}

// The 8.3 form of one component, given as its characters in `text`.
std::string ReduceComponent(const std::string& text, const std::vector<Char>& component) {
    const size_t count = component.size();
    // The byte a one-byte character is written as (its own byte unless changed).
    std::vector<char> bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) {
        if (component[i].size == 1) bytes[i] = text[component[i].at];
    }
    // Every '.' becomes '_'; the last of them separates the extension, or,
    // without any, the last '_'.
    size_t separator = std::string::npos;
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] == '.') {
            bytes[i] = '_';
            separator = i;
        }
    }
    if (separator == std::string::npos) {
        for (size_t i = count; i-- > 0;) {
            if (bytes[i] == '_') {
                separator = i;
                break;
            }
        }
    }
    std::string reduced;
    auto append = [&](size_t from, size_t to) {
        for (size_t i = from; i < to && i < count; ++i) {
            if (component[i].size == 1) {
                reduced.push_back(bytes[i]);
            } else {
                reduced.append(text.data() + component[i].at, component[i].size);
            }
        }
    };
    if (separator == 0 && count == 1) return ".";
    const size_t extension = separator == std::string::npos ? 0 : count - separator;  // the separator and after
    if (separator == std::string::npos || separator == 0 ||
        (extension > kExtensionLength && (count <= kBaseLength || separator < 3))) {
        append(0, kBaseLength);
        return reduced;
    }
    bytes[separator] = '.';
    append(0, std::min(separator, kBaseLength));
    append(separator, separator + kExtensionLength);
    return reduced;
}

// The status of `name` (a trailing '/' ignored); false when it cannot be read.
bool ReadStatus(const std::string& name, platform::FileStatus* status) {
    std::string path = name;
    if (!path.empty() && path.back() == '/') path.pop_back();
    return platform::GetFileStatus(path, status) && status->exists;
}

bool IsReplacedPunctuation(char c) { return c != '\0' && std::strchr(":;,=+\"[]<>| \t", c) != nullptr; }

}  // namespace

uint32_t FileDosTimeAndStatus(const std::string& name, platform::FileStatus* status) {
    return ReadStatus(name, status) ? format::UnixToDosTime(status->modificationTime) : 0;
}

uint32_t FileDosTime(const std::string& name, FileFacts* facts) {
    platform::FileStatus status;
    if (!ReadStatus(name, &status)) return 0;
    if (facts != nullptr) {
        facts->attributes = format::FileAttributeValue(status.mode, status.attributes);
        const bool regular = !status.isDirectory && (status.mode & 0xF000) == 0x8000;
        facts->size = regular ? static_cast<int64_t>(status.size) : -1;
        facts->accessTime = 0;
        facts->creationTime = 0;
        facts->isDirectory = status.isDirectory;
    }
    return format::UnixToDosTime(status.modificationTime);
}

std::string ToDiskName(const std::string& storedName) {
    if (storedName.empty() || platform::FileExists(storedName)) return storedName;
    const std::vector<Char> chars = SplitChars(storedName);
    std::string out;
    size_t i = 0;
    // A drive and then one leading separator stay as they are.
    if (chars.size() >= 2 && chars[0].size == 1 && chars[1].size == 1 && storedName[1] == ':') {
        out.append(storedName, 0, 2);
        i = 2;
    }
    const size_t afterDrive = out.size();
    if (i < chars.size() && IsSeparator(storedName, chars[i])) out += storedName[chars[i++].at];
    while (i <= chars.size()) {
        std::vector<Char> component;
        while (i < chars.size() && !IsSeparator(storedName, chars[i])) component.push_back(chars[i++]);
        out += ReduceComponent(storedName, component);
        if (i >= chars.size()) break;
        out += storedName[chars[i++].at];  // the separator as it was
    }
    // Punctuation that short names cannot hold becomes '_'.
    for (const Char& c : SplitChars(out)) {
        if (c.at >= afterDrive && c.size == 1 && IsReplacedPunctuation(out[c.at])) out[c.at] = '_';
    }
    return out;
}

}  // namespace tovra::compress
