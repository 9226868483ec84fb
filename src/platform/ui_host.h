// ui_host.h - the seam between the engines and the person at the screen.
//
// The engines ask their questions (overwrite this file? the password? cancel?)
// through the current UiHost. On Windows the library's default host shows the
// real dialogs; natively the default host never blocks: it writes messages to
// standard error and answers No / Cancel. The tovra tool installs a terminal
// host; tests install a scripted one. ShowMessage (platform.h) reaches the
// host natively; on Windows message boxes are real MessageBoxW calls.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace tovra::platform {

struct OverwriteQuestion {
    std::string path;        // ANSI, '\' as separator
    int64_t memberTime = 0;  // seconds since 1970 UTC
    uint64_t memberSize = 0;
    int64_t diskTime = 0;
    uint64_t diskSize = 0;
};

enum class OverwriteAnswer { kNo, kYes, kYesToAll };

class UiHost {
public:
    virtual ~UiHost() = default;
    // A message box; returns a MessageResult (kIdOk, kIdYes, kIdNo, kIdCancel).
    virtual int Message(WindowHandle owner, const std::string& textUtf8, const std::string& captionUtf8,
                        MessageIcon icon, MessageButtons buttons) = 0;
    // Whether an existing file may be replaced.
    virtual OverwriteAnswer AskOverwrite(WindowHandle owner, const OverwriteQuestion& question) = 0;
    // The password of an encrypted member (ANSI, at most 80 bytes); false = cancel.
    virtual bool AskPassword(WindowHandle owner, const std::string& memberName, std::string* password) = 0;
    // Progress of the running command: `done` of `total` units of the current item.
    virtual void Progress(const std::string& itemName, uint64_t done, uint64_t total) {
        (void)itemName, (void)done, (void)total;
    }
    // True once the person asked to cancel the running command.
    virtual bool CancelRequested() { return false; }
};

// The host in force; never null (the library's default when none was set).
UiHost& CurrentUiHost();
// Installs `host` (not owned; null restores the default). Returns the previous one.
UiHost* SetUiHost(UiHost* host);

}  // namespace tovra::platform
