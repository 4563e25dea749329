#include "tests/ui/program_driver.h"

#include "platform/win32.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "ui/program/error_notifier.h"
#include "res/resource.h"
#include "ui/program/program_state.h"
#include "ui/application.h"
#include "ui/main_window.h"

namespace uitest {
namespace {

constexpr int kControls[] = {IDOK, IDCANCEL, IDC_BROWSE, IDC_SELECT_ALL, IDC_VIEW, IDC_NO_ERRORS};

// What the hook saw; written on the program's thread, read on the test's.
std::mutex recordLock;
std::vector<TitleChange> titleChanges;
int helpCommands = 0;
std::vector<std::string> viewedPaths;

bool IsMainWindow(HWND window) {
    return ::GetAncestor(window, GA_ROOT) == window && ::GetDlgItem(window, IDC_FILE_LIST) != nullptr;
}

std::vector<int> EnabledControlsOf(HWND window) {
    std::vector<int> enabled;
    for (int id : kControls)
        if (::IsWindowEnabled(::GetDlgItem(window, id))) enabled.push_back(id);
    return enabled;
}

TitleChange Snapshot(HWND window, const char* title) {
    const HMENU menu = ::GetSystemMenu(window, FALSE);
    const auto greyed = [menu](UINT item) {
        return menu != nullptr && (::GetMenuState(menu, item, MF_BYCOMMAND) & MF_GRAYED) != 0;
    };
    return {title ? title : "", ::IsWindowVisible(window) != FALSE, greyed(SC_CLOSE), greyed(SC_MOVE),
            EnabledControlsOf(window)};
}

// Sees every message sent to a window of the program's thread, before the
// window does.
LRESULT CALLBACK RecordMessage(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (IsMainWindow(sent->hwnd)) {
            // The snapshot sends messages of its own, which come back here:
            // take it before the lock.
            if (sent->message == WM_INITDIALOG || sent->message == WM_SETTEXT) {
                const std::string title =
                    sent->message == WM_SETTEXT ? reinterpret_cast<const char*>(sent->lParam) : WindowText(sent->hwnd);
                TitleChange change = Snapshot(sent->hwnd, title.c_str());
                std::lock_guard<std::mutex> lock(recordLock);
                titleChanges.push_back(std::move(change));
            } else if (sent->message == WM_COMMAND && LOWORD(sent->wParam) == 0xE146) {
                std::lock_guard<std::mutex> lock(recordLock);
                ++helpCommands;
            }
        } else if (sent->message == WM_INITDIALOG && WindowText(sent->hwnd) == "Image Viewer") {
            std::lock_guard<std::mutex> lock(recordLock);
            viewedPaths.push_back(viewPath);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void ResetProcessState() {
    ResetProgramState();
    selectedCount = 0;
    folderPath.clear();
    viewPath.clear();
    application.helpPath.clear();
    std::lock_guard<std::mutex> lock(recordLock);
    titleChanges.clear();
    helpCommands = 0;
    viewedPaths.clear();
}

INPUT Key(WORD key, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        ::Sleep(10);
    }
    return true;
}

std::string WindowText(HWND window) {
    char text[1024] = "";
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassName(HWND window) {
    char name[256] = "";
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

ProgramRun::ProgramRun() {
    ResetProcessState();
    thread_ = std::thread([this] {
        threadId_ = ::GetCurrentThreadId();
        const HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROC, &RecordMessage, nullptr, threadId_);
        RunApplication(application);
        if (hook != nullptr) ::UnhookWindowsHookEx(hook);
        finished_ = true;
    });
    WaitUntil([this] { return threadId_ != 0; });
}

ProgramRun::~ProgramRun() {
    // A failed test may leave boxes open: answer them, then close the main window.
    WaitUntil(
        [this] {
            if (finished_) return true;
            ::EnumThreadWindows(
                threadId_,
                [](HWND window, LPARAM) -> BOOL {
                    if (!::IsWindowVisible(window)) return TRUE;
                    if (ClassName(window) == "#32770" && !IsMainWindow(window))
                        ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                    ::PostMessageA(window, WM_CLOSE, 0, 0);
                    return TRUE;
                },
                0);
            return false;
        },
        30s);
    if (!finished_) {
        std::fprintf(stderr, "the program did not end\n");
        std::abort();
    }
    thread_.join();
}

bool ProgramRun::WaitForExit(std::chrono::milliseconds timeout) {
    return WaitUntil([this] { return finished_.load(); }, timeout);
}

HWND ProgramRun::MainWindow() {
    if (mainWindow_ == nullptr) WaitUntil([this] { return FindMainWindow() != nullptr || finished_; });
    return mainWindow_;
}

HWND ProgramRun::FindMainWindow() {
    if (mainWindow_ != nullptr) return mainWindow_;
    ::EnumThreadWindows(
        threadId_,
        [](HWND window, LPARAM found) -> BOOL {
            if (!IsMainWindow(window)) return TRUE;
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&mainWindow_));
    return mainWindow_;
}

bool ProgramRun::WaitForTitle(const std::string& title) {
    return MainWindow() != nullptr && WaitUntil([&] { return Title() == title; });
}

std::string ProgramRun::Title() { return WindowText(MainWindow()); }

HWND ProgramRun::Control(int id) { return ::GetDlgItem(MainWindow(), id); }

bool ProgramRun::Enabled(int id) { return ::IsWindowEnabled(Control(id)) != FALSE; }

std::vector<int> ProgramRun::EnabledControls() { return EnabledControlsOf(MainWindow()); }

std::vector<std::string> ProgramRun::Column(int column) {
    const HWND list = Control(IDC_FILE_LIST);
    std::vector<std::string> cells;
    const int count = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int item = 0; item < count; ++item) {
        char text[300] = "";
        LVITEMA cell = {};
        cell.iSubItem = column;
        cell.pszText = text;
        cell.cchTextMax = sizeof text;
        ::SendMessageA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&cell));
        cells.push_back(text);
    }
    return cells;
}

std::vector<int> ProgramRun::SelectedItems() {
    const HWND list = Control(IDC_FILE_LIST);
    std::vector<int> items;
    for (int item = -1; (item = static_cast<int>(::SendMessageA(list, LVM_GETNEXTITEM, item, LVNI_SELECTED))) != -1;)
        items.push_back(item);
    return items;
}

std::vector<TitleChange> ProgramRun::TitleChanges() const {
    std::lock_guard<std::mutex> lock(recordLock);
    return titleChanges;
}

int ProgramRun::HelpCommands() const {
    std::lock_guard<std::mutex> lock(recordLock);
    return helpCommands;
}

std::vector<std::string> ProgramRun::ViewedPaths() const {
    std::lock_guard<std::mutex> lock(recordLock);
    return viewedPaths;
}

HWND ProgramRun::FindWindowOfThread(const char* className, const std::string& caption) {
    struct Search {
        const char* className;
        const std::string* caption;
        HWND found;
    } search = {className, &caption, nullptr};
    ::EnumThreadWindows(
        threadId_,
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* search = reinterpret_cast<Search*>(parameter);
            if (!::IsWindowVisible(window) || IsMainWindow(window)) return TRUE;
            if (ClassName(window) != search->className) return TRUE;
            if (!search->caption->empty() && WindowText(window) != *search->caption) return TRUE;
            search->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ProgramRun::WaitForWindowOfThread(const char* className, const std::string& caption) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowOfThread(className, caption)) != nullptr; });
    return found;
}

