// dialog_ui_host.cpp - the library's default UiHost on Windows: the engines'
// questions in the overwrite and password dialogs, their progress in the
// progress window.
//
// The progress window belongs to a run framed by BeginRun / EndRun (runs
// without a host window call neither and show nothing). It is created at the
// run's first progress call, so a listing never makes one, and is given the
// archive name and activity that arrived before it. Progress with done 0
// starts a file; later calls move the bar. EndRun destroys the window (the
// object deletes itself) and drains the thread's queue. Messages are the
// platform's real message boxes (ShowMessage); Message itself, reached only
// when called directly, answers as the non-blocking host does.
#ifdef _WIN32

#include <string>

#include "platform/default_ui_host.h"
#include "ui/CDlgExtMsg.h"
#include "ui/CDlgOverWrite.h"
#include "ui/CGetPassword.h"

namespace tovra::ui {
namespace {

class WindowsDialogHost final : public platform::NonBlockingUiHost {
public:
    platform::OverwriteAnswer AskOverwrite(platform::WindowHandle owner,
                                           const platform::OverwriteQuestion& question) override {
        CDlgOverWrite dialog(static_cast<HWND>(owner));
        dialog.fileText = question.path;
        dialog.memberTime = question.memberTime;
        dialog.memberSize = question.memberSize;
        dialog.diskTime = question.diskTime;
        dialog.diskSize = question.diskSize;
        if (dialog.DoModal() != IDOK) return platform::OverwriteAnswer::kNo;
        return dialog.overwriteAll != 0 ? platform::OverwriteAnswer::kYesToAll : platform::OverwriteAnswer::kYes;
    }

    bool AskPassword(platform::WindowHandle owner, const std::string&, std::string* password) override {
        CGetPassword dialog(static_cast<HWND>(owner));
        if (dialog.DoModal() != IDOK) return false;
        *password = dialog.password;
        return true;
    }

    void BeginRun(platform::WindowHandle owner, platform::ProgressMode mode) override {
        EndRun();
        runOwner_ = static_cast<HWND>(owner);
        runMode_ = mode == platform::ProgressMode::kArchiving ? CDlgExtMsg::kArchiving : CDlgExtMsg::kExtraction;
        runActive_ = true;
        creationFailed_ = false;
    }

    void EndRun() override {
        if (dialog_ != nullptr) {
            dialog_->DestroyDialog();  // deletes itself
            dialog_ = nullptr;
            platform::DrainMessages();
        }
        runActive_ = false;
        runOwner_ = nullptr;
        archiveName_.clear();
        activity_ = nullptr;
        announcedFile_.clear();
    }

    void SetArchiveName(const std::string& archivePath) override {
        archiveName_ = archivePath;
        if (dialog_ != nullptr) dialog_->SetArchiveName(archivePath);
    }

    void SetActivity(const char* activityUtf8) override {
        activity_ = activityUtf8;
        if (dialog_ != nullptr) dialog_->SetActivity(activityUtf8);
    }

    void BeginFile(const std::string& fileName, const std::string& outputName, uint64_t total) override {
        if (!EnsureDialog()) return;
        dialog_->BeginFile(fileName, outputName, total);
        announcedFile_ = fileName;
    }

    void Progress(const std::string& itemName, uint64_t done, uint64_t total) override {
        if (!EnsureDialog()) return;
        if (done == 0) {
            // A file's start, unless BeginFile has just announced it.
            if (announcedFile_ != itemName) dialog_->BeginFile(itemName, itemName, total);
            announcedFile_.clear();
            return;
        }
        announcedFile_.clear();
        dialog_->UpdateProgress(done);
    }

    bool CancelRequested() override { return dialog_ != nullptr && dialog_->cancelFlag != 0; }

    int MoveWithProgress(const std::string& source, const std::string& destination) override {
        if (!EnsureDialog()) return -1;
        return dialog_->MoveWithProgress(source, destination) != 0 ? 1 : 0;
    }

private:
    // The run's window, made at its first use; false outside a run or when
    // no window could be made (the run then goes on without one).
    bool EnsureDialog() {
        if (dialog_ != nullptr) return true;
        if (!runActive_ || creationFailed_) return false;
        auto* dialog = new CDlgExtMsg(runOwner_);
        if (dialog->CreateProgressWindow(runOwner_, runMode_) == 0) {
            delete dialog;
            creationFailed_ = true;
            return false;
        }
        dialog_ = dialog;
        if (!archiveName_.empty()) dialog_->SetArchiveName(archiveName_);
        if (activity_ != nullptr) dialog_->SetActivity(activity_);
        return true;
    }

    bool runActive_ = false;
    bool creationFailed_ = false;
    HWND runOwner_ = nullptr;
    int32_t runMode_ = CDlgExtMsg::kExtraction;
    CDlgExtMsg* dialog_ = nullptr;
    std::string archiveName_;
    const char* activity_ = nullptr;
    std::string announcedFile_;
};

}  // namespace
}  // namespace tovra::ui

namespace tovra::platform {

UiHost& DialogUiHost() {
    static ui::WindowsDialogHost host;
    return host;
}

}  // namespace tovra::platform

#endif  // _WIN32
