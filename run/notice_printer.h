// The notices of a run as lines on standard error. Nothing is ever asked:
// notices keep coming for the rest of the run.
#pragma once

#include <string>
#include <vector>

#include "notice/notice_collector.h"

class RunProgress;

// "kelvane-convert: NAME: TEXT[: REASON]", REASON the system's reason when
// there is one; control bytes of the name (and of the path in TEXT) as \xNN.
std::string NoticeLine(const std::string& name, const char* text, const char* reason = nullptr);

class NoticePrinter {
public:
    // The progress shown is taken away before each line.
    explicit NoticePrinter(RunProgress& progress) : progress_(progress) {}

    // Prints what the core and the converter had to say about the file
    // name, in the order they said it. Remarks are printed but no notices.
    void Print(const std::string& name, const std::vector<Notice>& notices);

    // Notices printed so far.
    int count() const { return count_; }

private:
    void Line(const std::string& name, const char* text, const char* reason);

    RunProgress& progress_;
    int count_ = 0;
};
