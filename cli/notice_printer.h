// The core's message boxes as lines on standard error.
//
// Nothing is ever asked: a Yes/No notice is answered Yes, so that notices keep
// coming for the rest of the run, and any other box OK.
#pragma once

#include <string>
#include <vector>

#include "notice/notice_collector.h"
#include "platform/seam.h"

class ProgressBar;

// "kelvane-convert: NAME: TEXT[: REASON]", where TEXT is text without its
// closing question ("Do you wish to receive further error notification?") and
// the line breaks and spaces at its end, REASON the system's reason when there
// is one; control bytes of the name (and of the path in TEXT) as \xNN.
std::string NoticeLine(const std::string& name, const char* text, const char* reason = nullptr);

class NoticePrinter {
public:
    // Installs itself as the core's message box handler (the conversion
    // gives its messages to collectors, but should any box still come, it
    // becomes a line too), and a handler that drops window messages (there is
    // no check box to tick), for its lifetime. The progress bar is erased
    // before each line.
    explicit NoticePrinter(ProgressBar& progress);
    ~NoticePrinter();
    NoticePrinter(const NoticePrinter&) = delete;
    NoticePrinter& operator=(const NoticePrinter&) = delete;

    // Prints what the core and the converter had to say about the file
    // name, in the order they said it. Remarks are printed but no notices.
    void Print(const std::string& name, const std::vector<Notice>& notices);

    // Notices printed so far.
    int count() const { return count_; }

private:
    void Line(const std::string& name, const char* text, const char* reason);

    ProgressBar& progress_;
    int count_ = 0;
    platform::MessageBoxHandler previousBox_;
    platform::SendMessageHandler previousSend_;
};
