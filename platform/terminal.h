// Whether a standard stream is a terminal, and how wide that terminal is.
#pragma once

#include <cstdio>

namespace platform {

// True when stream writes to a terminal (a console on Windows), not to a
// pipe or a file.
bool IsTerminal(std::FILE* stream);

// Columns of the terminal behind stream, or 80 when that cannot be told.
int TerminalColumns(std::FILE* stream);

}  // namespace platform
