// The library's Windows dialogs as a person meets them, through the default
// UiHost: the overwrite question (texts, Yes, No, Escape, overwrite all, a
// time that cannot be converted), the password request (the 80-character
// limit, OK, Cancel) and the progress window (hidden for a one-step file,
// shown with the bar at 33 and 67, the title set once per activity text,
// '\' for '/', Escape, Enter and Cancel asking the question, the archiving
// counter, the move). A watcher thread presses the buttons. Runs under Wine
// with Xvfb.
#ifdef _WIN32

#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>  // after windows.h, whose types it uses
// clang-format on

#include <fstream>
#include <iterator>

#include "archive/archive_context.h"
#include "archive/archive_run.h"
#include "platform/platform.h"
#include "platform/ui_host.h"
#include "support/scratch_dir.h"
#include "ui/dialog_watcher.h"
#include "ui/resource_ids.h"

namespace tovra::test {
namespace {

using platform::CurrentUiHost;
using platform::OverwriteAnswer;

const std::wstring kOverwriteTitle = L"ファイルの上書き";
const std::wstring kPasswordTitle = L"パスワードの入力";
const std::wstring kQuestionTitle = L"TOVRA64";
constexpr const char* kBytes = " \xE3\x83\x90\xE3\x82\xA4\xE3\x83\x88";  // " バイト"

int64_t LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
    platform::CalendarTime local{year, month, day, hour, minute, second};
    int64_t seconds = 0;
    EXPECT_TRUE(platform::FromLocalTime(local, &seconds));
    return seconds;
}

platform::OverwriteQuestion Question() {
    platform::OverwriteQuestion question;
    question.path = "dir\\file.txt";
    question.memberTime = LocalSeconds(2007, 3, 5, 14, 7, 8);
    question.memberSize = 123456;
    question.diskTime = LocalSeconds(2010, 12, 31, 23, 59, 58);
    question.diskSize = 1073741824;
    return question;
}

TEST(OverwriteDialogTest, ShowsPathTimesAndSizesAndYesReplaces) {
    DialogWatcher watcher;
    std::string file, member, disk;
    watcher.Expect(kOverwriteTitle, [&](HWND dialog) {
        file = ControlText(dialog, IDC_OVERWRITE_FILE);
        member = ControlText(dialog, IDC_OVERWRITE_MEMBER);
        disk = ControlText(dialog, IDC_OVERWRITE_DISK);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(CurrentUiHost().AskOverwrite(nullptr, Question()), OverwriteAnswer::kYes);
    ASSERT_TRUE(watcher.Wait());
    EXPECT_EQ(file, "dir\\file.txt");
    EXPECT_EQ(member, std::string(" 2007-03-05  14:07:08   123,456") + kBytes);
    EXPECT_EQ(disk, " 2010-12-31  23:59:58   1,024MB");
}

TEST(OverwriteDialogTest, AnswersOfEachWayToClose) {
    const struct {
        const char* how;
        std::function<void(HWND)> close;
        OverwriteAnswer answer;
    } cases[] = {
        {"No", [](HWND d) { Press(d, IDCANCEL); }, OverwriteAnswer::kNo},
        {"Escape", [](HWND d) { PostKey(GetDlgItem(d, IDOK), VK_ESCAPE); }, OverwriteAnswer::kNo},
        {"close box", [](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); }, OverwriteAnswer::kNo},
        {"overwrite all", [](HWND d) { Press(d, IDC_OVERWRITE_ALL); }, OverwriteAnswer::kYesToAll},
    };
    for (const auto& c : cases) {
        DialogWatcher watcher;
        watcher.Expect(kOverwriteTitle, c.close);
        EXPECT_EQ(CurrentUiHost().AskOverwrite(nullptr, Question()), c.answer) << c.how;
        EXPECT_TRUE(watcher.Wait()) << c.how;
    }
}

TEST(OverwriteDialogTest, TimeBeyondTheCalendarStillAsks) {
    DialogWatcher watcher;
    std::string member;
    watcher.Expect(kOverwriteTitle, [&](HWND dialog) {
        member = ControlText(dialog, IDC_OVERWRITE_MEMBER);
        Press(dialog, IDOK);
    });
    platform::OverwriteQuestion question = Question();
    question.memberTime = INT64_MAX;
    EXPECT_EQ(CurrentUiHost().AskOverwrite(nullptr, question), OverwriteAnswer::kYes);
    ASSERT_TRUE(watcher.Wait());
    EXPECT_EQ(member, std::string(" \?\?\?\?-\?\?-\?\?  \?\?:\?\?:\?\?   123,456") + kBytes);
}

TEST(PasswordDialogTest, TakesAtMostEightyCharacters) {
    DialogWatcher watcher;
    LRESULT limit = 0;
    watcher.Expect(kPasswordTitle, [&](HWND dialog) {
        HWND edit = GetDlgItem(dialog, IDC_PASSWORD_EDIT);
        SendMessageTimeoutW(edit, EM_GETLIMITTEXT, 0, 0, SMTO_ABORTIFHUNG, 2000, reinterpret_cast<PDWORD_PTR>(&limit));
        for (int i = 0; i < 100; ++i) PostMessageW(edit, WM_CHAR, static_cast<WPARAM>('a' + i % 26), 1);
        Press(dialog, IDOK);
    });
    std::string password;
    EXPECT_TRUE(CurrentUiHost().AskPassword(nullptr, "member.txt", &password));
    ASSERT_TRUE(watcher.Wait());
    EXPECT_EQ(limit, 80);
    ASSERT_EQ(password.size(), 80u);
    EXPECT_EQ(password.substr(0, 27), "abcdefghijklmnopqrstuvwxyza");
}

TEST(PasswordDialogTest, CancelAndEscapeGiveNoPassword) {
    const std::function<void(HWND)> closes[] = {
        [](HWND d) { Press(d, IDCANCEL); },
        [](HWND d) {
            PostMessageW(GetDlgItem(d, IDC_PASSWORD_EDIT), WM_CHAR, 'x', 1);
            PostKey(GetDlgItem(d, IDC_PASSWORD_EDIT), VK_ESCAPE);
        },
    };
    for (const auto& close : closes) {
        DialogWatcher watcher;
        watcher.Expect(kPasswordTitle, close);
        std::string password = "unchanged";
        EXPECT_FALSE(CurrentUiHost().AskPassword(nullptr, "member.txt", &password));
        EXPECT_TRUE(watcher.Wait());
        EXPECT_EQ(password, "unchanged");
    }
}

// A host window that owns the progress window, and the run around it.
class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_ = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        CurrentUiHost().EndRun();
        DestroyWindow(owner_);
    }
    HWND Progress(const wchar_t* title) { return FindDialog(title); }
    static int Bar(HWND dialog) {
        return static_cast<int>(SendMessageW(GetDlgItem(dialog, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0));
    }

    HWND owner_ = nullptr;
};

constexpr const char* kInflating = "inflating...";
const wchar_t* const kInflatingTitle = L"圧縮書庫の解凍  inflating...";

TEST_F(ProgressTest, OneStepFileStaysHiddenSeveralStepsShowTheBar) {
    platform::UiHost& host = CurrentUiHost();
    host.BeginRun(owner_, platform::ProgressMode::kExtraction);
    host.SetArchiveName("C:/data/arc.zip");
    host.SetActivity(kInflating);
    host.Progress("one/step.txt", 0, 3);
    host.Progress("one/step.txt", 3, 3);
    HWND dialog = Progress(kInflatingTitle);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog));

    host.Progress("three/steps.txt", 0, 3);
    host.Progress("three/steps.txt", 1, 3);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner_);
    EXPECT_EQ(Bar(dialog), 33);
    EXPECT_EQ(ControlText(dialog, IDC_PROGRESS_ARCHIVE), "C:\\data\\arc.zip");
    EXPECT_EQ(ControlText(dialog, IDC_PROGRESS_FILE), "three\\steps.txt");
    host.Progress("three/steps.txt", 2, 3);
    EXPECT_EQ(Bar(dialog), 67);
    EXPECT_FALSE(host.CancelRequested());

    host.EndRun();
    EXPECT_EQ(Progress(kInflatingTitle), nullptr);
}

