// CDlgOverWrite.cpp - the overwrite question (see CDlgOverWrite.h).
#ifdef _WIN32

#include "ui/CDlgOverWrite.h"

#include "ui/dialog_texts.h"
#include "ui/resource_ids.h"

namespace tovra::ui {
namespace {

std::string LineFor(int64_t time, uint64_t size) {
    platform::CalendarTime local;
    return TimeAndSizeLine(platform::ToLocalTime(time, &local) ? &local : nullptr, size);
}

}  // namespace

CDlgOverWrite::CDlgOverWrite(HWND owner) : Dialog(IDD_TOVRA_OVERWRITE, owner) {}

bool CDlgOverWrite::OnInitDialog() {
    Dialog::OnInitDialog();
    SetItemUtf8(IDC_OVERWRITE_MEMBER, LineFor(memberTime, memberSize));
    SetItemUtf8(IDC_OVERWRITE_DISK, LineFor(diskTime, diskSize));
    return true;
}

void CDlgOverWrite::DoDataExchange(bool save) {
    // The path is only shown; taking it back would replace its bytes with
    // what the code page can round-trip.
    if (!save) ExchangeAnsiText(IDC_OVERWRITE_FILE, &fileText, false);
}

bool CDlgOverWrite::OnCommand(int id, int code) {
    if (id == IDC_OVERWRITE_ALL && code == BN_CLICKED) {
        overwriteAll = 1;
        UpdateData(true);
        EndDialog(IDOK);
        return true;
    }
    return Dialog::OnCommand(id, code);
}

}  // namespace tovra::ui

#endif  // _WIN32
