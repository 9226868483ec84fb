// Cunzip.cpp - the archive scan and the member loop of the extraction engine.
//
// ProcessArchive opens the archive, finds its end record, works out how many
// bytes stand in front of the archive proper (extraBytes, added to every
// offset the archive records), checks that the central directory is where the
// end record says, and then hands over to the listing or to the member loop.
// ProcessMembers walks the central directory in batches of up to 64 selected
// members, then visits each member's local header and extracts it.
//
// Every value read from the archive is untrusted: lengths are bounded by
// their 16-bit fields and by the buffers they are read into, offsets go
// through SeekArchive (which refuses negative positions and reports blocks
// that cannot be read), and every loop is bounded by the entry count of the
// end record, so a damaged archive ends with a result code, never a hang.
#include "extract/Cunzip.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "codecs/inflate.h"
#include "extract/member_acceptance.h"
#include "extract/message_caption.h"
#include "extract/name_match.h"
#include "extract/run_results.h"
#include "extract/unicode_path_field.h"
#include "format/crc32.h"
#include "platform/ui_host.h"

namespace tovra::extract {
namespace {

// Without the whole-file option the end record is looked for in this many
// bytes at the end of the archive (the record and the longest comment, with
// room to spare).
inline constexpr int64_t kNormalSearchRange = 66000;
inline constexpr uint32_t kMaxNameLength = static_cast<uint32_t>(kNameBufferSize - 1);
static_assert(kMaxNameLength == 260);
// The archive comment is read in pieces of this size and written to the
// output sink in chunks of at most kCommentChunk characters.
inline constexpr size_t kCommentPiece = 65536;
inline constexpr size_t kCommentChunk = 32766;

int Raise(int result, int code) { return std::max(result, code); }

bool HostIn(uint32_t host, std::initializer_list<uint32_t> hosts) {
    return std::find(hosts.begin(), hosts.end(), host) != hosts.end();
}

// DOS-family hosts (MS-DOS, NTFS, VFAT) keep the directory bit of their
// attribute byte in the low byte of the external attributes. The host byte is
// taken as stored, not capped: larger host numbers belong to other systems.
bool DirectoryByAttribute(const format::CentralHeader& header) {
    return HostIn(header.versionMadeBy >> 8, {0, 11, 14}) &&
           (header.externalAttributes & platform::kAttrDirectory) != 0 && header.compressedSize == 0 &&
           header.uncompressedSize == 0;
}

// Marks a member name as a directory entry by its trailing '/'. False when
// the name buffer has no room left for it.
bool AppendDirectorySeparator(char* name) {
    const size_t length = std::strlen(name);
    if (length + 1 >= kNameBufferSize) return false;
    name[length] = '/';
    name[length + 1] = '\0';
    return true;
}

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (n > 0) {
        text.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<size_t>(n));
    }
    va_end(again);
    return text;
}

// Texts are built from ANSI member names; message boxes take UTF-8.
int ShowEngineMessage(platform::WindowHandle owner, const std::string& ansiText, platform::MessageIcon icon,
                      platform::MessageButtons buttons) {
    return platform::ShowMessage(owner, platform::AnsiToUtf8(ansiText), kMessageCaption, icon, buttons);
}

}  // namespace

bool Cunzip::PollCancel() {
    if (platform::CurrentUiHost().CancelRequested()) cancelSeen = 1;
    return cancelSeen != 0;
}

