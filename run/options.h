// The command line of kelvane-convert.
//
//   kelvane-convert [-C DIR] [-o DIR] [-f pcx|png] [--json] [--sheet]
//                   [--no-transparency] [-p PALETTE] [--export-palette FILE]
//                   [--anim apng|gif] [--fps FPS] [-j N] [-r] [-q] [FILE.dc6 ...]
//   kelvane-convert --help | --version
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "run/command_line.h"  // programName, the exit statuses
#include "run/animation_rate.h"

struct Options {
    std::optional<std::string> folder;         // -C: the folder to work in; none: the current one
    std::optional<std::string> palette;        // -p: a palette file; none: the built-in palette
    std::optional<std::string> output;         // -o: the output folder; none: PCXFiles
    std::optional<std::string> format;         // -f: "pcx" (none) or "png"
    std::optional<std::string> exportPalette;  // --export-palette: where to write the run's palette
    bool manifest = false;                     // --json
    bool sheet = false;                        // --sheet
    bool noTransparency = false;               // --no-transparency
    std::optional<std::string> animation;      // --anim: "apng" or "gif"
    int fps = kDefaultFps;                     // --fps: animation frames a second
    unsigned jobs = 0;                         // -j: files converted at a time; 0: one per processor
    bool recursive = false;                    // -r: every *.dc6 of the folder's tree
    bool quiet = false;                        // -q: no progress bar
    bool help = false;                         // --help
    bool version = false;                      // --version
    std::vector<std::string> files;            // empty: every *.dc6 of the folder
};

inline constexpr unsigned kMaxJobs = 64;

// Reads argv into options. Options and file names may be mixed; "--" ends the
// options. Returns false after telling the user on standard error what is
// wrong with the command line.
bool ParseOptions(int argc, char** argv, Options& options);

// The text of --help.
extern const char kUsage[];
