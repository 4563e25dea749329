// Runs the program's application object on a thread of its own, as the
// process's user-interface thread, and drives its windows from the test's
// thread the way a user does: clicks, keys, the close box, message boxes.
#pragma once

#include "platform/win32.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace uitest {

using namespace std::chrono_literals;

// Polls condition every few milliseconds until it holds or timeout passes.
// The timeout is generous: Wine on a busy machine can take seconds for what
// usually takes milliseconds, and a passing test never waits it out.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s);

std::string WindowText(HWND window);
std::string ClassName(HWND window);

// The main window as the hook saw it when its title was set.
struct TitleChange {
    std::string title;
    bool visible;
    bool closeGreyed;                  // the system menu's Close item
    bool moveGreyed;                   // the system menu's Move item
    std::vector<int> enabledControls;  // of Convert, Quit, Browse, Select All, View, the check box
};

class ProgramRun {
public:
    // Resets the process-wide values and starts the program in the current
    // directory. Does not wait for its window.
    ProgramRun();
    // Answers whatever is still open, closes the program and waits for it.
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    DWORD ThreadId() const { return threadId_; }
    bool Finished() const { return finished_; }
    // Waits for the program to end; true when it did.
    bool WaitForExit(std::chrono::milliseconds timeout = 30s);

    // The main window; waits for it while the program runs.
    HWND MainWindow();
    // Waits until the main window's title reads title; true when it did.
    bool WaitForTitle(const std::string& title);
    std::string Title();
    HWND Control(int id);
    bool Enabled(int id);
    std::vector<int> EnabledControls();

    // The list's cells of one column, top to bottom.
    std::vector<std::string> Column(int column);
    std::vector<int> SelectedItems();

    // Every title the main window was given, in order; the first is the
    // template's, as the window started.
    std::vector<TitleChange> TitleChanges() const;
    // Help commands (ID_HELP) that reached the main window.
    int HelpCommands() const;
    // viewPath as each image viewer found it when it was initialised.
    std::vector<std::string> ViewedPaths() const;

    // A visible top-level window of the program's thread other than the main
    // window, of the class, whose title is caption (any title when empty).
    HWND FindWindowOfThread(const char* className, const std::string& caption = "");
    HWND WaitForWindowOfThread(const char* className, const std::string& caption = "");
    // A message box: its text, and a button pressed.
    static std::string MessageText(HWND box);
    // What a message box shows, sorted: "Class: text" of each visible
    // control, and "an icon" if it has one.
    static std::vector<std::string> Shown(HWND box);
    static void Press(HWND dialog, int buttonId);

    // Button click, as a mouse click on it delivers it.
    void Click(int id);
    // Real mouse clicks at the middle of an item's first column, or below the
    // last item.
    void ClickItem(int item);
    void DoubleClickItem(int item);
    void ClickEmptySpace();
    // Real mouse clicks (times in a row: 2 is a double click) at a point of
    // the screen, with the main window or the given one in front.
    void ClickAt(POINT screen, int times);
    void ClickAt(HWND window, POINT screen, int times);
    // Real key presses to the main window or the given one; modifiers are
    // held around the key.
    void PressKey(WORD key, std::vector<WORD> modifiers = {});
    void PressKey(HWND window, WORD key, std::vector<WORD> modifiers = {});
    // Brings the main window, or the given one, to the front, so that it gets the keys.
    void Activate();
    void Activate(HWND window);

private:
    HWND FindMainWindow();
    // Presses and releases the left button times in a row where the pointer is.
    void PressLeftButton(POINT screen, int times);
    POINT ItemPoint(int item);

    std::thread thread_;
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> finished_{false};
    HWND mainWindow_ = nullptr;
};

}  // namespace uitest
