// entry_writer.cpp - writes a new member from a file on disk: the method
// choice, the provisional local header (flag bit 3 set, sizes not yet known),
// the stored or deflated data read through the block reader, and the header
// rewritten in place with the final method, flags, CRC-32 and sizes (or a
// data descriptor after the data when the output cannot be repositioned).
//
// Values that the records cannot hold stop the member with code 6 before a
// wrong record is written: a file of 4 GiB or more, or a header offset past
// 32 bits, is refused before the provisional header; sizes that grow past 32
// bits while the data is written (a file that grew, deflate overhead) are
// refused before the header is rewritten.
#include "compress/entry_writer.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "compress/block_reader.h"
#include "compress/deflate.h"
#include "compress/file_names.h"
#include "format/archive_errors.h"
#include "format/records.h"
#include "platform/ui_host.h"

namespace tovra::compress {
namespace {

constexpr size_t kStoreBufferSize = 16384;

uint8_t FoldUpper(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 'a' + 'A') : c; }

int RunError(ArchivingReports& reports, int code, const char* text) {
    return reports.ReportError(code, platform::Utf8ToAnsi(text));
}

// Copies the file through the block reader into `out`; returns 0, 4 or 10.
int StoreData(BlockReader& reader, ArchiveOutput& out, bool& readError) {
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(kStoreBufferSize);
    } catch (const std::bad_alloc&) {
        return format::kArchiveErrorMemory;
    }
    for (;;) {
        const int32_t n = reader.ReadInputBlock(buffer.data(), static_cast<uint32_t>(buffer.size()));
        if (n <= 0) {
            readError = n < 0;
            return 0;
        }
        if (out.Write(buffer.data(), static_cast<size_t>(n)) != static_cast<size_t>(n)) {
            return format::kArchiveErrorTemp;
        }
    }
}

}  // namespace

bool HasStoredSuffix(const std::string& name, const std::string& suffixes) {
    const auto last = static_cast<std::ptrdiff_t>(name.size()) - 1;
    std::ptrdiff_t at = last;
    bool matching = true;
    for (auto i = static_cast<std::ptrdiff_t>(suffixes.size()) - 1; i >= 0; --i) {
        const auto c = static_cast<uint8_t>(suffixes[static_cast<size_t>(i)]);
        if (c == ':' || c == ';') {
            if (matching) return true;
            matching = true;
            at = last;
            continue;
        }
        matching =
            matching && at >= 0 && FoldUpper(c) == FoldUpper(static_cast<uint8_t>(name[static_cast<size_t>(at)]));
        --at;
    }
    return matching;
}

