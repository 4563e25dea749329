// Text from outside the program (file names) made safe for a terminal.
#pragma once

#include <string>

// text with every control byte (below 0x20, and 0x7F) written as \xNN, so
// that a name can neither move the cursor, rewrite the screen nor break a
// line in two.
std::string Printable(const std::string& text);
