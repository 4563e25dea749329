// Event tables: the static list of events a class handles and the member
// function each one goes to, searched from the most derived class to its base.
//
// A class lists its events at the top of its .cpp, one line each:
//
//     const Event<CDialog> MainWindow::events[] = {
//         MessageEvent<&MainWindow::OnPaint>(WM_PAINT),
//         CommandEvent<&MainWindow::OnBrowse>(IDC_BROWSE),
//         NotifyEvent<&MainWindow::OnListClick>(IDC_FILE_LIST, NM_CLICK),
//     };
//
// Handlers take one of three forms: no arguments (its result, if any, becomes
// the message's result), a notification's header and result slot, or the
// message's wParam and lParam with a result.
#pragma once

#include <type_traits>

#include "platform/win32.h"

template <class Target>
struct Event {
    UINT message;  // WM_COMMAND, WM_NOTIFY or any other window message
    UINT code;     // the notification code of a command or notification
    UINT id;       // the command or control id of a command or notification
    LRESULT (*call)(Target& target, WPARAM wParam, LPARAM lParam);
};

template <class Target>
struct EventTable {
    const Event<Target>* first;
    const Event<Target>* last;
    const EventTable* base;  // the base class's table, or none

    // The first entry of this table or of its bases that takes the message.
    const Event<Target>* Find(UINT message, WPARAM wParam, LPARAM lParam) const {
        for (const EventTable* table = this; table != nullptr; table = table->base) {
            for (const Event<Target>* event = table->first; event != table->last; ++event) {
                if (event->message != message) continue;
                if (message == WM_COMMAND) {
                    if (event->id == LOWORD(wParam) && event->code == HIWORD(wParam)) return event;
                } else if (message == WM_NOTIFY) {
                    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
                    if (event->id == header->idFrom && event->code == header->code) return event;
                } else {
                    return event;
                }
            }
        }
        return nullptr;
    }
};

namespace event_detail {

template <class C, class R, class... A>
C ClassOf(R (C::*)(A...));

template <auto handler>
using HandlerClass = decltype(ClassOf(handler));

template <class Target, auto handler>
LRESULT Invoke(Target& target, WPARAM wParam, LPARAM lParam) {
    auto& self = static_cast<HandlerClass<handler>&>(target);
    using Handler = decltype(handler);
    if constexpr (std::is_invocable_v<Handler, decltype(self)>) {
        (void)wParam, (void)lParam;
        using Result = std::invoke_result_t<Handler, decltype(self)>;
        if constexpr (std::is_void_v<Result>) {
            (self.*handler)();
            return 0;
        } else {
            return (LRESULT)(self.*handler)();
        }
    } else if constexpr (std::is_invocable_v<Handler, decltype(self), NMHDR*, LRESULT*>) {
        (void)wParam;
        LRESULT result = 0;
        (self.*handler)(reinterpret_cast<NMHDR*>(lParam), &result);
        return result;
    } else {
        return (self.*handler)(wParam, lParam);
    }
}

// The class whose table the handler's class belongs to: CDialog or CWinApp.
template <auto handler>
using TargetOf = typename HandlerClass<handler>::EventTarget;

}  // namespace event_detail

// Any window message, whatever its parameters.
template <auto handler>
constexpr Event<event_detail::TargetOf<handler>> MessageEvent(UINT message) {
    return {message, 0, 0, &event_detail::Invoke<event_detail::TargetOf<handler>, handler>};
}

// A command: a button's click (BN_CLICKED, the default), a menu item or an
// accelerator, from the control or command id.
template <auto handler>
constexpr Event<event_detail::TargetOf<handler>> CommandEvent(UINT id, UINT code = BN_CLICKED) {
    return {WM_COMMAND, code, id, &event_detail::Invoke<event_detail::TargetOf<handler>, handler>};
}

// A WM_NOTIFY notification of a common control.
template <auto handler>
constexpr Event<event_detail::TargetOf<handler>> NotifyEvent(UINT id, UINT code) {
    return {WM_NOTIFY, code, id, &event_detail::Invoke<event_detail::TargetOf<handler>, handler>};
}
