// listing.cpp - the short and verbose listings of an archive's members, and
// the enumeration records that the same walk fills for UnzipOpenArchive.
//
// ListMembers walks the central directory once, from the reader's position on
// the first central header: one line per member and a totals line go to the
// output sink; in enumeration mode each member also becomes one 558-byte
// EntryInfoRecord written to the record file. Members named on the command
// line select what is listed, with the member loop's rule (whole names,
// without regard to case); with names given and none matching the result is
// 11, as for extraction.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "extract/Cunzip.h"
#include "extract/listing_text.h"
#include "extract/name_match.h"
#include "extract/run_results.h"
#include "format/byte_cursor.h"

namespace tovra::extract {
namespace {

// The two header lines of each form.
inline constexpr const char* kShortHeader1 = "    Length    Date    Time    Name";
inline constexpr const char* kShortHeader2 = " ---------    ----    ----    ----";
inline constexpr const char* kVerboseHeader1 =
    "    Length   Method    Size   Ratio   Date      Time     CRC-32  Attr  Name";
inline constexpr const char* kVerboseHeader2 =
    " ---------   ------  -------- -----   ----      ----    -------- ----  ----";

void Append(Cunzip& context, const char* text) { context.AppendOutput(text, std::strlen(text)); }

}  // namespace

int Cunzip::ListMembers() {
    const bool verbose = options.listLevel > 1;
    const bool haveSink = sinkPointer != nullptr;
    char line[256];

    if (haveSink && quiet < 2) {
        const char* first = verbose ? kVerboseHeader1 : kShortHeader1;
        const char* second = verbose ? kVerboseHeader2 : kShortHeader2;
        if (options.lowercaseNames != 0) {
            std::snprintf(line, sizeof line, "%s (\"^\" ==> case\r\n%s   conversion)\r\n", first, second);
        } else {
            std::snprintf(line, sizeof line, "%s\r\n%s\r\n", first, second);
        }
        Append(*this, line);
    }

    uint32_t totalUncompressed = 0;
    uint32_t totalCompressed = 0;
    uint16_t listed = 0;
    int result = kRunOk;
    MemberInfo& info = MemberBatch()[0];
    member.currentMember = &info;

    for (uint32_t entry = 0; entry < reader.endRecord.totalEntries; ++entry) {
        info = MemberInfo{};
        uint8_t signature[4];
        if (ReadArchiveBytes(signature, 4) != 4) return kRunArchiveEnded;
        if (std::memcmp(signature, reader.centralSignature, 4) != 0) return kRunBadStructure;
        int r = ReadCentralHeader();
        if (r != 0) return r;
        r = ReadFieldBytes(member.centralHeader.nameLength, kFieldName);
        if (r > kRunWarning) return r;
        result = std::max(result, r);
        r = ReadFieldBytes(member.centralHeader.extraLength, kFieldExtra);
        if (r > kRunWarning) return r;
        result = std::max(result, r);

        if (processAllMembers == 0 && !NameSelected(member.nameBuffer, ArgumentList, 2)) {
            r = ReadFieldBytes(member.centralHeader.commentLength, kFieldSkip);
            if (r > kRunWarning) return r;
            continue;
        }

        const ListingEntry item =
            DescribeMember(member.centralHeader, info.lowercaseName != 0, member.unknownMethodText);
        if (enumerationMode != 0 && recordBuffer != nullptr) FillEntryRecord(item, recordBuffer);

        if (haveSink) {
            const platform::CalendarTime& t = item.time;
            if (verbose) {
                std::snprintf(line, sizeof line, "%10lu  %-7s%10lu %4s  %02u-%02u-%02u  %02u:%02u:%02u  %08lx %4s %c",
                              static_cast<unsigned long>(item.uncompressedSize), item.method,
                              static_cast<unsigned long>(item.compressedSize), item.ratio.c_str(),
                              static_cast<unsigned>(t.month), static_cast<unsigned>(t.day),
                              static_cast<unsigned>(t.year), static_cast<unsigned>(t.hour),
                              static_cast<unsigned>(t.minute), static_cast<unsigned>(t.second),
                              static_cast<unsigned long>(item.crc32), item.attributes, item.caseMark);
            } else {
                // The same text as entry 4 of the library's string table.
                std::snprintf(line, sizeof line, "%7lu  %02u-%02u-%02u  %02u:%02u  %c",
                              static_cast<unsigned long>(item.uncompressedSize), static_cast<unsigned>(t.month),
                              static_cast<unsigned>(t.day), static_cast<unsigned>(t.year),
                              static_cast<unsigned>(t.hour), static_cast<unsigned>(t.minute), item.caseMark);
            }
            Append(*this, line);
            AppendOutput(ShownName(member.nameBuffer) + "\r\n");
        }

        r = ReadFieldBytes(member.centralHeader.commentLength, quiet == 0 ? kFieldDisplay : kFieldSkip);
        if (r > kRunWarning) return r;

        totalUncompressed += item.uncompressedSize;
        totalCompressed += item.compressedSize;
        ++listed;
        if (enumerationMode != 0 && recordBuffer != nullptr) {
            std::memcpy(recordBuffer + kRecordNameOffset, member.nameBuffer, std::strlen(member.nameBuffer) + 1);
            // A record file that cannot take a record would hand the host an
            // incomplete list that looks complete.
            if (recordFile.Write(recordBuffer, kEntryRecordSize) != static_cast<int64_t>(kEntryRecordSize))
                return kRunOutputFailed;
        }
    }

    if (quiet < 2 && haveSink) {
        const std::string ratio = RatioText(totalUncompressed, totalCompressed);
        if (verbose) {
            std::snprintf(line, sizeof line,
                          " ---------           --------  ---                                     -------\r\n"
                          "%10lu       %12lu %4s                                     %7u\r\n",
                          static_cast<unsigned long>(totalUncompressed), static_cast<unsigned long>(totalCompressed),
                          ratio.c_str(), static_cast<unsigned>(listed));
        } else {
            std::snprintf(line, sizeof line,
                          " ---------                    -------\r\n%7lu                    %-7u\r\n",
                          static_cast<unsigned long>(totalUncompressed), static_cast<unsigned>(listed));
        }
        Append(*this, line);
    }

    uint8_t signature[4];
    if (ReadArchiveBytes(signature, 4) != 4) return kRunArchiveEnded;
    if (std::memcmp(signature, reader.endSignature, 4) != 0) result = std::max(result, kRunWarning);
    if (listed == 0 && result < kRunError) result = kRunNothingMatched;
    return result;
}

}  // namespace tovra::extract
