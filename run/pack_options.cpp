#include "run/pack_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "run/command_line.h"

const char kPackUsage[] =
    "Usage: kelvane-pack [-C DIR] [-o OUT.dc6] [--like ORIGINAL.dc6] [OPTION...] MANIFEST.json\n"
    "       kelvane-pack [-C DIR] [OPTION...] MANIFEST.json...\n"
    "       kelvane-pack [-C DIR] -o OUT.dc6 [--like SPRITE.dc6] [-p PALETTE]\n"
    "                    [--offset N:X,Y ...] [OPTION...] IMAGE...\n"
    "       kelvane-pack --help | --version\n"
    "\n"
    "Packs images back into a DC6 sprite file. Images are PNG (indexed, grey, RGB\n"
    "or RGBA, 8 bits per sample or fewer) or 8-bit PCX. Transparent pixels are the\n"
    "ones the image marks (a fully transparent palette entry, alpha 0, the colour\n"
    "tRNS names); in an image that marks none, a PCX image among them, the fill\n"
    "index stands for them. Other pixels keep their index where the image's\n"
    "palette is the sprite's, and are mapped by their exact colour where it is not.\n"
    "\n"
    "With a manifest (NAME.json, as kelvane-convert --json writes it) the images it\n"
    "names, beside it, become the frames, with its offsets, header fields,\n"
    "terminator and palette; each image must keep its size. Several manifests are\n"
    "packed one after the other, each under its sprite's name. With IMAGEs, each\n"
    "becomes one frame, in the order given.\n"
    "\n"
    "  -C DIR               work in DIR: the files named are taken relative to it,\n"
    "                       and so is -o\n"
    "  -o, --output OUT.dc6 the sprite file to write (default with a manifest: the\n"
    "                       sprite name it gives, in the working folder; an\n"
    "                       existing file of that name is replaced only with --force)\n"
    "  --like SPRITE.dc6    images: take the header fields and the terminator from\n"
    "                       SPRITE.dc6 (default: zero, terminator EE EE EE EE); with\n"
    "                       images and manifests alike, a colour the palette holds\n"
    "                       at several indices takes SPRITE.dc6's index at that\n"
    "                       pixel, and a pixel showing SPRITE.dc6's colour there\n"
    "                       under another index keeps SPRITE.dc6's index (a\n"
    "                       manifest's own sprite, beside it, by default)\n"
    "  -p, --palette FILE   images: the sprite's palette (768 bytes blue, green,\n"
    "                       red; JASC-PAL, RIFF PAL, GIMP .gpl, Photoshop .act);\n"
    "                       default: the first indexed image's\n"
    "  --nearest            a colour not in the palette takes the nearest one (least\n"
    "                       squared distance in red, green, blue) instead of being\n"
    "                       refused\n"
    "  --offset N:X,Y       give frame N (from 0) the offsets X,Y (default 0,0)\n"
    "  --force              let a manifest's sprite name replace an existing file\n"
    "  --check              do everything but write: the notices, and what would\n"
    "                       be written, on standard output\n"
    "  --help               show this text\n"
    "  --version            show the version\n"
    "\n"
    "Notices go to standard error, one line each: kelvane-pack: NAME: TEXT.\n"
    "\n"
    "Exit status: 0 written, every pixel as the images show it; 1 written with a\n"
    "notice that changes no pixel, or one that counts the pixels that took the\n"
    "lowest of several indices, the nearest colour or the original's index;\n"
    "2 usage error, or a refused manifest, image, palette or sprite, or the sprite\n"
    "could not be written (with several manifests: one of them); 128 + N when\n"
    "ended by signal N.\n";

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
    if (!options.offsets
             .emplace(static_cast<int>(frame),
                      std::make_pair(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)))
             .second)
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
        } else if (argument == "--nearest") {
            options.nearest = true;
        } else if (argument == "--force") {
            options.force = true;
        } else if (argument == "--check") {
            options.check = true;
        } else if (IsLongOption(argv[i], "--palette")) {
            if (!TakeOptionValue(argc, argv, i, 9, options.palette)) return false;
        } else if (IsLongOption(argv[i], "--output")) {
            if (!TakeOptionValue(argc, argv, i, 8, options.output)) return false;
        } else if (IsLongOption(argv[i], "--like")) {
            if (!TakeOptionValue(argc, argv, i, 6, options.like)) return false;
        } else if (IsLongOption(argv[i], "--offset")) {
            if (!TakeOptionValue(argc, argv, i, 8, offset) || !ParseOffset(*offset, options)) return false;
        } else if (argument[1] == 'o' && argument.size() >= 2) {
            if (!TakeOptionValue(argc, argv, i, 2, options.output)) return false;
        } else if (argument[1] == 'p') {
            if (!TakeOptionValue(argc, argv, i, 2, options.palette)) return false;
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
        if (options.like && options.files.size() > 1)
            return RefuseCommandLine("--like names the original of one sprite, not of several manifests:",
                                     options.like->c_str());
        if (options.palette)
            return RefuseCommandLine("-p is for images; a manifest gives its palette:", options.palette->c_str());
        if (!options.offsets.empty())
            return RefuseCommandLine("--offset is for images, not for a manifest:", "--offset");
        if (options.output && options.files.size() > 1)
            return RefuseCommandLine("-o names one sprite file; several manifests each go under their sprite's name:",
                                     options.output->c_str());
        return true;
    }
    if (!options.output) return RefuseCommandLine("images need -o OUT.dc6:", options.files.front().c_str());
    if (options.force)
        return RefuseCommandLine("--force is for a manifest's sprite name; -o names the file:", "--force");
    for (const auto& entry : options.offsets)
        if (static_cast<std::size_t>(entry.first) >= options.files.size())
            return RefuseCommandLine("offset for a frame that no image gives:", std::to_string(entry.first).c_str());
    return true;
}
