// CDlgExtMsg.cpp - the progress window (see CDlgExtMsg.h).
#ifdef _WIN32

#include "ui/CDlgExtMsg.h"

#include <commctrl.h>

#include "ui/dialog_texts.h"
#include "ui/resource_ids.h"

namespace tovra::ui {
namespace {

constexpr const char* kExtractionTitle = "圧縮書庫の解凍  ";
constexpr const char* kArchivingTitle = "圧縮状況  ";
constexpr const char* kCompressedSizeLabel = "圧縮サイズ:";
constexpr const char* kFileSizeLabel = "ファイルサイズ:";
constexpr const char* kExtractionQuestion = "解凍を中断しますか？";
constexpr const char* kArchivingQuestion = "圧縮を中断しますか？";
constexpr const char* kCaption = "TOVRA64";

// A pump handles at most this many messages, so that a window which keeps
// posting to itself cannot hold up the run.
constexpr int kPumpLimit = 1000;

using MoveWithProgressFunction = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPPROGRESS_ROUTINE, LPVOID, DWORD);

// What the move's progress routine works with.
struct MoveRecord {
    CDlgExtMsg* dialog;
    int threshold;
};

bool IsNtFamily() {
    static const bool nt = [] {
        OSVERSIONINFOW version{};
        version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        const BOOL known = GetVersionExW(&version);
#pragma GCC diagnostic pop
        return known != FALSE && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    }();
    return nt;
}

MoveWithProgressFunction LookUpMoveWithProgress() {
    static const MoveWithProgressFunction function = [] {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        FARPROC found = kernel != nullptr ? GetProcAddress(kernel, "MoveFileWithProgressA") : nullptr;
        return reinterpret_cast<MoveWithProgressFunction>(reinterpret_cast<void*>(found));
    }();
    return function;
}

}  // namespace

CDlgExtMsg::CDlgExtMsg(HWND owner) : Dialog(IDD_TOVRA_PROGRESS, owner) {}

int CDlgExtMsg::CreateProgressWindow(HWND, int32_t newMode) {
    // The owner was given to the constructor; the template keeps the window hidden.
    if (!Create()) return 0;
    created_ = true;
    mode = newMode;
    return 1;
}

