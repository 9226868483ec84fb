// default_ui_host.h - what the platform implementations need to know about
// the host in force.
#pragma once

#include <string>

#include "platform/ui_host.h"

namespace tovra::platform {

// The answers of a host that cannot ask anyone: a message goes to standard
// error as "<caption>: <text>" (UTF-8) and is answered No, Cancel or OK; an
// overwrite question is answered No; a password request is cancelled. The
// native default host, and the base of the Windows one (whose Message is only
// reached when called directly: ShowMessage shows a real box then).
// The answer of a message box nobody can click: No, Cancel or OK.
int DefaultMessageAnswer(MessageButtons buttons);

class NonBlockingUiHost : public UiHost {
public:
    int Message(WindowHandle owner, const std::string& textUtf8, const std::string& captionUtf8, MessageIcon icon,
                MessageButtons buttons) override;
    OverwriteAnswer AskOverwrite(WindowHandle, const OverwriteQuestion&) override { return OverwriteAnswer::kNo; }
    bool AskPassword(WindowHandle, const std::string&, std::string*) override { return false; }
};

#ifdef _WIN32
// The Windows default host (ui/dialog_ui_host.cpp): the overwrite and password
// dialogs and the progress window. One per process.
UiHost& DialogUiHost();
#endif

// True while no host has been installed with SetUiHost, i.e. the library's own
// non-blocking default answers. The Windows build shows real message boxes
// then, and lets an installed host (a test, a console tool) answer otherwise.
bool IsDefaultUiHostInForce();

}  // namespace tovra::platform
