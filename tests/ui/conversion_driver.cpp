#include "tests/ui/conversion_driver.h"

#include <cstdio>
#include <cstring>

#include "ui/program/error_notifier.h"
#include "res/resource.h"
#include "tests/support/temp_folder.h"

namespace uitest {
namespace {

constexpr char kProgressCaption[] = "Working...";

std::atomic<RunRecorder*> activeRecorder{nullptr};

bool IsProgressWindow(HWND window) {
    return window != nullptr && ::GetAncestor(window, GA_ROOT) == window && ClassName(window) == "#32770" &&
           WindowText(window) == kProgressCaption;
}

int Position(HWND bar) { return static_cast<int>(::SendMessageA(bar, PBM_GETPOS, 0, 0)); }

RECT FrameOf(HWND window) {
    RECT frame = {};
    ::GetWindowRect(window, &frame);
    return frame;
}

// Runs a command line and waits for it (a program of the host: only starts it).
void RunProcess(const char* application, std::string commandLine, const char* folder, HANDLE out) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    HANDLE nowhere = ::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    ::SetHandleInformation(nowhere, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nowhere;
    startup.hStdOutput = out != nullptr ? out : nowhere;
    startup.hStdError = nowhere;
    PROCESS_INFORMATION process = {};
    if (::CreateProcessA(application, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, folder,
                         &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, 60000);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    ::CloseHandle(nowhere);
}

// The Unix name of a Windows path, which the programs of the host want.
std::string UnixPath(const std::string& path) {
    using Convert = char*(CDECL*)(const WCHAR*);
    const auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) return "";
    std::wstring wide(path.size() + 1, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    char* unixName = convert(wide.c_str());
    if (unixName == nullptr) return "";
    std::string result = unixName;
    ::HeapFree(::GetProcessHeap(), 0, unixName);
    return result;
}

std::string IconOf(HWND box) {
    struct Search {
        HICON icon;
    } search = {nullptr};
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM parameter) -> BOOL {
            if (ClassName(child) != "Static" || (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
                return TRUE;
            if (!::IsWindowVisible(child)) return TRUE;
            reinterpret_cast<Search*>(parameter)->icon =
                reinterpret_cast<HICON>(::SendMessageA(child, STM_GETICON, 0, 0));
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.icon == nullptr) return "none";
    if (search.icon == ::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_QUESTION))) return "question";
    if (search.icon == ::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_INFORMATION))) return "information";
    return "other";
}

}  // namespace

RunRecorder::RunRecorder(const ProgramRun& program) {
    activeRecorder = this;
    sentHook_ = ::SetWindowsHookExA(WH_CALLWNDPROC, &RunRecorder::OnSent, nullptr, program.ThreadId());
    createHook_ = ::SetWindowsHookExA(WH_CBT, &RunRecorder::OnCreate, nullptr, program.ThreadId());
}

RunRecorder::~RunRecorder() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        pausing_ = false;
        resumed_ = true;
    }
    changed_.notify_all();
    if (sentHook_ != nullptr) ::UnhookWindowsHookEx(sentHook_);
    if (createHook_ != nullptr) ::UnhookWindowsHookEx(createHook_);
    activeRecorder = nullptr;
}

std::vector<ProgressRecord> RunRecorder::Runs() const {
    std::lock_guard<std::mutex> guard(lock_);
    return runs_;
}

void RunRecorder::PauseAtStatusChanges() {
    std::lock_guard<std::mutex> guard(lock_);
    pausing_ = true;
}

bool RunRecorder::WaitForPause(std::size_t index) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(30), [&] { return pausedAt_ == index && !resumed_; });
}

void RunRecorder::Resume(bool last) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        resumed_ = true;
        if (last) pausing_ = false;
    }
    changed_.notify_all();
}

