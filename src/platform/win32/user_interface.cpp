// user_interface.cpp - message boxes, beeps, the message pump, the wait cursor
// and string resources on Windows.
//
// Message texts arrive as UTF-8 and are shown with MessageBoxW, so Japanese
// texts appear correctly whatever the system's ANSI code page. When a UiHost
// has been installed (a test, a console program) it answers instead of a box.
// String resources are read from the module that holds this code (the DLL).
#include <cstdint>

#include "platform/default_ui_host.h"
#include "platform/platform.h"
#include "platform/testing_hooks.h"
#include "platform/ui_host.h"
#include "platform/win32/win32_common.h"

namespace tovra::platform {
namespace {

// PumpMessages dispatches at most this many messages, so that a window which
// keeps posting to itself cannot hold up the run that pumps.
constexpr size_t kPumpLimit = 1000;

void DispatchWaiting(size_t limit) {
    MSG message;
    for (size_t count = 0; count < limit && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++count) {
        if (message.message == WM_QUIT) {
            // The host's own loop must still see it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int waitCursorDepth = 0;
HCURSOR cursorBeforeWait = nullptr;

}  // namespace

int ShowMessage(WindowHandle owner, const std::string& text, const std::string& caption, MessageIcon icon,
                MessageButtons buttons) {
    if (!IsDefaultUiHostInForce()) return CurrentUiHost().Message(owner, text, caption, icon, buttons);
    UINT style = buttons == MessageButtons::kYesNo      ? MB_YESNO
                 : buttons == MessageButtons::kOkCancel ? MB_OKCANCEL
                                                        : MB_OK;
    switch (icon) {
        case MessageIcon::kStop:
            style |= MB_ICONSTOP;
            break;
        case MessageIcon::kQuestion:
            style |= MB_ICONQUESTION;
            break;
        case MessageIcon::kExclamation:
            style |= MB_ICONEXCLAMATION;
            break;
        case MessageIcon::kInformation:
            style |= MB_ICONINFORMATION;
            break;
        case MessageIcon::kNone:
            break;
    }
    const std::wstring wideText = Utf8ToWide(text, 0xFFFD);
    const std::wstring wideCaption = Utf8ToWide(caption, 0xFFFD);
    const int answer = MessageBoxW(static_cast<HWND>(owner), wideText.c_str(), wideCaption.c_str(), style);
    // No box could be shown (0; -1 under Wine without a display): answer as
    // the default host would rather than with a value the caller never expects.
    return answer <= 0 ? DefaultMessageAnswer(buttons) : answer;
}

namespace {

BeepRecord beeps;

}  // namespace

void Beep() { Beep(static_cast<uint32_t>(MB_OK)); }

void Beep(uint32_t soundType) {
    ++beeps.count;
    beeps.lastType = soundType;
    MessageBeep(soundType);
}

BeepRecord BeepsForTesting() { return beeps; }

void PumpMessages() { DispatchWaiting(kPumpLimit); }

void DrainMessages() { DispatchWaiting(SIZE_MAX); }

void BeginWaitCursor() {
    HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
    if (waitCursorDepth++ == 0) {
        cursorBeforeWait = SetCursor(wait);
    } else {
        SetCursor(wait);
    }
}

void EndWaitCursor() {
    if (waitCursorDepth == 0) return;
    if (--waitCursorDepth == 0) SetCursor(cursorBeforeWait);
}

bool LoadStringResource(unsigned id, std::string* text) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&LoadStringResource), &module)) {
        return false;
    }
    if (id > 0xFFFF) return false;
    // An entry holds at most 65535 characters; grow until the text fits.
    std::wstring buffer(256, L'\0');
    for (;;) {
        const int length = LoadStringW(module, id, buffer.data(), static_cast<int>(buffer.size()));
        if (length <= 0) return false;
        if (static_cast<size_t>(length) + 1 < buffer.size() || buffer.size() > 65536) {
            buffer.resize(static_cast<size_t>(length));
            break;
        }
        buffer.resize(buffer.size() * 4);
    }
    *text = WideToAnsi(buffer, '?');
    return true;
}

}  // namespace tovra::platform
