// zip_builder.cpp - the test-only archive writer (see zip_builder.h).
#include "support/zip_builder.h"

#include <algorithm>

#include "support/file_helpers.h"

namespace tovra::test {
namespace {

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void PutSignature(std::string& out, char a, char b) {
    out += 'P';
    out += 'K';
    out += a;
    out += b;
}

struct Layout {
    std::string localPart;               // local headers and data, without the preamble
    std::vector<uint32_t> localOffsets;  // relative to the first local header
};

Layout LayOutMembers(const std::vector<ZipMember>& members) {
    Layout layout;
    for (const ZipMember& m : members) {
        layout.localOffsets.push_back(static_cast<uint32_t>(layout.localPart.size()));
        const uint32_t crc = m.crc32.value_or(ZipCrc32(m.uncompressed));
        const uint32_t csize = m.compressedSize.value_or(static_cast<uint32_t>(m.data.size()));
        const uint32_t usize = m.uncompressedSize.value_or(static_cast<uint32_t>(m.uncompressed.size()));
        const std::string& localName = m.localName ? *m.localName : m.name;
        uint16_t flags = m.localFlags.value_or(m.flags);
        if (m.dataDescriptor) flags |= 0x0008;
        std::string& out = layout.localPart;
        PutSignature(out, 3, 4);
        Put16(out, m.versionNeeded);
        Put16(out, flags);
        Put16(out, m.method);
        Put32(out, m.dosDateTime);
        Put32(out, m.dataDescriptor ? 0 : crc);
        Put32(out, m.dataDescriptor ? 0 : csize);
        Put32(out, m.dataDescriptor ? 0 : usize);
        Put16(out, static_cast<uint32_t>(localName.size()));
        Put16(out, static_cast<uint32_t>(m.localExtra.size()));
        out += localName;
        out += m.localExtra;
        out += m.data;
        if (m.dataDescriptor) {
            PutSignature(out, 7, 8);
            Put32(out, crc);
            Put32(out, csize);
            Put32(out, usize);
        }
    }
    return layout;
}

std::string CentralDirectory(const std::vector<ZipMember>& members, const std::vector<uint32_t>& offsets,
                             uint32_t offsetBase) {
    std::string out;
    for (size_t i = 0; i < members.size(); ++i) {
        const ZipMember& m = members[i];
        PutSignature(out, 1, 2);
        Put16(out, m.versionMadeBy);
        Put16(out, m.versionNeeded);
        Put16(out, m.flags | (m.dataDescriptor ? 0x0008 : 0));
        Put16(out, m.method);
        Put32(out, m.dosDateTime);
        Put32(out, m.crc32.value_or(ZipCrc32(m.uncompressed)));
        Put32(out, m.compressedSize.value_or(static_cast<uint32_t>(m.data.size())));
        Put32(out, m.uncompressedSize.value_or(static_cast<uint32_t>(m.uncompressed.size())));
        Put16(out, m.centralNameLength.value_or(static_cast<uint16_t>(m.name.size())));
        Put16(out, static_cast<uint32_t>(m.centralExtra.size()));
        Put16(out, static_cast<uint32_t>(m.comment.size()));
        Put16(out, 0);
        Put16(out, m.internalAttributes);
        Put32(out, m.externalAttributes);
        Put32(out, m.localHeaderOffset.value_or(offsetBase + offsets[i]));
        out += m.name;
        out += m.centralExtra;
        out += m.comment;
    }
    return out;
}

}  // namespace

uint32_t ZipCrc32(const std::string& data) {
    uint32_t crc = 0xFFFFFFFF;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

std::string DeflateStoredBlocks(const std::string& data) {
    constexpr size_t kMaxStoredBlock = 65535;
    std::string out;
    size_t at = 0;
    do {
        const size_t n = std::min(kMaxStoredBlock, data.size() - at);
        const bool last = at + n == data.size();
        out += static_cast<char>(last ? 1 : 0);  // BFINAL, BTYPE 00, then byte-aligned
        Put16(out, static_cast<uint32_t>(n));
        Put16(out, static_cast<uint32_t>(~n & 0xFFFF));
        out.append(data, at, n);
        at += n;
    } while (at < data.size());
    return out;
}

ZipMember& ZipBuilder::AddStored(const std::string& name, const std::string& content) {
    return AddRaw(name, 0, content, content);
}

ZipMember& ZipBuilder::AddDeflated(const std::string& name, const std::string& content) {
    ZipMember& m = AddRaw(name, 8, DeflateStoredBlocks(content), content);
    m.versionNeeded = 20;
    return m;
}

ZipMember& ZipBuilder::AddRaw(const std::string& name, uint16_t method, const std::string& data,
                              const std::string& uncompressed) {
    ZipMember m;
    m.name = name;
    m.method = method;
    m.data = data;
    m.uncompressed = uncompressed;
    members.push_back(m);
    return members.back();
}

uint64_t ZipBuilder::CentralDirectoryPosition() const {
    return preamble.size() + LayOutMembers(members).localPart.size();
}

uint64_t ZipBuilder::EndRecordPosition() const {
    const Layout layout = LayOutMembers(members);
    return preamble.size() + layout.localPart.size() + CentralDirectory(members, layout.localOffsets, 0).size();
}

std::string ZipBuilder::Build() const {
    const Layout layout = LayOutMembers(members);
    const uint32_t base = offsetsIncludePreamble ? static_cast<uint32_t>(preamble.size()) : 0;
    const std::string central = CentralDirectory(members, layout.localOffsets, base);
    std::string out = preamble + layout.localPart + central;
    const auto count = static_cast<uint16_t>(members.size());
    PutSignature(out, 5, 6);
    Put16(out, diskNumber.value_or(0));
    Put16(out, centralDirDisk.value_or(0));
    Put16(out, entriesOnDisk.value_or(count));
    Put16(out, totalEntries.value_or(count));
    Put32(out, centralDirSize.value_or(static_cast<uint32_t>(central.size())));
    Put32(out, centralDirOffset.value_or(base + static_cast<uint32_t>(layout.localPart.size())));
    Put16(out, commentLength.value_or(static_cast<uint16_t>(archiveComment.size())));
    out += archiveComment;
    out += trailing;
    return out;
}

bool ZipBuilder::WriteTo(const std::string& path) const { return WriteWholeFile(path, Build()); }

std::string BuildWithRepeatedLastHeader(const ZipBuilder& zip, size_t copies) {
    const std::string bytes = zip.Build();
    const size_t directory = static_cast<size_t>(zip.CentralDirectoryPosition());
    const size_t end = static_cast<size_t>(zip.EndRecordPosition());
    // The last central header: walk the directory by the length fields.
    size_t last = directory;
    for (size_t at = directory; at < end;) {
        last = at;
        auto field = [&](size_t offset) {
            return static_cast<size_t>(static_cast<uint8_t>(bytes[at + offset])) |
                   static_cast<size_t>(static_cast<uint8_t>(bytes[at + offset + 1])) << 8;
        };
        at += 46 + field(28) + field(30) + field(32);
    }
    const std::string header = bytes.substr(last, end - last);
    std::string out = bytes.substr(0, end);
    out.reserve(end + copies * header.size() + 22);
    for (size_t i = 0; i < copies; ++i) out += header;
    const size_t entries = zip.members.size() + copies;
    out += EndRecordBytes(static_cast<uint16_t>(entries), static_cast<uint32_t>(out.size() - directory),
                          static_cast<uint32_t>(directory));
    return out;
}

std::string EndRecordBytes(uint16_t entries, uint32_t centralSize, uint32_t centralOffset, const std::string& comment,
                           uint16_t diskNumber, uint16_t centralDisk) {
    std::string out;
    PutSignature(out, 5, 6);
    Put16(out, diskNumber);
    Put16(out, centralDisk);
    Put16(out, entries);
    Put16(out, entries);
    Put32(out, centralSize);
    Put32(out, centralOffset);
    Put16(out, static_cast<uint32_t>(comment.size()));
    return out + comment;
}

}  // namespace tovra::test
