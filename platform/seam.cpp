#include "platform/seam.h"

#include <cstdio>
#include <utility>

namespace platform {
namespace {

int DefaultMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
#ifdef _WIN32
    return ::MessageBoxA(owner, text, caption, style);
#else
    (void)owner;
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    return (style & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
#endif
}

LRESULT DefaultSendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
#ifdef _WIN32
    return ::SendMessageA(window, message, wParam, lParam);
#else
    (void)window, (void)message, (void)wParam, (void)lParam;
    return 0;
#endif
}

MessageBoxHandler& messageBoxHandler() {
    static MessageBoxHandler handler;
    return handler;
}

SendMessageHandler& sendMessageHandler() {
    static SendMessageHandler handler;
    return handler;
}

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(messageBoxHandler(), std::move(handler));
}

SendMessageHandler SetSendMessageHandler(SendMessageHandler handler) {
    return std::exchange(sendMessageHandler(), std::move(handler));
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT style) {
    const MessageBoxHandler& handler = messageBoxHandler();
    return handler ? handler(owner, text, caption, style) : DefaultMessageBox(owner, text, caption, style);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const SendMessageHandler& handler = sendMessageHandler();
    return handler ? handler(window, message, wParam, lParam) : DefaultSendMessage(window, message, wParam, lParam);
}

}  // namespace platform
