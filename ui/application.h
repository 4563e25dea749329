// The application object: starts the program by running the main window
// modally, releases a custom palette at exit, and opens the help file
// "Kelvane.chm" of the start-up directory for every help request.
#pragma once

#include <string>

#include "ui/framework/win_app.h"

class Application : public CWinApp {
public:
    Application();

    // Overrides.
    // Fixes helpPath, runs the main window modally; always false.
    BOOL InitInstance() override;
    // Releases a custom palette; returns the framework's exit status.
    int ExitInstance() override;
    // Opens helpPath in the HTML Help viewer, or says the file can't be found.
    // Both arguments are ignored: there is one help file and one topic.
    void WinHelp(DWORD_PTR data, UINT command) override;

    // The help file: "Kelvane.chm" in the directory current at start-up.
    std::string helpPath;

protected:
    const EventTable<CWinApp>* GetEventTable() const override;

private:
    static const Event<CWinApp> events[];
    static const EventTable<CWinApp> eventTable;
};

// The process-wide objects, constructed in this order before start-up.
extern Application application;
// The folder last chosen with Browse.
extern std::string folderPath;
// The PCX file the image viewer opens.
extern std::string viewPath;
