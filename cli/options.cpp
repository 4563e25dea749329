#include "cli/options.h"

#include <cstdio>
#include <cstring>

const char kUsage[] =
    "Usage: kelvane-convert [-C DIR] [-o DIR] [-f pcx|png] [--json] [--sheet]\n"
    "                       [--no-transparency] [-p PALETTE] [--export-palette FILE]\n"
    "                       [-q] [FILE.dc6 ...]\n"
    "       kelvane-convert --help | --version\n"
    "\n"
    "Converts DC6 sprite files into images. By default it writes 8-bit PCX files\n"
    "into the sub-folder PCXFiles, exactly as Kelvane Converter's Convert does.\n"
    "With no FILE, converts every *.dc6 of the folder (letter case ignored), in\n"
    "name order; with FILEs, those files of the folder, in the order given.\n"
    "\n"
    "  -C DIR               work in DIR: the sprite files, PALETTE and the output\n"
    "                       folder are taken relative to it\n"
    "  -o, --output DIR     write the images into DIR (default PCXFiles), created\n"
    "                       when missing\n"
    "  -f, --format FORMAT  pcx (default) or png: indexed 8-bit PNG with the whole\n"
    "                       256-colour palette in order and transparent pixels\n"
    "                       marked (RGBA when an image uses all 256 indices)\n"
    "  --json               write NAME.json beside the images: a frame manifest\n"
    "                       (frame rectangles, offsets, header fields, terminator)\n"
    "  --sheet              all images of a sprite in one picture, left to right\n"
    "  --no-transparency    PNG: the indices exactly as the PCX file has them\n"
    "  -p PALETTE           write with a palette file instead of the built-in one:\n"
    "                       768 bytes (blue, green, red per entry), JASC-PAL, RIFF\n"
    "                       PAL, GIMP .gpl or Photoshop .act\n"
    "  --export-palette FILE  write the run's palette as FILE.gpl, FILE.pal\n"
    "                       (JASC-PAL) or FILE.act, for an editor\n"
    "  -q                   no progress bar\n"
    "  --help               show this text\n"
    "  --version            show the version\n"
    "\n"
    "Notices about damaged files go to standard error, one line each:\n"
    "kelvane-convert: NAME: TEXT. The last line on standard output says how\n"
    "many images were written.\n"
    "\n"
    "Exit status: 0 every file converted without a notice; 1 some notice was\n"
    "given or some file skipped; 2 usage error, refused palette, or DIR that\n"
    "cannot be entered; 128 + N when ended by signal N (the image in hand is\n"
    "dropped, the images before it stay whole).\n";

namespace {

bool Refuse(const char* what, const char* argument) {
    std::fprintf(stderr, "%s: %s '%s'\nTry '%s --help'.\n", programName, what, argument, programName);
    return false;
}

// Takes the value of a short option, attached ("-Cdir") or the next argument.
bool TakeValue(int argc, char** argv, int& i, std::optional<std::string>& value) {
    if (argv[i][2] != '\0') {
        value = argv[i] + 2;
        return true;
    }
    if (i + 1 >= argc) return Refuse("option needs a value:", argv[i]);
    value = argv[++i];
    return true;
}

// Takes the value of a long option, "--name=value" or "--name value"; false
// when argument is not that option. refused: the value is missing.
bool TakeLongValue(int argc, char** argv, int& i, const char* name, std::optional<std::string>& value,
                   bool& refused) {
    const std::size_t length = std::strlen(name);
    if (std::strncmp(argv[i], name, length) != 0) return false;
    if (argv[i][length] == '=') {
        value = argv[i] + length + 1;
        return true;
    }
    if (argv[i][length] != '\0') return false;
    if (i + 1 >= argc) {
        refused = !Refuse("option needs a value:", argv[i]);
        return true;
    }
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
        } else if (std::strcmp(argument, "--json") == 0) {
            options.manifest = true;
        } else if (std::strcmp(argument, "--sheet") == 0) {
            options.sheet = true;
        } else if (std::strcmp(argument, "--no-transparency") == 0) {
            options.noTransparency = true;
        } else if (bool refused = false; TakeLongValue(argc, argv, i, "--output", options.output, refused) ||
                                         TakeLongValue(argc, argv, i, "--format", options.format, refused) ||
                                         TakeLongValue(argc, argv, i, "--export-palette", options.exportPalette,
                                                       refused)) {
            if (refused) return false;
        } else if (argument[1] == 'o') {
            if (!TakeValue(argc, argv, i, options.output)) return false;
        } else if (argument[1] == 'f') {
            if (!TakeValue(argc, argv, i, options.format)) return false;
        } else if (argument[1] == 'C') {
            if (!TakeValue(argc, argv, i, options.folder)) return false;
        } else if (argument[1] == 'p') {
            if (!TakeValue(argc, argv, i, options.palette)) return false;
        } else {
            return Refuse("unknown option", argument);
        }
    }
    if (options.format && *options.format != "pcx" && *options.format != "png")
        return Refuse("unknown format (pcx or png):", options.format->c_str());
    if (options.output && options.output->empty()) return Refuse("empty output folder", "");
    return true;
}
