// listing_text.cpp - the per-member texts of the listing and the enumeration
// record (see listing_text.h).
#include "extract/listing_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "format/byte_cursor.h"

namespace tovra::extract {
namespace {

inline constexpr const char* kMethodNames[] = {"Stored",  "Shrunk",  "Reduce1", "Reduce2", "Reduce3",
                                               "Reduce4", "Implode", "Token",   "Deflat#"};
inline constexpr uint16_t kFirstUnknownMethod = 9;
static_assert(sizeof kMethodNames / sizeof kMethodNames[0] == kFirstUnknownMethod);
inline constexpr size_t kUnknownMethodTextSize = 16;
// Above this size the ratio is computed on thousandths of the size, so that
// the products stay small.
inline constexpr uint32_t kExactRatioLimit = 2000000;
// Size of the traditional encryption header counted in an encrypted member's
// compressed size.
inline constexpr uint32_t kEncryptionHeaderSize = 12;

}  // namespace

std::string RatioText(uint32_t uncompressed, uint32_t compressed) {
    const int64_t u = uncompressed;
    const int64_t c = compressed;
    const int64_t difference = u > c ? u - c : c - u;
    int64_t r = 0;
    if (u == 0) {
        r = 0;
    } else if (uncompressed <= kExactRatioLimit) {
        r = (difference * 1000 + u / 2) / u;
    } else {
        r = (difference + u / 2000) / (u / 1000);
    }
    if (c > u && u != 0) r = -r;
    char sign = ' ';
    int64_t percent = (r + 5) / 10;
    if (r < 0) {
        sign = '-';
        percent = (5 - r) / 10;
    }
    char text[10];
    std::snprintf(text, sizeof text, "%c%s%%", sign, std::to_string(percent).c_str());
    return text;
}

ListingEntry DescribeMember(const format::CentralHeader& header, bool lowercaseMark, char* unknownMethodText) {
    ListingEntry entry;
    entry.uncompressedSize = header.uncompressedSize;
    entry.compressedSize = header.compressedSize;
    if ((header.flags & format::kFlagEncrypted) != 0) {
        // A damaged size smaller than the header itself lists as 0, not as a
        // wrapped-around four gigabytes.
        entry.compressedSize =
            header.compressedSize >= kEncryptionHeaderSize ? header.compressedSize - kEncryptionHeaderSize : 0;
    }
    entry.crc32 = header.crc32;
    entry.dosDate = static_cast<uint16_t>(header.dosDateTime >> 16);
    entry.dosTime = static_cast<uint16_t>(header.dosDateTime & 0xFFFF);
    entry.ratio = RatioText(entry.uncompressedSize, entry.compressedSize);

    const unsigned date = entry.dosDate;
    const unsigned time = entry.dosTime;
    entry.time.month = static_cast<int>((date >> 5) & 15);
    entry.time.day = static_cast<int>(date & 31);
    entry.time.year = static_cast<int>(((date >> 9) + 80) % 100);
    entry.time.hour = static_cast<int>(time >> 11);
    entry.time.minute = static_cast<int>((time >> 5) & 63);
    entry.time.second = static_cast<int>((time & 31) * 2);

    if (header.method >= kFirstUnknownMethod) {
        std::snprintf(unknownMethodText, kUnknownMethodTextSize, "Unk:%03u", static_cast<unsigned>(header.method));
        entry.method = unknownMethodText;
    } else if (header.method == format::kMethodDeflated) {
        std::memcpy(entry.methodBuffer, kMethodNames[8], 7);
        entry.methodBuffer[6] = "NXFS"[(header.flags >> 1) & 3];
        entry.methodBuffer[7] = '\0';
        entry.method = entry.methodBuffer;
    } else {
        entry.method = kMethodNames[header.method];
    }

    const uint32_t attributes = header.externalAttributes;
    entry.attributes[0] = (attributes & platform::kAttrArchive) != 0 ? 'a' : '-';
    entry.attributes[1] = (attributes & platform::kAttrSystem) != 0 ? 's' : '-';
    entry.attributes[2] = (attributes & platform::kAttrHidden) != 0 ? 'h' : '-';
    entry.attributes[3] = (attributes & platform::kAttrReadOnly) != 0 ? 'r' : 'w';
    entry.attributes[4] = '\0';
    entry.caseMark = lowercaseMark ? '^' : ' ';
    return entry;
}

std::string ShownName(const char* name) {
    std::string shown;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
        if (*p < 32) {
            shown += '^';
            shown += static_cast<char>(*p + 64);
        } else {
            shown += static_cast<char>(*p);
        }
    }
    return shown;
}

void FillEntryRecord(const ListingEntry& entry, uint8_t* record) {
    std::memset(record, 0, kEntryRecordSize);
    format::StoreLE32(record + 0, entry.uncompressedSize);
    format::StoreLE32(record + 4, entry.compressedSize);
    format::StoreLE32(record + 8, entry.crc32);
    format::StoreLE16(record + 20, 0);
    format::StoreLE16(record + 22, entry.dosDate);
    format::StoreLE16(record + 24, entry.dosTime);
    std::memcpy(record + kRecordAttributeOffset, entry.attributes, sizeof entry.attributes);
    // "Unk:1000" and above do not fit the field with their zero: they are cut.
    const size_t methodLength = std::min(std::strlen(entry.method), kRecordMethodField - 1);
    std::memcpy(record + kRecordMethodOffset, entry.method, methodLength);
    record[kRecordMethodOffset + methodLength] = 0;
}

}  // namespace tovra::extract
