// internal_names.cpp - external (disk) names to stored names: ToInternalName,
// its DOS reduction and the volume question behind dosCompatible (see
// internal_names.h).
#include "archive/internal_names.h"

#include "archive/file_collection.h"
#include "platform/platform.h"

namespace tovra::archive {
namespace {

// Names on a volume whose longest component is below this are 8.3 names.
constexpr uint32_t kShortNameLimit = 13;
constexpr size_t kDosBaseBytes = 8;
constexpr size_t kDosExtensionBytes = 3;

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The root of the volume a name lies on: "X:\" for a name with a drive
// letter, else "\" (the root of the current drive).
std::string VolumeRoot(const std::string& name) {
    if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':') {
        std::string root(1, static_cast<char>(name[0] >= 'a' ? name[0] - 32 : name[0]));
        return root + ":\\";
    }
    return "\\";
}

bool VolumeHasShortNames(const ArchiveContext& context, const std::string& name) {
    const std::string root = VolumeRoot(name);
    if (context.volumeHasShortNames < 0 || context.volumeRootAsked != root) {
        context.volumeRootAsked = root;
        context.volumeHasShortNames = platform::MaxComponentLength(root) < kShortNameLimit ? 1 : 0;
    }
    return context.volumeHasShortNames == 1;
}

// The length of the leading "./" or "../" component at p ("." and ".." alone
// included), or 0 when p starts with something else.
size_t DotComponentLength(const char* p) {
    size_t dots = 0;
    while (dots < 2 && p[dots] == '.') ++dots;
    if (dots == 0) return 0;
    if (p[dots] == '\0') return dots;
    if (p[dots] == '/') return dots + 1;
    return 0;
}

}  // namespace

std::string WithForwardSlashes(const std::string& text) {
    std::string result = text;
    // Without a '\\' byte anywhere there is nothing to step through.
    if (result.find('\\') == std::string::npos) return result;
    char* const base = result.data();
    for (const char* p = base; *p != '\0'; p = platform::NextChar(p)) {
        if (*p == '\\') base[p - base] = '/';
    }
    return result;
}

void ReduceToDosName(const ArchiveContext& context, std::string& name) {
    std::string reduced;
    reduced.reserve(name.size());
    size_t baseBytes = 0, extensionBytes = 0;
    bool inExtension = false, ended = false, full = false;
    for (const char* p = name.c_str(); *p != '\0';) {
        const char* next = platform::NextChar(p);
        const size_t length = static_cast<size_t>(next - p);
        const char c = *p;
        if (c == '/') {
            reduced += '/';
            baseBytes = extensionBytes = 0;
            inExtension = ended = full = false;
        } else if (ended || c == ':' || c == ' ') {
            // dropped
        } else if (c == '.') {
            if (inExtension) {
                ended = true;
            } else {
                inExtension = true;
                full = false;
                reduced += '.';
            }
        } else if (!full) {
            size_t& used = inExtension ? extensionBytes : baseBytes;
            const size_t limit = inExtension ? kDosExtensionBytes : kDosBaseBytes;
            if (used + length > limit) {
                full = true;
            } else {
                used += length;
                if (length == 1) {
                    reduced += static_cast<char>(context.upperCaseTable[static_cast<unsigned char>(c)]);
                } else {
                    reduced.append(p, length);
                }
            }
        }
        p = next;
    }
    name.swap(reduced);
}

std::string MakeInternalName(const ArchiveContext& context, const std::string& externalName, bool isDirectory,
                             bool dosNames, bool keepPaths, int* dosCompatible) {
    if (dosCompatible != nullptr) *dosCompatible = (dosNames || VolumeHasShortNames(context, externalName)) ? 1 : 0;

    const std::string slashed = WithForwardSlashes(externalName);
    const char* p = slashed.c_str();
    if (p[0] != '\0' && p[1] == ':') p += 2;
    for (;;) {
        while (*p == '/') ++p;
        const size_t dotLength = DotComponentLength(p);
        if (dotLength == 0) break;
        p += dotLength;
    }
    if (!keepPaths) {
        const char* start = p;
        for (const char* q = p; *q != '\0'; q = platform::NextChar(q)) {
            if (*q == '/') start = q + 1;
        }
        p = start;
    }
    std::string internal(p);
    if (dosNames) ReduceToDosName(context, internal);
    if (isDirectory && !internal.empty() && internal.back() != '/') internal += '/';
    return internal;
}

std::string ToInternalName(const ArchiveContext& context, const std::string& externalName, bool isDirectory,
                           int* dosCompatible) {
    return MakeInternalName(context, externalName, isDirectory, context.dosNames, context.keepPaths, dosCompatible);
}

}  // namespace tovra::archive
