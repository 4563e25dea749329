// Runs the built kelvane-convert as a user's shell would: in the current
// directory, with real standard streams, and hands back what it wrote.
#pragma once

#include <string>
#include <vector>

namespace test {

struct ConverterRun {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error
};

// Standard output and standard error go to files outside the current directory.
ConverterRun RunConverter(const std::vector<std::string>& arguments);

// Standard error is a pipe.
ConverterRun RunConverterIntoPipe(const std::vector<std::string>& arguments);

// Standard error is a terminal of the given width.
ConverterRun RunConverterOnTerminal(const std::vector<std::string>& arguments, int columns);

}  // namespace test
