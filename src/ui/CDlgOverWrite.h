// CDlgOverWrite.h - the modal question whether an existing file may be
// replaced by the archive member of the same name (template 130).
//
// The caller fills every field but overwriteAll, then calls DoModal: 1 for
// Yes and for "overwrite all" (overwriteAll is then 1), 2 for No, Escape and
// closing, -1 when no window could be made. The two time-and-size lines are
// built when the window opens; a time that cannot be converted to local time
// shows as '?' fields, so the question is asked all the same. Windows only.
#pragma once

#ifdef _WIN32

#include <cstdint>
#include <string>

#include "ui/dialog.h"

namespace tovra::ui {

class CDlgOverWrite : public Dialog {
public:
    explicit CDlgOverWrite(HWND owner);

    std::string fileText;      // ANSI path of the file in question, '\' separators
    int32_t overwriteAll = 0;  // 1 when closed with "overwrite all"
    int64_t memberTime = 0;    // seconds since 1970 UTC
    int64_t diskTime = 0;
    uint64_t memberSize = 0;
    uint64_t diskSize = 0;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(bool save) override;
    bool OnCommand(int id, int code) override;
};

}  // namespace tovra::ui

#endif  // _WIN32
