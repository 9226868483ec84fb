// file_system.cpp - file status, attributes, directories, moves, listing and
// temporary names on Windows, through the ANSI (A) functions.
//
// The mode word of a status is built as the C runtime's stat builds it: the
// file type, read permission always, write permission unless read-only,
// execute for directories and .exe/.com/.bat/.cmd files, copied to the group
// and other bits. The link count is the file system's own.
#include <cctype>
#include <cstring>
#include <vector>

#include "platform/fault/fault_injection.h"
#include "platform/platform.h"
#include "platform/win32/win32_common.h"

namespace tovra::platform {
namespace {

constexpr uint32_t kModeDirectory = 0x4000, kModeRegular = 0x8000;
constexpr uint32_t kModeRead = 0400, kModeWrite = 0200, kModeExecute = 0100;

bool HasExecutableExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string extension = name.substr(dot);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".exe" || extension == ".com" || extension == ".bat" || extension == ".cmd";
}

uint32_t ModeOf(DWORD attributes, const std::string& name) {
    uint32_t mode = kModeRead;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        mode |= kModeDirectory | kModeExecute;
    } else {
        mode |= kModeRegular;
        if (HasExecutableExtension(name)) mode |= kModeExecute;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) mode |= kModeWrite;
    return mode | ((mode & 0700) >> 3) | ((mode & 0700) >> 6);
}

void FillStatus(DWORD attributes, const FILETIME& lastWrite, uint64_t size, uint32_t links, const std::string& name,
                FileStatus* status) {
    status->exists = true;
    status->isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status->size = status->isDirectory ? 0 : size;
    status->modificationTime = FileTimeToUnix(lastWrite);
    status->linkCount = links;
    status->mode = ModeOf(attributes, name);
    status->attributes = attributes;
}

// An operation that the fault-injection build fails (TOVRA_FAULT_HIT is the
// constant false elsewhere) returns at once with the system's error for it,
// having done nothing.
bool FailWith(DWORD error) {
    SetLastError(error);
    return false;
}

}  // namespace

bool GetFileStatus(const std::string& path, FileStatus* status) {
    *status = FileStatus{};
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    uint32_t links = 1;
    // The link count needs a handle; asking only for attributes opens even
    // files that others hold open exclusively.
    const HANDLE handle =
        CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION information;
        if (GetFileInformationByHandle(handle, &information) && information.nNumberOfLinks > 0) {
            links = information.nNumberOfLinks;
        }
        CloseHandle(handle);
    }
    const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    FillStatus(data.dwFileAttributes, data.ftLastWriteTime, size, links, path, status);
    return true;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A handle that asks for nothing but the attributes opens files that others
// hold open exclusively; backup semantics lets it open directories.
bool GetFileIdentity(const std::string& path, FileIdentity* identity) {
    const HANDLE handle =
        CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information;
    const bool ok = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    if (!ok) return false;
    identity->volume = information.dwVolumeSerialNumber;
    identity->file = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return true;
}

int32_t GetAttributes(const std::string& path) { return static_cast<int32_t>(GetFileAttributesA(path.c_str())); }

bool SetAttributes(const std::string& path, uint32_t attributes) {
    DWORD applied = attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive);
    if (applied == 0) applied = FILE_ATTRIBUTE_NORMAL;
    return SetFileAttributesA(path.c_str(), applied) != 0;
}

bool SetModificationTime(const std::string& path, int64_t unixSeconds) {
    FILETIME time;
    if (!UnixToFileTime(unixSeconds, &time)) return false;
    const HANDLE handle =
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool ok = SetFileTime(handle, nullptr, &time, &time) != 0;
    CloseHandle(handle);
    return ok;
}

bool DeletePath(const std::string& path) {
    if (TOVRA_FAULT_HIT(kDelete)) return FailWith(ERROR_ACCESS_DENIED);
    return DeleteFileA(path.c_str()) != 0;
}

