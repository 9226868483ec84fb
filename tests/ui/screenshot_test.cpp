// The three dialogs shown with realistic contents, one after the other, so
// that tests/ui/screenshots.sh (`make screenshots`) can photograph each for
// the README. Runs only when TOVRA_SCREENSHOT_DIR names a directory (as a
// Windows path); elsewhere the case is skipped.
//
// The exchange with the script goes through files in that directory: for a
// dialog called NAME this program writes NAME.rect ("left top width height"
// of the window on the screen) once the dialog is up, the script captures
// that part of the screen and creates NAME.done, and only then is the dialog
// closed. Names and paths are ANSI (code page 932) bytes, as a host passes them.
#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "platform/platform.h"
#include "platform/ui_host.h"
#include "ui/dialog_watcher.h"
#include "ui/resource_ids.h"

namespace tovra::test {
namespace {

using platform::CurrentUiHost;

// "C:\データ\写真アーカイブ.zip", "写真/旅行_京都_001.jpg" and
// "書類\見積書_2007年3月.xls" in code page 932.
constexpr const char* kArchive =
    "C:\\\x83\x66\x81\x5B\x83\x5E\\\x8E\xCA\x90\x5E\x83\x41\x81\x5B\x83\x4A\x83\x43\x83\x75.zip";
constexpr const char* kPhoto = "\x8E\xCA\x90\x5E/\x97\xB7\x8D\x73_\x8B\x9E\x93\x73_001.jpg";
constexpr const char* kSheet =
    "\x8F\x91\x97\xDE\\\x8C\xA9\x90\xCF\x8F\x91_2007\x94\x4E"
    "3\x8C\x8E.xls";
constexpr int kCaptureTimeoutMs = 30000;

std::string ScreenshotDir() {
    const char* dir = std::getenv("TOVRA_SCREENSHOT_DIR");
    return dir != nullptr ? dir : "";
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Asks for `window` to be captured as `name` and waits until it has been,
// handling the calling thread's messages meanwhile when `pump` is set (a
// modeless window is painted by its own thread). False after the timeout.
bool Capture(HWND window, const std::string& name, bool pump) {
    const std::string base = ScreenshotDir() + "\\" + name;
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    {
        std::ofstream rect(base + ".part");
        rect << r.left << ' ' << r.top << ' ' << (r.right - r.left) << ' ' << (r.bottom - r.top) << '\n';
    }
    // Renamed into place so that the script never reads half a line.
    if (!MoveFileExA((base + ".part").c_str(), (base + ".rect").c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCaptureTimeoutMs);
    while (!Exists(base + ".done")) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        MSG message;
        while (pump && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(50);
    }
    return true;
}

int64_t LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
    platform::CalendarTime local{year, month, day, hour, minute, second};
    int64_t seconds = 0;
    EXPECT_TRUE(platform::FromLocalTime(local, &seconds));
    return seconds;
}

class ScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (ScreenshotDir().empty()) GTEST_SKIP() << "TOVRA_SCREENSHOT_DIR is not set";
    }
};

TEST_F(ScreenshotTest, ProgressWindowPartWayThroughAFile) {
    // The host's own window, out of the picture's way.
    HWND owner = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 400, 300, 200, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    platform::UiHost& host = CurrentUiHost();
    host.BeginRun(owner, platform::ProgressMode::kExtraction);
    host.SetArchiveName(kArchive);
    host.SetActivity("inflating...");
    host.Progress(kPhoto, 0, 2400000);
    host.Progress(kPhoto, 1000000, 2400000);
    HWND dialog = FindDialog(L"圧縮書庫の解凍  inflating...");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(Capture(dialog, "progress", true));
    host.EndRun();
    DestroyWindow(owner);
}

TEST_F(ScreenshotTest, OverwriteQuestion) {
    platform::OverwriteQuestion question;
    question.path = kSheet;
    question.memberTime = LocalSeconds(2007, 3, 5, 14, 7, 8);
    question.memberSize = 123456;
    question.diskTime = LocalSeconds(2006, 11, 20, 9, 30, 0);
    question.diskSize = 98304;
    DialogWatcher watcher;
    bool captured = false;
    watcher.Expect(
        L"ファイルの上書き",
        [&](HWND dialog) {
            captured = Capture(dialog, "overwrite", false);
            Press(dialog, IDCANCEL);
        },
        kCaptureTimeoutMs);
    EXPECT_EQ(CurrentUiHost().AskOverwrite(nullptr, question), platform::OverwriteAnswer::kNo);
    EXPECT_TRUE(watcher.Wait(kCaptureTimeoutMs + 5000));
    EXPECT_TRUE(captured);
}

TEST_F(ScreenshotTest, PasswordRequestWithSomethingTyped) {
    DialogWatcher watcher;
    bool captured = false;
    watcher.Expect(
        L"パスワードの入力",
        [&](HWND dialog) {
            HWND edit = GetDlgItem(dialog, IDC_PASSWORD_EDIT);
            for (const char c : std::string("secret")) PostMessageW(edit, WM_CHAR, static_cast<WPARAM>(c), 1);
            Sleep(300);  // let the dialog's thread take the keys before the picture
            captured = Capture(dialog, "password", false);
            Press(dialog, IDCANCEL);
        },
        kCaptureTimeoutMs);
    std::string password;
    EXPECT_FALSE(CurrentUiHost().AskPassword(nullptr, kSheet, &password));
    EXPECT_TRUE(watcher.Wait(kCaptureTimeoutMs + 5000));
    EXPECT_TRUE(captured);
}

}  // namespace
}  // namespace tovra::test

#endif  // _WIN32
