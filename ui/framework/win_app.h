// CWinApp: the one application object of the process. It holds the main
// window reference and the wait cursor, runs the program (RunApplication),
// and ends the commands no window handles in its own command table: the help
// command ID_HELP goes to OnHelp there, which calls WinHelp.
#pragma once

#include "ui/framework/event_table.h"
#include "ui/framework/wnd.h"

// The standard help command, sent to the main window by F1.
constexpr UINT ID_HELP = 0xE146;

class CWinApp {
public:
    using EventTarget = CWinApp;

    // The application's title, which captions message boxes that name none,
    // is the program file's name without its extension (platform/application_title.h).
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The application object of the process, once constructed.
    static CWinApp* Current() { return current_; }

    // Overrides.
    // The program's start-up; false skips the application's message loop.
    virtual BOOL InitInstance() { return FALSE; }
    // The program's exit step; its result is the process's exit status.
    virtual int ExitInstance() { return 0; }
    // Shows help; the framework's help handler calls it with a context value
    // and a command code.
    virtual void WinHelp(DWORD_PTR data, UINT command);

    CWnd* GetMainWnd() const { return mainWindow_; }
    void SetMainWnd(CWnd* window) { mainWindow_ = window; }

    // The wait cursor: shown from the first Begin until the last End, then
    // the cursor it replaced comes back.
    void BeginWaitCursor();
    void EndWaitCursor();

    // Handles a command through the command table; false when none takes it.
    bool OnCmdMsg(UINT id, UINT code);

    // The framework's standard help handler: WinHelp(0, HELP_CONTEXT).
    void OnHelp();

protected:
    virtual const EventTable<CWinApp>* GetEventTable() const;
    static const EventTable<CWinApp> eventTable;

private:
    static CWinApp* current_;
    CWnd* mainWindow_ = nullptr;
    int waitCursorCount_ = 0;
    HCURSOR cursorBeforeWait_ = nullptr;
};

// The process's run of app: the common controls and COM for this thread,
// InitInstance, the message loop if it asks for one, and ExitInstance, whose
// result it returns.
int RunApplication(CWinApp& app);
