// terminal_ui_host.cpp - the tovra tool's terminal questions (see
// terminal_ui_host.h).
#ifndef _WIN32

#include "terminal_ui_host.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace tovra::tool {
namespace {

constexpr int kProgressBarWidth = 30;
constexpr size_t kMaxPasswordLength = 80;

bool StartsWithIgnoringCase(const std::string& text, char letter) {
    return !text.empty() && (text[0] == letter || text[0] == letter - 'a' + 'A');
}

}  // namespace

TerminalUiHost::TerminalUiHost() : interactive_(isatty(STDIN_FILENO) != 0), drawProgress_(isatty(STDERR_FILENO) != 0) {}

void TerminalUiHost::FinishProgress() {
    if (progressOpen_) {
        std::fputc('\n', stderr);
        progressOpen_ = false;
    }
}

bool TerminalUiHost::ReadAnswer(std::string* answer, bool echo) {
    termios saved{};
    const bool hide = !echo && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (hide) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    const bool got = static_cast<bool>(std::getline(std::cin, *answer));
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
            std::fputs("[y]es / [n]o: ", stderr);
            return ReadAnswer(&answer, true) && StartsWithIgnoringCase(answer, 'y') ? platform::kIdYes
                                                                                    : platform::kIdNo;
        }
        case platform::MessageButtons::kOkCancel: {
            std::string answer;
            if (!interactive_) {
                return platform::kIdCancel;
            }
            std::fputs("[o]k / [c]ancel: ", stderr);
            return ReadAnswer(&answer, true) && StartsWithIgnoringCase(answer, 'o') ? platform::kIdOk
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
    std::fprintf(
        stderr, "replace %s? (%llu bytes on disk, %llu in the archive) [y]es, [n]o, [A]ll: ", question.path.c_str(),
        static_cast<unsigned long long>(question.diskSize), static_cast<unsigned long long>(question.memberSize));
    std::string answer;
    if (!ReadAnswer(&answer, true) || answer.empty()) {
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
        std::fprintf(stderr, "password for %s: ", memberName.c_str());
        std::string answer;
        if (!ReadAnswer(&answer, false)) {
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
    const int filled = total == 0 ? kProgressBarWidth : static_cast<int>(done * kProgressBarWidth / total);
    std::string bar(static_cast<size_t>(filled > kProgressBarWidth ? kProgressBarWidth : filled), '#');
    bar.resize(kProgressBarWidth, '.');
    std::fprintf(stderr, "\r[%s] %s\033[K", bar.c_str(), itemName.c_str());
    progressOpen_ = true;
}

}  // namespace tovra::tool

#endif  // !_WIN32
