// The two Win32 calls of the portable core, behind a replaceable handler.
//
// The core shows its messages with platform::MessageBoxA and ticks the errors
// check box with platform::SendMessageA. By default these are the real calls on
// Windows; elsewhere the message box prints to standard error and answers with
// the box's first button, and the message goes nowhere. Tests install scripted
// handlers, and the command-line converter one that reports notices as lines.
#pragma once

#include <functional>

#include "platform/win32.h"

namespace platform {

using MessageBoxHandler = std::function<int(HWND owner, const char* text, const char* caption, UINT style)>;
using SendMessageHandler = std::function<LRESULT(HWND window, UINT message, WPARAM wParam, LPARAM lParam)>;

// Install a handler; an empty one restores the default. Returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
SendMessageHandler SetSendMessageHandler(SendMessageHandler handler);

// Shows a modal message box through the installed handler; returns the button
// pressed (IDOK, IDYES, IDNO, ...), or 0 when no box could be shown.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT style);

// Sends a window message through the installed handler.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace platform
