// ui_host.cpp - the library's default UiHost and the current-host switch.
//
// The default host never blocks: a message goes to standard error as
// "<caption>: <text>" in UTF-8 and is answered No (Yes/No), Cancel (OK/Cancel)
// or OK; an overwrite question is answered No and a password request is
// cancelled. Both builds share this file.
#include "platform/ui_host.h"

#include <cstdio>

#include "platform/default_ui_host.h"

namespace tovra::platform {
namespace {

class DefaultUiHost final : public UiHost {
public:
    int Message(WindowHandle, const std::string& textUtf8, const std::string& captionUtf8, MessageIcon,
                MessageButtons buttons) override {
        std::string line = captionUtf8.empty() ? textUtf8 : captionUtf8 + ": " + textUtf8;
        if (line.empty() || line.back() != '\n') line += '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
        switch (buttons) {
            case MessageButtons::kYesNo:
                return kIdNo;
            case MessageButtons::kOkCancel:
                return kIdCancel;
            case MessageButtons::kOk:
                break;
        }
        return kIdOk;
    }
    OverwriteAnswer AskOverwrite(WindowHandle, const OverwriteQuestion&) override { return OverwriteAnswer::kNo; }
    bool AskPassword(WindowHandle, const std::string&, std::string*) override { return false; }
};

DefaultUiHost defaultHost;
UiHost* currentHost = nullptr;  // null: the default host

}  // namespace

UiHost& CurrentUiHost() { return currentHost != nullptr ? *currentHost : defaultHost; }

// Never returns null: with no host installed the previous host is the default
// one, and installing the default host (or null) uninstalls any other.
UiHost* SetUiHost(UiHost* host) {
    UiHost* previous = &CurrentUiHost();
    currentHost = host == &defaultHost ? nullptr : host;
    return previous;
}

bool IsDefaultUiHostInForce() { return currentHost == nullptr; }

}  // namespace tovra::platform
