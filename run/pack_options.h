// The command line of kelvane-pack.
//
//   kelvane-pack [-C DIR] [-o OUT.dc6] [--like ORIGINAL.dc6] [PACKING] MANIFEST.json
//   kelvane-pack [-C DIR] [PACKING] MANIFEST.json...
//   kelvane-pack [-C DIR] -o OUT.dc6 [--like SPRITE.dc6] [-p PALETTE] [--offset N:X,Y ...] [PACKING] IMAGE...
//   PACKING: [--nearest] [--force] [--check]
//   kelvane-pack --help | --version
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct PackOptions {
    std::optional<std::string> folder;   // -C: the folder to work in
    std::optional<std::string> output;   // -o: the sprite file to write
    std::optional<std::string> like;     // --like: the sprite whose header values (images) or pixels are taken
    std::optional<std::string> palette;  // -p: the palette of loose images
    std::map<int, std::pair<std::int32_t, std::int32_t>> offsets;  // --offset: frame -> x, y
    bool nearest = false;  // --nearest: colours not in the palette take the nearest
    bool force = false;    // --force: a sprite named by its manifest may replace a file
    bool check = false;    // --check: everything but the writing
    bool help = false;
    bool version = false;
    std::vector<std::string> files;  // the manifests, or the images
    bool manifest = false;           // files are *.json manifests
};

// Reads argv into options and checks that they make one of the forms above.
// Returns false after telling the user on standard error what is wrong.
bool ParsePackOptions(int argc, char** argv, PackOptions& options);

// The text of --help.
extern const char kPackUsage[];
