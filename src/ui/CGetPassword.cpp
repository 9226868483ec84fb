// CGetPassword.cpp - the password request (see CGetPassword.h).
#ifdef _WIN32

#include "ui/CGetPassword.h"

#include "platform/platform.h"
#include "ui/resource_ids.h"

namespace tovra::ui {

std::string CutAtWholeCharacters(const std::string& text, size_t limit) {
    const char* start = text.c_str();
    const char* end = start;
    for (const char* p = start; *p != '\0';) {
        const char* next = platform::NextChar(p);
        if (static_cast<size_t>(next - start) > limit) break;
        end = next;
        p = next;
    }
    return std::string(start, end);
}

CGetPassword::CGetPassword(HWND owner) : Dialog(IDD_TOVRA_PASSWORD, owner) {}

bool CGetPassword::OnInitDialog() {
    SendMessageW(Item(IDC_PASSWORD_EDIT), EM_SETLIMITTEXT, kMaxPasswordLength, 0);
    return Dialog::OnInitDialog();
}

void CGetPassword::DoDataExchange(bool save) {
    ExchangeAnsiText(IDC_PASSWORD_EDIT, &password, save);
    if (save) password = CutAtWholeCharacters(password, kMaxPasswordLength);
}

}  // namespace tovra::ui

#endif  // _WIN32
