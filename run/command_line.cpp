#include "run/command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

const char* programName = "kelvane-convert";

bool RefuseCommandLine(const char* what, const char* argument) {
    std::fprintf(stderr, "%s: %s '%s'\nTry '%s --help'.\n", programName, what, argument, programName);
    return false;
}

bool IsLongOption(const char* argument, const char* name) {
    const std::size_t length = std::strlen(name);
    return std::strncmp(argument, name, length) == 0 && (argument[length] == '\0' || argument[length] == '=');
}

bool TakeOptionValue(int argc, char** argv, int& i, std::size_t nameLength, std::optional<std::string>& value) {
    const char* rest = argv[i] + nameLength;
    if (*rest == '=' && nameLength > 2) {
        value = rest + 1;
        return true;
    }
    if (*rest != '\0') {
        value = rest;
        return true;
    }
    if (i + 1 >= argc) return RefuseCommandLine("option needs a value:", argv[i]);
    value = argv[++i];
    return true;
}

bool StandardOutputWritten() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    std::fprintf(stderr, "%s: cannot write standard output: %s\n", programName, std::strerror(errno));
    return false;
}

int PrintAndEnd(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    return StandardOutputWritten() ? kExitClean : kExitNotices;
}
