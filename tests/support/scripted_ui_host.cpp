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
