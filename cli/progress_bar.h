// The one-line progress bar on standard error: files done of the total and
// the name being converted, redrawn in place, erased at the end. It draws only
// on a terminal; in a pipe or a file it writes nothing at all.
#pragma once

#include <cstddef>
#include <string>

#include "run/run_progress.h"

class ProgressBar final : public RunProgress {
public:
    // enabled: standard error is a terminal (the run asks for no progress
    // at all when the user asks for quiet).
    explicit ProgressBar(bool enabled);

    // Redraws the line: done files of total finished, name in hand.
    void Show(std::size_t done, std::size_t total, const std::string& name) override;

    // Erases the line, if one is drawn, so that other output starts at the
    // left margin. The next Show draws it again.
    void Clear() override;

private:
    bool enabled_;
    bool drawn_ = false;
    int columns_ = 0;
};
