// The core's message boxes as lines on standard error.
//
// Nothing is ever asked: a Yes/No notice is answered Yes, so that notices keep
// coming for the rest of the run, and any other box OK.
#pragma once

#include <string>

#include "platform/seam.h"

class ProgressBar;

// "kelvane-convert: NAME: TEXT[: REASON]", where TEXT is text without its
// closing question ("Do you wish to receive further error notification?") and
// the line breaks and spaces at its end, REASON the system's reason when there
// is one; control bytes of the name (and of the path in TEXT) as \xNN.
std::string NoticeLine(const std::string& name, const char* text, const char* reason = nullptr);

class NoticePrinter {
public:
    // Installs itself as the core's message box handler, and a handler that
    // drops window messages (there is no check box to tick), for its lifetime.
    // The progress bar is erased before each line.
    explicit NoticePrinter(ProgressBar& progress);
    ~NoticePrinter();
    NoticePrinter(const NoticePrinter&) = delete;
    NoticePrinter& operator=(const NoticePrinter&) = delete;

    // The sprite file that the following notices are about.
    void SetFile(const std::string& name) { file_ = name; }

    // Prints a notice of the converter's own about the current file.
    void Report(const char* text, const char* reason = nullptr);

    // Notices printed so far.
    int count() const { return count_; }

private:
    ProgressBar& progress_;
    std::string file_;
    int count_ = 0;
    platform::MessageBoxHandler previousBox_;
    platform::SendMessageHandler previousSend_;
};
