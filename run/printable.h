// Text from outside the program (file names) made safe for a terminal.
#pragma once

#include <string>

// text with every byte a terminal could take as a command written as \xNN:
// the C0 controls (below 0x20), DEL, the C1 controls U+0080 to U+009F (in
// UTF-8 C2 80 to C2 9F, both bytes), and every byte that is not part of a
// well-formed UTF-8 character (a lone 0x9B is CSI to many terminals). A name
// can then neither move the cursor, rewrite the screen nor break a line in
// two; other UTF-8 text ("Ж") stays as it is.
std::string Printable(const std::string& text);
