#include "run/notice_printer.h"

#include <cstdio>

#include "run/options.h"
#include "run/printable.h"
#include "run/run_progress.h"

std::string NoticeLine(const std::string& name, const char* text, const char* reason) {
    std::string body(text);
    if (reason != nullptr && *reason != '\0') body = body + ": " + reason;
    return std::string(programName) + ": " + Printable(name) + ": " + Printable(body);
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