int Cunzip::ProcessArchive() {
    if (reader.inputBuffer == nullptr || member.nameBuffer == nullptr || output.outputBuffer == nullptr)
        return kRunOutOfMemory;
    ResetReader();
    reader.centralSignature[0] = reader.endSignature[0] = reader.localSignature[0] = 'P';
    reader.centralSignature[1] = reader.endSignature[1] = reader.localSignature[1] = 'K';
    reader.centralSignature[2] = 1, reader.centralSignature[3] = 2;
    reader.endSignature[2] = 5, reader.endSignature[3] = 6;
    reader.localSignature[2] = 3, reader.localSignature[3] = 4;
    reader.extraBytes = 0;
    member.extraField.reset();
    member.extraFieldLength = 0;
    member.currentMember = &MemberBatch()[0];

    platform::FileStatus status;
    if (!platform::GetFileStatus(archiveName, &status) || !status.exists) return kRunNoArchive;
    if (status.isDirectory) return kRunArchiveIsDirectory;
    reader.archiveSize = static_cast<int64_t>(status.size);
    if (progressShown != 0) platform::CurrentUiHost().SetArchiveName(archiveName);
    if (PollCancel()) return kRunError;

    int result = kRunNoArchive;
    if (Open(archiveName, platform::OpenMode::kRead)) {
        result = ScanOpenArchive();
        Close();
    }
    member.extraField.reset();
    member.extraFieldLength = 0;
    // After a cancel the fixed inflate tables stay for the next run.
    if (cancelSeen != 0) return kRunError;
    codecs::ReleaseInflateFixedTables();
    return std::max(result, kRunOk);
}

int Cunzip::ScanOpenArchive() {
    const int64_t searchLength =
        fullSearch != 0 ? reader.archiveSize : std::min(reader.archiveSize, kNormalSearchRange);
    int found = FindEndRecord(searchLength);
    if (found == kRunArchiveEnded) return kRunArchiveEnded;
    if (found != 0) return kRunNoArchive;

    int result = kRunOk;
    if (reader.endRecord.commentLength != 0 &&
        (options.commentLevel > 0 || (options.commentLevel == 0 && quiet == 0))) {
        if (ReadFieldBytes(reader.endRecord.commentLength, kFieldDisplay) != 0) result = Raise(result, kRunWarning);
    }
    if (options.commentLevel > 0 && fullSearch == 0) return result;

    if (fullSearch != 0) {
        if (reader.endRecord.diskNumber != reader.endRecord.centralDirDisk) return kRunNothingMatched;
    } else if (reader.endRecord.diskNumber != 0) {
        result = Raise(result, kRunWarning);
    }

    // Bytes in front of the archive proper, as the end record's own position
    // tells against where its fields place it.
    int64_t centralOffset = reader.endRecord.centralDirOffset;
    reader.extraBytes = reader.endRecordPosition - reader.expectedEndRecordPosition;
    if (reader.extraBytes < 0) {
        result = Raise(result, kRunError);
    } else if (reader.extraBytes > 0) {
        if (centralOffset == 0 && reader.endRecord.centralDirSize != 0) {
            // A writer that recorded the directory offset as 0: the directory
            // really starts where its size, counted back from the end record,
            // puts it, and the member offsets are taken as they stand.
            centralOffset = reader.extraBytes;
            reader.extraBytes = 0;
            result = Raise(result, kRunError);
        } else {
            result = Raise(result, kRunWarning);
        }
    }

    if (reader.expectedEndRecordPosition == 0 && reader.endRecord.centralDirSize == 0)
        return Raise(result, kRunWarning);

    if (centralOffset + reader.extraBytes < 0) return kRunBadStructure;
    uint8_t signature[4];
    bool there = SeekArchive(centralOffset + reader.extraBytes) == 0 && ReadArchiveBytes(signature, 4) == 4 &&
                 std::memcmp(signature, reader.centralSignature, 4) == 0;
    if (!there) {
        reader.extraBytes = 0;
        if (SeekArchive(centralOffset) != 0 || ReadArchiveBytes(signature, 4) != 4 ||
            std::memcmp(signature, reader.centralSignature, 4) != 0) {
            return kRunBadStructure;
        }
        result = Raise(result, kRunError);
    }
    if (SeekArchive(centralOffset + reader.extraBytes) != 0) return kRunArchiveEnded;

    int walked = (options.listLevel > 0 && options.test == 0) ? ListMembers() : ProcessMembers();
    return Raise(result, walked);
}

