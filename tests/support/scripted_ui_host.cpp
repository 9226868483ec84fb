// scripted_ui_host.cpp - the recording, queue-answering UiHost of the tests.
#include "support/scripted_ui_host.h"

namespace tovra::test {

ScriptedUiHost::ScriptedUiHost() : previous_(platform::SetUiHost(this)) {}

ScriptedUiHost::~ScriptedUiHost() { platform::SetUiHost(previous_); }

int ScriptedUiHost::Message(platform::WindowHandle owner, const std::string& textUtf8, const std::string& captionUtf8,
                            platform::MessageIcon icon, platform::MessageButtons buttons) {
    messages.push_back({owner, textUtf8, captionUtf8, icon, buttons});
    if (!messageAnswers.empty()) {
        const int answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    switch (buttons) {
        case platform::MessageButtons::kYesNo:
            return platform::kIdNo;
        case platform::MessageButtons::kOkCancel:
            return platform::kIdCancel;
        case platform::MessageButtons::kOk:
            break;
    }
    return platform::kIdOk;
}

platform::OverwriteAnswer ScriptedUiHost::AskOverwrite(platform::WindowHandle,
                                                       const platform::OverwriteQuestion& question) {
    overwriteQuestions.push_back(question);
    if (overwriteAnswers.empty()) return platform::OverwriteAnswer::kNo;
    const platform::OverwriteAnswer answer = overwriteAnswers.front();
    overwriteAnswers.pop_front();
    return answer;
}

bool ScriptedUiHost::AskPassword(platform::WindowHandle owner, const std::string& memberName, std::string* password) {
    passwordRequests.push_back({owner, memberName});
    if (passwordAnswers.empty()) return false;
    std::optional<std::string> answer = std::move(passwordAnswers.front());
    passwordAnswers.pop_front();
    if (!answer) return false;
    *password = *answer;
    return true;
}

void ScriptedUiHost::Progress(const std::string& itemName, uint64_t done, uint64_t total) {
    progressCalls.push_back({itemName, done, total});
    runCalls.push_back("Progress");
}

void ScriptedUiHost::BeginRun(platform::WindowHandle owner, platform::ProgressMode mode) {
    (void)owner;
    runCalls.push_back("BeginRun " + std::to_string(static_cast<int>(mode)));
}

void ScriptedUiHost::EndRun() { runCalls.push_back("EndRun"); }

void ScriptedUiHost::SetArchiveName(const std::string& archivePath) {
    runCalls.push_back("SetArchiveName " + archivePath);
}

void ScriptedUiHost::SetActivity(const char* activityUtf8) {
    runCalls.push_back(std::string("SetActivity ") + activityUtf8);
}

void ScriptedUiHost::BeginFile(const std::string& fileName, const std::string& outputName, uint64_t total) {
    const size_t slash = outputName.find_last_of("/\\");
    const std::string last = slash == std::string::npos ? outputName : outputName.substr(slash + 1);
    runCalls.push_back("BeginFile " + fileName + " " + last + " " + std::to_string(total));
}

int ScriptedUiHost::MoveWithProgress(const std::string& source, const std::string& destination) {
    const size_t slash = destination.find_last_of("/\\");
    runCalls.push_back("Move " + (slash == std::string::npos ? destination : destination.substr(slash + 1)));
    if (moveAnswer == 1) return platform::MovePath(source, destination, true, true) ? 1 : 0;
    return moveAnswer;
}

bool ScriptedUiHost::CancelRequested() {
    return cancelAfterProgressCalls >= 0 && progressCalls.size() >= static_cast<size_t>(cancelAfterProgressCalls);
}

std::string ScriptedUiHost::AllMessageTexts() const {
    std::string all;
    for (const ShownMessage& message : messages) {
        if (!all.empty()) all += "\n---\n";
        all += message.text;
    }
    return all;
}

}  // namespace tovra::test