TEST_F(ProgressTest, TitleChangesOncePerActivityText) {
    platform::UiHost& host = CurrentUiHost();
    host.BeginRun(owner_, platform::ProgressMode::kExtraction);
    host.SetActivity(kInflating);
    host.Progress("a", 0, 10);
    HWND dialog = Progress(kInflatingTitle);
    ASSERT_NE(dialog, nullptr);
    SetWindowTextW(dialog, L"marker");
    host.SetActivity(kInflating);  // the same text: the title is left alone
    EXPECT_EQ(TitleText(dialog), "marker");
    static const char kExploding[] = "exploding...";
    host.SetActivity(kExploding);
    EXPECT_EQ(TitleText(dialog),
              "\xE5\x9C\xA7\xE7\xB8\xAE\xE6\x9B\xB8\xE5\xBA\xAB\xE3\x81\xAE\xE8\xA7\xA3\xE5\x87\x8D  exploding...");
}

TEST_F(ProgressTest, EscapeEnterAndCancelAskAndOnlyYesCancels) {
    platform::UiHost& host = CurrentUiHost();
    host.BeginRun(owner_, platform::ProgressMode::kExtraction);
    host.SetActivity(kInflating);
    host.Progress("big", 0, 100);
    host.Progress("big", 10, 100);
    HWND dialog = Progress(kInflatingTitle);
    ASSERT_NE(dialog, nullptr);
    const struct {
        const char* how;
        std::function<void()> ask;
        int answer;
        bool cancelled;
    } cases[] = {
        {"Escape, No", [&] { PostKey(dialog, VK_ESCAPE); }, IDNO, false},
        {"Enter, No", [&] { PostKey(owner_, VK_RETURN); }, IDNO, false},
        {"Cancel button, No", [&] { Press(dialog, IDCANCEL); }, IDNO, false},
        {"Enter, Yes", [&] { PostKey(dialog, VK_RETURN); }, IDYES, true},
    };
    uint64_t done = 10;
    for (const auto& c : cases) {
        DialogWatcher watcher;
        std::string question;
        watcher.Expect(kQuestionTitle, [&](HWND box) {
            question = ControlText(box, 0xFFFF);
            Press(box, c.answer);
        });
        c.ask();
        host.Progress("big", ++done, 100);
        EXPECT_TRUE(watcher.Wait()) << c.how;
        EXPECT_EQ(host.CancelRequested(), c.cancelled) << c.how;
        EXPECT_EQ(question,
                  "\xE8\xA7\xA3\xE5\x87\x8D\xE3\x82\x92\xE4\xB8\xAD\xE6\x96\xAD\xE3\x81\x97\xE3\x81\xBE"
                  "\xE3\x81\x99\xE3\x81\x8B\xEF\xBC\x9F")
            << c.how;  // 解凍を中断しますか？
    }
    EXPECT_NE(Progress(kInflatingTitle), nullptr);  // the window stays until the run ends
}

