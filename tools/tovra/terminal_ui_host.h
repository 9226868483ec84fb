// terminal_ui_host.h - the tovra tool's answers to the library's questions on
// Linux: messages on standard error, questions on the terminal.
//
// When standard input is a terminal the person is asked (yes/no, overwrite as
// "[y]es / [n]o / [A]ll", password without echo), Ctrl-C asks whether to
// cancel the run (the library then stops at its next check), and a progress
// line is drawn on standard error when that is a terminal too: bar,
// percentage, bytes, archive, activity and file. Otherwise nobody can answer, and the host gives the
// library's default answers: No, Cancel, OK; no overwrite; no password; and
// Ctrl-C keeps its usual effect. Names are printed as the bytes the library
// gives (ANSI code page). One TerminalUiHost at a time.
#pragma once

#ifndef _WIN32

#include <string>

#include "platform/ui_host.h"

namespace tovra::tool {

class TerminalUiHost : public platform::UiHost {
public:
    TerminalUiHost();
    ~TerminalUiHost() override;
    TerminalUiHost(const TerminalUiHost&) = delete;
    TerminalUiHost& operator=(const TerminalUiHost&) = delete;

    int Message(platform::WindowHandle owner, const std::string& textUtf8, const std::string& captionUtf8,
                platform::MessageIcon icon, platform::MessageButtons buttons) override;
    platform::OverwriteAnswer AskOverwrite(platform::WindowHandle owner,
                                           const platform::OverwriteQuestion& question) override;
    bool AskPassword(platform::WindowHandle owner, const std::string& memberName, std::string* password) override;
    void Progress(const std::string& itemName, uint64_t done, uint64_t total) override;
    bool CancelRequested() override;
    // Runs tell this host what they do although tovra gives them no window,
    // whenever there is a terminal to draw the progress line on.
    bool ShowsProgressWithoutWindow() const override { return drawProgress_; }
    void BeginRun(platform::WindowHandle owner, platform::ProgressMode mode) override;
    void EndRun() override;
    void SetArchiveName(const std::string& archivePath) override { archiveName_ = archivePath; }
    void SetActivity(const char* activityUtf8) override { activity_ = activityUtf8 != nullptr ? activityUtf8 : ""; }

    // Ends a progress line that is still open, so later output starts on a new line.
    void FinishProgress();

private:
    // Shows `prompt` and reads one line from the terminal (without its line
    // end), not echoed unless `echo`; false at end of input or on Ctrl-C.
    bool ReadAnswer(const std::string& prompt, std::string* answer, bool echo);

    bool interactive_ = false;   // standard input is a terminal
    bool drawProgress_ = false;  // standard error is a terminal
    bool progressOpen_ = false;  // a progress line is on the screen
    bool cancelled_ = false;     // the person confirmed a cancel
    bool handlerInstalled_ = false;
    std::string archiveName_;  // the run's archive, shown before the file
    std::string activity_;     // what the run does now ("inflating...")
};

}  // namespace tovra::tool

#endif  // !_WIN32