int Cunzip::ReadCentralHeader() {
    uint8_t body[format::kCentralHeaderBodySize];
    // Fields cannot be taken from a header cut short by the end of the file.
    if (ReadArchiveBytes(body, sizeof body) != sizeof body) return kRunArchiveEnded;
    format::ParseCentralHeader(body, sizeof body, &member.centralHeader);
    member.nameIsUtf8 = (member.centralHeader.flags & format::kFlagUtf8) != 0;
    MemberInfo& info = *member.currentMember;
    info.hostSystem = std::min<uint32_t>(member.centralHeader.versionMadeBy >> 8, kMaxHostSystem);
    info.lowercaseName = (options.lowercaseNames != 0 && HostIn(info.hostSystem, {0, 2, 4, 5, 9, 10})) ? 1 : 0;
    info.volumeLabel = 0;
    if ((member.centralHeader.externalAttributes & platform::kAttrVolumeLabel) != 0 &&
        HostIn(info.hostSystem, {0, 5, 6, 11})) {
        info.volumeLabel = 1;
        info.lowercaseName = 0;
    }
    return kRunOk;
}

int Cunzip::ReadFieldBytes(uint32_t length, int mode) {
    auto skip = [this](int64_t n) { return n == 0 ? kRunOk : SeekArchive(ReaderPosition() + n); };
    switch (mode) {
        case kFieldSkip:
            return skip(length);

        case kFieldDisplay: {
            std::vector<uint8_t> piece(std::min<size_t>(length, kCommentPiece));
            std::string shown;
            uint32_t remaining = length;
            int result = kRunOk;
            while (remaining > 0) {
                uint32_t want = static_cast<uint32_t>(std::min<size_t>(remaining, kCommentPiece));
                uint32_t got = ReadArchiveBytes(piece.data(), want);
                remaining -= want;
                shown.clear();
                for (uint32_t i = 0; i < got; ++i) {
                    uint8_t c = piece[i];
                    if (c == '\r') continue;
                    if (c == 27) {
                        shown += "^[";
                    } else {
                        shown += static_cast<char>(c);
                    }
                }
                for (size_t at = 0; at < shown.size(); at += kCommentChunk) {
                    size_t n = std::min(kCommentChunk, shown.size() - at);
                    AppendOutput(shown.data() + at, n);
                }
                if (got < want) {
                    result = kRunArchiveEnded;
                    break;
                }
            }
            AppendOutput("\n", 1);
            return result;
        }

        case kFieldName: {
            // The whole field is kept: a Unicode path field in the extra
            // field that follows is checked against the CRC of all of it.
            member.storedName.resize(length);
            const uint32_t got = ReadArchiveBytes(member.storedName.data(), length);
            member.storedName.resize(got);
            if (got < length) {
                TakeMemberName(member.storedName, false);
                return kRunArchiveEnded;
            }
            if (member.nameIsUtf8) return TakeMemberName(platform::Utf8NameToAnsi(member.storedName), true);
            return TakeMemberName(member.storedName, false);
        }

        case kFieldExtra: {
            member.extraField.reset();
            member.extraFieldLength = 0;
            if (length == 0) return kRunOk;
            member.extraField.reset(new (std::nothrow) uint8_t[length]);
            if (!member.extraField) return skip(length);
            member.extraFieldLength = length;
            if (ReadArchiveBytes(member.extraField.get(), length) != length) return kRunArchiveEnded;
            if (auto unicodeName = UnicodePathName(member.extraField.get(), length, member.storedName)) {
                return TakeMemberName(platform::Utf8NameToAnsi(*unicodeName), true);
            }
            return kRunOk;
        }
    }
    return kRunOk;
}

