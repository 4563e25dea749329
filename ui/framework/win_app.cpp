#include "ui/framework/win_app.h"

CWinApp* CWinApp::current_ = nullptr;

const EventTable<CWinApp> CWinApp::eventTable = {nullptr, nullptr, nullptr};

CWinApp::CWinApp() { current_ = this; }

CWinApp::~CWinApp() {
    if (current_ == this) current_ = nullptr;
}

void CWinApp::WinHelp(DWORD_PTR, UINT) {}

void CWinApp::OnHelp() { WinHelp(0, HELP_CONTEXT); }

const EventTable<CWinApp>* CWinApp::GetEventTable() const { return &eventTable; }

bool CWinApp::OnCmdMsg(UINT id, UINT code) {
    const Event<CWinApp>* event = GetEventTable()->Find(WM_COMMAND, MAKEWPARAM(id, code), 0);
    if (event == nullptr) return false;
    event->call(*this, MAKEWPARAM(id, code), 0);
    return true;
}

void CWinApp::BeginWaitCursor() {
    const HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
    if (waitCursorCount_++ == 0) cursorBeforeWait_ = previous;
}

void CWinApp::EndWaitCursor() {
    if (waitCursorCount_ == 0) return;
    if (--waitCursorCount_ == 0) ::SetCursor(cursorBeforeWait_);
}

int RunApplication(CWinApp& app) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    // The shell's folder browser wants a single-threaded apartment.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (app.InitInstance()) {
        MSG message;
        while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    const int status = app.ExitInstance();
    if (SUCCEEDED(com)) ::CoUninitialize();
    return status;
}
