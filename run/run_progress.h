// How a front end shows a run's progress while its files are converted: the
// command line draws a bar on a terminal, the page shows nothing. The run
// calls it from the thread that started it only.
#pragma once

#include <cstddef>
#include <string>

class RunProgress {
public:
    virtual ~RunProgress() = default;

    // done files of total finished, name in hand.
    virtual void Show(std::size_t done, std::size_t total, const std::string& name) = 0;

    // Whatever Show drew is taken away, so that a notice line or the run's
    // last line starts at the left margin. The next Show draws it again.
    virtual void Clear() = 0;
};
