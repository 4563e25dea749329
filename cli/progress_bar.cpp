#include "cli/progress_bar.h"

#include <cstdio>

#include "cli/interruption.h"
#include "run/printable.h"
#include "platform/terminal.h"

namespace {

constexpr std::size_t kBarWidth = 24;

}  // namespace

ProgressBar::ProgressBar(bool enabled) : enabled_(enabled) {
    if (enabled_) columns_ = platform::TerminalColumns(stderr);
}

void ProgressBar::Show(std::size_t done, std::size_t total, const std::string& name) {
    if (!enabled_) return;
    const std::size_t filled = total == 0 ? kBarWidth : done * kBarWidth / total;
    std::string line = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " +
                       std::to_string(done) + "/" + std::to_string(total) + " " + Printable(name);
    // One column short of the width, so that the terminal never wraps the line.
    const std::size_t width = columns_ > 1 ? static_cast<std::size_t>(columns_ - 1) : 0;
    line.resize(width, ' ');
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
    SetProgressLineDrawn(true);
}

void ProgressBar::Clear() {
    if (!drawn_) return;
    const std::size_t width = columns_ > 1 ? static_cast<std::size_t>(columns_ - 1) : 0;
    std::fprintf(stderr, "\r%s\r", std::string(width, ' ').c_str());
    std::fflush(stderr);
    drawn_ = false;
    SetProgressLineDrawn(false);
}
