#include "ui/main_window.h"

#include <cstdio>
#include <iterator>

#include "ui/program/current_palette.h"
#include "ui/program/error_notifier.h"
#include "res/resource.h"
#include "ui/application.h"
#include "ui/converted_image.h"

const Event<CDialog> MainWindow::events[] = {
    MessageEvent<&MainWindow::OnPaint>(WM_PAINT),
    MessageEvent<&MainWindow::OnQueryDragIcon>(WM_QUERYDRAGICON),
    CommandEvent<&MainWindow::OnBrowse>(IDC_BROWSE),
    NotifyEvent<&MainWindow::OnListClick>(IDC_FILE_LIST, NM_CLICK),
    NotifyEvent<&MainWindow::OnListDoubleClick>(IDC_FILE_LIST, NM_DBLCLK),
    CommandEvent<&MainWindow::OnSelectAll>(IDC_SELECT_ALL),
    CommandEvent<&MainWindow::OnErrorsCheckBox>(IDC_NO_ERRORS),
    CommandEvent<&MainWindow::OnView>(IDC_VIEW),
    CommandEvent<&MainWindow::OnOK>(IDOK),
    // IDCANCEL (Quit, Escape, the close box): CDialog's OnCancel ends the run.
};
const EventTable<CDialog> MainWindow::eventTable = {std::begin(events), std::end(events), &CDialog::eventTable};

int selectedCount = 0;

namespace {

constexpr const char kTitle[] = "Kelvane Converter";

}  // namespace

MainWindow::MainWindow()
    : CDialog(IDD_MAIN_WINDOW),
      appIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APPLICATION_ICON))) {}

const EventTable<CDialog>* MainWindow::GetEventTable() const { return &eventTable; }

void MainWindow::DoDataExchange(CDataExchange* exchange) {
    CDialog::DoDataExchange(exchange);
    DDX_Control(exchange, IDC_VIEW, viewButton);
    DDX_Control(exchange, IDCANCEL, quitButton);
    DDX_Control(exchange, IDC_NO_ERRORS, errorsCheckBox);
    DDX_Control(exchange, IDC_SELECT_ALL, selectAllButton);
    DDX_Control(exchange, IDOK, convertButton);
    DDX_Control(exchange, IDC_BROWSE, browseButton);
    DDX_Control(exchange, IDC_FILE_LIST, fileList);
}

BOOL MainWindow::OnInitDialog() {
    CDialog::OnInitDialog();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(appIcon));
    selfWindow = GetSafeHwnd();
    ownerFallbackWindow = ::GetDesktopWindow();

    fileList.InsertColumn(0, "File", LVCFMT_LEFT, 200, 0);
    fileList.InsertColumn(1, "Converted", LVCFMT_CENTER, 80, 1);
    // Exactly full-row selection: a click anywhere in a row selects the row.
    fileList.SetExtendedStyle(0, LVS_EX_FULLROWSELECT);

    ::SetWindowTextA(selfWindow, kTitle);
    CenterWindow();
    // Visible before the first scan, and before a folder browser opens.
    ::ShowWindow(selfWindow, SW_SHOW);
    ::errorsCheckBox = errorsCheckBox.GetSafeHwnd();

    if (RefreshFileList() == 0 && BrowseForFolder() == 1) RefreshFileList();
    paletteIsBuiltIn = true;
    return TRUE;
}

