// dialog_watcher.h - finds the library's dialogs from a second thread and
// works them as a person would, for the Windows dialog tests (Wine + Xvfb).
//
// A DialogWatcher runs one script step at a time on its own thread: wait for
// a dialog (class "#32770") with a given title, then act on it (read its
// controls, press a button, send keys). Every wait is bounded: a dialog that
// does not appear within the step's time ends the step unfound, and a dialog
// still open when the watcher is destroyed is closed, so a test never hangs.
//
//     DialogWatcher watcher;
//     watcher.Expect(L"ファイルの上書き", [&](HWND d) { text = ControlText(d, 1001); Press(d, IDOK); });
//     ... show the dialog on the test's own thread ...
//     watcher.Wait();   // true when every step found its dialog
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tovra::test {

class DialogWatcher {
public:
    using Action = std::function<void(HWND dialog)>;

    DialogWatcher();
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    // Adds a step: wait up to `timeoutMs` for a dialog titled `title`, run
    // `action` on it (on the watcher's thread), then wait (up to 3 s) until
    // that window is gone.
    void Expect(const std::wstring& title, Action action, int timeoutMs = 4000);
    // Waits (bounded) until every step has run; true when each found its dialog.
    bool Wait(int timeoutMs = 8000);
    // The titles of steps whose dialog never appeared.
    std::vector<std::wstring> Missed();

private:
    struct Step {
        std::wstring title;
        Action action;
        int timeoutMs;
    };
    void Run();

    std::mutex mutex_;
    std::vector<Step> steps_;
    std::vector<std::wstring> missed_;
    size_t done_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A dialog of the calling process titled `title`, or null.
HWND FindDialog(const std::wstring& title);
// A control's text as UTF-8 (works across threads while the owner pumps).
std::string ControlText(HWND dialog, int id);
// The window's title as UTF-8.
std::string TitleText(HWND window);
// Clicks button `id` of `dialog` (posted, as the button itself would).
void Press(HWND dialog, int id);
// A key press (down and up) posted to `window`.
void PostKey(HWND window, WPARAM key);
// UTF-16 to UTF-8.
std::string Utf8(const std::wstring& wide);

}  // namespace tovra::test

#endif  // _WIN32
