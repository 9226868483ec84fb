// dialog.cpp - the dialog base class (see dialog.h).
#ifdef _WIN32

#include "ui/dialog.h"

#include <commctrl.h>

namespace tovra::ui {

HMODULE ResourceModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ResourceModule), &module);
    return module;
}

Dialog::~Dialog() {
    // A window must not outlive its object: its procedure would reach freed memory.
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, DWLP_USER, 0);
        ::DestroyWindow(window_);
    }
}

INT_PTR Dialog::DoModal() {
    modal_ = true;
    return DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(templateId_), owner_, &Dialog::Procedure,
                           reinterpret_cast<LPARAM>(this));
}

bool Dialog::Create() {
    // The progress bar's window class lives in the common controls library.
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    modal_ = false;
    return CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(templateId_), owner_, &Dialog::Procedure,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::DestroyDialog() {
    if (window_ != nullptr) ::DestroyWindow(window_);
}

bool Dialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void Dialog::DoDataExchange(bool) {}

bool Dialog::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return false;
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

void Dialog::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

bool Dialog::UpdateData(bool save) {
    if (window_ == nullptr) return false;
    DoDataExchange(save);
    return true;
}

void Dialog::EndDialog(INT_PTR result) {
    if (window_ == nullptr) return;
    if (modal_) {
        ::EndDialog(window_, result);
    } else {
        ::DestroyWindow(window_);
    }
}

void Dialog::ExchangeAnsiText(int id, std::string* text, bool save) {
    if (!save) {
        SetItemAnsi(id, *text);
        return;
    }
    HWND control = Item(id);
    const int length = control != nullptr ? GetWindowTextLengthW(control) : 0;
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    if (length > 0) GetWindowTextW(control, wide.data(), length + 1);
    wide.resize(static_cast<size_t>(length));
    *text = platform::WideToAnsi(wide, '?');
}

void Dialog::SetItemAnsi(int id, const std::string& ansi) {
    SetDlgItemTextW(window_, id, platform::AnsiToWide(ansi, L'?').c_str());
}

void Dialog::SetItemUtf8(int id, const std::string& utf8) {
    SetDlgItemTextW(window_, id, platform::Utf8ToWide(utf8, 0xFFFD).c_str());
}

void Dialog::SetTitleUtf8(const std::string& utf8) {
    SetWindowTextW(window_, platform::Utf8ToWide(utf8, 0xFFFD).c_str());
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
        return self->OnInitDialog() ? TRUE : FALSE;
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    switch (message) {
        case WM_COMMAND:
            return self->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, DWLP_USER, 0);
            self->window_ = nullptr;
            self->PostNcDestroy();  // may delete self: nothing touches it afterwards
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace tovra::ui

#endif  // _WIN32