std::string ProgramRun::MessageText(HWND box) { return WindowText(::GetDlgItem(box, 0xFFFF)); }

std::vector<std::string> ProgramRun::Shown(HWND box) {
    std::vector<std::string> shown;
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM list) -> BOOL {
            if (!::IsWindowVisible(child)) return TRUE;
            auto& shown = *reinterpret_cast<std::vector<std::string>*>(list);
            const std::string kind = ClassName(child);
            const bool icon = kind == "Static" && (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
            if (icon) {
                if (::SendMessageA(child, STM_GETICON, 0, 0) != 0) shown.push_back("an icon");
            } else {
                shown.push_back(kind + ": " + WindowText(child));
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&shown));
    std::sort(shown.begin(), shown.end());
    return shown;
}

void ProgramRun::Press(HWND dialog, int buttonId) { ::PostMessageA(::GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0); }

void ProgramRun::Click(int id) { ::PostMessageA(Control(id), BM_CLICK, 0, 0); }

void ProgramRun::Activate() { Activate(MainWindow()); }

void ProgramRun::Activate(HWND window) {
    ::SetForegroundWindow(window);
    WaitUntil([window] { return ::GetForegroundWindow() == window; });
}

void ProgramRun::ClickAt(POINT screen, int times) { ClickAt(MainWindow(), screen, times); }

