// member_password.cpp - the password step of an encrypted member and the
// decryption of its data as it is read.
//
// Password state (fields of Cunzip): passwordBuffer, 81 bytes (80 and a
// zero) from the run's first encrypted member on; passwordGaveUp, set when
// the person answered with nothing (or cancelled before anything was held):
// later members are then tried with what is held but never asked about;
// givenUpMembers counts the members skipped for want of a password. The
// process-wide FirstEncryptedMemberFlag marks the run's first encrypted
// member, which starts from an empty password and always asks.
//
// Decryption: once the password is accepted, the member's bytes already in
// the input buffer are decrypted in place, and so is the member's part of
// every later refill (DecryptRefill, called by the member reader), each byte
// exactly once and in order; decryptedEnd marks how far the buffer holds
// plain bytes, so the reader never hands a decoder a byte still enciphered.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "codecs/traditional_crypto.h"
#include "extract/Cunzip.h"
#include "extract/member_acceptance.h"
#include "format/zip_values.h"
#include "platform/ui_host.h"

namespace tovra::extract {
namespace {

inline constexpr size_t kPasswordBufferSize = 81;
inline constexpr size_t kMaxPasswordLength = kPasswordBufferSize - 1;
inline constexpr int kMaxQuestions = 3;

}  // namespace

void Cunzip::DecryptBytes(uint8_t* data, size_t count) {
    codecs::TraditionalCipher cipher(member.crcTable);
    cipher.SetKeys(member.cipherKeys);
    cipher.DecryptBytes(data, count);
    member.cipherKeys = cipher.Keys();
}

void Cunzip::DecryptRefill(int64_t memberBytes) {
    if (!member.decryptingMember) return;
    const int64_t n = std::min(reader.bytesLeft, memberBytes);
    if (n <= 0) {
        member.decryptedEnd = reader.readPointer;
        return;
    }
    DecryptBytes(reader.readPointer, static_cast<size_t>(n));
    member.decryptedEnd = reader.readPointer + n;
}

int Cunzip::CheckPassword(const uint8_t* header) {
    codecs::TraditionalCipher cipher(member.crcTable);
    cipher.SetPassword(member.passwordBuffer.get());
    // With a data descriptor the CRC was not known when the header was made:
    // the check byte is the high byte of the DOS time instead.
    const uint8_t check = (member.localHeader.flags & format::kFlagDataDescriptor) != 0
                              ? static_cast<uint8_t>(member.localHeader.dosDateTime >> 8)
                              : static_cast<uint8_t>(member.localHeader.crc32 >> 24);
    if (!cipher.CheckHeader(header, check)) return -1;
    member.cipherKeys = cipher.Keys();  // they go on after the header
    member.decryptingMember = true;
    member.decryptedEnd = reader.readPointer;
    DecryptRefill(member.compressedBytesLeft);
    return 0;
}

bool Cunzip::PasswordStep(int* result) {
    member.decryptingMember = false;
    // A method without a decoder cannot use any password: no question, the
    // member is reported by ExtractMember.
    if (!MethodHasDecoder(member.localHeader.method)) return true;
    // A member too short to hold its encryption header is damaged: no
    // password can make it whole, so none is asked for.
    if (member.compressedBytesLeft < static_cast<int64_t>(codecs::kEncryptionHeaderSize)) {
        *result = std::max(*result, 2);
        return false;
    }
    uint8_t header[codecs::kEncryptionHeaderSize];
    for (uint8_t& byte : header) byte = static_cast<uint8_t>(NextMemberByte());

    bool& first = FirstEncryptedMemberFlag();
    if (first || !member.passwordBuffer) {
        first = false;
        member.passwordGaveUp = 0;
        member.passwordBuffer.reset(new (std::nothrow) char[kPasswordBufferSize]());
        if (!member.passwordBuffer) {
            *result = std::max(*result, 5);
            return false;
        }
    } else {
        if (CheckPassword(header) == 0) return true;
        if (member.passwordGaveUp != 0) {
            ++counters.givenUpMembers;
            return false;
        }
    }

    for (int asked = 1;; ++asked) {
        std::string answer;
        const bool given = platform::CurrentUiHost().AskPassword(parentWindow, member.nameBuffer, &answer);
        // A password the buffer cannot hold is refused as it stands: cutting
        // it would try a password nobody typed.
        const bool tooLong = given && answer.size() > kMaxPasswordLength;
        if (given && !tooLong) {
            std::memcpy(member.passwordBuffer.get(), answer.data(), answer.size());
            member.passwordBuffer[answer.size()] = '\0';
        }
        if (!tooLong) {
            if (CheckPassword(header) == 0) return true;
            if (member.passwordBuffer[0] == '\0') {
                member.passwordGaveUp = 1;
                ++counters.givenUpMembers;
                return false;
            }
        }
        if (asked == kMaxQuestions) {
            ++counters.givenUpMembers;
            return false;
        }
    }
}

}  // namespace tovra::extract
