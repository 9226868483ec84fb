// CGetPassword.h - the modal password request for an encrypted archive
// (template 135).
//
// DoModal returns 1 for OK (password then holds what was typed, as ANSI
// bytes), 2 for Cancel, Escape and closing, -1 when no window could be made.
// The edit control takes at most kMaxPasswordLength characters, and what it
// hands back is cut at whole characters to at most kMaxPasswordLength bytes,
// so it always fits the caller's 81-byte buffer. Windows only.
#pragma once

#ifdef _WIN32

#include <cstddef>
#include <string>

#include "ui/dialog.h"

namespace tovra::ui {

inline constexpr size_t kMaxPasswordLength = 80;

class CGetPassword : public Dialog {
public:
    explicit CGetPassword(HWND owner);

    std::string password;  // ANSI

protected:
    bool OnInitDialog() override;
    void DoDataExchange(bool save) override;
};

// `text` cut to at most `limit` bytes without splitting a double-byte character.
std::string CutAtWholeCharacters(const std::string& text, size_t limit);

}  // namespace tovra::ui

#endif  // _WIN32