namespace {
// A mouse event at an absolute screen point.
INPUT MouseAt(POINT screen, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return input;
}
}  // namespace

void ProgramRun::ClickAt(HWND window, POINT screen, int times) {
    Activate(window);
    INPUT move = MouseAt(screen, 0);
    ::SendInput(1, &move, sizeof move);
    // The first move on a fresh display may still be on its way when the
    // buttons follow, and the click is then lost: press once it has arrived.
    WaitUntil([&] {
        POINT cursor;
        return ::GetCursorPos(&cursor) && cursor.x == screen.x && cursor.y == screen.y;
    });
    PressLeftButton(screen, times);
}

void ProgramRun::PressLeftButton(POINT screen, int times) {
    // Each press and release carries its point: a late motion event from the
    // display can move the cursor back to where the previous click was, and a
    // bare press would land there.
    std::vector<INPUT> inputs;
    for (int i = 0; i < times; ++i) {
        for (DWORD flag : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) inputs.push_back(MouseAt(screen, flag));
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

POINT ProgramRun::ItemPoint(int item) {
    const HWND list = Control(IDC_FILE_LIST);
    RECT bounds = {};
    bounds.left = LVIR_LABEL;
    ::SendMessageA(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&bounds));
    POINT point = {(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
    ::ClientToScreen(list, &point);
    return point;
}

void ProgramRun::ClickItem(int item) { ClickAt(ItemPoint(item), 1); }

void ProgramRun::DoubleClickItem(int item) {
    // The second click follows once the list has taken the first, as a
    // user's does. Queued right behind it, it could meet the list still
    // deciding whether the first press began a drag, and one of the two would
    // be lost. Within the double-click time the two still make a double click.
    const POINT point = ItemPoint(item);
    ClickAt(point, 1);
    const HWND list = Control(IDC_FILE_LIST);
    WaitUntil([&] { return ::SendMessageA(list, LVM_GETITEMSTATE, item, LVIS_SELECTED) != 0; },
              std::chrono::milliseconds(::GetDoubleClickTime()));
    PressLeftButton(point, 1);
}

void ProgramRun::ClickEmptySpace() {
    const HWND list = Control(IDC_FILE_LIST);
    RECT client;
    ::GetClientRect(list, &client);
    POINT point = {client.right / 3, client.bottom - 10};
    ::ClientToScreen(list, &point);
    ClickAt(point, 1);
}

void ProgramRun::PressKey(WORD key, std::vector<WORD> modifiers) { PressKey(MainWindow(), key, std::move(modifiers)); }

void ProgramRun::PressKey(HWND window, WORD key, std::vector<WORD> modifiers) {
    Activate(window);
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers) inputs.push_back(Key(modifier, false));
    inputs.push_back(Key(key, false));
    inputs.push_back(Key(key, true));
    for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier)
        inputs.push_back(Key(*modifier, true));
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace uitest