int WriteMemberFromFile(const EntryWriterSettings& settings, format::ZipEntry& entry, ArchiveOutput& out,
                        ArchivingReports& reports) {
    entry.nameLength = entry.internalName.size();
    const bool directory = !entry.internalName.empty() && entry.internalName.back() == '/';
    FileFacts facts;
    const uint32_t dosTime = FileDosTime(entry.externalName, &facts);
    if (dosTime == 0) return format::kArchiveErrorNotFound;
    if (directory != ((facts.attributes & platform::kAttrDirectory) != 0)) return format::kArchiveFileIsDirectory;

    entry.externalAttributes = 0;
    entry.internalAttributes = kUnknownFileType;
    entry.localExtra.reset();
    entry.centralExtra.reset();
    entry.localExtraLength = entry.centralExtraLength = 0;

    int method = settings.forcedMethod;
    if (!settings.storeSuffixes.empty() && HasStoredSuffix(entry.externalName, settings.storeSuffixes)) method = 0;
    // The extra-field hook (writeExtraFields) adds nothing: new members carry
    // empty extra fields.

    platform::File file;
    int64_t size = facts.size;
    if (directory) {
        method = 0;
        size = 0;
    } else if (!file.Open(entry.externalName, platform::OpenMode::kRead)) {
        return format::kArchiveErrorNotFound;
    }
    if (size > static_cast<int64_t>(format::kMaxFieldValue32)) return format::kArchiveErrorTooBig;
    const uint64_t progressTotal = directory ? 0 : static_cast<uint64_t>(std::max<int64_t>(file.Size(), 0));
    platform::CurrentUiHost().Progress(entry.externalName, 0, progressTotal);

    entry.dosDateTime = dosTime;
    if (size != 0) {
        if (method < 0) method = format::kMethodDeflated;
    } else {
        method = format::kMethodStored;
    }
    uint16_t finalMethod = static_cast<uint16_t>(method);
    entry.versionMadeBy = format::VersionMadeBy(entry.dosCompatible != 0);
    entry.versionNeeded = format::VersionNeeded(finalMethod);
    entry.crc32 = 0;
    entry.flags = entry.localFlags = format::kFlagDataDescriptor;
    entry.method = finalMethod;
    entry.compressedSize = method == format::kMethodStored && size >= 0 ? static_cast<uint64_t>(size) : 0;
    entry.uncompressedSize = size >= 0 ? static_cast<uint64_t>(size) : 0;
    entry.diskNumberStart = 0;
    entry.internalAttributes = 0;  // the file type is still to be determined
    entry.externalAttributes = format::ExternalAttributes(facts.attributes, entry.dosCompatible != 0);

    const int64_t headerOffset = out.Position();
    if (headerOffset < 0 || static_cast<uint64_t>(headerOffset) > format::kMaxFieldValue32) {
        return format::kArchiveErrorTooBig;
    }
    entry.localHeaderOffset = static_cast<uint64_t>(headerOffset);
    if (int rc = format::WriteLocalHeader(entry, out); rc != format::kWriteOk) return rc;
    if (out.Failed()) return RunError(reports, format::kArchiveErrorWrite, "unexpected error on zip file");
    const int64_t dataStart = out.Position();

    FileInputStream input(file);
    BlockReader reader(input, directory ? 0 : settings.lineEndConversion, reports, entry.externalName, progressTotal);
    int64_t compressed = 0;
    bool readError = false;
    if (method == format::kMethodDeflated) {
        Deflater& deflater = TheDeflater();
        TheCompressorState().bitOutput.Start(out);
        entry.internalAttributes = kUnknownFileType;
        deflater.StartTrees(entry.internalAttributes, finalMethod);
        if (deflater.StartMatcher(reader, settings.compressionLevel, entry.flags) != 0) {
            return RunError(reports, deflater.Error().code, deflater.Error().text);
        }
        compressed = deflater.Compress(reader);
        if (compressed < 0) return RunError(reports, deflater.Error().code, deflater.Error().text);
        // The compressor takes a read error for the end of the input; the
        // member is kept with what was read, but never without a word.
        readError = reader.ReadFailed();
    } else if (!directory) {
        if (int rc = StoreData(reader, out, readError); rc != 0) return rc;
        compressed = static_cast<int64_t>(reader.BytesDelivered());
    }
    if (reader.Cancelled()) return 0;
    file.Close();
    if (readError) reports.ReportWarning(platform::Utf8ToAnsi("could not read input file: "), entry.internalName);

    const int64_t dataEnd = out.Position();
    entry.crc32 = reader.Crc();
    entry.compressedSize = static_cast<uint64_t>(compressed);
    entry.uncompressedSize = reader.BytesDelivered();
    if (out.Failed()) return format::kArchiveErrorTemp;
    if (entry.compressedSize > format::kMaxFieldValue32 || entry.uncompressedSize > format::kMaxFieldValue32) {
        return format::kArchiveErrorTooBig;
    }
    if (out.SeekAbsolute(headerOffset)) {
        if (dataEnd - dataStart != compressed) {
            return RunError(reports, format::kArchiveErrorLogic, "incorrect compressed size");
        }
        entry.method = finalMethod;
        entry.versionNeeded = format::VersionNeeded(finalMethod);
        entry.flags = static_cast<uint16_t>(entry.flags & ~format::kFlagDataDescriptor);
        entry.localFlags = entry.flags;
        if (int rc = format::WriteLocalHeader(entry, out); rc != format::kWriteOk) return rc;
        if (!out.SeekAbsolute(dataEnd)) return format::kArchiveErrorRead;
    } else {
        if (out.Failed()) return format::kArchiveErrorTemp;
        if (finalMethod != entry.method) return RunError(reports, format::kArchiveErrorLogic, "can't rewrite method");
        if (finalMethod == format::kMethodStored && size < 0) {
            return RunError(reports, format::kArchiveErrorParameters,
                            "zip -0 not supported for I/O on pipes or devices");
        }
        if (int rc = format::WriteDataDescriptor(entry, out); rc != format::kWriteOk) return rc;
        entry.flags = entry.localFlags;
    }
    if (!entry.SharesExtraField()) entry.localExtra.reset();
    entry.localExtraLength = 0;
    return format::kArchiveOk;
}

}  // namespace tovra::compress