int MainWindow::RefreshFileList() {
    int found = 1;
    // No command may start while the scan runs: not even the close box.
    const HMENU systemMenu = ::GetSystemMenu(selfWindow, FALSE);
    if (systemMenu != nullptr) {
        ::EnableMenuItem(systemMenu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
        ::EnableMenuItem(systemMenu, SC_MOVE, MF_BYCOMMAND | MF_GRAYED);
    }
    errorsCheckBox.EnableWindow(FALSE);
    browseButton.EnableWindow(FALSE);
    quitButton.EnableWindow(FALSE);
    convertButton.EnableWindow(FALSE);
    viewButton.EnableWindow(FALSE);
    selectAllButton.EnableWindow(FALSE);
    ::SetWindowTextA(selfWindow, "Retrieving file list...");
    fileList.DeleteAllItems();

    // Every entry whose name fits, folders included.
    WIN32_FIND_DATAA match;
    const HANDLE search = ::FindFirstFileA("*.dc6", &match);
    if (search == INVALID_HANDLE_VALUE) {
        found = 0;
    } else {
        do {
            const int item = fileList.InsertItem(0, match.cFileName);
            fileList.SetItemText(item, 1, ConvertedImageExists(match.cFileName) ? "Yes" : "No");
        } while (::FindNextFileA(search, &match));
        ::FindClose(search);
    }

    if (found == 1) selectAllButton.EnableWindow(TRUE);
    quitButton.EnableWindow(TRUE);
    browseButton.EnableWindow(TRUE);
    errorsCheckBox.EnableWindow(TRUE);
    if (systemMenu != nullptr) {
        ::EnableMenuItem(systemMenu, SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
        ::EnableMenuItem(systemMenu, SC_MOVE, MF_BYCOMMAND | MF_ENABLED);
    }
    char title[96];
    std::snprintf(title, sizeof title, "%s: (0/%d files)", kTitle, fileList.GetItemCount());
    titleText = title;
    ::SetWindowTextA(selfWindow, titleText.c_str());
    return found;
}

int MainWindow::BrowseForFolder() {
    char folder[MAX_PATH];
    BROWSEINFOA browse = {};
    browse.hwndOwner = selfWindow;
    browse.pidlRoot = nullptr;
    browse.pszDisplayName = folder;
    browse.lpszTitle = "Select the folder which contains the DC6 files...";
    browse.ulFlags = 0;
    browse.lpfn = nullptr;
    const LPITEMIDLIST chosen = ::SHBrowseForFolderA(&browse);
    if (chosen == nullptr) return 0;

    int taken = 0;
    folderPath.clear();
    // A virtual folder of the shell has no file-system path.
    if (::SHGetPathFromIDListA(chosen, folder)) {
        folderPath = folder;
        ::SetCurrentDirectoryA(folder);
        taken = 1;
    }
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(chosen);
        allocator->Release();
    }
    return taken;
}

void MainWindow::CountSelection() {
    selectedCount = 0;
    for (int item = fileList.GetNextItem(-1, LVNI_SELECTED); item != -1;
         item = fileList.GetNextItem(item, LVNI_SELECTED))
        ++selectedCount;
    char title[96];
    std::snprintf(title, sizeof title, "%s: (%d/%d files)", kTitle, selectedCount, fileList.GetItemCount());
    titleText = title;
    ::SetWindowTextA(selfWindow, titleText.c_str());
}

void MainWindow::OnPaint() {
    if (!::IsIconic(GetSafeHwnd())) {
        Default();
        return;
    }
    PAINTSTRUCT paint;
    const HDC context = ::BeginPaint(GetSafeHwnd(), &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(context), 0);
    RECT client;
    ::GetClientRect(GetSafeHwnd(), &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(context, x, y, appIcon);
    ::EndPaint(GetSafeHwnd(), &paint);
}

HICON MainWindow::OnQueryDragIcon() { return appIcon; }

void MainWindow::OnBrowse() {
    if (BrowseForFolder() == 1) RefreshFileList();
}

void MainWindow::OnListClick(NMHDR*, LRESULT* result) {
    CountSelection();
    convertButton.EnableWindow(selectedCount != 0);
    viewButton.EnableWindow(selectedCount != 0);
    *result = 0;
}

// A double click neither converts nor views: its first click was counted.
void MainWindow::OnListDoubleClick(NMHDR*, LRESULT* result) { *result = 0; }

void MainWindow::OnSelectAll() {
    fileList.SetItemState(-1, LVIS_SELECTED, LVIS_SELECTED);
    CountSelection();
    fileList.SetFocus();
    convertButton.EnableWindow(TRUE);
    viewButton.EnableWindow(TRUE);
}

void MainWindow::OnErrorsCheckBox() { showErrors = errorsCheckBox.GetCheck() != BST_CHECKED; }
