// Runs the built kelvane-convert as a user's shell would: in the current
// directory, with real standard streams, and hands back what it wrote.
#pragma once

#include <cstdint>
#include <functional>
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

// Another program of the build (kelvane-pack), run the same way.
ConverterRun RunProgram(const char* program, const std::vector<std::string>& arguments);

// Standard error is a pipe.
ConverterRun RunConverterIntoPipe(const std::vector<std::string>& arguments);

// Standard error is a terminal of the given width.
ConverterRun RunConverterOnTerminal(const std::vector<std::string>& arguments, int columns);

// A run the test steers while it goes.
struct RunControl {
    std::uint64_t memoryLimit = 0;         // the address space allowed in bytes; 0: no limit
    std::function<bool()> interruptWhen;   // asked every few milliseconds; true sends SIGINT
    int secondsAllowed = 60;               // then the converter is killed and status is -2
    const char* standardOutput = nullptr;  // a file to open as standard output instead of catching it
    const char* program = nullptr;         // another program of the build (kelvane-pack); null: the converter
    std::vector<std::string> environment;  // more variables for it, as "NAME=value"
    std::function<void()> whenStopped;     // called whenever it stops itself (SIGSTOP); it goes on afterwards
    bool unprivileged = false;             // run as user nobody when the tests run as root
};

ConverterRun RunConverterControlled(const std::vector<std::string>& arguments, const RunControl& control);

// Whether a run with RunControl::unprivileged is one the file permissions
// bind: the tests run as a user other than root, or as root with a user
// nobody to become. False, with why not, otherwise.
bool UnprivilegedRunsPossible(std::string* why);

// Hands path and everything below it to the user an unprivileged run runs
// as (nothing to do when the tests run as that user already).
void GiveToUnprivileged(const std::string& path);

// True when the converter runs under a sanitizer or Valgrind, which need more
// address space than a memory limit leaves.
bool ConverterIsInstrumented();

}  // namespace test
