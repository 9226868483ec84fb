// listing_text.h - the texts of one listed member: ratio, method name,
// attribute letters, case mark, the name as shown, and the 558-byte
// enumeration record built from them.
//
// Kept apart from the directory walk (listing.cpp) so that each text can be
// checked on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "format/records.h"
#include "platform/platform.h"
#include "tovra.h"

namespace tovra::extract {

// Layout of the enumeration record: the public header's EntryInfoRecord is
// its one definition (and checks its size and offsets).
inline constexpr size_t kEntryRecordSize = sizeof(EntryInfoRecord);
inline constexpr size_t kRecordNameOffset = offsetof(EntryInfoRecord, name);
inline constexpr size_t kRecordAttributeOffset = offsetof(EntryInfoRecord, attribute);
inline constexpr size_t kRecordMethodOffset = offsetof(EntryInfoRecord, method);
inline constexpr size_t kRecordMethodField = sizeof(EntryInfoRecord::method);  // text and its terminating zero

// What the listing shows of one member, from its central header.
struct ListingEntry {
    uint32_t uncompressedSize = 0;
    uint32_t compressedSize = 0;  // without the 12-byte encryption header of an encrypted member
    uint32_t crc32 = 0;
    uint16_t dosDate = 0;
    uint16_t dosTime = 0;
    platform::CalendarTime time;  // year as two digits, month, day, hour, minute, second as stored
    std::string ratio;            // "%c%d%%", at most 9 characters
    const char* method = "";      // "Stored" ... "DeflatN" ..., or the unknown-method text
    char methodBuffer[8] = {};    // "Deflat" and its letter
    char attributes[5] = {};      // "a-hr" style, zero-terminated
    char caseMark = ' ';          // '^' for a name marked for lower case
};

// Saving of `compressed` against `uncompressed` as the listing prints it: a
// sign (' ' or '-' when the member grew) and a rounded percentage.
std::string RatioText(uint32_t uncompressed, uint32_t compressed);

// Fills a ListingEntry. `unknownMethodText` (16 bytes) receives "Unk:%03d"
// for a method of 9 or more, and entry.method then points at it.
ListingEntry DescribeMember(const format::CentralHeader& header, bool lowercaseMark, char* unknownMethodText);

// The name as the listing writes it: every byte below 32 as '^' and the byte
// plus 64 ("^G" for 7).
std::string ShownName(const char* name);

// Zeroes the kEntryRecordSize bytes at `record` and sets sizes, CRC, date,
// time, attribute text and method text (cut to 7 characters and a zero). The
// name is copied in later, once the member's comment has been read.
void FillEntryRecord(const ListingEntry& entry, uint8_t* record);

}  // namespace tovra::extract
