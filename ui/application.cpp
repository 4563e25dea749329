#include "ui/application.h"

#include <cstdio>
#include <iterator>

#include "ui/program/current_palette.h"
#include "ui/program/error_notifier.h"
#include "ui/html_help.h"
#include "ui/main_window.h"

const Event<CWinApp> Application::events[] = {
    CommandEvent<&CWinApp::OnHelp>(ID_HELP),
};
const EventTable<CWinApp> Application::eventTable = {std::begin(events), std::end(events), &CWinApp::eventTable};

// Defined together, so that they are constructed in this order and destroyed
// in the reverse one.
Application application;
std::string folderPath;
std::string viewPath;

Application::Application() = default;

const EventTable<CWinApp>* Application::GetEventTable() const { return &eventTable; }

BOOL Application::InitInstance() {
    // The dialogs' three-dimensional look is the platform's own here: nothing
    // to switch on.
    char directory[MAX_PATH] = "";
    const DWORD length = ::GetCurrentDirectoryA(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH) directory[0] = '\0';
    char path[MAX_PATH + sizeof "\\Kelvane.chm"];
    std::snprintf(path, sizeof path, "%s\\Kelvane.chm", directory);
    helpPath = path;

    {
        MainWindow mainWindow;
        SetMainWnd(&mainWindow);
        // Quit, Escape and the close box end the run alike; Convert does not.
        mainWindow.DoModal();
    }
    return FALSE;
}

int Application::ExitInstance() {
    ReleasePalette();
    return CWinApp::ExitInstance();
}

void Application::WinHelp(DWORD_PTR, UINT) {
    if (help::HtmlHelpA(::GetDesktopWindow(), helpPath.c_str(), help::HH_DISPLAY_TOPIC, 0) != nullptr) return;
    const CWnd* mainWindow = GetMainWnd();
    HWND owner = mainWindow ? mainWindow->GetSafeHwnd() : nullptr;
    // While the image viewer runs modally, the main window is disabled; a box
    // it owned would enable it again when it ends, and View or Convert could
    // then start under the open viewer. The box goes to the viewer instead.
    if (owner != nullptr && !::IsWindowEnabled(owner)) owner = ::GetLastActivePopup(owner);
    ::MessageBoxA(owner, "ERROR: Can't Find Help File", kConverterCaption, MB_OK);
}
