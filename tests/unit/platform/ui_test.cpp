// Tests of the UI seam: the default host's answers, installing and removing a
// host, message boxes reaching the host, and the string table.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "platform/default_ui_host.h"
#include "platform/platform.h"
#include "platform/ui_host.h"
#include "support/scripted_ui_host.h"

namespace tovra::platform {
namespace {

// The answers are checked on a host of their own: on Windows the library's
// default shows real dialogs, which would wait for a click whenever a display
// exists, so the test must not depend on which host is in force.
TEST(UiTest, NonBlockingHostAnswersWithoutBlockingAndWritesToStderr) {
    NonBlockingUiHost host;
    testing::internal::CaptureStderr();
    EXPECT_EQ(host.Message(nullptr, "\xE8\xA1\xA8 text", "caption", MessageIcon::kStop, MessageButtons::kYesNo), kIdNo);
    EXPECT_EQ(host.Message(nullptr, "t", "", MessageIcon::kNone, MessageButtons::kOkCancel), kIdCancel);
    EXPECT_EQ(host.Message(nullptr, "t\n", "c", MessageIcon::kNone, MessageButtons::kOk), kIdOk);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "caption: \xE8\xA1\xA8 text\nt\nc: t\n");
    EXPECT_EQ(host.AskOverwrite(nullptr, OverwriteQuestion{}), OverwriteAnswer::kNo);
    std::string password = "unchanged";
    EXPECT_FALSE(host.AskPassword(nullptr, "member", &password));
    EXPECT_EQ(password, "unchanged");
    EXPECT_FALSE(host.CancelRequested());
}

TEST(UiTest, DefaultHostIsTheLibrarysOwn) {
    EXPECT_TRUE(IsDefaultUiHostInForce());
#ifndef _WIN32
    // Natively the default is the non-blocking host itself.
    EXPECT_NE(dynamic_cast<NonBlockingUiHost*>(&CurrentUiHost()), nullptr);
#endif
}

TEST(UiTest, ScriptedHostIsInstalledForItsLifetime) {
    UiHost* before = &CurrentUiHost();
    {
        test::ScriptedUiHost scripted;
        EXPECT_EQ(&CurrentUiHost(), &scripted);
        scripted.messageAnswers = {kIdYes};
        scripted.passwordAnswers = {std::string("secret"), std::nullopt};
        scripted.overwriteAnswers = {OverwriteAnswer::kYesToAll};
        scripted.cancelAfterProgressCalls = 2;
        auto* owner = reinterpret_cast<WindowHandle>(0x1234);
        EXPECT_EQ(ShowMessage(owner, "question?", "title", MessageIcon::kQuestion, MessageButtons::kYesNo), kIdYes);
        EXPECT_EQ(ShowMessage(nullptr, "again?", "title", MessageIcon::kQuestion, MessageButtons::kYesNo), kIdNo);
        ASSERT_EQ(scripted.messages.size(), 2u);
        EXPECT_EQ(scripted.messages[0].owner, owner);
        EXPECT_EQ(scripted.messages[0].text, "question?");
        EXPECT_EQ(scripted.messages[0].caption, "title");
        EXPECT_EQ(scripted.messages[0].icon, MessageIcon::kQuestion);
        EXPECT_EQ(scripted.AllMessageTexts(), "question?\n---\nagain?");

        std::string password;
        EXPECT_TRUE(CurrentUiHost().AskPassword(nullptr, "a.txt", &password));
        EXPECT_EQ(password, "secret");
        EXPECT_FALSE(CurrentUiHost().AskPassword(nullptr, "b.txt", &password));
        EXPECT_FALSE(CurrentUiHost().AskPassword(nullptr, "c.txt", &password));
        EXPECT_EQ(scripted.passwordRequests.size(), 3u);

        OverwriteQuestion question;
        question.path = "dir\\file";
        EXPECT_EQ(CurrentUiHost().AskOverwrite(nullptr, question), OverwriteAnswer::kYesToAll);
        EXPECT_EQ(CurrentUiHost().AskOverwrite(nullptr, question), OverwriteAnswer::kNo);
        EXPECT_EQ(scripted.overwriteQuestions.at(1).path, "dir\\file");

        CurrentUiHost().Progress("x", 1, 10);
        EXPECT_FALSE(CurrentUiHost().CancelRequested());
        CurrentUiHost().Progress("x", 2, 10);
        EXPECT_TRUE(CurrentUiHost().CancelRequested());
    }
    EXPECT_EQ(&CurrentUiHost(), before);
    // Installing null (or the default host) always returns to the default.
    test::ScriptedUiHost outer;
    UiHost* previous = SetUiHost(nullptr);
    EXPECT_EQ(previous, &outer);
    EXPECT_EQ(SetUiHost(&outer), before);
}

#ifndef _WIN32
// The STRINGTABLE entries of the resource script, parsed from its text. (On
// Windows the entries live in the DLL's resources, not in this test program.)
std::map<unsigned, std::string> ResourceStrings() {
    const std::string source = std::string(TOVRA_SOURCE_DIR) + "/src/ui/resources/TOVRA64.rc";
    std::ifstream in(source, std::ios::binary);
    std::map<unsigned, std::string> strings;
    std::string line;
    bool inTable = false;
    while (std::getline(in, line)) {
        if (line.rfind("STRINGTABLE", 0) == 0) inTable = true;
        if (inTable && line.rfind("END", 0) == 0) inTable = false;
        const size_t open = line.find('"');
        if (!inTable || open == std::string::npos) continue;
        std::istringstream fields(line.substr(0, open));
        unsigned id = 0;
        if (fields >> id) strings[id] = line.substr(open + 1, line.rfind('"') - open - 1);
    }
    return strings;
}

TEST(UiTest, StringResourcesMatchTheResourceScript) {
    const std::map<unsigned, std::string> script = ResourceStrings();
    ASSERT_EQ(script.size(), 4u) << "STRINGTABLE of TOVRA64.rc not found or changed";
    for (const auto& [id, text] : script) {
        std::string loaded;
        ASSERT_TRUE(LoadStringResource(id, &loaded)) << id;
        EXPECT_EQ(loaded, text) << id;
    }
    std::string loaded;
    EXPECT_TRUE(LoadStringResource(3, &loaded));
    EXPECT_EQ(loaded, "%7lu  %-7s%7lu %4s  %02u-%02u-%02u  %02u:%02u  %08lx  %c");
    EXPECT_FALSE(LoadStringResource(0, &loaded));
    EXPECT_FALSE(LoadStringResource(5, &loaded));
}
#endif

}  // namespace
}  // namespace tovra::platform
