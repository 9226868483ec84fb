// update_reader.cpp - reads an existing archive forward before an archiving
// run changes it (see update_reader.h).
//
// Reader state (UpdateReader):
//   position_   the running position: the file offset at which the record
//               being read starts, computed from the lengths the records
//               state (the preamble first). Compared with where the file
//               really is to find members whose sizes lie.
//   signature_  the signature read last; it decides the next phase.
//   images_     per member in file order (normal mode), the 26 bytes of its
//               local header after the signature, with the true CRC-32 and
//               sizes copied in from a data descriptor, for the comparison
//               with the central header.
// Every length an archive states is checked against the bytes the file
// holds before anything is allocated for it, so a hostile length costs
// nothing; every scan moves forward, so no input makes the reader loop.
#include "compress/update_reader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "compress/file_names.h"
#include "compress/update_scan.h"
#include "format/archive_errors.h"
#include "format/byte_cursor.h"
#include "format/records.h"
#include "platform/platform.h"
#include "platform/ui_host.h"

namespace tovra::compress {
namespace {

using format::ZipEntry;

constexpr uint16_t kFlagUtf8Name = 0x0800;
// Flag bits 13-15 may differ between the local and the central header.
constexpr uint8_t kIgnoredHighFlagBits = 0xE0;
// The local header bytes compared with the central header: version needed
// through name length.
constexpr size_t kComparedBytes = 24;
constexpr size_t kImageCrcOffset = 10;  // CRC-32, compressed and uncompressed size in the local body

// Raised inside the reader to end it with a result code.
struct ReadFailure {
    int code;
};

class UpdateReader {
public:
    UpdateReader(UpdateInput& in, const std::string& path, const UpdateReadOptions& options, ArchivingReports& reports,
                 ArchiveContents& contents)
        : in_(in), path_(path), options_(options), reports_(reports), contents_(contents) {}

    int Run();

private:
    bool Repair() const { return options_.repairLevel >= 1; }
    [[noreturn]] void Fail(int code) { throw ReadFailure{code}; }
    // A short read fails with 11 when the file reported an error, else 2.
    [[noreturn]] void FailShort() {
        Fail(in_.Failed() ? format::kArchiveErrorRead : format::kArchiveErrorUnexpectedEnd);
    }
    void ReadExactly(void* data, size_t n) {
        if (in_.Read(data, n) != n) FailShort();
    }
    // Reads `n` bytes that the archive says follow; a length that runs past
    // the end of the file fails before anything is allocated.
    std::vector<uint8_t> ReadStated(size_t n) {
        if (n > in_.Size() - std::min(in_.Size(), in_.Position())) FailShort();
        std::vector<uint8_t> bytes(n);
        ReadExactly(bytes.data(), n);
        return bytes;
    }
    // The next 4-byte signature; false on a short read.
    bool ReadSignature() {
        uint8_t bytes[format::kSignatureSize];
        if (in_.Read(bytes, sizeof bytes) != sizeof bytes) return false;
        signature_ = format::ReadLE32(bytes);
        return true;
    }
    void Warn(const std::string& text, const std::string& name) { reports_.ReportWarning(text, name); }
    // Formats a note into the message buffer (or a local one) and returns it.
    template <typename... Args>
    std::string Note(const char* format, Args... args) {
        std::array<char, 1105> local{};
        char* buffer = options_.messageBuffer != nullptr ? options_.messageBuffer : local.data();
        std::snprintf(buffer, local.size(), format, args...);
        return buffer;
    }

    void FindFirstRecord();
    bool ReadLocalHeader();
    void ReadDescriptor(ZipEntry& entry, const format::LocalHeader& local, uint64_t dataStart, uint8_t* image);
    void MeasureRepairedData(ZipEntry& entry, uint64_t dataStart);
    void ReadCentralHeaders();
    void CompareHeaders(const ZipEntry& entry, const uint8_t* image, const uint8_t* central);
    void VerboseNotes(const ZipEntry& entry);
    void ReadEndRecord();

