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

// The wording of a run's progress window: extraction or archiving.
enum class ProgressMode { kArchiving = 0, kExtraction = 1 };

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

    // The calls below frame and describe a run's progress; every one has a
    // default that does nothing, so a host only takes what it can show.
    // A run that shows its progress begins: `owner` is the host's window, or
    // null for a run called without one when this host shows progress of its
    // own (ShowsProgressWithoutWindow). Progress windows appear only between
    // BeginRun and EndRun.
    virtual void BeginRun(WindowHandle owner, ProgressMode mode) { (void)owner, (void)mode; }
    // The run ends: its progress window goes and the thread's queue is drained.
    virtual void EndRun() {}
    // The archive the run works on (ANSI).
    virtual void SetArchiveName(const std::string& archivePath) { (void)archivePath; }
    // What the run does now ("inflating...", "adding..."): a fixed UTF-8 text
    // that lives as long as the process.
    virtual void SetActivity(const char* activityUtf8) { (void)activityUtf8; }
    // A new file of the run: its name, its output name (ANSI) and its size.
    virtual void BeginFile(const std::string& fileName, const std::string& outputName, uint64_t total) {
        (void)fileName, (void)outputName, (void)total;
    }
    // Moves `source` onto `destination` (replacing it, copying across
    // volumes) while showing the move: 1 when moved, 0 when the move failed,
    // -1 when this host shows no moves and the caller is to move the file
    // itself (the default).
    virtual int MoveWithProgress(const std::string& source, const std::string& destination) {
        (void)source, (void)destination;
        return -1;
    }
    // True for a host that draws a run's progress itself, with no window of
    // the caller's (a terminal tool): runs called without a window then frame
    // and describe themselves to it as windowed runs do. False (the default)
    // keeps a run without a window from showing anything, which is what a
    // null window means to the Windows dialogs.
    virtual bool ShowsProgressWithoutWindow() const { return false; }
};

// Whether a run called with `window` (null: none) shows its progress through
// the current host: with a window always, without one when the host asks.
bool RunShowsProgress(WindowHandle window);

// The host in force; never null (the library's default when none was set).
UiHost& CurrentUiHost();
// Installs `host` (not owned; null restores the default). Returns the previous one.
UiHost* SetUiHost(UiHost* host);

}  // namespace tovra::platform
