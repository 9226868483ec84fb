// file.cpp - platform::File on Windows: a file HANDLE from CreateFileA (names
// are ANSI bytes) with 64-bit positions. Other processes may read, write and
// delete the file while it is open, as with the C runtime's files.
#include <algorithm>

#include "platform/fault/fault_injection.h"
#include "platform/platform.h"
#include "platform/win32/win32_common.h"

namespace tovra::platform {
namespace {

// ReadFile and WriteFile take 32-bit counts.
constexpr size_t kMaxTransfer = size_t{1} << 30;

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Windows refuses to write to a read-only file by itself; Wine running as
// root does not, so the attribute is checked here as well.
bool IsReadOnlyFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

File::~File() { Close(); }

bool File::Open(const std::string& path, OpenMode mode) {
    Close();
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
        case OpenMode::kRead:
            break;
        case OpenMode::kCreate:
            access = GENERIC_WRITE;
            disposition = CREATE_ALWAYS;
            break;
        case OpenMode::kReadWrite:
            access = GENERIC_READ | GENERIC_WRITE;
            break;
        case OpenMode::kCreateReadWrite:
            access = GENERIC_READ | GENERIC_WRITE;
            disposition = CREATE_ALWAYS;
            break;
    }
    if ((access & GENERIC_WRITE) != 0 && TOVRA_FAULT_HIT(kCreate)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if ((access & GENERIC_WRITE) != 0 && IsReadOnlyFile(path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // CREATE_ALWAYS refuses to truncate a hidden or system file unless those
    // attributes are asked for again; keep them, so such a file can be
    // replaced like any other (its attributes are the caller's to change).
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (disposition == CREATE_ALWAYS) {
        const DWORD existing = GetFileAttributesA(path.c_str());
        if (existing != INVALID_FILE_ATTRIBUTES) {
            const DWORD kept = existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
            if (kept != 0) attributes = kept;
        }
    }
    const HANDLE handle = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, disposition, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<intptr_t>(handle);
    path_ = path;
    return true;
}

void File::Close() {
    if (handle_ == kInvalid) return;
    CloseHandle(AsHandle(handle_));
    handle_ = kInvalid;
}

int64_t File::Read(void* buffer, size_t n) {
    if (handle_ == kInvalid) return -1;
    if (TOVRA_FAULT_HIT(kRead)) {
        SetLastError(ERROR_READ_FAULT);
        return -1;
    }
    auto* out = static_cast<char*>(buffer);
    size_t total = 0;
    while (total < n) {
        DWORD got = 0;
        if (!ReadFile(AsHandle(handle_), out + total, static_cast<DWORD>(std::min(n - total, kMaxTransfer)), &got,
                      nullptr)) {
            return total > 0 ? static_cast<int64_t>(total) : -1;
        }
        if (got == 0) break;
        total += got;
    }
    return static_cast<int64_t>(total);
}

int64_t File::Write(const void* buffer, size_t n) {
    if (handle_ == kInvalid) return -1;
    if (TOVRA_FAULT_HIT(kWrite)) {
        SetLastError(ERROR_DISK_FULL);
        return -1;
    }
    const auto* in = static_cast<const char*>(buffer);
    size_t total = 0;
    while (total < n) {
        DWORD put = 0;
        if (!WriteFile(AsHandle(handle_), in + total, static_cast<DWORD>(std::min(n - total, kMaxTransfer)), &put,
                       nullptr)) {
            return total > 0 ? static_cast<int64_t>(total) : -1;
        }
        if (put == 0) break;
        total += put;
    }
    return static_cast<int64_t>(total);
}

int64_t File::Seek(int64_t offset, SeekOrigin origin) {
    if (handle_ == kInvalid) return -1;
    if (TOVRA_FAULT_HIT(kSeek)) {
        SetLastError(ERROR_SEEK);
        return -1;
    }
    const DWORD method = origin == SeekOrigin::kBegin     ? FILE_BEGIN
                         : origin == SeekOrigin::kCurrent ? FILE_CURRENT
                                                          : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!SetFilePointerEx(AsHandle(handle_), distance, &position, method)) return -1;
    return position.QuadPart;
}

int64_t File::Tell() { return Seek(0, SeekOrigin::kCurrent); }

int64_t File::Size() {
    if (handle_ == kInvalid) return -1;
    if (TOVRA_FAULT_HIT(kSeek)) {
        SetLastError(ERROR_SEEK);
        return -1;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(AsHandle(handle_), &size)) return -1;
    return size.QuadPart;
}

// Writes go straight to the system (there is no buffer of our own), so there
// is nothing to flush; durability is not promised.
bool File::Flush() { return handle_ != kInvalid; }

bool File::Truncate() {
    if (handle_ == kInvalid) return false;
    if (TOVRA_FAULT_HIT(kWrite)) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return SetEndOfFile(AsHandle(handle_)) != 0;
}

bool File::SetModificationTime(int64_t unixSeconds) {
    if (handle_ == kInvalid) return false;
    FILETIME time;
    if (!UnixToFileTime(unixSeconds, &time)) return false;
    if (SetFileTime(AsHandle(handle_), nullptr, &time, &time)) return true;
    // A handle opened for reading only may not change times; the name can.
    return platform::SetModificationTime(path_, unixSeconds);
}

}  // namespace tovra::platform
