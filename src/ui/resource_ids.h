// resource_ids.h - the numbers of the library's dialog templates, controls and
// icons, shared by TOVRA64.rc and the dialog classes. Plain #defines, because
// the resource compiler reads this file too.
#pragma once

#define IDD_TOVRA_OVERWRITE 130
#define IDD_TOVRA_PROGRESS 131
#define IDD_TOVRA_PASSWORD 135
#define IDI_TOVRA_PASSWORD 136
#define IDI_TOVRA_OVERWRITE 138

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Overwrite question (130).
#define IDC_OVERWRITE_MEMBER 1001
#define IDC_OVERWRITE_DISK 1002
#define IDC_OVERWRITE_ALL 1003
#define IDC_OVERWRITE_FILE 1005

// Progress (131).
#define IDC_PROGRESS_FILE 1006
#define IDC_PROGRESS_BAR 1007
#define IDC_PROGRESS_SPARE_FILE 1008
#define IDC_PROGRESS_ARCHIVE 1009
#define IDC_PROGRESS_THIRD 1010
#define IDC_PROGRESS_SPARE_ARCHIVE 1011
#define IDC_PROGRESS_SPARE_THIRD 1012
#define IDC_PROGRESS_THIRD_LABEL 1015
#define IDC_PROGRESS_SPARE_LABEL 1016

// Password (135).
#define IDC_PASSWORD_EDIT 1016
