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
    codecs::TraditionalCipher cipher(crcTable);
    cipher.SetKeys(cipherKeys);
    cipher.DecryptBytes(data, count);
    cipherKeys = cipher.Keys();
}

void Cunzip::DecryptRefill(int64_t memberBytes) {
    if (!decryptingMember) return;
    const int64_t n = std::min(bytesLeft, memberBytes);
    if (n <= 0) {
        decryptedEnd = readPointer;
        return;
    }
    DecryptBytes(readPointer, static_cast<size_t>(n));
    decryptedEnd = readPointer + n;
}

int Cunzip::CheckPassword(const uint8_t* header) {
    codecs::TraditionalCipher cipher(crcTable);
    cipher.SetPassword(passwordBuffer.get());
    // With a data descriptor the CRC was not known when the header was made:
    // the check byte is the high byte of the DOS time instead.
    const uint8_t check = (localHeader.flags & format::kFlagDataDescriptor) != 0
                              ? static_cast<uint8_t>(localHeader.dosDateTime >> 8)
                              : static_cast<uint8_t>(localHeader.crc32 >> 24);
    if (!cipher.CheckHeader(header, check)) return -1;
    cipherKeys = cipher.Keys();  // they go on after the header
    decryptingMember = true;
    decryptedEnd = readPointer;
    DecryptRefill(compressedBytesLeft);
    return 0;
}

bool Cunzip::PasswordStep(int* result) {
    decryptingMember = false;
    // A method without a decoder cannot use any password: no question, the
    // member is reported by ExtractMember.
    if (!MethodHasDecoder(localHeader.method)) return true;
    // A member too short to hold its encryption header is damaged: no
    // password can make it whole, so none is asked for.
    if (compressedBytesLeft < static_cast<int64_t>(codecs::kEncryptionHeaderSize)) {
        *result = std::max(*result, 2);
        return false;
    }
    uint8_t header[codecs::kEncryptionHeaderSize];
    for (uint8_t& byte : header) byte = static_cast<uint8_t>(NextMemberByte());

    bool& first = FirstEncryptedMemberFlag();
    if (first || !passwordBuffer) {
        first = false;
        passwordGaveUp = 0;
        passwordBuffer.reset(new (std::nothrow) char[kPasswordBufferSize]());
        if (!passwordBuffer) {
            *result = std::max(*result, 5);
            return false;
        }
    } else {
        if (CheckPassword(header) == 0) return true;
        if (passwordGaveUp != 0) {
            ++givenUpMembers;
            return false;
        }
    }

    for (int asked = 1;; ++asked) {
        std::string answer;
        const bool given = platform::CurrentUiHost().AskPassword(parentWindow, nameBuffer, &answer);
        // A password the buffer cannot hold is refused as it stands: cutting
        // it would try a password nobody typed.
        const bool tooLong = given && answer.size() > kMaxPasswordLength;
        if (given && !tooLong) {
            std::memcpy(passwordBuffer.get(), answer.data(), answer.size());
            passwordBuffer[answer.size()] = '\0';
        }
        if (!tooLong) {
            if (CheckPassword(header) == 0) return true;
            if (passwordBuffer[0] == '\0') {
                passwordGaveUp = 1;
                ++givenUpMembers;
                return false;
            }
        }
        if (asked == kMaxQuestions) {
            ++givenUpMembers;
            return false;
        }
    }
}

}  // namespace tovra::extract