// What the owner saw of the Cancel button while a move was under way.
constexpr UINT kRecordCancelMessage = WM_APP + 1;
HWND movingDialog = nullptr;
WNDPROC previousOwnerProcedure = nullptr;
int cancelEnabledDuringMove = -1;

LRESULT CALLBACK RecordCancel(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRecordCancelMessage) {
        cancelEnabledDuringMove = IsWindowEnabled(GetDlgItem(movingDialog, IDCANCEL)) ? 1 : 0;
        return 0;
    }
    return CallWindowProcW(previousOwnerProcedure, window, message, wParam, lParam);
}

TEST_F(ProgressTest, ArchivingCounterAndMove) {
    platform::UiHost& host = CurrentUiHost();
    host.BeginRun(owner_, platform::ProgressMode::kArchiving);
    static const char kAdding[] = "adding...";
    host.SetActivity(kAdding);
    host.SetArchiveName("out.zip");
    host.BeginFile("src/a.txt", "", 300);
    HWND dialog = Progress(L"圧縮状況  adding...");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDC_PROGRESS_THIRD_LABEL),
              "\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA:");
    EXPECT_EQ(ControlText(dialog, IDC_PROGRESS_THIRD), "      0/     300");
    host.Progress("src/a.txt", 100, 300);
    EXPECT_EQ(ControlText(dialog, IDC_PROGRESS_THIRD), "    100/     300");

    ScratchDir scratch;
    const std::string from = scratch.Path() + "\\TVR1.tmp", to = scratch.Path() + "\\final.zip";
    std::ofstream(from, std::ios::binary) << std::string(70000, 'z');
    std::ofstream(to, std::ios::binary) << "old";
    // A message waiting for the owner is handled by the move's first pump,
    // after the Cancel button has been disabled.
    movingDialog = dialog;
    const auto previous =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordCancel)));
    previousOwnerProcedure = previous;
    PostMessageW(owner_, kRecordCancelMessage, 0, 0);
    EXPECT_EQ(host.MoveWithProgress(from, to), 1);
    SetWindowLongPtrW(owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    EXPECT_EQ(cancelEnabledDuringMove, 0);
    platform::FileStatus status;
    EXPECT_FALSE(platform::GetFileStatus(from, &status) && status.exists);
    ASSERT_TRUE(platform::GetFileStatus(to, &status) && status.exists);
    EXPECT_EQ(status.size, 70000u);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)));
    EXPECT_EQ(ControlText(dialog, IDC_PROGRESS_THIRD_LABEL),
              "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA:");
    // A move that fails reports it.
    EXPECT_EQ(host.MoveWithProgress(from, to), 0);
}