LRESULT CALLBACK RunRecorder::OnSent(int code, WPARAM wParam, LPARAM lParam) {
    RunRecorder* recorder = activeRecorder;
    if (code == HC_ACTION && recorder != nullptr) recorder->Record(*reinterpret_cast<const CWPSTRUCT*>(lParam));
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK RunRecorder::OnCreate(int code, WPARAM wParam, LPARAM lParam) {
    RunRecorder* recorder = activeRecorder;
    if (code == HCBT_CREATEWND && recorder != nullptr && recorder->refuseProgressWindow_) {
        const char* name = reinterpret_cast<const CBT_CREATEWNDA*>(lParam)->lpcs->lpszName;
        const bool isText = name != nullptr && HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0;
        if (isText && std::strcmp(name, kProgressCaption) == 0) return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// On the program's thread: the window calls below are made there directly.
void RunRecorder::Record(const CWPSTRUCT& sent) {
    switch (sent.message) {
        case PBM_SETRANGE: {
            const HWND window = ::GetParent(sent.hwnd);
            if (!IsProgressWindow(window)) return;
            ProgressRecord run;
            run.window = window;
            run.owner = ::GetWindow(window, GW_OWNER);
            run.caption = WindowText(window);
            run.visible = ::IsWindowVisible(window) != FALSE;
            run.frame = FrameOf(window);
            run.barFrame = FrameOf(sent.hwnd);
            run.statusFrame = FrameOf(::GetDlgItem(window, IDC_STATUS_TEXT));
            run.mainFrame = FrameOf(run.owner);
            MONITORINFO screen = {};
            screen.cbSize = sizeof screen;
            ::GetMonitorInfoA(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &screen);
            run.workArea = screen.rcWork;
            run.mainEnabled = ::IsWindowEnabled(run.owner) != FALSE;
            run.waitCursor = ::GetCursor() == ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
            run.progressWindow = progressWindow;
            run.statusAtOpen = WindowText(::GetDlgItem(window, IDC_STATUS_TEXT));
            run.positionAtOpen = Position(sent.hwnd);
            run.rangeLow = static_cast<short>(LOWORD(sent.lParam));
            run.rangeHigh = static_cast<short>(HIWORD(sent.lParam));
            std::lock_guard<std::mutex> guard(lock_);
            runs_.push_back(run);
            return;
        }
        case PBM_SETSTEP:
        case PBM_STEPIT: {
            if (!IsProgressWindow(::GetParent(sent.hwnd))) return;
            std::lock_guard<std::mutex> guard(lock_);
            if (runs_.empty()) return;
            if (sent.message == PBM_SETSTEP)
                runs_.back().step = static_cast<int>(sent.wParam);
            else
                ++runs_.back().steps;
            return;
        }
        case WM_SETTEXT: {
            const HWND window = ::GetParent(sent.hwnd);
            if (::GetDlgCtrlID(sent.hwnd) != IDC_STATUS_TEXT || !IsProgressWindow(window)) return;
            const int position = Position(::GetDlgItem(window, IDC_PROGRESS_BAR));
            std::unique_lock<std::mutex> guard(lock_);
            if (runs_.empty()) return;
            runs_.back().statuses.push_back(reinterpret_cast<const char*>(sent.lParam));
            runs_.back().positionAtStatus.push_back(position);
            const std::size_t index = statusCount_++;
            if (!pausing_) return;
            pausedAt_ = index;
            resumed_ = false;
            changed_.notify_all();
            changed_.wait(guard, [this] { return resumed_; });
            return;
        }
        case WM_SHOWWINDOW:
        case WM_WINDOWPOSCHANGED: {
            const bool hides = sent.message == WM_SHOWWINDOW
                                   ? sent.wParam == FALSE
                                   : (reinterpret_cast<const WINDOWPOS*>(sent.lParam)->flags & SWP_HIDEWINDOW) != 0;
            if (!hides || !IsProgressWindow(sent.hwnd)) return;
            std::lock_guard<std::mutex> guard(lock_);
            if (!runs_.empty() && runs_.back().stepsWhenHidden < 0) runs_.back().stepsWhenHidden = runs_.back().steps;
            return;
        }
        case WM_DESTROY: {
            if (!IsProgressWindow(sent.hwnd)) return;
            const int position = Position(::GetDlgItem(sent.hwnd, IDC_PROGRESS_BAR));
            std::lock_guard<std::mutex> guard(lock_);
            if (runs_.empty()) return;
            runs_.back().closed = true;
            runs_.back().positionAtClose = position;
            runs_.back().progressWindowAtClose = progressWindow;
            return;
        }
        default:
            return;
    }
}

COLORREF Screen::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    return RGB(rgb[at], rgb[at + 1], rgb[at + 2]);
}

std::vector<COLORREF> Screen::Pixels(const RECT& area) const {
    std::vector<COLORREF> pixels;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) pixels.push_back(At(x, y));
    return pixels;
}

bool GrabScreen(Screen& screen, const std::string& name) {
    char folder[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, folder);
    const std::string file = std::string(folder) + "kelvane-screen-" + std::to_string(::GetCurrentProcessId()) + ".ppm";
    const std::string unixFile = UnixPath(file);
    if (unixFile.empty()) return false;
    ::DeleteFileA(file.c_str());
    // Wine does not wait for a program of the host, so the grab is renamed
    // into place once it is whole.
    std::string grab =
        "/usr/bin/import -window root -depth 8 ppm:" + unixFile + ".part && mv " + unixFile + ".part " + unixFile;
    char keep[MAX_PATH] = "";
    if (::GetEnvironmentVariableA("KELVANE_UI_SHOTS", keep, MAX_PATH) > 0)
        grab += " && /usr/bin/convert " + unixFile + " " + keep + "/" + name + ".png";
    RunProcess(nullptr, "/bin/sh -c \"" + grab + "\"", nullptr, nullptr);
    if (!WaitUntil([&] { return ::GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30s)) return false;

    const test::Bytes bytes = test::ReadFile(file);
    ::DeleteFileA(file.c_str());
    // P6, width, height, 255, one white-space byte, then RGB rows top first.
    int maximum = 0;
    int header = 0;
    if (std::sscanf(reinterpret_cast<const char*>(bytes.data()), "P6 %d %d %d%n", &screen.width, &screen.height,
                    &maximum, &header) != 3 ||
        maximum != 255)
        return false;
    const std::size_t size = static_cast<std::size_t>(screen.width) * screen.height * 3;
    if (bytes.size() < header + 1 + size) return false;
    screen.rgb.assign(bytes.begin() + header + 1, bytes.begin() + header + 1 + static_cast<std::ptrdiff_t>(size));
    return true;
}

MessageBoxSeen Answer(ProgramRun& program, int button, const std::function<void(const MessageBoxSeen&)>& whileOpen) {
    MessageBoxSeen seen;
    const HWND box = program.WaitForWindowOfThread("#32770", "Kelvane Converter");
    if (box == nullptr) return seen;
    seen.box = box;
    seen.owner = ::GetWindow(box, GW_OWNER);
    seen.caption = WindowText(box);
    seen.text = ProgramRun::MessageText(box);
    seen.icon = IconOf(box);
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO})
        if (::IsWindowVisible(::GetDlgItem(box, id))) seen.buttons.push_back(id);
    seen.ownerEnabled = ::IsWindowEnabled(seen.owner) != FALSE;
    if (whileOpen) whileOpen(seen);
    ProgramRun::Press(box, button);
    WaitUntil([&] { return !::IsWindow(box); });
    return seen;
}

std::string RunKelvaneConvert(const std::filesystem::path& folder, const std::vector<std::string>& arguments) {
    std::string commandLine = "kelvane-convert.exe";
    for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
    const std::string outFile = (folder.parent_path() / (folder.filename().string() + "-stdout.txt")).string();
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    const HANDLE out =
        ::CreateFileA(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr);
    RunProcess(KELVANE_CONVERT_EXE, commandLine, folder.string().c_str(), out);
    ::CloseHandle(out);
    const test::Bytes text = test::ReadFile(outFile);
    return std::string(text.begin(), text.end());
}

std::map<std::string, test::Bytes> FolderContents(const std::filesystem::path& folder) {
    std::map<std::string, test::Bytes> contents;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        contents[entry.path().filename().string()] = test::ReadFile(entry.path());
    return contents;
}

}  // namespace uitest
