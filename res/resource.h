// Ids of the program's resources and of the controls of its dialogs.
#pragma once

// Dialog templates.
#define IDD_MAIN_WINDOW 102
#define IDD_PROGRESS_WINDOW 129
#define IDD_IMAGE_VIEWER 130

// The program's icon.
#define IDI_APPLICATION_ICON 128

// Main window. Convert and Quit are the dialog's IDOK (1) and IDCANCEL (2).
#define IDC_BROWSE 3
#define IDC_SELECT_ALL 4
#define IDC_VIEW 5
#define IDC_FILE_LIST 1000
#define IDC_NO_ERRORS 1003

// Progress window.
#define IDC_PROGRESS_BAR 1001
#define IDC_STATUS_TEXT 1002

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
