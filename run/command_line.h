// What the command-line programs share: their name in messages, their exit
// statuses, how they read option values, refuse a command line, and end.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The program's name in its messages: "kelvane-convert" unless its main
// sets another before anything is printed.
extern const char* programName;

// Exit statuses.
inline constexpr int kExitClean = 0;    // done without a notice
inline constexpr int kExitNotices = 1;  // done, but a notice was given or something skipped
inline constexpr int kExitRefused = 2;  // usage error or refusal: nothing was written

// Says "PROGRAM: what 'argument'" and how to get help on standard error;
// returns false, for the parser to hand on.
bool RefuseCommandLine(const char* what, const char* argument);

// True when argument is the long option name, alone or as "name=value".
bool IsLongOption(const char* argument, const char* name);

// Takes the value of the option at argv[i], whose name is nameLength bytes
// ("-C" 2, "--output" 8): attached ("-Cdir", "--output=dir") or the next
// argument, which i then moves past. False after refusing a missing value.
bool TakeOptionValue(int argc, char** argv, int& i, std::size_t nameLength, std::optional<std::string>& value);

// Flushes standard output; false, after saying so on standard error, when
// what was printed there could not all be written (a full disk, a closed pipe).
bool StandardOutputWritten();

// Prints text (the usage, the version) on standard output and returns the
// exit status: clean, or notices when it could not be written.
int PrintAndEnd(const std::string& text);
