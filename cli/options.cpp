#include "cli/options.h"

#include <cstdio>
#include <cstring>

const char kUsage[] =
    "Usage: kelvane-convert [-C DIR] [-p PALETTE] [-q] [FILE.dc6 ...]\n"
    "       kelvane-convert --help | --version\n"
    "\n"
    "Converts DC6 sprite files into 8-bit PCX images in the sub-folder PCXFiles,\n"
    "exactly as Kelvane Converter's Convert does. With no FILE, converts every\n"
    "*.dc6 of the folder (letter case ignored), in name order; with FILEs, those\n"
    "files of the folder, in the order given.\n"
    "\n"
    "  -C DIR      work in DIR: the sprite files, PALETTE and PCXFiles are\n"
    "              taken relative to it\n"
    "  -p PALETTE  write with a palette file of exactly 768 bytes (blue, green,\n"
    "              red per entry) instead of the built-in palette\n"
    "  -q          no progress bar\n"
    "  --help      show this text\n"
    "  --version   show the version\n"
    "\n"
    "Notices about damaged files go to standard error, one line each:\n"
    "kelvane-convert: NAME: TEXT. The last line on standard output says how\n"
    "many PCX files were written.\n"
    "\n"
    "Exit status: 0 every file converted without a notice; 1 some notice was\n"
    "given or some file skipped; 2 usage error, refused palette, or DIR that\n"
    "cannot be entered.\n";

namespace {

bool Refuse(const char* what, const char* argument) {
    std::fprintf(stderr, "%s: %s '%s'\nTry '%s --help'.\n", kProgramName, what, argument, kProgramName);
    return false;
}

// Takes the value of -C or -p, attached ("-Cdir") or the next argument.
bool TakeValue(int argc, char** argv, int& i, std::optional<std::string>& value) {
    if (argv[i][2] != '\0') {
        value = argv[i] + 2;
        return true;
    }
    if (i + 1 >= argc) return Refuse("option needs a value:", argv[i]);
    value = argv[++i];
    return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (optionsEnded || argument[0] != '-' || argument[1] == '\0') {
            options.files.emplace_back(argument);
        } else if (std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            options.help = true;
        } else if (std::strcmp(argument, "--version") == 0) {
            options.version = true;
        } else if (std::strcmp(argument, "-q") == 0) {
            options.quiet = true;
        } else if (argument[1] == 'C') {
            if (!TakeValue(argc, argv, i, options.folder)) return false;
        } else if (argument[1] == 'p') {
            if (!TakeValue(argc, argv, i, options.palette)) return false;
        } else {
            return Refuse("unknown option", argument);
        }
    }
    return true;
}
