#include "run/options.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

const char kUsage[] =
    "Usage: kelvane-convert [-C DIR] [-o DIR] [-f pcx|png] [--json] [--sheet]\n"
    "                       [--no-transparency] [-p PALETTE] [--export-palette FILE]\n"
    "                       [--anim apng|gif] [--fps FPS] [-j N] [-r] [-q]\n"
    "                       [FILE.dc6 ...]\n"
    "       kelvane-convert --help | --version\n"
    "\n"
    "Converts DC6 sprite files into images. By default it writes 8-bit PCX files\n"
    "into the sub-folder PCXFiles, exactly as Kelvane Converter's Convert does.\n"
    "With no FILE, converts every *.dc6 of the folder (letter case ignored), in\n"
    "name order; with FILEs, those files of the folder, in the order given;\n"
    "with -r, every *.dc6 of the folder's tree, folder by folder.\n"
    "\n"
    "  -C DIR               work in DIR: the sprite files, PALETTE and the output\n"
    "                       folder are taken relative to it\n"
    "  -o, --output DIR     write the images into DIR (default PCXFiles), created\n"
    "                       when missing; a PCXFiles that is a link is refused\n"
    "  -f, --format FORMAT  pcx (default) or png: indexed 8-bit PNG with the whole\n"
    "                       256-colour palette in order and transparent pixels\n"
    "                       marked (RGBA when an image uses all 256 indices\n"
    "                       and has transparent pixels)\n"
    "  --json               write NAME.json beside the images: a frame manifest\n"
    "                       (frame rectangles, offsets, header fields, terminator)\n"
    "  --sheet              all images of a sprite in one picture, left to right\n"
    "  --no-transparency    PNG: the indices exactly as the PCX file has them\n"
    "  -p PALETTE           write with a palette file instead of the built-in one:\n"
    "                       768 bytes (blue, green, red per entry), JASC-PAL, RIFF\n"
    "                       PAL, GIMP .gpl or Photoshop .act\n"
    "  --export-palette FILE  write the run's palette as FILE.gpl, FILE.pal\n"
    "                       (JASC-PAL) or FILE.act, for an editor\n"
    "  --anim FORMAT        apng or gif: NAME.apng or NAME.gif beside the frames of\n"
    "                       a sprite whose frames have offsets, each frame placed\n"
    "                       by its offsets on one canvas, looping forever\n"
    "  --fps FPS            animation frames a second, 1 to 100 (default 10)\n"
    "  -j, --jobs N         convert N files at a time (default: one per\n"
    "                       processor); the output is that of -j 1\n"
    "  -r, --recursive      every *.dc6 of the folder's tree: each folder's images\n"
    "                       into its own PCXFiles, or mirrored below -o DIR\n"
    "  -q                   no progress bar\n"
    "  --help               show this text\n"
    "  --version            show the version\n"
    "\n"
    "Notices about damaged files go to standard error, one line each:\n"
    "kelvane-convert: NAME: TEXT. The last line on standard output says how\n"
    "many images were written.\n"
    "\n"
    "The images and manifest of -f png --json pack back into a sprite with\n"
    "kelvane-pack (kelvane-pack --help).\n"
    "\n"
    "Exit status: 0 every file converted without a notice; 1 some notice was\n"
    "given or some file skipped; 2 usage error, refused palette, a folder that\n"
    "cannot be entered or written into, or an export over a file the run reads\n"
    "(then nothing is written); 128 + N when ended by signal N (the images in\n"
    "hand are dropped, the images finished before stay whole).\n";

namespace {

// A whole number first..last, written in plain decimal digits.
bool WholeNumber(const std::string& text, long first, long last, long* value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *value = std::stol(text);
    return *value >= first && *value <= last;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options) {
    std::optional<std::string> jobs, fps;
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
        } else if (std::strcmp(argument, "-r") == 0 || std::strcmp(argument, "--recursive") == 0) {
            options.recursive = true;
        } else if (IsLongOption(argument, "--jobs")) {
            if (!TakeOptionValue(argc, argv, i, 6, jobs)) return false;
        } else if (IsLongOption(argument, "--anim")) {
            if (!TakeOptionValue(argc, argv, i, 6, options.animation)) return false;
        } else if (IsLongOption(argument, "--fps")) {
            if (!TakeOptionValue(argc, argv, i, 5, fps)) return false;
        } else if (IsLongOption(argument, "--output")) {
            if (!TakeOptionValue(argc, argv, i, 8, options.output)) return false;
        } else if (IsLongOption(argument, "--format")) {
            if (!TakeOptionValue(argc, argv, i, 8, options.format)) return false;
        } else if (IsLongOption(argument, "--export-palette")) {
            if (!TakeOptionValue(argc, argv, i, 16, options.exportPalette)) return false;
        } else if (argument[1] == 'o') {
            if (!TakeOptionValue(argc, argv, i, 2, options.output)) return false;
        } else if (argument[1] == 'f') {
            if (!TakeOptionValue(argc, argv, i, 2, options.format)) return false;
        } else if (argument[1] == 'C') {
            if (!TakeOptionValue(argc, argv, i, 2, options.folder)) return false;
        } else if (argument[1] == 'p') {
            if (!TakeOptionValue(argc, argv, i, 2, options.palette)) return false;
        } else if (argument[1] == 'j') {
            if (!TakeOptionValue(argc, argv, i, 2, jobs)) return false;
        } else {
            return RefuseCommandLine("unknown option", argument);
        }
    }
    if (options.format && *options.format != "pcx" && *options.format != "png")
        return RefuseCommandLine("unknown format (pcx or png):", options.format->c_str());
    if (options.output && options.output->empty()) return RefuseCommandLine("empty output folder", "");
    if (options.animation && *options.animation != "apng" && *options.animation != "gif")
        return RefuseCommandLine("unknown animation format (apng or gif):", options.animation->c_str());
    long number = 0;
    if (jobs && !WholeNumber(*jobs, 1, kMaxJobs, &number))
        return RefuseCommandLine("jobs must be a whole number from 1 to 64:", jobs->c_str());
    if (jobs) options.jobs = static_cast<unsigned>(number);
    if (fps && !WholeNumber(*fps, kMinFps, kMaxFps, &number))
        return RefuseCommandLine("frames a second must be a whole number from 1 to 100:", fps->c_str());
    if (fps) options.fps = static_cast<int>(number);
    if (options.recursive && !options.files.empty())
        return RefuseCommandLine("-r converts the whole tree and takes no file:", options.files.front().c_str());
    return true;
}