int Cunzip::TakeMemberName(const std::string& name, bool converted) {
    size_t take = name.size();
    int result = kRunOk;
    if (take > kMaxNameLength) {
        result = kRunWarning;
        take = kMaxNameLength;
        if (converted) {
            // Step whole characters so that no lead byte is left without its
            // second byte (a zero byte ends the name early anyway).
            const char* start = name.c_str();
            const char* p = start;
            while (*p != '\0') {
                const char* next = platform::NextChar(p);
                if (next - start > static_cast<ptrdiff_t>(kMaxNameLength)) {
                    take = static_cast<size_t>(p - start);
                    break;
                }
                p = next;
            }
        }
    }
    std::memcpy(member.nameBuffer, name.data(), take);
    member.nameBuffer[take] = '\0';
    if (member.currentMember->volumeLabel != 0 && take > 8 && member.nameBuffer[8] == '.') {
        std::memmove(member.nameBuffer + 8, member.nameBuffer + 9, take - 8);  // the terminating zero moves too
    }
    return result;
}

bool Cunzip::AcceptMember() {
    MemberInfo& info = *member.currentMember;
    info.localHeaderOffset = member.centralHeader.localHeaderOffset;
    info.compressedSize = member.centralHeader.compressedSize;
    info.crc32 = member.centralHeader.crc32;
    info.uncompressedSize = member.centralHeader.uncompressedSize;
    info.attributeByte = (member.centralHeader.externalAttributes & 0xFF) | platform::kAttrArchive;
    info.encrypted = (member.centralHeader.flags & format::kFlagEncrypted) != 0 ? 1 : 0;
    info.hasDataDescriptor = (member.centralHeader.flags & format::kFlagDataDescriptor) != 0 ? 1 : 0;
    info.textFile = member.centralHeader.internalAttributes & 1;
    info.textMode = 0;
    info.directoryByAttribute = DirectoryByAttribute(member.centralHeader) ? 1 : 0;

    const unsigned version = member.centralHeader.versionNeeded & 0xFF;
    const unsigned neededHost = member.centralHeader.versionNeeded >> 8;
    if (neededHost == kHostVms) {
        if (version > kMaxVmsVersion) {
            ShowEngineMessage(parentWindow,
                              Format("   skipping: %-22s  need %s compat. v%u.%u (can do v%u.%u)\n", member.nameBuffer,
                                     "VMS", version / 10, version % 10, 4u, 2u),
                              platform::MessageIcon::kQuestion, platform::MessageButtons::kOk);
            return false;
        }
        if (options.test == 0 && ProcessState().AssumeYesFlag == 0) {
            int answer = ShowEngineMessage(parentWindow,
                                           Format("%s:  stored in VMS format.  Extract anyway?", member.nameBuffer),
                                           platform::MessageIcon::kQuestion, platform::MessageButtons::kYesNo);
            if (answer != platform::kIdYes) return false;
        }
    } else if (version > kMaxPlainVersion && !ReadableAboveVersion20(member.centralHeader)) {
        return false;
    }
    return !MethodRefused(member.centralHeader.method);
}

