// terminal_ui_host.cpp - the tovra tool's terminal questions (see
// terminal_ui_host.h).
#ifndef _WIN32

#include "terminal_ui_host.h"

#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>

namespace tovra::tool {
namespace {

constexpr int kProgressBarWidth = 30;
constexpr size_t kMaxPasswordLength = 80;

bool StartsWithIgnoringCase(const std::string& text, char letter) {
    return !text.empty() && (text[0] == letter || text[0] == letter - 'a' + 'A');
}

// Set by Ctrl-C; the question is asked at the library's next cancel check,
// outside the signal handler.
volatile std::sig_atomic_t interruptSeen = 0;
struct sigaction previousInterrupt {};

extern "C" void OnInterrupt(int) { interruptSeen = 1; }

}  // namespace

TerminalUiHost::TerminalUiHost() : interactive_(isatty(STDIN_FILENO) != 0), drawProgress_(isatty(STDERR_FILENO) != 0) {
    if (interactive_) {
        struct sigaction action {};
        action.sa_handler = &OnInterrupt;
        sigemptyset(&action.sa_mask);
        interruptSeen = 0;
        handlerInstalled_ = sigaction(SIGINT, &action, &previousInterrupt) == 0;
    }
}

TerminalUiHost::~TerminalUiHost() {
    FinishProgress();
    if (handlerInstalled_) sigaction(SIGINT, &previousInterrupt, nullptr);
}

bool TerminalUiHost::CancelRequested() {
    if (interruptSeen != 0 && !cancelled_) {
        interruptSeen = 0;
        FinishProgress();
        std::string answer;
        // An interrupted read (a second Ctrl-C) or the end of input counts as yes.
        cancelled_ =
            !ReadAnswer("cancel the run? [y]es / [n]o: ", &answer, true) || StartsWithIgnoringCase(answer, 'y');
    }
    return cancelled_;
}

void TerminalUiHost::BeginRun(platform::WindowHandle, platform::ProgressMode) {
    FinishProgress();
    archiveName_.clear();
    activity_.clear();
}

void TerminalUiHost::EndRun() {
    FinishProgress();
    archiveName_.clear();
    activity_.clear();
}

void TerminalUiHost::FinishProgress() {
    if (progressOpen_) {
        std::fputc('\n', stderr);
        progressOpen_ = false;
    }
}

bool TerminalUiHost::ReadAnswer(const std::string& prompt, std::string* answer, bool echo) {
    termios saved{};
    const bool hide = !echo && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (hide) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    // The prompt only once echo is off: what is typed after it is never shown.
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    const bool got = static_cast<bool>(std::getline(std::cin, *answer));
    if (!got) std::cin.clear();  // interrupted by Ctrl-C: later questions must still be read
    if (hide) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::fputc('\n', stderr);
    }
    return got;
}

int TerminalUiHost::Message(platform::WindowHandle, const std::string& textUtf8, const std::string& captionUtf8,
                            platform::MessageIcon, platform::MessageButtons buttons) {
    FinishProgress();
    std::string text = captionUtf8.empty() ? textUtf8 : captionUtf8 + ": " + textUtf8;
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    std::fprintf(stderr, "%s\n", text.c_str());
    switch (buttons) {
        case platform::MessageButtons::kOk:
            return platform::kIdOk;
        case platform::MessageButtons::kYesNo: {
            std::string answer;
            if (!interactive_) {
                return platform::kIdNo;
            }
            return ReadAnswer("[y]es / [n]o: ", &answer, true) && StartsWithIgnoringCase(answer, 'y') ? platform::kIdYes
                                                                                                      : platform::kIdNo;
        }
        case platform::MessageButtons::kOkCancel: {
            std::string answer;
            if (!interactive_) {
                return platform::kIdCancel;
            }
            return ReadAnswer("[o]k / [c]ancel: ", &answer, true) && StartsWithIgnoringCase(answer, 'o')
                       ? platform::kIdOk
                       : platform::kIdCancel;
        }
    }
    return platform::kIdOk;
}

platform::OverwriteAnswer TerminalUiHost::AskOverwrite(platform::WindowHandle,
                                                       const platform::OverwriteQuestion& question) {
    FinishProgress();
    if (!interactive_) {
        return platform::OverwriteAnswer::kNo;
    }
    const std::string prompt = "replace " + question.path + "? (" + std::to_string(question.diskSize) +
                               " bytes on disk, " + std::to_string(question.memberSize) +
                               " in the archive) [y]es / [n]o / [A]ll: ";
    std::string answer;
    if (!ReadAnswer(prompt, &answer, true) || answer.empty()) {
        return platform::OverwriteAnswer::kNo;
    }
    if (answer[0] == 'A') {
        return platform::OverwriteAnswer::kYesToAll;
    }
    return StartsWithIgnoringCase(answer, 'y') ? platform::OverwriteAnswer::kYes : platform::OverwriteAnswer::kNo;
}

bool TerminalUiHost::AskPassword(platform::WindowHandle, const std::string& memberName, std::string* password) {
    FinishProgress();
    if (!interactive_) {
        return false;
    }
    // A longer password is refused and asked again, never cut: a cut one
    // would be a password nobody typed.
    for (;;) {
        std::string answer;
        if (!ReadAnswer("password for " + memberName + ": ", &answer, false)) {
            return false;
        }
        if (answer.size() <= kMaxPasswordLength) {
            *password = answer;
            return true;
        }
        std::fprintf(stderr, "a password has at most %zu characters\n", kMaxPasswordLength);
    }
}

void TerminalUiHost::Progress(const std::string& itemName, uint64_t done, uint64_t total) {
    if (!drawProgress_) {
        return;
    }
    // (done / total) * 100 + 0.5, truncated, as the Windows progress bar has it.
    int percent = 100;
    if (total != 0 && done < total) {
        percent = static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0 + 0.5);
    }
    std::string bar(static_cast<size_t>(percent * kProgressBarWidth / 100), '#');
    bar.resize(kProgressBarWidth, '.');
    std::string where = activity_.empty() ? itemName : activity_ + " " + itemName;
    if (!archiveName_.empty()) where = archiveName_ + ": " + where;
    std::fprintf(stderr, "\r[%s] %3d%% %llu/%llu %s\033[K", bar.c_str(), percent, static_cast<unsigned long long>(done),
                 static_cast<unsigned long long>(total), where.c_str());
    progressOpen_ = true;
}

}  // namespace tovra::tool

#endif  // !_WIN32
