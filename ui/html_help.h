// The HTML Help viewer, reached at run time: its control "hhctrl.ocx" is
// loaded on the first help request, so the program starts without it.
#pragma once

#include "platform/win32.h"

namespace help {

// Shows the default topic of a help file.
constexpr UINT HH_DISPLAY_TOPIC = 0x0000;

// HtmlHelpA of the HTML Help control: the viewer's window, or null when the
// control or its entry cannot be found, or the viewer fails.
HWND HtmlHelpA(HWND caller, const char* file, UINT command, DWORD_PTR data);

}  // namespace help
