#include "cli/pack_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/command_line.h"

const char kPackUsage[] =
    "Usage: kelvane-pack [-C DIR] [-o OUT.dc6] MANIFEST.json\n"
    "       kelvane-pack [-C DIR] MANIFEST.json...\n"
    "       kelvane-pack [-C DIR] -o OUT.dc6 [--like SPRITE.dc6] [--offset N:X,Y ...]\n"
    "                    IMAGE...\n"
    "       kelvane-pack --help | --version\n"
    "\n"
    "Packs images back into a DC6 sprite file. Images are indexed PNG (1, 2, 4 or\n"
    "8 bits per pixel) or 8-bit PCX; pixels are taken by palette index.\n"
    "\n"
    "With a manifest (NAME.json, as kelvane-convert --json writes it) the images it\n"
    "names, beside it, become the frames, with its offsets, header fields,\n"
    "terminator and transparent index; several manifests are packed one after the\n"
    "other, each under its sprite's name. With IMAGEs, each becomes one frame, in the\n"
    "order given; a PNG's transparent index is its one fully transparent palette\n"
    "entry, a PCX image's the terminator's last byte.\n"
    "\n"
    "  -C DIR               work in DIR: the files named are taken relative to it\n"
    "  -o, --output OUT.dc6 the sprite file to write (default with a manifest: the\n"
    "                       sprite name it gives, in the working folder)\n"
    "  --like SPRITE.dc6    take the header fields and the terminator from\n"
    "                       SPRITE.dc6 (default: zero, terminator EE EE EE EE)\n"
    "  --offset N:X,Y       give frame N (from 0) the offsets X,Y (default 0,0)\n"
    "  --help               show this text\n"
    "  --version            show the version\n"
    "\n"
    "Notices go to standard error, one line each: kelvane-pack: NAME: TEXT.\n"
    "\n"
    "Exit status: 0 the sprite was written without a notice; 1 it was written\n"
    "with a notice; 2 usage error, or a refused manifest, image or sprite, or the\n"
    "sprite could not be written (with several manifests: one of them); 128 + N\n"
    "when ended by signal N.\n";

namespace {

bool ParseNumber(const char*& text, long long low, long long high, long long* value) {
    if (*text != '-' && (*text < '0' || *text > '9')) return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *value < low || *value > high) return false;
    text = end;
    return true;
}

// "N:X,Y": frame 0..11, offsets 32-bit.
bool ParseOffset(const std::string& text, PackOptions& options) {
    const char* p = text.c_str();
    long long frame = 0, x = 0, y = 0;
    if (!ParseNumber(p, 0, 11, &frame) || *p++ != ':' || !ParseNumber(p, INT32_MIN, INT32_MAX, &x) || *p++ != ',' ||
        !ParseNumber(p, INT32_MIN, INT32_MAX, &y) || *p != '\0')
        return RefuseCommandLine("offset is not N:X,Y with N 0 to 11:", text.c_str());
    if (!options.offsets.emplace(static_cast<int>(frame), std::make_pair(static_cast<std::int32_t>(x),
                                                                        static_cast<std::int32_t>(y))).second)
        return RefuseCommandLine("offset given twice for frame", text.c_str());
    return true;
}

bool EndsWithJson(const std::string& name) {
    if (name.size() < 5) return false;
    std::string tail = name.substr(name.size() - 5);
    for (char& c : tail)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return tail == ".json";
}

}  // namespace

bool ParsePackOptions(int argc, char** argv, PackOptions& options) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        std::optional<std::string> offset;
        if (optionsEnded || argument[0] != '-' || argument.size() == 1) {
            options.files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (IsLongOption(argv[i], "--output")) {
            if (!TakeOptionValue(argc, argv, i, 8, options.output)) return false;
        } else if (IsLongOption(argv[i], "--like")) {
            if (!TakeOptionValue(argc, argv, i, 6, options.like)) return false;
        } else if (IsLongOption(argv[i], "--offset")) {
            if (!TakeOptionValue(argc, argv, i, 8, offset) || !ParseOffset(*offset, options)) return false;
        } else if (argument[1] == 'o' && argument.size() >= 2) {
            if (!TakeOptionValue(argc, argv, i, 2, options.output)) return false;
        } else if (argument[1] == 'C') {
            if (!TakeOptionValue(argc, argv, i, 2, options.folder)) return false;
        } else {
            return RefuseCommandLine("unknown option", argument.c_str());
        }
    }
    if (options.help || options.version) return true;
    if (options.files.empty()) return RefuseCommandLine("nothing to pack: give a manifest or images", "");
    if (options.output && options.output->empty()) return RefuseCommandLine("empty output file name", "");
    options.manifest = EndsWithJson(options.files.front());
    for (const std::string& file : options.files)
        if (EndsWithJson(file) != options.manifest)
            return RefuseCommandLine("manifests and images cannot be packed together:", file.c_str());
    if (options.manifest) {
        if (options.like) return RefuseCommandLine("--like is for images, not for a manifest:", options.like->c_str());
        if (!options.offsets.empty()) return RefuseCommandLine("--offset is for images, not for a manifest:", "--offset");
        if (options.output && options.files.size() > 1)
            return RefuseCommandLine("-o names one sprite file; several manifests each go under their sprite's name:",
                                     options.output->c_str());
        return true;
    }
    if (!options.output) return RefuseCommandLine("images need -o OUT.dc6:", options.files.front().c_str());
    for (const auto& entry : options.offsets)
        if (static_cast<std::size_t>(entry.first) >= options.files.size())
            return RefuseCommandLine("offset for a frame that no image gives:", std::to_string(entry.first).c_str());
    return true;
}
