// ui_host.cpp - the library's default UiHost and the current-host switch.
//
// Natively the default host never blocks: a message goes to standard error as
// "<caption>: <text>" in UTF-8 and is answered No (Yes/No), Cancel (OK/Cancel)
// or OK; an overwrite question is answered No and a password request is
// cancelled. On Windows the default is the dialog host of the ui layer, which
// asks its questions and shows progress in the library's dialogs. Both builds
// share this file.
#include "platform/ui_host.h"

#include <cstdio>

#include "platform/default_ui_host.h"

namespace tovra::platform {

int NonBlockingUiHost::Message(WindowHandle, const std::string& textUtf8, const std::string& captionUtf8, MessageIcon,
                               MessageButtons buttons) {
    std::string line = captionUtf8.empty() ? textUtf8 : captionUtf8 + ": " + textUtf8;
    if (line.empty() || line.back() != '\n') line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return DefaultMessageAnswer(buttons);
}

int DefaultMessageAnswer(MessageButtons buttons) {
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

namespace {

#ifndef _WIN32
NonBlockingUiHost nonBlockingHost;
#endif

UiHost* currentHost = nullptr;  // null: the default host

UiHost& DefaultHost() {
#ifdef _WIN32
    return DialogUiHost();
#else
    return nonBlockingHost;
#endif
}

}  // namespace

UiHost& CurrentUiHost() { return currentHost != nullptr ? *currentHost : DefaultHost(); }

// Never returns null: with no host installed the previous host is the default
// one, and installing the default host (or null) uninstalls any other.
UiHost* SetUiHost(UiHost* host) {
    UiHost* previous = &CurrentUiHost();
    currentHost = host == &DefaultHost() ? nullptr : host;
    return previous;
}

bool RunShowsProgress(WindowHandle window) { return window != nullptr || CurrentUiHost().ShowsProgressWithoutWindow(); }

bool IsDefaultUiHostInForce() { return currentHost == nullptr; }

}  // namespace tovra::platform
