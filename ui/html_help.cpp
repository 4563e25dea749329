#include "ui/html_help.h"

namespace help {

HWND HtmlHelpA(HWND caller, const char* file, UINT command, DWORD_PTR data) {
    using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
    // Stays loaded once found; a failed load is tried again on the next request.
    static HMODULE control = nullptr;
    if (control == nullptr) control = ::LoadLibraryA("hhctrl.ocx");
    if (control == nullptr) return nullptr;
    const auto entry =
        reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(::GetProcAddress(control, "HtmlHelpA")));
    if (entry == nullptr) return nullptr;
    return entry(caller, file, command, data);
}

}  // namespace help
