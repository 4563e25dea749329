#include "tests/support/scripted_message_boxes.h"

namespace test {

ScriptedMessageBoxes::ScriptedMessageBoxes() {
    previousBox_ =
        platform::SetMessageBoxHandler([this](HWND owner, const char* text, const char* caption, UINT style) {
            boxes.push_back({owner, text ? text : "", caption ? caption : "", style});
            if (!answers_.empty()) {
                const int answer = answers_.front();
                answers_.pop_front();
                return answer;
            }
            return (style & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
        });
    previousSend_ = platform::SetSendMessageHandler([this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        sent.push_back({window, message, wParam, lParam});
        return LRESULT{0};
    });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() {
    platform::SetMessageBoxHandler(std::move(previousBox_));
    platform::SetSendMessageHandler(std::move(previousSend_));
}

std::vector<std::string> ScriptedMessageBoxes::Texts() const {
    std::vector<std::string> texts;
    for (const Box& box : boxes) texts.push_back(box.text);
    return texts;
}

}  // namespace test
