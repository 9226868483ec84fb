// api_test_support.cpp - see api_test_support.h.
#include "api_test_support.h"

#include <cstdlib>

#include "platform/platform.h"
#include "tovra.h"

#ifndef _WIN32
#include <malloc.h>
#endif

namespace tovra::apitest {
namespace {

uint32_t Crc32(const std::string& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void Put16(std::string* out, uint32_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string* out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

constexpr uint32_t kDosTime = (12u << 11) | (30u << 5);                  // 12:30:00
constexpr uint32_t kDosDate = ((2020u - 1980u) << 9) | (6u << 5) | 15u;  // 2020-06-15

#ifndef _WIN32
// The library decides its code page at first use: Shift JIS for every api
// test, like the Japanese Windows the product runs on (Wine runs with 932).
[[maybe_unused]] const bool kCodePageChosen = [] { return setenv("TOVRA_CODEPAGE", "932", 1) == 0; }();
#endif

}  // namespace

std::string BuildStoredArchive(const std::vector<StoredMember>& members, const std::string& comment) {
    std::string archive;
    std::string central;
    for (const StoredMember& member : members) {
        const uint32_t offset = static_cast<uint32_t>(archive.size());
        const uint32_t crc = Crc32(member.data);
        const auto size = static_cast<uint32_t>(member.data.size());
        const auto nameLength = static_cast<uint32_t>(member.name.size());

        Put32(&archive, 0x04034b50);
        Put16(&archive, 10);  // version needed
        Put16(&archive, 0);   // flags
        Put16(&archive, 0);   // stored
        Put16(&archive, kDosTime);
        Put16(&archive, kDosDate);
        Put32(&archive, crc);
        Put32(&archive, size);
        Put32(&archive, size);
        Put16(&archive, nameLength);
        Put16(&archive, 0);
        archive += member.name;
        archive += member.data;

        Put32(&central, 0x02014b50);
        Put16(&central, 20);  // made by: version 2.0, host 0
        Put16(&central, 10);
        Put16(&central, 0);
        Put16(&central, 0);
        Put16(&central, kDosTime);
        Put16(&central, kDosDate);
        Put32(&central, crc);
        Put32(&central, size);
        Put32(&central, size);
        Put16(&central, nameLength);
        Put16(&central, 0);     // extra
        Put16(&central, 0);     // comment
        Put16(&central, 0);     // disk
        Put16(&central, 0);     // internal attributes
        Put32(&central, 0x20);  // archive bit
        Put32(&central, offset);
        central += member.name;
    }
    const auto centralOffset = static_cast<uint32_t>(archive.size());
    archive += central;
    Put32(&archive, 0x06054b50);
    Put16(&archive, 0);
    Put16(&archive, 0);
    Put16(&archive, static_cast<uint32_t>(members.size()));
    Put16(&archive, static_cast<uint32_t>(members.size()));
    Put32(&archive, static_cast<uint32_t>(central.size()));
    Put32(&archive, centralOffset);
    Put16(&archive, static_cast<uint32_t>(comment.size()));
    archive += comment;
    return archive;
}

#ifndef _WIN32
LibraryUiHost::LibraryUiHost() : previousLibraryHost_(TovraSetUiHost(this)) {}
LibraryUiHost::~LibraryUiHost() { TovraSetUiHost(previousLibraryHost_); }
#endif

std::string CurrentDirectory() { return platform::GetCurrentDir(); }

size_t EntryCount(const std::string& directory) {
    size_t count = 0;
    platform::DirectoryFinder finder;
    platform::FindData data;
    for (bool found = finder.FindFirst(directory + "\\*", &data); found; found = finder.FindNext(&data)) {
        if (data.name != "." && data.name != "..") ++count;
    }
    return count;
}

#ifdef _WIN32
void* LockBlock(TovraMemory block) { return GlobalLock(block); }
void UnlockBlock(TovraMemory block) { GlobalUnlock(block); }
size_t BlockSize(TovraMemory block) { return GlobalSize(block); }
void FreeBlock(TovraMemory block) { GlobalFree(block); }

std::optional<uint64_t> HeapBytesInUse() {
    // Movable blocks live on the process heap; its busy entries are summed.
    uint64_t total = 0;
    HANDLE heap = GetProcessHeap();
    if (!HeapLock(heap)) return std::nullopt;
    PROCESS_HEAP_ENTRY entry{};
    entry.lpData = nullptr;
    while (HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) total += entry.cbData;
    }
    HeapUnlock(heap);
    return total;
}
#else
void* LockBlock(TovraMemory block) { return TovraGlobalLock(block); }
void UnlockBlock(TovraMemory block) { TovraGlobalUnlock(block); }
size_t BlockSize(TovraMemory block) { return TovraGlobalSize(block); }
void FreeBlock(TovraMemory block) { TovraGlobalFree(block); }

std::optional<uint64_t> HeapBytesInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return std::nullopt;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return std::nullopt;
#endif
#endif
    const struct mallinfo2 info = mallinfo2();
    return uint64_t{info.uordblks} + uint64_t{info.hblkhd};  // small blocks + mapped large ones
}
#endif

}  // namespace tovra::apitest
