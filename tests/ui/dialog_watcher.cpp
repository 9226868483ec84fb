// dialog_watcher.cpp - the dialog tests' second thread (see dialog_watcher.h).
#ifdef _WIN32

#include "ui/dialog_watcher.h"

#include <chrono>

namespace tovra::test {
namespace {

constexpr int kPollMs = 10;

}  // namespace

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return text;
}

HWND FindDialog(const std::wstring& title) {
    // FindWindow reads titles without sending messages, so a busy owner cannot stall it.
    HWND found = FindWindowW(L"#32770", title.c_str());
    DWORD process = 0;
    if (found != nullptr) GetWindowThreadProcessId(found, &process);
    return process == GetCurrentProcessId() ? found : nullptr;
}

// A dialog that is on the screen: a modal one becomes visible only after its
// initialisation, so its controls are then ready to be worked.
HWND FindShownDialog(const std::wstring& title) {
    HWND found = FindDialog(title);
    return found != nullptr && IsWindowVisible(found) ? found : nullptr;
}

std::string TitleText(HWND window) {
    wchar_t text[512] = {};
    InternalGetWindowText(window, text, 512);
    return Utf8(text);
}

std::string ControlText(HWND dialog, int id) {
    wchar_t text[512] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, id), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        &length);
    return Utf8(text);
}

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PostKey(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

DialogWatcher::DialogWatcher() : thread_([this] { Run(); }) {}

DialogWatcher::~DialogWatcher() {
    stop_ = true;
    thread_.join();
}

void DialogWatcher::Expect(const std::wstring& title, Action action, int timeoutMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    steps_.push_back(Step{title, std::move(action), timeoutMs});
}

bool DialogWatcher::Wait(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (done_ == steps_.size()) return missed_.empty();
        }
        if (std::chrono::steady_clock::now() > deadline) return false;
        // The dialogs live on this thread: keep its queue moving while waiting.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(kPollMs);
    }
}

std::vector<std::wstring> DialogWatcher::Missed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return missed_;
}

void DialogWatcher::Run() {
    while (!stop_) {
        Step step;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (done_ < steps_.size()) step = steps_[done_];
        }
        if (!step.action) {
            Sleep(kPollMs);
            continue;
        }
        HWND dialog = nullptr;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(step.timeoutMs);
        while (!stop_ && dialog == nullptr && std::chrono::steady_clock::now() < deadline) {
            dialog = FindShownDialog(step.title);
            if (dialog == nullptr) Sleep(kPollMs);
        }
        if (dialog != nullptr) {
            step.action(dialog);
            // The next step must not find this dialog again: wait (bounded) until it is gone.
            for (int i = 0; i < 300 && IsWindow(dialog); ++i) Sleep(kPollMs);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (dialog == nullptr) missed_.push_back(step.title);
        ++done_;
    }
    // Whatever is still open is closed, so that the test's thread gets back.
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Step& step : steps_) {
        if (HWND left = FindDialog(step.title)) PostMessageW(left, WM_COMMAND, IDCANCEL, 0);
    }
}

}  // namespace tovra::test

#endif  // _WIN32