    UpdateInput& in_;
    const std::string& path_;
    const UpdateReadOptions& options_;
    ArchivingReports& reports_;
    ArchiveContents& contents_;
    uint64_t position_ = 0;
    uint32_t signature_ = 0;
    uint32_t repairAttributes_ = 0;
    std::vector<std::array<uint8_t, format::kLocalHeaderBodySize>> images_;
};

int UpdateReader::Run() {
    try {
        if (Repair()) {
            FileFacts facts;
            if (!path_.empty() && FileDosTime(path_, &facts) != 0) repairAttributes_ = facts.attributes;
            if (options_.dosNames) repairAttributes_ &= 0xFF;
        }
        FindFirstRecord();
        while (signature_ == format::kLocalHeaderSignature) {
            if (!ReadLocalHeader()) break;
        }
        contents_.centralDirOffset = position_;
        if (Repair()) {
            if (options_.repairLevel == 1 && options_.showWarnings && signature_ != format::kCentralHeaderSignature) {
                Fail(format::kArchiveErrorStructure);
            }
        } else {
            ReadCentralHeaders();
            ReadEndRecord();
        }
        if (contents_.preambleSize != 0) {
            Warn(path_, Note(" has a preamble of %lu bytes", static_cast<unsigned long>(contents_.preambleSize)));
        }
        if (!Repair() && in_.ReadByte() >= 0) Warn("garbage at end of zip file ignored", "");
        if (contents_.entryCount > 0) contents_.SortByName();
        return format::kArchiveOk;
    } catch (const ReadFailure& failure) {
        return failure.code;
    } catch (const std::bad_alloc&) {
        return format::kArchiveErrorMemory;
    }
}

void UpdateReader::FindFirstRecord() {
    const ScanResult found = ScanForSignature(in_, {format::kLocalHeaderSignature, format::kEndRecordSignature});
    contents_.preambleSize = found.skipped;
    position_ = found.skipped;
    signature_ = found.signature;
}

// Reads one local header with its name, extra field and data (skipped) and
// the next signature. Returns false when the local phase ends here (repair
// mode only: a normal read fails instead).
bool UpdateReader::ReadLocalHeader() {
    std::array<uint8_t, format::kLocalHeaderBodySize> image{};
    if (in_.Read(image.data(), image.size()) != image.size()) {
        if (Repair()) return false;
        FailShort();
    }
    format::LocalHeader local;
    format::ParseLocalHeader(image.data(), image.size(), &local);
    ZipEntry& entry = *contents_.Append();
    entry.nameLength = local.nameLength;
    entry.localExtraLength = local.extraLength;
    entry.localFlags = local.flags;
    if (Repair()) {
        entry.versionMadeBy = format::VersionMadeBy(options_.dosNames);
        entry.versionNeeded = local.versionNeeded;
        entry.flags = local.flags;
        entry.method = local.method;
        entry.dosDateTime = local.dosDateTime;
        entry.crc32 = local.crc32;
        entry.compressedSize = local.compressedSize;
        entry.uncompressedSize = local.uncompressedSize;
        entry.centralExtraLength = local.extraLength;
        entry.externalAttributes = repairAttributes_;
        entry.dosCompatible = options_.dosNames ? 1 : 0;
    }
    if (local.nameLength == 0) {
        Warn("zero-length name for entry #", Note("%ld", static_cast<long>(contents_.entryCount)));
        Fail(format::kArchiveErrorStructure);
    }
    const std::vector<uint8_t> name = ReadStated(local.nameLength);
    entry.internalName.assign(name.begin(), name.end());
    if (local.extraLength != 0) {
        entry.localExtra = std::make_shared<std::vector<uint8_t>>(ReadStated(local.extraLength));
        if (Repair()) entry.centralExtra = entry.localExtra;
    }
    if (Repair() && options_.progressShown) platform::CurrentUiHost().SetActivity("reading...");
    const uint64_t dataStart = position_ + format::kLocalHeaderSize + local.nameLength + local.extraLength;
    const bool skipData = options_.repairLevel < 2;
    if (skipData && !in_.Seek(dataStart + local.compressedSize)) FailShort();
    // A name flagged as UTF-8 keeps its bytes in the archive; the disk name
    // is in the ANSI code page like every name the file system is asked for.
    const bool utf8 = (local.flags & kFlagUtf8Name) != 0;
    entry.externalName = ToDiskName(utf8 ? platform::Utf8ToAnsi(entry.internalName) : entry.internalName);
    entry.localHeaderOffset = position_;
    position_ = dataStart + (skipData ? local.compressedSize : 0);

    if ((local.flags & format::kFlagDataDescriptor) != 0) {
        ReadDescriptor(entry, local, dataStart, Repair() ? nullptr : image.data());
    } else if (options_.repairLevel >= 2) {
        // The next record decides where the data ends; its signature is read.
        MeasureRepairedData(entry, dataStart);
        return true;
    }
    if (!Repair()) images_.push_back(image);
    if (!ReadSignature()) {
        if (!Repair()) FailShort();
        signature_ = 0;
        return false;
    }
    return true;
}

// The data descriptor after the data of `entry`: where the local compressed
// size puts it, or, when that size is 0, found by scanning for its signature.
// Its CRC-32 and sizes go into the local image (normal mode) or the entry.
void UpdateReader::ReadDescriptor(ZipEntry& entry, const format::LocalHeader& local, uint64_t dataStart,
                                  uint8_t* image) {
    uint8_t descriptor[format::kDataDescriptorSize] = {};
    if (local.compressedSize != 0) {
        const uint64_t expected = dataStart + local.compressedSize;
        if (!in_.Seek(expected)) FailShort();
        if (in_.Position() != expected) reports_.ShowNotice("bad compressed size with extended header");
        ReadExactly(descriptor, sizeof descriptor);
        if (format::ReadLE32(descriptor) != format::kDataDescriptorSignature) {
            Warn("extended local header not found for ", entry.internalName);
            Fail(format::kArchiveErrorStructure);
        }
        position_ = expected + format::kDataDescriptorSize;
    } else {
        const bool found = ScanForDescriptor(in_, descriptor);
        position_ = dataStart + format::ReadLE32(descriptor + 8) + format::kDataDescriptorSize;
        if (!found || position_ != in_.Position()) {
            Warn("bad extended local header for ", entry.internalName);
            Fail(format::kArchiveErrorStructure);
        }
    }
    if (image != nullptr) {
        std::memcpy(image + kImageCrcOffset, descriptor + format::kSignatureSize, 12);
    } else {
        entry.crc32 = format::ReadLE32(descriptor + 4);
        entry.compressedSize = format::ReadLE32(descriptor + 8);
        entry.uncompressedSize = format::ReadLE32(descriptor + 12);
    }
}

// Repair level 2 and above: the data of `entry` runs up to the next local or
// central header signature (or the end of the file).
void UpdateReader::MeasureRepairedData(ZipEntry& entry, uint64_t dataStart) {
    const ScanResult found = ScanForSignature(in_, {format::kLocalHeaderSignature, format::kCentralHeaderSignature});
    entry.compressedSize = found.skipped;
    position_ = dataStart + found.skipped;
    signature_ = found.signature;
}

void UpdateReader::ReadCentralHeaders() {
    ZipEntry* entry = contents_.entries;
    size_t index = 0;
    while (signature_ == format::kCentralHeaderSignature) {
        if (entry == nullptr) {
            Warn("extraneous central header signature", "");
            Fail(format::kArchiveErrorStructure);
        }
        uint8_t body[format::kCentralHeaderBodySize];
        ReadExactly(body, sizeof body);
        const uint8_t* image = images_[index].data();
        entry->localFlags = format::ReadLE16(image + 2);
        CompareHeaders(*entry, image, body);
        format::CentralHeader central;
        format::ParseCentralHeader(body, sizeof body, &central);
        entry->versionMadeBy = central.versionMadeBy;
        entry->versionNeeded = central.versionNeeded;
        entry->flags = central.flags;
        entry->method = central.method;
        entry->dosDateTime = central.dosDateTime;
        entry->crc32 = central.crc32;
        entry->compressedSize = central.compressedSize;
        entry->uncompressedSize = central.uncompressedSize;
        entry->nameLength = central.nameLength;
        entry->centralExtraLength = central.extraLength;
        entry->commentLength = central.commentLength;
        entry->diskNumberStart = central.diskNumberStart;
        entry->internalAttributes = central.internalAttributes;
        entry->externalAttributes = central.externalAttributes;
        entry->dosCompatible = format::IsDosCompatible(central.versionMadeBy) ? 1 : 0;
        if (central.localHeaderOffset != entry->localHeaderOffset && !options_.adjustOffsets) {
            Warn("local offset in central header incorrect for ", entry->internalName);
            Fail(format::kArchiveErrorStructure);
        }
        const std::vector<uint8_t> name = ReadStated(central.nameLength);
        if (name.size() > entry->internalName.size() ||
            std::memcmp(name.data(), entry->internalName.data(), name.size()) != 0) {
            Warn("names in local and central differ for ", entry->internalName);
            Fail(format::kArchiveErrorStructure);
        }
        if (central.extraLength != 0) {
            auto extra = std::make_shared<std::vector<uint8_t>>(ReadStated(central.extraLength));
            const bool same = entry->localExtra && *entry->localExtra == *extra;
            entry->centralExtra = same ? entry->localExtra : std::move(extra);
        }
        entry->comment = ReadStated(central.commentLength);
        if (options_.verbosity > 0) VerboseNotes(*entry);
        entry->actionMark = 0;
        entry->removeSourceMark = 0;
        position_ += format::kCentralHeaderSize + central.nameLength + central.extraLength + central.commentLength;
        if (!ReadSignature()) FailShort();
        entry = entry->next;
        ++index;
    }
    if (entry != nullptr) signature_ = 0;  // members without a central header: no end record will do
}

// The local image against the central header, byte by byte from version
// needed through name length, flag bits 13-15 aside. Every difference is
// noted; any fails the read.
void UpdateReader::CompareHeaders(const ZipEntry& entry, const uint8_t* image, const uint8_t* central) {
    constexpr size_t kHighFlagByte = 3;         // offset of the flags' upper byte among the compared bytes
    const uint8_t* centralBytes = central + 2;  // after version made by
    bool differ = false;
    for (size_t i = 0; i < kComparedBytes; ++i) {
        const uint8_t mask = i == kHighFlagByte ? static_cast<uint8_t>(~kIgnoredHighFlagBits) : 0xFF;
        if ((image[i] & mask) == (centralBytes[i] & mask)) continue;
        if (!differ) Warn("local and central headers differ for ", entry.internalName);
        differ = true;
        Warn(Note(" offset %d--local = %02x, central = %02x", static_cast<int>(i), image[i], centralBytes[i]), "");
    }
    if (differ) Fail(format::kArchiveErrorStructure);
}

void UpdateReader::VerboseNotes(const ZipEntry& e) {
    const std::string& name = e.internalName;
    const int madeBy = e.versionMadeBy & 0xFF, host = e.versionMadeBy >> 8;
    if (host >= 16) Warn(Note("made by version %d.%d on system type %d: ", madeBy / 10, madeBy % 10, host), name);
    const int needed = e.versionNeeded & 0xFF;
    if (e.versionNeeded != 10 && e.versionNeeded != 11 && e.versionNeeded != 20) {
        Warn(Note("needs unzip %d.%d on system type %d: ", needed / 10, needed % 10, e.versionNeeded >> 8), name);
    }
    if (e.localFlags != e.flags) {
        Warn(Note("local flags = 0x%04x, central = 0x%04x: ", e.localFlags, e.flags), name);
    } else if (e.flags > 15) {
        Warn(Note("undefined bits used in flags = 0x%04x: ", e.flags), name);
    }
    if (e.method > format::kMethodDeflated) Warn(Note("unknown compression method %u: ", unsigned{e.method}), name);
    if (e.diskNumberStart != 0) Warn(Note("starts on disk %u: ", unsigned{e.diskNumberStart}), name);
    if (e.internalAttributes > 1) {
        Warn(Note("unknown internal attributes = 0x%04x: ", unsigned{e.internalAttributes}), name);
    }
    if (e.localExtraLength != 0 && e.centralExtraLength != 0 && !e.SharesExtraField()) {
        Warn(Note("local extra (%ld bytes) != central extra (%ld bytes): ", static_cast<long>(e.localExtraLength),
                  static_cast<long>(e.centralExtraLength)),
             name);
    }
}

void UpdateReader::ReadEndRecord() {
    if (signature_ != format::kEndRecordSignature) {
        Warn("missing end signature--probably not a zip file (did you", "");
        Warn("remember to use binary mode when you transferred it?)", "");
        Fail(format::kArchiveErrorStructure);
    }
    uint8_t body[format::kEndRecordBodySize];
    ReadExactly(body, sizeof body);
    format::EndRecord end;
    format::ParseEndRecord(body, sizeof body, &end);
    if (end.diskNumber != 0 || end.centralDirDisk != 0 || end.entriesOnDisk != end.totalEntries) {
        Warn("multiple disk information ignored", "");
    }
    if (end.entriesOnDisk != contents_.entryCount) {
        Warn("count in end of central directory incorrect", "");
        Fail(format::kArchiveErrorStructure);
    }
    if (end.centralDirSize != position_ - contents_.centralDirOffset) {
        Warn("central directory size is incorrect (made by stzip?)", "");
    }
    if (end.centralDirOffset != contents_.centralDirOffset && !options_.adjustOffsets) {
        Warn("central directory start is incorrect", "");
        Fail(format::kArchiveErrorStructure);
    }
    contents_.archiveComment = ReadStated(end.commentLength);
}

// The first step of every read, before the archive is even looked for.
void AnnounceArchive(const std::string& archivePath, const UpdateReadOptions& options) {
    if (options.progressShown) platform::CurrentUiHost().SetArchiveName(archivePath);
}

}  // namespace

int ReadArchiveForUpdate(UpdateInput& input, const std::string& archivePath, const UpdateReadOptions& options,
                         ArchivingReports& reports, ArchiveContents& contents) {
    contents.Clear();
    AnnounceArchive(archivePath, options);
    return UpdateReader(input, archivePath, options, reports, contents).Run();
}

int ReadArchiveForUpdate(const std::string& archivePath, const UpdateReadOptions& options, ArchivingReports& reports,
                         ArchiveContents& contents) {
    contents.Clear();
    AnnounceArchive(archivePath, options);
    if (archivePath.empty() || archivePath == "-") return format::kArchiveOk;
    try {
        UpdateInput input;
        if (!input.OpenFile(archivePath)) {
            // Only an archive that is not there is a new one. One that exists
            // but cannot be opened or measured would be replaced by an archive
            // of this run's files alone, its members lost.
            const bool present = platform::FileExists(archivePath) && !platform::IsDirectory(archivePath);
            return present ? format::kArchiveErrorRead : format::kArchiveOk;
        }
        return UpdateReader(input, archivePath, options, reports, contents).Run();
    } catch (const std::bad_alloc&) {
        return format::kArchiveErrorMemory;
    }
}

}  // namespace tovra::compress
