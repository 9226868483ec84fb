// CDlgExtMsg.h - the modeless progress window of a run (template 131), for
// extraction (mode 1) and archiving (mode 0).
//
// Build it with new, call CreateProgressWindow, feed it (SetArchiveName,
// SetActivity, BeginFile, UpdateProgress, MoveWithProgress) and finally call
// DestroyDialog: the object deletes itself once its window is gone. The
// window stays hidden until the first UpdateProgress whose done differs from
// the total, so a file finished in one step never shows it. Every operation
// pumps the calling thread's messages (PumpProgressMessages); Escape and
// Enter there, and the Cancel button, ask the mode's question, and Yes sets
// cancelFlag, which the run reads and which never goes back to 0. The dialog
// never ends a run or closes itself. Windows only.
#pragma once

#ifdef _WIN32

#include <cstdint>
#include <string>

#include "ui/dialog.h"

namespace tovra::ui {

class CDlgExtMsg : public Dialog {
public:
    enum Mode : int32_t { kArchiving = 0, kExtraction = 1 };

    explicit CDlgExtMsg(HWND owner);

    // Creates the hidden window owned by `owner` with the mode's wording;
    // 1 on success, 0 when no window could be made (the object then stays
    // the caller's to delete).
    int CreateProgressWindow(HWND owner, int32_t mode);
    // The archive being worked on (ANSI; '/' shown as '\'); resets the total
    // and, in archiving mode, the counter.
    void SetArchiveName(const std::string& archivePath);
    // The title becomes the mode's prefix and `activity` (UTF-8, a text that
    // lives as long as the process); the same text again changes nothing.
    void SetActivity(const char* activity);
    // A new file: its name, its output name (shown in extraction mode) and its
    // size, the 100 % value (0: the bar is not moved for it).
    void BeginFile(const std::string& fileName, const std::string& outputName, uint64_t totalSize);
    // `done` bytes of the current file.
    void UpdateProgress(uint64_t done);
    // Moves `source` to `destination` (replacing it, copying across volumes)
    // with the bar showing the move, Cancel disabled meanwhile. Returns the
    // system's result: nonzero on success.
    int MoveWithProgress(const std::string& source, const std::string& destination);
    // Handles the waiting messages of the calling thread (see above).
    void PumpProgressMessages();

    int32_t mode = kExtraction;
    uint64_t total = 0;
    int32_t cancelFlag = 0;
    const char* lastActivity = nullptr;
    std::string archiveText;  // ANSI
    std::string fileText;     // ANSI
    std::string thirdText;    // ANSI (output name) or the counter

protected:
    bool OnInitDialog() override;
    void DoDataExchange(bool save) override;
    void OnCancel() override;
    void PostNcDestroy() override;

private:
    static DWORD CALLBACK MoveProgress(LARGE_INTEGER totalSize, LARGE_INTEGER moved, LARGE_INTEGER, LARGE_INTEGER,
                                       DWORD, DWORD, HANDLE, HANDLE, LPVOID data);

    void SetBar(int percent);
    void RepaintIfVisible();
    bool Visible() const;

    HWND progressBar_ = nullptr;
    bool asking_ = false;   // the cancel question is open
    bool created_ = false;  // CreateProgressWindow succeeded: the object deletes itself
};

}  // namespace tovra::ui

#endif  // _WIN32
