#include "ui/framework/dialog.h"

#include <iterator>

#include "ui/framework/win_app.h"

const Event<CDialog> CDialog::events[] = {
    CommandEvent<&CDialog::OnOK>(IDOK),
    CommandEvent<&CDialog::OnCancel>(IDCANCEL),
};
const EventTable<CDialog> CDialog::eventTable = {std::begin(events), std::end(events), nullptr};

namespace {

// The messages whose result a dialog procedure returns itself; every other
// result goes through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_INITDIALOG:
            return true;
        default:
            return false;
    }
}

bool KeyIsDown(int key) { return (::GetKeyState(key) & 0x8000) != 0; }

const CWnd* MainWindow() {
    const CWinApp* app = CWinApp::Current();
    return app ? app->GetMainWnd() : nullptr;
}

// The owner of a new dialog: the application's main window, unless the
// dialog is that window.
HWND OwnerFor(const CDialog* dialog) {
    const CWnd* mainWindow = MainWindow();
    return mainWindow && mainWindow != dialog ? mainWindow->GetSafeHwnd() : nullptr;
}

// A top-level dialog that its initialisation left hidden and where its
// template put it is centred over its owner before it is first shown.
void CenterIfUnplaced(const CDialog& dialog, const RECT& before) {
    const HWND window = dialog.GetSafeHwnd();
    if ((::GetWindowLongA(window, GWL_STYLE) & (WS_VISIBLE | WS_CHILD)) != 0) return;
    RECT after = {};
    if (!::GetWindowRect(window, &after) || after.left != before.left || after.top != before.top) return;
    dialog.CenterWindow();
}

}  // namespace

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
    if (control.GetSafeHwnd() == nullptr) control.Attach(::GetDlgItem(exchange->dialog->GetSafeHwnd(), id));
}

CDialog::CDialog(UINT templateId) : templateId_(templateId) {}

CDialog::~CDialog() {
    if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

const EventTable<CDialog>* CDialog::GetEventTable() const { return &eventTable; }

HWND CDialog::CreateFromTemplate(UINT templateId) {
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    const HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(templateId), reinterpret_cast<LPCSTR>(RT_DIALOG));
    const HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
    const auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(loaded ? ::LockResource(loaded) : nullptr);
    if (dialogTemplate == nullptr) return nullptr;
    return ::CreateDialogIndirectParamA(instance, dialogTemplate, OwnerFor(this), &CDialog::DialogProc,
                                        reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::Create(UINT templateId) { return CreateFromTemplate(templateId) != nullptr; }

INT_PTR CDialog::DoModal() {
    // The owner is disabled before the window exists, so that nothing can
    // reach it while the dialog initialises.
    const HWND owner = OwnerFor(this);
    const bool ownerDisabled = owner != nullptr && ::IsWindowEnabled(owner);
    if (ownerDisabled) ::EnableWindow(owner, FALSE);

    modalResult_ = -1;
    inModalLoop_ = true;
    if (CreateFromTemplate(templateId_) == nullptr) {
        inModalLoop_ = false;
    } else if (inModalLoop_) {
        // A template without WS_VISIBLE is shown now, as the dialog manager does.
        if (!::IsWindowVisible(hwnd_)) ::ShowWindow(hwnd_, SW_SHOWNORMAL);
        RunModalLoop();
    }

    // Enable the owner first, so that activation returns to it.
    if (ownerDisabled) ::EnableWindow(owner, TRUE);
    if (hwnd_ != nullptr) {
        if (owner != nullptr && ::GetActiveWindow() == hwnd_) ::SetActiveWindow(owner);
        ::DestroyWindow(hwnd_);
    }
    return modalResult_;
}

void CDialog::RunModalLoop() {
    MSG message;
    while (inModalLoop_) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            // WM_QUIT ends this run and stays for the loop outside it.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        CDialog* target = FromHandle(::GetAncestor(message.hwnd, GA_ROOT));
        if (target != nullptr && target->PreTranslateMessage(&message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

void CDialog::EndDialog(int result) {
    modalResult_ = result;
    if (inModalLoop_) {
        inModalLoop_ = false;
        // The loop may be waiting in GetMessage (a command sent from another
        // thread is handled there): wake it.
        ::PostMessageA(hwnd_, WM_NULL, 0, 0);
    } else if (hwnd_ != nullptr) {
        ::EndDialog(hwnd_, result);
    }
}

BOOL CDialog::DestroyWindow() { return hwnd_ != nullptr && ::DestroyWindow(hwnd_); }

void CDialog::UpdateData(DataDirection direction) {
    CDataExchange exchange = {this, direction};
    DoDataExchange(&exchange);
}

BOOL CDialog::PreTranslateMessage(MSG* message) {
    const bool plainF1 = message->message == WM_KEYDOWN && message->wParam == VK_F1 && !KeyIsDown(VK_SHIFT) &&
                         !KeyIsDown(VK_CONTROL) && !KeyIsDown(VK_MENU);
    if (plainF1) {
        const CWnd* mainWindow = MainWindow();
        if (mainWindow != nullptr && mainWindow->GetSafeHwnd() != nullptr)
            ::SendMessageA(mainWindow->GetSafeHwnd(), WM_COMMAND, ID_HELP, 0);
        return TRUE;
    }
    return ::IsDialogMessageA(hwnd_, message);
}

CDialog* CDialog::FromHandle(HWND window) {
    if (window == nullptr) return nullptr;
    // Only a dialog whose procedure is ours keeps a CDialog in DWLP_USER.
    if (::GetWindowLongPtrA(window, DWLP_DLGPROC) != reinterpret_cast<LONG_PTR>(&CDialog::DialogProc)) return nullptr;
    return reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog() {
    UpdateData(DataDirection::ToControls);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(DataDirection::FromControls);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const Event<CDialog>* event = GetEventTable()->Find(message, wParam, lParam);
    if (event == nullptr) {
        // A command no control sent (the help command among them) goes on to
        // the application.
        if (message == WM_COMMAND && lParam == 0) {
            CWinApp* app = CWinApp::Current();
            if (app != nullptr && app->OnCmdMsg(LOWORD(wParam), HIWORD(wParam))) {
                *result = 0;
                return true;
            }
        }
        return false;
    }
    defaultWanted_ = false;
    *result = event->call(*this, wParam, lParam);
    return !defaultWanted_;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->hwnd_ = window;
        RECT before = {};
        ::GetWindowRect(window, &before);
        const BOOL result = dialog->OnInitDialog();
        if (dialog->hwnd_ == window) CenterIfUnplaced(*dialog, before);
        return result;
    }
    // Messages before WM_INITDIALOG (WM_SETFONT) find no object yet.
    auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (dialog == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, DWLP_USER, 0);
        dialog->hwnd_ = nullptr;
        dialog->inModalLoop_ = false;
        if (CWinApp* app = CWinApp::Current(); app != nullptr && app->GetMainWnd() == dialog) app->SetMainWnd(nullptr);
        dialog->PostNcDestroy();
        return FALSE;
    }
    LRESULT result = 0;
    if (!dialog->Dispatch(message, wParam, lParam, &result)) return FALSE;
    if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}
