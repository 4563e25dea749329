#include "ui/progress_window.h"

#include "ui/program/error_notifier.h"
#include "res/resource.h"

// The window handles no events of its own: its event table is CDialog's.

ProgressWindow::ProgressWindow() : CDialog(IDD_PROGRESS_WINDOW) {}

void ProgressWindow::DoDataExchange(CDataExchange* exchange) {
    CDialog::DoDataExchange(exchange);
    DDX_Control(exchange, IDC_PROGRESS_BAR, progressBar);
    DDX_Control(exchange, IDC_STATUS_TEXT, statusText);
}

BOOL ProgressWindow::OnInitDialog() {
    CDialog::OnInitDialog();
    progressWindow = GetSafeHwnd();
    CenterWindow();
    ShowWindow(SW_SHOW);
    // The run dispatches nothing until it ends: paint now or never.
    ShowNow(*this);
    return TRUE;
}

void ProgressWindow::ShowNow(const CWnd& control) {
    control.UpdateWindow();
    TakeKeys();
}

void ProgressWindow::TakeKeys() {
    // Keys typed into the window during the run go through the window's own
    // keyboard handling and no further: the run dispatches nothing, and the
    // window is gone before anything else could see them. Left in the queue
    // they would reach whatever has the focus after the run (Enter would
    // close the count box, Escape the program). Looking into the queue also
    // keeps the run from looking hung: Windows takes a thread that has not
    // done so for five seconds for one and shows a frozen copy of its windows.
    // System keys too: Alt+F4 would close the window mid-run, Alt+Space open
    // its system menu in a loop of its own. Whatever window of the thread the
    // keys were meant for, none of them is dispatched.
    MSG key;
    while (::PeekMessageA(&key, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE | PM_NOYIELD)) PreTranslateMessage(&key);
}

BOOL ProgressWindow::PreTranslateMessage(MSG* message) {
    if (message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST) return TRUE;
    return CDialog::PreTranslateMessage(message);
}

void ProgressWindow::PostNcDestroy() {
    progressBar.Attach(nullptr);
    statusText.Attach(nullptr);
}
