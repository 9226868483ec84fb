// scripted_ui_host.h - a UiHost for tests: records every question, answers
// from queues.
//
// Constructing a ScriptedUiHost installs it as the current host (SetUiHost);
// destroying it puts the previous host back, so a test simply declares one:
//
//     tovra::test::ScriptedUiHost ui;
//     ui.messageAnswers.push_back(tovra::platform::kIdYes);
//     ... run the code under test ...
//     ASSERT_EQ(ui.messages.size(), 1u);
//     EXPECT_EQ(ui.messages[0].text, "...");
//
// When an answer queue is empty the host answers like the library's default
// host: No for Yes/No, Cancel for OK/Cancel, OK for OK; overwrite No; password
// cancelled. Texts are recorded exactly as passed (UTF-8 message texts, ANSI
// names).
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui_host.h"

namespace tovra::test {

class ScriptedUiHost : public platform::UiHost {
public:
    struct ShownMessage {
        platform::WindowHandle owner = nullptr;
        std::string text;     // UTF-8
        std::string caption;  // UTF-8
        platform::MessageIcon icon = platform::MessageIcon::kNone;
        platform::MessageButtons buttons = platform::MessageButtons::kOk;
    };
    struct PasswordRequest {
        platform::WindowHandle owner = nullptr;
        std::string memberName;
    };
    struct ProgressCall {
        std::string itemName;
        uint64_t done = 0;
        uint64_t total = 0;
    };

    ScriptedUiHost();
    ~ScriptedUiHost() override;
    ScriptedUiHost(const ScriptedUiHost&) = delete;
    ScriptedUiHost& operator=(const ScriptedUiHost&) = delete;

    // ---- scripted answers, consumed front first
    std::deque<int> messageAnswers;  // MessageResult values
    std::deque<platform::OverwriteAnswer> overwriteAnswers;
    std::deque<std::optional<std::string>> passwordAnswers;  // nullopt = the person cancels
    // CancelRequested() turns true once Progress has been called this many
    // times (-1: never).
    int cancelAfterProgressCalls = -1;
    // What MoveWithProgress returns: -1 leaves the move to the caller; 1
    // moves the file (as the platform's move does) and 0 fails without moving.
    int moveAnswer = -1;
    // What ShowsProgressWithoutWindow answers: true makes runs without a
    // window report their progress calls as windowed runs do.
    bool showsProgressWithoutWindow = false;

    // ---- what the code under test asked, in order
    std::vector<ShownMessage> messages;
    std::vector<platform::OverwriteQuestion> overwriteQuestions;
    std::vector<PasswordRequest> passwordRequests;
    std::vector<ProgressCall> progressCalls;
    // The run's progress calls in order, one text each: "BeginRun <mode>",
    // "EndRun", "SetArchiveName <path>", "SetActivity <text>", "BeginFile
    // <name> <last component of the output name> <total>", "Progress",
    // "Move <last component of the destination>".
    std::vector<std::string> runCalls;

    int Message(platform::WindowHandle owner, const std::string& textUtf8, const std::string& captionUtf8,
                platform::MessageIcon icon, platform::MessageButtons buttons) override;
    platform::OverwriteAnswer AskOverwrite(platform::WindowHandle owner,
                                           const platform::OverwriteQuestion& question) override;
    bool AskPassword(platform::WindowHandle owner, const std::string& memberName, std::string* password) override;
    void Progress(const std::string& itemName, uint64_t done, uint64_t total) override;
    bool CancelRequested() override;
    void BeginRun(platform::WindowHandle owner, platform::ProgressMode mode) override;
    void EndRun() override;
    void SetArchiveName(const std::string& archivePath) override;
    void SetActivity(const char* activityUtf8) override;
    void BeginFile(const std::string& fileName, const std::string& outputName, uint64_t total) override;
    int MoveWithProgress(const std::string& source, const std::string& destination) override;
    bool ShowsProgressWithoutWindow() const override { return showsProgressWithoutWindow; }

    // The texts of all recorded messages joined by "\n---\n" (for failure output).
    std::string AllMessageTexts() const;

private:
    platform::UiHost* previous_ = nullptr;
};

}  // namespace tovra::test