int Cunzip::ProcessMembers() {
    member.crcTable = new (std::nothrow) uint32_t[format::kCrcTableSize];
    if (member.crcTable == nullptr) return kRunOutOfMemory;
    format::BuildCrcTable(member.crcTable);
    auto freeCrcTable = [this] {
        delete[] member.crcTable;
        member.crcTable = nullptr;
    };

    // Which members overlap others, from the whole directory, before any
    // member of the first batch is extracted.
    const int spans = FindOverlappingMembers();
    if (spans != 0) {
        freeCrcTable();
        return spans;
    }
    bool overlapReported = false;  // one message per run, however many members overlap

    uint32_t remaining = reader.endRecord.totalEntries;
    uint32_t entry = 0;  // central directory position of the next header read
    std::array<uint32_t, kMemberBatchSize> slotEntry{};
    int64_t index = -1;  // of the member being visited, counted over the run's selected members
    counters.skippedMembers = 0;
    counters.givenUpMembers = 0;
    FirstEncryptedMemberFlag() = true;
    int result = kRunOk;
    bool directoryEnded = false;
    int64_t rememberedExtraBytes = 0;
    bool haveRemembered = false;
    auto& batch = MemberBatch();

    while (remaining > 0 && !directoryEnded) {
        // Fill a batch from the central directory.
        size_t selected = 0;
        while (remaining > 0 && selected < kMemberBatchSize) {
            --remaining;
            slotEntry[selected] = entry++;
            member.currentMember = &batch[selected];
            *member.currentMember = MemberInfo{};
            uint8_t signature[4];
            if (ReadArchiveBytes(signature, 4) != 4) {
                result = Raise(result, kRunArchiveEnded);
                directoryEnded = true;
                break;
            }
            if (std::memcmp(signature, reader.centralSignature, 4) != 0) {
                result = Raise(result, kRunBadStructure);
                directoryEnded = true;
                break;
            }
            int r = ReadCentralHeader();
            if (r != 0) {
                result = Raise(result, r);
                directoryEnded = true;
                break;
            }
            for (auto [length, mode] : {std::pair<uint32_t, int>{member.centralHeader.nameLength, kFieldName},
                                        {member.centralHeader.extraLength, kFieldExtra},
                                        {member.centralHeader.commentLength, kFieldSkip}}) {
                r = ReadFieldBytes(length, mode);
                result = Raise(result, r);
                if (r > kRunWarning) {
                    directoryEnded = true;
                    break;
                }
            }
            if (directoryEnded) break;
            if (processAllMembers == 0 && !NameSelected(member.nameBuffer, ArgumentList, 2)) continue;
            if (AcceptMember()) {
                ++selected;
            } else {
                ++counters.skippedMembers;
            }
        }

        // Visit each selected member's local header and extract it.
        const int64_t directoryPlace = ReaderPosition();
        for (size_t i = 0; i < selected; ++i) {
            ++index;
            member.currentMember = &batch[i];
            const MemberInfo& info = *member.currentMember;
            int64_t target = static_cast<int64_t>(info.localHeaderOffset) + reader.extraBytes;
            if (EntryOverlaps(slotEntry[i])) {
                if (!overlapReported) {
                    overlapReported = true;
                    ShowEngineMessage(parentWindow,
                                      Format("3:file #%d:  bad zipfile offset (%s):  %s\n", static_cast<int>(index),
                                             "overlap", std::to_string(target).c_str()),
                                      platform::MessageIcon::kStop, platform::MessageButtons::kOk);
                }
                result = Raise(result, kRunBadStructure);
                continue;
            }
            if (target < 0) {
                if (index == 0 && reader.extraBytes != 0) {
                    rememberedExtraBytes = reader.extraBytes;
                    haveRemembered = true;
                    reader.extraBytes = 0;
                    target = info.localHeaderOffset;
                    result = Raise(result, kRunError);
                } else {
                    result = Raise(result, kRunBadStructure);
                    continue;
                }
            }
            if (SeekArchive(target) != 0) {
                result = Raise(result, kRunBadStructure);
                continue;
            }
            uint8_t signature[4];
            if (ReadArchiveBytes(signature, 4) != 4) {
                ShowEngineMessage(parentWindow,
                                  Format("1:file #%d:  bad zipfile offset (%s):  %s\n", static_cast<int>(index), "EOF",
                                         std::to_string(target).c_str()),
                                  platform::MessageIcon::kStop, platform::MessageButtons::kOk);
                result = Raise(result, kRunBadStructure);
                continue;
            }
            if (std::memcmp(signature, reader.localSignature, 4) != 0) {
                ShowEngineMessage(parentWindow,
                                  Format("2:file #%d:  bad zipfile offset (%s):  %s\n", static_cast<int>(index), "EOF",
                                         std::to_string(target).c_str()),
                                  platform::MessageIcon::kStop, platform::MessageButtons::kOk);
                result = Raise(result, kRunError);
                // Try once more with the other correction.
                if (index == 0 && reader.extraBytes != 0) {
                    rememberedExtraBytes = reader.extraBytes;
                    haveRemembered = true;
                    reader.extraBytes = 0;
                } else if (index > 0 && reader.extraBytes == 0 && haveRemembered) {
                    reader.extraBytes = rememberedExtraBytes;
                } else {
                    result = Raise(result, kRunBadStructure);
                    continue;
                }
                target = static_cast<int64_t>(info.localHeaderOffset) + reader.extraBytes;
                if (target < 0) {
                    freeCrcTable();
                    return kRunBadStructure;
                }
                if (SeekArchive(target) != 0) {
                    freeCrcTable();
                    return kRunArchiveEnded;
                }
                if (ReadArchiveBytes(signature, 4) != 4 || std::memcmp(signature, reader.localSignature, 4) != 0) {
                    result = Raise(result, kRunBadStructure);
                    continue;
                }
            }

            uint8_t body[format::kLocalHeaderBodySize];
            if (ReadArchiveBytes(body, sizeof body) != sizeof body) {
                result = Raise(result, kRunArchiveEnded);
                continue;
            }
            format::ParseLocalHeader(body, sizeof body, &member.localHeader);
            member.nameIsUtf8 = (member.localHeader.flags & format::kFlagUtf8) != 0;
            if ((member.localHeader.flags & format::kFlagDataDescriptor) != 0) {
                member.localHeader.crc32 = info.crc32;
                member.localHeader.compressedSize = info.compressedSize;
            } else if (member.localHeader.compressedSize == format::kZip64Placeholder32) {
                // A Zip64 writer's local placeholder; the central size is real
                // (AcceptMember refuses a member whose central size is one too).
                member.localHeader.compressedSize = info.compressedSize;
            }
            member.compressedBytesLeft = member.localHeader.compressedSize;
            member.uncompressedSize = member.localHeader.uncompressedSize;

            int fieldResult = ReadFieldBytes(member.localHeader.nameLength, kFieldName);
            if (fieldResult <= kRunWarning)
                fieldResult = Raise(fieldResult, ReadFieldBytes(member.localHeader.extraLength, kFieldExtra));
            result = Raise(result, fieldResult);
            if (fieldResult > kRunWarning) continue;
            // A directory known by its attribute is handled as if its name
            // ended in '/'; one whose name fills the buffer is still no file.
            if (info.directoryByAttribute != 0 && !AppendDirectorySeparator(member.nameBuffer) && options.test == 0) {
                continue;
            }

            if (options.test == 0) {
                bool extract = false;
                result = Raise(result, PrepareMemberOutput(&extract));
                if (!extract) continue;
            }
            if (info.encrypted != 0 && !PasswordStep(&result)) continue;

            ProcessState().WriteFailureState = 0;
            int extracted = ExtractMember();
            if (info.encrypted != 0) {
                reader.inputFill = 0;  // the buffer may hold decrypted bytes now
                member.decryptingMember = false;
            }
            if (extracted != 0) {
                if (cancelSeen != 0) {
                    freeCrcTable();
                    return kRunOk;
                }
                result = Raise(result, extracted);
                if (ProcessState().WriteFailureState > 1) {
                    freeCrcTable();
                    return result;
                }
            }
        }
        if (!directoryEnded && selected > 0 && SeekArchive(directoryPlace) != 0) {
            result = Raise(result, kRunArchiveEnded);
            directoryEnded = true;
        }
    }
    freeCrcTable();

    if (!directoryEnded) {
        uint8_t signature[4];
        if ((ReadArchiveBytes(signature, 4) != 4 || std::memcmp(signature, reader.endSignature, 4) != 0) &&
            result == kRunOk) {
            result = kRunWarning;
        }
    }
    if (index < 0 && result < kRunError) return kRunNothingMatched;
    if (counters.skippedMembers > 0 && result == kRunOk) return kRunWarning;
    if (counters.givenUpMembers > 0 && result == kRunOk) return kRunWarning;
    return result;
}

}  // namespace tovra::extract
