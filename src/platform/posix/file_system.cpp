// file_system.cpp - file status, attributes, directories, moves, listing and
// temporary names on Linux.
//
// Windows attributes are mapped as the platform interface describes:
// read-only = no owner write permission, hidden = a last component starting
// with '.' (other than "." and ".."), system never, directory from the file
// type, archive on every regular file. Deleting or replacing a read-only file
// fails, as it does on Windows.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "platform/fault/fault_injection.h"
#include "platform/platform.h"
#include "platform/posix/native_path.h"

namespace tovra::platform {
namespace {

bool IsReadOnly(const struct stat& status) { return (status.st_mode & S_IWUSR) == 0; }

bool IsHiddenName(const std::string& component) {
    return component.size() > 0 && component[0] == '.' && component != "." && component != "..";
}

// The last component of a path, ignoring separators at its end.
std::string NameOf(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && LastComponent(trimmed).empty()) trimmed.pop_back();
    return LastComponent(trimmed);
}

uint32_t AttributesOf(const struct stat& status, const std::string& name) {
    uint32_t attributes = 0;
    if (S_ISDIR(status.st_mode)) {
        attributes |= kAttrDirectory;
    } else if (S_ISREG(status.st_mode)) {
        attributes |= kAttrArchive;
    }
    if (IsReadOnly(status)) attributes |= kAttrReadOnly;
    if (IsHiddenName(name)) attributes |= kAttrHidden;
    return attributes != 0 ? attributes : static_cast<uint32_t>(kAttrNormal);
}

void FillStatus(const struct stat& native, const std::string& name, FileStatus* status) {
    status->exists = true;
    status->isDirectory = S_ISDIR(native.st_mode);
    // Directories have no size on Windows; report 0 here as well.
    status->size = status->isDirectory ? 0 : static_cast<uint64_t>(native.st_size);
    status->modificationTime = static_cast<int64_t>(native.st_mtime);
    status->linkCount = static_cast<uint32_t>(native.st_nlink);
    status->mode = static_cast<uint32_t>(native.st_mode);
    status->attributes = AttributesOf(native, name);
}

// Copies a regular file's bytes, permissions and times for a move across file
// systems. The target is created (exclusive unless `replace`); a partial
// target is removed on failure. The buffer is taken before anything is
// opened, and its failure is a failed copy.
bool CopyFileForMove(const char* from, const char* to, bool replace) {
    std::vector<char> buffer;
    try {
        buffer.resize(1 << 16);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return false;
    }
    const int in = open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat source;
    if (fstat(in, &source) != 0 || !S_ISREG(source.st_mode)) {
        close(in);
        return false;
    }
    const int out = open(to, O_WRONLY | O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL), 0666);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = true;
    for (;;) {
        const ssize_t got = read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t done = 0; done < got && ok;) {
            const ssize_t put = write(out, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0)
                ok = false;
            else
                done += put;
        }
        if (!ok) break;
    }
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    ok = ok && fchmod(out, source.st_mode & 07777) == 0 && futimens(out, times) == 0;
    ok = close(out) == 0 && ok;
    close(in);
    if (!ok) unlink(to);
    return ok;
}

}  // namespace

bool GetFileStatus(const std::string& path, FileStatus* status) {
    *status = FileStatus{};
    struct stat native;
    if (stat(ToNativePath(path).c_str(), &native) != 0) return false;
    FillStatus(native, NameOf(path), status);
    return true;
}

bool FileExists(const std::string& path) {
    struct stat native;
    return stat(ToNativePath(path).c_str(), &native) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat native;
    return stat(ToNativePath(path).c_str(), &native) == 0 && S_ISDIR(native.st_mode);
}

bool GetFileIdentity(const std::string& path, FileIdentity* identity) {
    struct stat native;
    if (stat(ToNativePath(path).c_str(), &native) != 0) return false;
    identity->volume = static_cast<uint64_t>(native.st_dev);
    identity->file = static_cast<uint64_t>(native.st_ino);
    return true;
}

int32_t GetAttributes(const std::string& path) {
    struct stat native;
    if (stat(ToNativePath(path).c_str(), &native) != 0) return -1;
    return static_cast<int32_t>(AttributesOf(native, NameOf(path)));
}

