// CWnd: a window handle with the few operations the program's windows and
// control wrappers share. The object never owns the window: whoever created
// the window destroys it.
#pragma once

#include "platform/win32.h"

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return hwnd_; }
    void Attach(HWND window) { hwnd_ = window; }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL EnableWindow(BOOL enable = TRUE) const;
    void SetWindowText(const char* text) const;
    void SetFocus() const;
    BOOL ShowWindow(int command) const;
    void UpdateWindow() const;

    // Centres the window over its owner or, when it has none, over the work
    // area of its screen; either way it stays inside that work area.
    void CenterWindow() const;

protected:
    HWND hwnd_ = nullptr;
};
