#include "cli/notice_printer.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "cli/options.h"
#include "cli/printable.h"
#include "cli/progress_bar.h"
#include "notice/diagnostics.h"

namespace {

bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

}  // namespace

std::string NoticeLine(const std::string& name, const char* text, const char* reason) {
    // A batch run asks nothing, so the line leaves the closing question out.
    std::string body(text);
    const std::size_t question = std::strlen(kFurtherNotices);
    if (body.size() >= question && body.compare(body.size() - question, question, kFurtherNotices) == 0)
        body.erase(body.size() - question);
    // Our texts break lines only before their question and at their end.
    while (!body.empty() && (IsLineBreak(body.back()) || body.back() == ' ')) body.pop_back();
    if (reason != nullptr && *reason != '\0') body = body + ": " + reason;
    return std::string(programName) + ": " + Printable(name) + ": " + Printable(body);
}

NoticePrinter::NoticePrinter(ProgressBar& progress) : progress_(progress) {
    previousBox_ = platform::SetMessageBoxHandler([this](HWND, const char* text, const char*, UINT style) {
        Line("", text != nullptr ? text : "", nullptr);
        ++count_;
        return (style & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    });
    previousSend_ = platform::SetSendMessageHandler([](HWND, UINT, WPARAM, LPARAM) { return LRESULT{0}; });
}

NoticePrinter::~NoticePrinter() {
    platform::SetMessageBoxHandler(std::move(previousBox_));
    platform::SetSendMessageHandler(std::move(previousSend_));
}

void NoticePrinter::Print(const std::string& name, const std::vector<Notice>& notices) {
    for (const Notice& notice : notices) {
        Line(name, notice.text.c_str(), notice.reason.c_str());
        if (notice.kind != Notice::Kind::Remark) ++count_;
    }
}

void NoticePrinter::Line(const std::string& name, const char* text, const char* reason) {
    progress_.Clear();
    std::fprintf(stderr, "%s\n", NoticeLine(name, text, reason).c_str());
    std::fflush(stderr);
}
