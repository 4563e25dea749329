// What the UI tests of a conversion run need beside the program driver: a
// record of the progress window taken on the program's own thread (where the
// run sends its messages), pauses of the run at each status change, the
// screen as the X display shows it, the message boxes of the run, and
// kelvane-convert.exe for the same folder.
#pragma once

#include "platform/win32.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/dc6_builder.h"
#include "tests/ui/program_driver.h"

namespace uitest {

// The progress window of one run, as the program's thread saw it.
struct ProgressRecord {
    // When the run set the bar's range, right after creating the window.
    HWND window = nullptr;
    HWND owner = nullptr;
    std::string caption;
    bool visible = false;
    RECT frame = {};  // screen coordinates
    RECT barFrame = {};
    RECT statusFrame = {};
    RECT mainFrame = {};
    RECT workArea = {};
    bool mainEnabled = true;
    bool waitCursor = false;
    HWND progressWindow = nullptr;  // the process-wide value
    std::string statusAtOpen;
    int positionAtOpen = -1;
    int rangeLow = -1;
    int rangeHigh = -1;
    int step = 0;

    // Each text of the status line, and the bar's position when it was set.
    std::vector<std::string> statuses;
    std::vector<int> positionAtStatus;
    int steps = 0;

    // The bar's steps when the window was first hidden, or -1.
    int stepsWhenHidden = -1;

    // When the window was destroyed.
    bool closed = false;
    int positionAtClose = -1;
    HWND progressWindowAtClose = nullptr;
};

// Watches the program's thread from the moment it is made until it goes.
class RunRecorder {
public:
    explicit RunRecorder(const ProgramRun& program);
    ~RunRecorder();
    RunRecorder(const RunRecorder&) = delete;
    RunRecorder& operator=(const RunRecorder&) = delete;

    // One record per progress window, in order.
    std::vector<ProgressRecord> Runs() const;

    // From now on, the program's thread stops each time the run sets the
    // status line, before the line takes the text: everything the run did
    // before is on screen then, if it ever is.
    void PauseAtStatusChanges();
    // Waits until the run stops at its status change number index (0: the
    // first file); true when it did.
    bool WaitForPause(std::size_t index);
    // Lets the run go on to its next pause; with last, for good.
    void Resume(bool last = false);

    // Makes the creation of any "Working..." window fail.
    void RefuseProgressWindow() { refuseProgressWindow_ = true; }

private:
    static LRESULT CALLBACK OnSent(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK OnCreate(int code, WPARAM wParam, LPARAM lParam);
    void Record(const CWPSTRUCT& sent);

    HHOOK sentHook_ = nullptr;
    HHOOK createHook_ = nullptr;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<ProgressRecord> runs_;
    bool pausing_ = false;
    std::size_t pausedAt_ = SIZE_MAX;
    bool resumed_ = false;
    std::size_t statusCount_ = 0;
    std::atomic<bool> refuseProgressWindow_{false};
};

// The whole screen, read from the X display with ImageMagick's import.
struct Screen {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    COLORREF At(int x, int y) const;
    // The pixels of a rectangle, row by row.
    std::vector<COLORREF> Pixels(const RECT& area) const;
};

// Grabs the screen; name ("mid-run-1") also keeps it as NAME.png in the folder
// that $KELVANE_UI_SHOTS names, when it is set. False when import failed.
bool GrabScreen(Screen& screen, const std::string& name);

// A message box as the user sees it.
struct MessageBoxSeen {
    HWND box = nullptr;
    HWND owner = nullptr;
    std::string caption;
    std::string text;
    std::string icon;          // "question", "information", "none" or "other"
    std::vector<int> buttons;  // ids of its buttons, in id order
    bool ownerEnabled = true;
};

// Waits for a message box captioned "Kelvane Converter", reads it, calls
// whileOpen, presses button and waits until it is gone. A box that never came
// has no handle.
MessageBoxSeen Answer(ProgramRun& program, int button,
                      const std::function<void(const MessageBoxSeen&)>& whileOpen = {});

// kelvane-convert.exe run in folder with arguments: its standard output.
std::string RunKelvaneConvert(const std::filesystem::path& folder, const std::vector<std::string>& arguments);

// Every file of a folder and its bytes; empty when there is no folder.
std::map<std::string, test::Bytes> FolderContents(const std::filesystem::path& folder);

}  // namespace uitest
