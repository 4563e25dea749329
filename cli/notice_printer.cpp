#include "cli/notice_printer.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "cli/options.h"
#include "cli/progress_bar.h"

namespace {

// The question that closes the core's suppressible notices. A batch run asks
// nothing, so the line leaves it out.
constexpr char kFurtherNotices[] = "Do you wish to receive further error notification?";

bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

}  // namespace

std::string NoticeLine(const std::string& name, const char* text) {
    std::string body(text);
    const std::size_t question = std::strlen(kFurtherNotices);
    if (body.size() >= question && body.compare(body.size() - question, question, kFurtherNotices) == 0)
        body.erase(body.size() - question);

    std::string folded;
    bool pendingBreak = false;
    for (char c : body) {
        if (IsLineBreak(c)) {
            pendingBreak = true;
            continue;
        }
        if (pendingBreak && !folded.empty()) folded += ' ';
        pendingBreak = false;
        folded += c;
    }
    while (!folded.empty() && folded.back() == ' ') folded.pop_back();
    return std::string(kProgramName) + ": " + name + ": " + folded;
}

NoticePrinter::NoticePrinter(ProgressBar& progress) : progress_(progress) {
    previousBox_ = platform::SetMessageBoxHandler([this](HWND, const char* text, const char*, UINT style) {
        Report(text != nullptr ? text : "");
        return (style & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    });
    previousSend_ = platform::SetSendMessageHandler([](HWND, UINT, WPARAM, LPARAM) { return LRESULT{0}; });
}

NoticePrinter::~NoticePrinter() {
    platform::SetMessageBoxHandler(std::move(previousBox_));
    platform::SetSendMessageHandler(std::move(previousSend_));
}

void NoticePrinter::Report(const char* text) {
    progress_.Clear();
    std::fprintf(stderr, "%s\n", NoticeLine(file_, text).c_str());
    std::fflush(stderr);
    ++count_;
}
