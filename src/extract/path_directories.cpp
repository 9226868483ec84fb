// path_directories.cpp - creating the directories of a path before anything is
// written under it: the output directory of a run and the directory part of
// each output file.
//
// A path names its directories by its separators: "a\b\c" creates "a" and
// "a\b", never "c". The walk steps whole characters of the ANSI code page, so
// the second byte of a double-byte character (0x5C in many Shift JIS
// characters) is never taken for a separator. Prefixes that cannot be created
// by anyone are skipped: a drive ("C:\"), a server and share ("\\server\share\")
// and the root of a rooted path ("\name\" is created under the root of the
// current drive; "/" natively).
#include <string>

#include "extract/Cunzip.h"
#include "extract/message_caption.h"

namespace tovra::extract {
namespace {

// Offset at which the walk for separators starts (see the file comment).
size_t WalkStart(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') {
        return path.size() < 3 ? path.size() : 3;
    }
    if (path.size() >= 2 && ((path[0] == '\\' && path[1] == '\\') || (path[0] == '/' && path[1] == '/'))) {
        // Server path: skip the server name and the share name with the
        // separator after each; without a separator after the share name the
        // walk starts right after the two leading separators.
        const char* begin = path.c_str();
        const char* p = begin + 2;
        int separatorsSeen = 0;
        while (*p != '\0') {
            if (platform::IsPathSeparator(*p) && ++separatorsSeen == 2) {
                return static_cast<size_t>(p - begin) + 1;
            }
            p = platform::NextChar(p);
        }
        return 2;
    }
    return 0;
}

int ReportFailure(platform::WindowHandle owner, const std::string& prefix, const char* reason) {
    platform::ShowMessage(owner, platform::AnsiToUtf8(prefix) + "\n" + reason, kMessageCaption,
                          platform::MessageIcon::kStop, platform::MessageButtons::kOk);
    return 0;
}

}  // namespace

int CreatePathDirectories(const std::string& path, platform::WindowHandle owner) {
    if (platform::IsDirectory(path)) {
        return 1;
    }
    const char* begin = path.c_str();
    for (const char* p = begin + WalkStart(path); *p != '\0'; p = platform::NextChar(p)) {
        if (!platform::IsPathSeparator(*p)) {
            continue;
        }
        const std::string prefix(begin, static_cast<size_t>(p - begin));
        // An empty prefix is the root before the first separator of a rooted
        // path; it always exists.
        if (prefix.empty()) {
            continue;
        }
        platform::FileStatus status;
        if (!platform::GetFileStatus(prefix, &status) || !status.exists) {
            if (!platform::MakeDirectory(prefix) && !platform::IsDirectory(prefix)) {
                return ReportFailure(owner, prefix, "ディレクトリの作成に失敗しました。");
            }
        } else if (!status.isDirectory) {
            return ReportFailure(owner, prefix, "すでにディレクトリ以外の属性で存在しています。");
        }
    }
    return 1;
}

}  // namespace tovra::extract
