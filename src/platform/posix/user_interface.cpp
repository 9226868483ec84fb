// user_interface.cpp - message boxes, beep, message queue, wait cursor and
// string resources on Linux.
//
// There is no window system here: message boxes are answered by the current
// UiHost (ui_host.h), the beep is a terminal bell when standard error is a
// terminal, and there is no message queue to pump and no cursor to change.
// String resources come from the built-in copy of the string table.
#include <unistd.h>

#include "platform/platform.h"
#include "platform/string_table.h"
#include "platform/testing_hooks.h"
#include "platform/ui_host.h"

namespace tovra::platform {

int ShowMessage(WindowHandle owner, const std::string& text, const std::string& caption, MessageIcon icon,
                MessageButtons buttons) {
    return CurrentUiHost().Message(owner, text, caption, icon, buttons);
}

namespace {

BeepRecord beeps;

}  // namespace

void Beep() { Beep(0u); }

void Beep(uint32_t soundType) {
    ++beeps.count;
    beeps.lastType = soundType;
    if (isatty(STDERR_FILENO)) {
        const ssize_t ignored = write(STDERR_FILENO, "\a", 1);
        (void)ignored;
    }
}

BeepRecord BeepsForTesting() { return beeps; }

void PumpMessages() {}

void DrainMessages() {}

void BeginWaitCursor() {}

void EndWaitCursor() {}

bool LoadStringResource(unsigned id, std::string* text) {
    const char* utf8 = BuiltInString(id);
    if (utf8 == nullptr) return false;
    *text = Utf8ToAnsi(utf8);
    return true;
}

}  // namespace tovra::platform
