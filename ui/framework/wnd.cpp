#include "ui/framework/wnd.h"

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(hwnd_, message, wParam, lParam);
}

BOOL CWnd::EnableWindow(BOOL enable) const { return ::EnableWindow(hwnd_, enable); }

void CWnd::SetWindowText(const char* text) const { ::SetWindowTextA(hwnd_, text); }

void CWnd::SetFocus() const { ::SetFocus(hwnd_); }

BOOL CWnd::ShowWindow(int command) const { return ::ShowWindow(hwnd_, command); }

void CWnd::UpdateWindow() const { ::UpdateWindow(hwnd_); }

void CWnd::CenterWindow() const {
    RECT window;
    if (!::GetWindowRect(hwnd_, &window)) return;
    const HWND owner = ::GetWindow(hwnd_, GW_OWNER);
    const HMONITOR monitor = ::MonitorFromWindow(owner ? owner : hwnd_, MONITOR_DEFAULTTONEAREST);
    MONITORINFO screen = {};
    screen.cbSize = sizeof screen;
    if (!::GetMonitorInfoA(monitor, &screen)) return;
    const RECT& work = screen.rcWork;
    RECT over = work;
    if (owner != nullptr && !::IsIconic(owner)) ::GetWindowRect(owner, &over);

    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;
    LONG left = (over.left + over.right) / 2 - width / 2;
    LONG top = (over.top + over.bottom) / 2 - height / 2;
    // Keep it on the work area; its top-left corner wins when it is larger.
    if (left + width > work.right) left = work.right - width;
    if (top + height > work.bottom) top = work.bottom - height;
    if (left < work.left) left = work.left;
    if (top < work.top) top = work.top;
    ::SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