// Escape during an archiving run, answered Yes: the run stops, the old
// archive stays as it was and no temporary archive is left behind.
TEST_F(ProgressTest, YesToTheCancelQuestionLeavesTheOldArchive) {
    ScratchDir scratch;
    const std::string caller = platform::GetCurrentDir();
    ASSERT_TRUE(platform::SetCurrentDir(scratch.Path()));
    std::ofstream("small.txt", std::ios::binary) << "small";
    std::string big(4 << 20, '\0');
    uint32_t seed = 12345;
    for (char& c : big) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    std::ofstream("big.bin", std::ios::binary) << big;
    {
        archive::ArchiveContext context;
        ASSERT_EQ(archive::RunZip(context, nullptr, "old.zip small.txt"), 0);
    }
    std::ifstream oldFile("old.zip", std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(oldFile)), std::istreambuf_iterator<char>());
    oldFile.close();

    DialogWatcher watcher;
    watcher.Expect(
        L"圧縮状況  adding...", [](HWND dialog) { PostKey(dialog, VK_ESCAPE); }, 20000);
    std::string question;
    watcher.Expect(kQuestionTitle, [&](HWND box) {
        question = ControlText(box, 0xFFFF);
        Press(box, IDYES);
    });
    archive::ArchiveContext context;
    const int result = archive::RunZip(context, owner_, "old.zip big.bin");
    EXPECT_TRUE(watcher.Wait());
    EXPECT_EQ(result, 9);
    EXPECT_EQ(question,
              "\xE5\x9C\xA7\xE7\xB8\xAE\xE3\x82\x92\xE4\xB8\xAD\xE6\x96\xAD\xE3\x81\x97"
              "\xE3\x81\xBE\xE3\x81\x99\xE3\x81\x8B\xEF\xBC\x9F");  // 圧縮を中断しますか？
    std::ifstream after("old.zip", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()), before);
    after.close();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*.tmp", &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    platform::SetCurrentDir(caller);
}

TEST_F(ProgressTest, NothingIsShownOutsideARun) {
    platform::UiHost& host = CurrentUiHost();
    host.SetActivity(kInflating);
    host.Progress("a", 0, 10);
    host.Progress("a", 5, 10);
    EXPECT_EQ(Progress(kInflatingTitle), nullptr);
    EXPECT_FALSE(host.CancelRequested());
    EXPECT_EQ(host.MoveWithProgress("x", "y"), -1);
}

}  // namespace
}  // namespace tovra::test

#endif  // _WIN32