bool CDlgExtMsg::OnInitDialog() {
    progressBar_ = Item(IDC_PROGRESS_BAR);
    Dialog::OnInitDialog();
    // Centred over the owner (or the screen without one).
    RECT own{}, area{};
    GetWindowRect(Handle(), &own);
    if (Owner() == nullptr || !GetWindowRect(Owner(), &area)) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    const int width = own.right - own.left, height = own.bottom - own.top;
    SetWindowPos(Handle(), nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void CDlgExtMsg::DoDataExchange(bool save) {
    if (save) return;  // the texts are only shown
    SetItemAnsi(IDC_PROGRESS_ARCHIVE, archiveText);
    SetItemAnsi(IDC_PROGRESS_FILE, fileText);
    SetItemAnsi(IDC_PROGRESS_THIRD, thirdText);
}

void CDlgExtMsg::SetBar(int percent) { SendMessageW(progressBar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0); }

bool CDlgExtMsg::Visible() const { return Handle() != nullptr && IsWindowVisible(Handle()) != FALSE; }

void CDlgExtMsg::RepaintIfVisible() {
    if (Visible()) UpdateWindow(Handle());
}

void CDlgExtMsg::PumpProgressMessages() {
    MSG message;
    for (int count = 0; count < kPumpLimit && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++count) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // the host's own loop must still see it
            return;
        }
        if (message.message == WM_KEYDOWN && (message.wParam == VK_ESCAPE || message.wParam == VK_RETURN)) {
            OnCancel();
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void CDlgExtMsg::OnCancel() {
    // The question's own loop can bring another Escape here; one question at a time.
    if (asking_ || Handle() == nullptr) return;
    asking_ = true;
    const std::wstring question =
        platform::Utf8ToWide(mode == kArchiving ? kArchivingQuestion : kExtractionQuestion, 0xFFFD);
    const std::wstring caption = platform::Utf8ToWide(kCaption, 0xFFFD);
    if (MessageBoxW(Handle(), question.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES) {
        cancelFlag = 1;
    }
    asking_ = false;
}

void CDlgExtMsg::PostNcDestroy() {
    // A window that failed half way through its creation leaves the object
    // to the caller, who was told of the failure.
    if (created_) delete this;
}

void CDlgExtMsg::SetArchiveName(const std::string& archivePath) {
    total = 0;
    archiveText = WithBackslashes(archivePath);
    SetItemAnsi(IDC_PROGRESS_ARCHIVE, archiveText);
    SendMessageW(progressBar_, PBM_SETRANGE32, 0, 100);
    if (mode == kArchiving) {
        SetItemUtf8(IDC_PROGRESS_THIRD_LABEL, kCompressedSizeLabel);
        thirdText = kEmptyCounterText;
        SetItemAnsi(IDC_PROGRESS_THIRD, thirdText);
    }
    RepaintIfVisible();
}

void CDlgExtMsg::SetActivity(const char* activity) {
    if (activity == lastActivity) return;
    SetTitleUtf8(std::string(mode == kArchiving ? kArchivingTitle : kExtractionTitle) +
                 (activity != nullptr ? activity : ""));
    lastActivity = activity;
}

void CDlgExtMsg::BeginFile(const std::string& fileName, const std::string& outputName, uint64_t totalSize) {
    fileText = WithBackslashes(fileName);
    SetItemAnsi(IDC_PROGRESS_FILE, fileText);
    SendMessageW(progressBar_, PBM_SETRANGE32, 0, 100);
    SetBar(0);
    thirdText = mode == kArchiving ? CounterText(0, totalSize) : WithBackslashes(outputName);
    SetItemAnsi(IDC_PROGRESS_THIRD, thirdText);
    PumpProgressMessages();
    total = totalSize;
}

void CDlgExtMsg::UpdateProgress(uint64_t done) {
    if (total == 0) {
        PumpProgressMessages();
        return;
    }
    SetBar(ProgressPercent(done, total));
    if (mode == kArchiving) {
        thirdText = CounterText(done, total);
        SetItemAnsi(IDC_PROGRESS_THIRD, thirdText);
    }
    if (done != total && !Visible() && Handle() != nullptr) {
        ShowWindow(Handle(), SW_SHOW);
        PumpProgressMessages();
        UpdateData(false);
        PumpProgressMessages();
    }
    RepaintIfVisible();
    PumpProgressMessages();
}

int CDlgExtMsg::MoveWithProgress(const std::string& source, const std::string& destination) {
    SetBar(0);
    fileText.clear();
    SetItemAnsi(IDC_PROGRESS_ARCHIVE, archiveText);
    SetItemAnsi(IDC_PROGRESS_FILE, source);
    SetItemUtf8(IDC_PROGRESS_THIRD_LABEL, kFileSizeLabel);
    thirdText = kEmptyCounterText;
    SetItemAnsi(IDC_PROGRESS_THIRD, thirdText);
    HWND cancel = Item(IDCANCEL);
    EnableWindow(cancel, FALSE);
    if (Handle() != nullptr) UpdateWindow(Handle());
    PumpProgressMessages();

    constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED;
    BOOL moved = FALSE;
    MoveWithProgressFunction withProgress = IsNtFamily() ? LookUpMoveWithProgress() : nullptr;
    if (withProgress != nullptr) {
        MoveRecord record{this, 4};
        moved = withProgress(source.c_str(), destination.c_str(), &CDlgExtMsg::MoveProgress, &record, kFlags);
    } else {
        moved = MoveFileExA(source.c_str(), destination.c_str(), kFlags);
    }
    EnableWindow(cancel, TRUE);
    return moved;
}

DWORD CALLBACK CDlgExtMsg::MoveProgress(LARGE_INTEGER totalSize, LARGE_INTEGER moved, LARGE_INTEGER, LARGE_INTEGER,
                                        DWORD, DWORD, HANDLE, HANDLE, LPVOID data) {
    auto* record = static_cast<MoveRecord*>(data);
    CDlgExtMsg* dialog = record->dialog;
    dialog->PumpProgressMessages();
    const uint64_t all = totalSize.QuadPart > 0 ? static_cast<uint64_t>(totalSize.QuadPart) : 0;
    const uint64_t done = moved.QuadPart > 0 ? static_cast<uint64_t>(moved.QuadPart) : 0;
    const int percent = ProgressPercent(done, all);
    if (AdvanceMoveThreshold(percent, &record->threshold)) {
        dialog->SetBar(percent);
        dialog->thirdText = CounterText(done, all);
        dialog->SetItemAnsi(IDC_PROGRESS_THIRD, dialog->thirdText);
        dialog->PumpProgressMessages();
    }
    return PROGRESS_CONTINUE;  // a move cannot be stopped half way
}

}  // namespace tovra::ui

#endif  // _WIN32
