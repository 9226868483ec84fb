// file.cpp - platform::File on Linux: a file descriptor with 64-bit positions.
//
// Windows rules kept natively, so that both builds behave alike:
// - a directory cannot be opened as a file;
// - a read-only file (no owner write permission) cannot be opened for
//   writing, even by root, who could otherwise write anything.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/fault/fault_injection.h"
#include "platform/platform.h"
#include "platform/posix/native_path.h"

namespace tovra::platform {
namespace {

static_assert(sizeof(off_t) == 8, "64-bit file offsets are required");

// The most one read or write call is asked for (Linux caps transfers near 2 GiB anyway).
constexpr size_t kMaxTransfer = size_t{1} << 30;

int OpenFlags(OpenMode mode) {
    switch (mode) {
        case OpenMode::kRead:
            return O_RDONLY;
        case OpenMode::kCreate:
            return O_WRONLY | O_CREAT | O_TRUNC;
        case OpenMode::kReadWrite:
            return O_RDWR;
        case OpenMode::kCreateReadWrite:
            return O_RDWR | O_CREAT | O_TRUNC;
    }
    return O_RDONLY;
}

}  // namespace

File::~File() { Close(); }

bool File::Open(const std::string& path, OpenMode mode) {
    Close();
    const std::string native = ToNativePath(path);
    const int flags = OpenFlags(mode);
    if ((flags & O_ACCMODE) != O_RDONLY) {
        if (TOVRA_FAULT_HIT(kCreate)) {
            errno = EACCES;
            return false;
        }
        struct stat existing;
        if (stat(native.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) && (existing.st_mode & S_IWUSR) == 0) {
            errno = EACCES;
            return false;
        }
    }
    int fd;
    do {
        fd = open(native.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct stat opened;
    if (fstat(fd, &opened) != 0 || S_ISDIR(opened.st_mode)) {
        close(fd);
        errno = EISDIR;
        return false;
    }
    handle_ = fd;
    path_ = path;
    return true;
}

void File::Close() {
    if (handle_ == kInvalid) return;
    close(static_cast<int>(handle_));
    handle_ = kInvalid;
}

int64_t File::Read(void* buffer, size_t n) {
    if (handle_ == kInvalid) return -1;
    if (TOVRA_FAULT_HIT(kRead)) {
        errno = EIO;
        return -1;
    }
    auto* out = static_cast<char*>(buffer);
    size_t total = 0;
    while (total < n) {
        const ssize_t got = read(static_cast<int>(handle_), out + total, std::min(n - total, kMaxTransfer));
        if (got < 0) {
            if (errno == EINTR) continue;
            return total > 0 ? static_cast<int64_t>(total) : -1;
        }
        if (got == 0) break;
        total += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(total);
}

int64_t File::Write(const void* buffer, size_t n) {
    if (handle_ == kInvalid) return -1;
    if (TOVRA_FAULT_HIT(kWrite)) {
        errno = ENOSPC;
        return -1;
    }
    const auto* in = static_cast<const char*>(buffer);
    size_t total = 0;
    while (total < n) {
        const ssize_t put = write(static_cast<int>(handle_), in + total, std::min(n - total, kMaxTransfer));
        if (put < 0) {
            if (errno == EINTR) continue;
            return total > 0 ? static_cast<int64_t>(total) : -1;
        }
        if (put == 0) break;
        total += static_cast<size_t>(put);
    }
    return static_cast<int64_t>(total);
}

int64_t File::Seek(int64_t offset, SeekOrigin origin) {
    if (handle_ == kInvalid) return -1;
    if (TOVRA_FAULT_HIT(kSeek)) {
        errno = EIO;
        return -1;
    }
    const int whence = origin == SeekOrigin::kBegin ? SEEK_SET : origin == SeekOrigin::kCurrent ? SEEK_CUR : SEEK_END;
    const off_t position = lseek(static_cast<int>(handle_), static_cast<off_t>(offset), whence);
    return position < 0 ? -1 : static_cast<int64_t>(position);
}

int64_t File::Tell() { return Seek(0, SeekOrigin::kCurrent); }

int64_t File::Size() {
    if (handle_ == kInvalid) return -1;
    if (TOVRA_FAULT_HIT(kSeek)) {
        errno = EIO;
        return -1;
    }
    struct stat status;
    if (fstat(static_cast<int>(handle_), &status) != 0) return -1;
    return static_cast<int64_t>(status.st_size);
}

// Writes go straight to the system (there is no buffer of our own), so there
// is nothing to flush; durability is not promised.
bool File::Flush() { return handle_ != kInvalid; }

bool File::Truncate() {
    if (handle_ == kInvalid) return false;
    if (TOVRA_FAULT_HIT(kWrite)) {
        errno = ENOSPC;
        return false;
    }
    const off_t position = lseek(static_cast<int>(handle_), 0, SEEK_CUR);
    return position >= 0 && ftruncate(static_cast<int>(handle_), position) == 0;
}

bool File::SetModificationTime(int64_t unixSeconds) {
    if (handle_ == kInvalid) return false;
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(unixSeconds);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    return futimens(static_cast<int>(handle_), times) == 0;
}

}  // namespace tovra::platform