// Only read-only can be applied: hidden follows the name, system and archive
// have no Linux counterpart. Clearing read-only gives the owner write
// permission back; setting it takes write permission from everybody.
bool SetAttributes(const std::string& path, uint32_t attributes) {
    const std::string native = ToNativePath(path);
    struct stat status;
    if (stat(native.c_str(), &status) != 0) return false;
    mode_t mode = status.st_mode & 07777;
    if ((attributes & kAttrReadOnly) != 0) {
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else if (IsReadOnly(status)) {
        mode |= S_IWUSR;
    }
    if (mode == (status.st_mode & 07777)) return true;
    return chmod(native.c_str(), mode) == 0;
}

bool SetModificationTime(const std::string& path, int64_t unixSeconds) {
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(unixSeconds);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return utimensat(AT_FDCWD, ToNativePath(path).c_str(), times, 0) == 0;
}

// Deletes a file (or a symbolic link itself), never a directory.
bool DeletePath(const std::string& path) {
    if (TOVRA_FAULT_HIT(kDelete)) {
        errno = EACCES;
        return false;
    }
    // No allocation: clean-up paths (a temporary file, the enumeration's
    // record file) delete while memory may be short.
    char native[PATH_MAX];
    if (!ToNativePathBuffer(path, native, sizeof native)) {
        errno = ENAMETOOLONG;
        return false;
    }
    struct stat status;
    if (lstat(native, &status) != 0) return false;
    if (S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (S_ISREG(status.st_mode) && IsReadOnly(status)) {
        errno = EACCES;
        return false;
    }
    return unlink(native) == 0;
}

bool MakeDirectory(const std::string& path) {
    if (TOVRA_FAULT_HIT(kCreate)) {
        errno = EACCES;
        return false;
    }
    return mkdir(ToNativePath(path).c_str(), 0777) == 0;
}

bool RemoveEmptyDirectory(const std::string& path) {
    if (TOVRA_FAULT_HIT(kDelete)) {
        errno = EACCES;
        return false;
    }
    return rmdir(ToNativePath(path).c_str()) == 0;
}

bool MovePath(const std::string& from, const std::string& to, bool replaceExisting, bool copyAllowed) {
    if (TOVRA_FAULT_HIT(kMove)) {
        errno = EACCES;
        return false;
    }
    // The names go into buffers of their own: a run moves its new archive
    // into place right after deleting the old one, so this must not fail for
    // want of memory.
    char source[PATH_MAX], target[PATH_MAX];
    if (!ToNativePathBuffer(from, source, sizeof source) || !ToNativePathBuffer(to, target, sizeof target)) {
        errno = ENAMETOOLONG;
        return false;
    }
    struct stat sourceStatus;
    if (lstat(source, &sourceStatus) != 0) return false;
    struct stat targetStatus;
    const bool targetExists = lstat(target, &targetStatus) == 0;
    if (targetExists) {
        if (!replaceExisting || S_ISDIR(targetStatus.st_mode)) {
            errno = EEXIST;
            return false;
        }
        if (S_ISREG(targetStatus.st_mode) && IsReadOnly(targetStatus)) {
            errno = EACCES;
            return false;
        }
    }
    int result;
    if (replaceExisting) {
        result = rename(source, target);
    } else {
        // The existence test above is only advisory: let the system refuse a
        // target that appears in the meantime.
        result = renameat2(AT_FDCWD, source, AT_FDCWD, target, RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) result = rename(source, target);
    }
    if (result == 0) return true;
    if (errno != EXDEV || !copyAllowed || !S_ISREG(sourceStatus.st_mode)) return false;
    if (!CopyFileForMove(source, target, replaceExisting)) return false;
    return unlink(source) == 0;
}

// ---------------------------------------------------------------- listing

namespace {

struct FinderState {
    DIR* directory = nullptr;
    std::string prefix;   // native directory path with a trailing '/'
    std::string pattern;  // last component of the pattern
};

bool MatchesPattern(const std::string& pattern, const char* name) {
    if (pattern == "*" || pattern == "*.*") return true;
    return fnmatch(pattern.c_str(), name, 0) == 0;
}

bool ReadMatching(FinderState* state, FindData* data) {
    while (dirent* entry = readdir(state->directory)) {
        if (!MatchesPattern(state->pattern, entry->d_name)) continue;
        data->name = entry->d_name;
        data->status = FileStatus{};
        const std::string full = state->prefix + entry->d_name;
        struct stat native;
        // A dangling symbolic link is still an entry: describe the link itself.
        if (stat(full.c_str(), &native) == 0 || lstat(full.c_str(), &native) == 0) {
            FillStatus(native, data->name, &data->status);
        }
        return true;
    }
    return false;
}

}  // namespace

DirectoryFinder::~DirectoryFinder() { Close(); }

bool DirectoryFinder::FindFirst(const std::string& pattern, FindData* data) {
    Close();
    const std::string native = ToNativePath(pattern);
    const size_t slash = native.rfind('/');  // after conversion every separator is '/'
    auto* state = new FinderState;
    if (slash == std::string::npos) {
        state->prefix = "";
        state->pattern = native;
    } else {
        state->prefix = native.substr(0, slash + 1);
        state->pattern = native.substr(slash + 1);
    }
    state->directory = opendir(state->prefix.empty() ? "." : state->prefix.c_str());
    if (state->directory == nullptr) {
        delete state;
        return false;
    }
    state_ = state;
    if (ReadMatching(state, data)) return true;
    Close();
    return false;
}

bool DirectoryFinder::FindNext(FindData* data) {
    if (state_ == nullptr) return false;
    return ReadMatching(static_cast<FinderState*>(state_), data);
}

void DirectoryFinder::Close() {
    auto* state = static_cast<FinderState*>(state_);
    if (state == nullptr) return;
    closedir(state->directory);
    delete state;
    state_ = nullptr;
}

// ---------------------------------------------------------------- volumes, temporary files, current directory

uint32_t MaxComponentLength(const std::string& path) {
    std::string native = ToNativePath(path);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const long limit = pathconf(native.empty() ? "." : native.c_str(), _PC_NAME_MAX);
        if (limit > 0 && limit <= static_cast<long>(UINT32_MAX)) return static_cast<uint32_t>(limit);
        // The path may not exist yet: ask its directory, then the current one.
        const size_t slash = native.rfind('/');
        native = slash == std::string::npos ? "." : native.substr(0, slash + 1);
    }
    return 255;
}

std::string TempDirectory() {
    std::string directory = "/tmp";
    if (const char* tmpdir = std::getenv("TMPDIR"); tmpdir != nullptr && *tmpdir != '\0') {
        struct stat status;
        if (stat(tmpdir, &status) == 0 && S_ISDIR(status.st_mode)) directory = tmpdir;
    }
    if (!LastComponent(directory).empty()) directory += '/';
    return directory;
}

// Names like Windows' unique temporary names: at most three bytes (whole
// characters) of the prefix, four upper-case hex digits, ".tmp". The file is
// created exclusively with the usual permissions (0666 less the umask), since a
// temporary archive later takes the place of the real one.
std::string CreateUniqueTempFile(const std::string& directory, const std::string& prefix) {
    if (TOVRA_FAULT_HIT(kCreate)) {
        errno = EACCES;
        return "";
    }
    std::string shortPrefix;
    for (const char* p = prefix.c_str(); *p != '\0';) {
        const char* next = NextChar(p);
        if (shortPrefix.size() + static_cast<size_t>(next - p) > 3) break;
        shortPrefix.append(p, next);
        p = next;
    }
    std::string base = directory;
    if (!base.empty() && !LastComponent(base).empty()) base += '/';
    const auto ticks = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    uint32_t unique = static_cast<uint32_t>((ticks >> 10) ^ (static_cast<uint64_t>(getpid()) * 40503u)) & 0xFFFF;
    for (uint32_t attempt = 0; attempt < 0xFFFF; ++attempt, unique = (unique + 1) & 0xFFFF) {
        if (unique == 0) unique = 1;
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(unique));
        // Not const: it is moved out once the file exists, since a copy that
        // ran out of memory would leave the new file behind unnamed.
        std::string candidate = base + shortPrefix + digits + ".tmp";
        const int fd = open(ToNativePath(candidate).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            return candidate;
        }
        if (errno != EEXIST) return "";
    }
    return "";
}

std::string GetCurrentDir() {
    std::vector<char> buffer(PATH_MAX);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return "";
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

// Allocates nothing: the guards that put the caller's directory back call it
// from destructors, where running out of memory must not throw.
bool SetCurrentDir(const std::string& path) {
    char native[PATH_MAX];
    if (!ToNativePathBuffer(path, native, sizeof native)) {
        errno = ENAMETOOLONG;
        return false;
    }
    return chdir(native) == 0;
}

// Linux has no drives: a path is absolute when it starts with a separator
// ("C:x" is a relative name like any other).
std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && IsPathSeparator(path[0])) return path;
    const std::string current = GetCurrentDir();
    if (current.empty()) return path;
    return EndsInSeparator(current) ? current + path : current + '/' + path;
}

}  // namespace tovra::platform
