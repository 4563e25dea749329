// Stands in for the user at the core's message boxes: records every box and
// every message sent to a window, and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/seam.h"

namespace test {

class ScriptedMessageBoxes {
public:
    struct Box {
        HWND owner;
        std::string text;
        std::string caption;
        UINT style;
    };
    struct Sent {
        HWND window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    // Installs itself for its lifetime. Unscripted boxes are answered with
    // their first button (IDOK, or IDYES for a Yes/No box).
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes();
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    // The answers to the next boxes, in order.
    void Answer(int button) { answers_.push_back(button); }

    std::vector<std::string> Texts() const;

    std::vector<Box> boxes;
    std::vector<Sent> sent;

private:
    std::deque<int> answers_;
    platform::MessageBoxHandler previousBox_;
    platform::SendMessageHandler previousSend_;
};

}  // namespace test