bool MakeDirectory(const std::string& path) {
    if (TOVRA_FAULT_HIT(kCreate)) return FailWith(ERROR_ACCESS_DENIED);
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool RemoveEmptyDirectory(const std::string& path) {
    if (TOVRA_FAULT_HIT(kDelete)) return FailWith(ERROR_ACCESS_DENIED);
    return RemoveDirectoryA(path.c_str()) != 0;
}

bool MovePath(const std::string& from, const std::string& to, bool replaceExisting, bool copyAllowed) {
    if (TOVRA_FAULT_HIT(kMove)) return FailWith(ERROR_ACCESS_DENIED);
    // Windows never replaces a read-only file; Wine running as root would.
    const DWORD target = GetFileAttributesA(to.c_str());
    if (replaceExisting && target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        (target & FILE_ATTRIBUTE_READONLY) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const DWORD flags = (replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0) | (copyAllowed ? MOVEFILE_COPY_ALLOWED : 0);
    return MoveFileExA(from.c_str(), to.c_str(), flags) != 0;
}

// ---------------------------------------------------------------- listing

namespace {

void FillFindData(const WIN32_FIND_DATAA& found, FindData* data) {
    data->name = found.cFileName;
    data->status = FileStatus{};
    const uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    FillStatus(found.dwFileAttributes, found.ftLastWriteTime, size, 1, data->name, &data->status);
}

}  // namespace

DirectoryFinder::~DirectoryFinder() { Close(); }

bool DirectoryFinder::FindFirst(const std::string& pattern, FindData* data) {
    Close();
    WIN32_FIND_DATAA found;
    const HANDLE handle = FindFirstFileA(pattern.c_str(), &found);
    if (handle == INVALID_HANDLE_VALUE) return false;
    state_ = handle;
    FillFindData(found, data);
    return true;
}

bool DirectoryFinder::FindNext(FindData* data) {
    if (state_ == nullptr) return false;
    WIN32_FIND_DATAA found;
    if (!FindNextFileA(static_cast<HANDLE>(state_), &found)) return false;
    FillFindData(found, data);
    return true;
}

void DirectoryFinder::Close() {
    if (state_ == nullptr) return;
    FindClose(static_cast<HANDLE>(state_));
    state_ = nullptr;
}

// ---------------------------------------------------------------- volumes, temporary files, current directory

uint32_t MaxComponentLength(const std::string& path) {
    char full[MAX_PATH * 4];
    char root[MAX_PATH * 4];
    const char* query = nullptr;  // null: the volume of the current directory
    const DWORD length = GetFullPathNameA(path.empty() ? "." : path.c_str(), sizeof full, full, nullptr);
    if (length > 0 && length < sizeof full && GetVolumePathNameA(full, root, sizeof root)) query = root;
    DWORD maxComponent = 0;
    if (!GetVolumeInformationA(query, nullptr, 0, nullptr, &maxComponent, nullptr, nullptr, 0) || maxComponent == 0) {
        return 255;
    }
    return maxComponent;
}

std::string TempDirectory() {
    char buffer[MAX_PATH + 2];
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) return "";
    std::string directory(buffer, length);
    if (!EndsInSeparator(directory)) directory += '\\';
    return directory;
}

// GetTempFileNameA with unique number 0: the system picks the number and
// creates the empty file. The string that returns the name is allocated
// before the file exists: one made from the name afterwards could run out of
// memory and leave the new file behind with nobody knowing its name.
std::string CreateUniqueTempFile(const std::string& directory, const std::string& prefix) {
    if (TOVRA_FAULT_HIT(kCreate)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return "";
    }
    std::string name(MAX_PATH + 1, '\0');
    if (GetTempFileNameA(directory.empty() ? "." : directory.c_str(), prefix.c_str(), 0, name.data()) == 0) return "";
    name.resize(std::strlen(name.c_str()));  // shrinking never allocates
    return name;
}

std::string GetCurrentDir() {
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return "";
    std::vector<char> buffer(needed + 1);
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) return "";
    return std::string(buffer.data(), length);
}

bool SetCurrentDir(const std::string& path) { return SetCurrentDirectoryA(path.c_str()) != 0; }

// A path is absolute when it starts with a drive and a separator ("C:\x") or
// with two separators (a server path "\\server\share", "\\?\..."). For the
// others only the part that depends on a current directory is resolved, by
// GetFullPathNameA on that part alone: "" or "x" on the current directory,
// "\x" on the root of the current drive ("\"), "D:x" on the current directory
// of drive D ("D:"); the rest of the text is appended as it was.
std::string AbsolutePath(const std::string& path) {
    const bool drive = path.size() >= 2 && path[1] == ':';
    if (drive && path.size() >= 3 && IsPathSeparator(path[2])) return path;
    if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) return path;
    std::string base;
    std::string rest;
    if (drive) {
        base = path.substr(0, 2);
        rest = path.substr(2);
    } else if (!path.empty() && IsPathSeparator(path[0])) {
        base = "\\";
        rest = path.substr(1);
    } else {
        base = ".";
        rest = path;
    }
    const DWORD needed = GetFullPathNameA(base.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::vector<char> buffer(needed + 1);
    const DWORD length = GetFullPathNameA(base.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) return path;
    const std::string resolved(buffer.data(), length);
    return EndsInSeparator(resolved) ? resolved + rest : resolved + '\\' + rest;
}

}  // namespace tovra::platform
