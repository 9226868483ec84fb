// archiving_reports.h - how the archiving engine reports to the run that
// drives it, without knowing the run.
//
// The update reader and the entry writer raise errors and warnings through
// this interface; the archiving run (src/archive/) implements it over its
// context: ReportError shows "zip error: %s (%s)", removes the temporary
// archive or restores an archive appended in place, and ends the run;
// ReportWarning shows "zip warning: %s%s\n" while warnings are on.
//
// Every text passed here is in the ANSI code page, like the names it often
// holds: a caller converts the library's own (UTF-8) texts with
// platform::Utf8ToAnsi first, so that a name and a text can be joined.
#pragma once

#include <string>

#include "platform/platform.h"

namespace tovra::compress {

class ArchivingReports {
public:
    virtual ~ArchivingReports() = default;
    // Reports error `code` (format/archive_errors.h) with a detail text (may
    // be empty: then no message box) and ends the run. Returns `code`, so a
    // caller can write `return reports.ReportError(code, detail);` and every
    // caller above it returns the nonzero code at once.
    virtual int ReportError(int code, const std::string& detail) = 0;
    // Shows a warning made of two texts (the second is often a name and may be
    // empty) when warnings are on; changes nothing else.
    virtual void ReportWarning(const std::string& text, const std::string& name) = 0;
    // Shows a notice in a plain message box (no icon) whether or not warnings
    // are on; reading goes on.
    virtual void ShowNotice(const std::string& text) {
        platform::ShowMessage(nullptr, platform::AnsiToUtf8(text), "TOVRA64", platform::MessageIcon::kNone,
                              platform::MessageButtons::kOk);
    }
    // True once the person asked to cancel the run.
    virtual bool CancelRequested() { return false; }
};

}  // namespace tovra::compress
