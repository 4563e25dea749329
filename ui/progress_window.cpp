#include "ui/progress_window.h"

#include "convert/error_notifier.h"
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
    // Also keeps the run from looking hung: Windows takes a thread that has
    // not looked into its queue for five seconds for one, and from then on
    // shows a frozen copy of its windows instead of what they paint.
    MSG key;
    while (::PeekMessageA(&key, GetSafeHwnd(), WM_KEYFIRST, WM_KEYLAST, PM_REMOVE | PM_NOYIELD)) {
        if (PreTranslateMessage(&key)) continue;
        ::TranslateMessage(&key);
        ::DispatchMessageA(&key);
    }
}

BOOL ProgressWindow::PreTranslateMessage(MSG* message) {
    if (message->message == WM_KEYDOWN) return TRUE;
    return CDialog::PreTranslateMessage(message);
}

void ProgressWindow::PostNcDestroy() {
    progressBar.Attach(nullptr);
    statusText.Attach(nullptr);
}
