// sweep_support.cpp - the trial directory, the quiet host and the shared checks.
#include "sweep_support.h"

#include <cstdio>

#include "counting_new.h"
#include "platform/fault/fault_injection.h"
#include "platform/platform.h"
#include "support/file_helpers.h"
#include "tovra.h"

namespace tovra::faulttest {

QuietHost::QuietHost() { previous_ = platform::SetUiHost(this); }
QuietHost::~QuietHost() { platform::SetUiHost(previous_); }

int QuietHost::Message(platform::WindowHandle, const std::string& textUtf8, const std::string&, platform::MessageIcon,
                       platform::MessageButtons buttons) {
    ++messages;
    std::snprintf(lastMessage, sizeof lastMessage, "%s", textUtf8.c_str());
    if (buttons == platform::MessageButtons::kYesNo) return platform::kIdNo;
    if (buttons == platform::MessageButtons::kOkCancel) return platform::kIdCancel;
    return platform::kIdOk;
}

platform::OverwriteAnswer QuietHost::AskOverwrite(platform::WindowHandle, const platform::OverwriteQuestion&) {
    return platform::OverwriteAnswer::kNo;
}

bool QuietHost::AskPassword(platform::WindowHandle, const std::string&, std::string*) { return false; }

Trial::Trial(const Files& inputs) {
    caller_ = platform::GetCurrentDir();
    platform::MakeDirectory(Work());
    platform::MakeDirectory(Temp());
    for (const auto& [name, content] : inputs) {
        const size_t slash = name.rfind('/');
        if (slash != std::string::npos) platform::MakeDirectory(Work() + "/" + name.substr(0, slash));
        test::WriteWholeFile(Work() + "/" + name, content);
    }
    tempDirectory_.emplace(Temp());
}

Trial::~Trial() { platform::SetCurrentDir(caller_); }

void Trial::Start() {
    blocksBefore_ = LiveBlocks();
    platform::fault::Arm(kind_, n_);
}

void Trial::Stop() {
    platform::fault::Disarm();
    blocksAfter_ = LiveBlocks();
}

int Trial::RunZip(const char* command) {
    platform::SetCurrentDir(Work());
    Start();
    const int result = Zip(nullptr, command, nullptr, 0);
    Stop();
    platform::SetCurrentDir(caller_);
    return result;
}

int Trial::RunUnzip(const std::string& command) {
    Start();
    const int result = Unzip(nullptr, command.c_str(), nullptr, 0);
    Stop();
    return result;
}

namespace {

void CollectFiles(const std::string& root, const std::string& relative, Files* files) {
    platform::DirectoryFinder finder;
    platform::FindData data;
    const std::string directory = relative.empty() ? root : root + "/" + relative;
    for (bool found = finder.FindFirst(directory + "/*", &data); found; found = finder.FindNext(&data)) {
        if (data.name == "." || data.name == "..") continue;
        const std::string name = relative.empty() ? data.name : relative + "/" + data.name;
        if (data.status.isDirectory) {
            CollectFiles(root, name, files);
        } else {
            (*files)[name] = test::ReadWholeFile(root + "/" + name).value_or("<unreadable>");
        }
    }
}

}  // namespace

Files FilesUnder(const std::string& root) {
    Files files;
    CollectFiles(root, "", &files);
    return files;
}

size_t EntryCount(const std::string& directory) {
    size_t count = 0;
    platform::DirectoryFinder finder;
    platform::FindData data;
    for (bool found = finder.FindFirst(directory + "/*", &data); found; found = finder.FindNext(&data)) {
        if (data.name != "." && data.name != "..") ++count;
    }
    return count;
}

std::string ArchiveProblem(const std::string& archive, const Files& members, const std::string& scratch,
                           bool shortAllowed) {
    if (!platform::FileExists(archive)) return "no archive";
    if (const int result = Unzip(nullptr, ("-t \"" + archive + "\"").c_str(), nullptr, 0); result != 0) {
        return "test run gives " + std::to_string(result);
    }
    if (const int result = Unzip(nullptr, ("-o -j \"" + archive + "\" \"" + scratch + "/\"").c_str(), nullptr, 0);
        result != 0) {
        return "extraction gives " + std::to_string(result);
    }
    const Files got = FilesUnder(scratch);
    if (got == members) return "";
    if (shortAllowed && got.size() == members.size()) {
        bool prefixes = true;
        for (auto a = got.begin(), b = members.begin(); a != got.end(); ++a, ++b) {
            prefixes = prefixes && a->first == b->first && b->second.compare(0, a->second.size(), a->second) == 0;
        }
        if (prefixes) return "";
    }
    std::string names;
    for (const auto& [name, content] : got) names += " " + name + "(" + std::to_string(content.size()) + ")";
    return "holds" + names;
}

}  // namespace tovra::faulttest
