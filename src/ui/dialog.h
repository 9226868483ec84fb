// dialog.h - a small dialog base class for the library's Windows dialogs.
//
// A Dialog is built from one of the library's dialog templates and shown
// either modally (DoModal runs the system's modal loop and returns the code
// the dialog ended with) or modelessly (Create; the window lives until
// DestroyDialog). The dialog procedure hands the messages to virtual members:
// OnInitDialog, OnCommand (which calls OnOK / OnCancel for buttons 1 and 2)
// and PostNcDestroy after the window is gone, where a modeless dialog that
// was built with new may delete itself. DoDataExchange moves values between
// the fields of a derived class and its controls (UpdateData).
//
// Windows are created with the wide functions, so the templates' Japanese
// texts show whatever the ANSI code page; names and paths (ANSI bytes) are
// converted with the ANSI code page on their way into and out of controls.
// Windows only.
#pragma once

#ifdef _WIN32

#include <string>

#include "platform/win32/win32_common.h"

namespace tovra::ui {

class Dialog {
public:
    // `templateId` names a dialog template of the module holding this code;
    // `owner` may be null.
    Dialog(int templateId, HWND owner) : templateId_(templateId), owner_(owner) {}
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Shows the dialog modally; returns the code given to EndDialog, or -1
    // when no window could be made.
    INT_PTR DoModal();
    // Creates the modeless window (visible only if the template says so);
    // false when it could not be made.
    bool Create();
    // Destroys a modeless window; PostNcDestroy runs before this returns.
    void DestroyDialog();

    HWND Handle() const { return window_; }
    HWND Owner() const { return owner_; }

protected:
    // Called once the window and its controls exist; the default fills the
    // controls from the fields. Returns true to let the system set the focus.
    virtual bool OnInitDialog();
    // Moves the fields into the controls (save false) or the controls into
    // the fields (save true). The default has nothing to move.
    virtual void DoDataExchange(bool save);
    // A WM_COMMAND from control `id`; returns true when handled. The default
    // sends button 1 to OnOK and button 2 to OnCancel.
    virtual bool OnCommand(int id, int code);
    // OK: takes the controls into the fields and ends a modal dialog with 1.
    virtual void OnOK();
    // Cancel: ends a modal dialog with 2 (a modeless one is destroyed).
    virtual void OnCancel();
    // After the window is destroyed (its last message); may delete this.
    virtual void PostNcDestroy() {}

    bool UpdateData(bool save);
    void EndDialog(INT_PTR result);

    // Data exchange helpers: an ANSI text to or from a control, a UTF-8 text
    // (the library's own) into a control or into the title.
    void ExchangeAnsiText(int id, std::string* text, bool save);
    void SetItemAnsi(int id, const std::string& ansi);
    void SetItemUtf8(int id, const std::string& utf8);
    void SetTitleUtf8(const std::string& utf8);
    HWND Item(int id) const { return GetDlgItem(window_, id); }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND owner_;
    HWND window_ = nullptr;
    bool modal_ = false;
};

// The module whose resources hold the dialog templates (the one holding this code).
HMODULE ResourceModule();

}  // namespace tovra::ui

#endif  // _WIN32
